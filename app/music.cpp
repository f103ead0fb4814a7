// The music loop over the platform's music player: a finished play starts again.
#include "app/music.h"

#include "app/edition.h"
#include "app/window.h"
#include "platform/music.h"

MusicLoopState MusicLoop;

void StartMusic() {
  // The end of a play reaches the game thread as WM_APP + 1; whether it still counts once
  // the window is closed is the edition's choice.
  MusicNotice = {OnMusicEvent, Edition.musicAfterQuit};
  MusicLoop.playTag = platform::PlayMusic(kMusicFile);
}

void StopMusic() {
  platform::StopMusicPlayback();
  MusicLoop.playTag = 0;
}

void OnMusicEvent(uint32_t tag) {
  // Only the current play's end restarts the piece; a late one from an earlier play does not.
  if (tag == 0 || tag != MusicLoop.playTag) return;
  StopMusic();
  StartMusic();
}
