#pragma once
// The background music: "bgm.mp3" from its beginning, over and over, from start-up to
// shutdown. The game never waits for it; without the file or a sound device it is silent.
#include <cstdint>

inline constexpr const char* kMusicFile = "bgm.mp3";

struct MusicLoopState {
  uint32_t playTag = 0;  // the current play, 0 while nothing plays
};
extern MusicLoopState MusicLoop;

// Plays the file from its beginning and has its end reported to OnMusicEvent.
void StartMusic();
// Stops playback; a stopped play reports no end.
void StopMusic();
// A play reported its end (the window procedure's WM_APP + 1, with the play's tag):
// the current play starts again from the beginning; the end of any other play is dropped.
void OnMusicEvent(uint32_t tag);
