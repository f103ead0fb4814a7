#pragma once
// Background music: one file played from its beginning; its end arrives as a message.
#include <cstdint>

namespace platform {

// Starts playing the file once from its beginning, without waiting. Returns the play's
// tag (never 0), or 0 when nothing can be played (no audio device, no or bad file).
uint32_t PlayMusic(const char* fileName);
// Stops playback; a play stopped this way reports no end.
void StopMusicPlayback();
// Stops playback and closes the sound device (at shutdown); a later PlayMusic opens it again.
void CloseMusic();
// Silences the music (muted) or gives it its full volume back; the choice holds across plays
// and a reopened sound device. The game itself goes on as if the music sounded.
void MuteMusic(bool muted);
bool MusicMuted();
// When a play ends, a WM_MUSIC_NOTIFY message with the play's tag in wParam is queued.

}  // namespace platform
