#pragma once
// --replay FILE and --watch DIFFICULTY:PLACE: a recorded game shown in the window as it was
// played.
#include <cstdint>

#include "app/command_line.h"

struct Replay;

// The speed keys: 1, 2, 4 or 8 times the game's own pace.
inline constexpr int32_t kPlaybackSpeeds[] = {1, 2, 4, 8};

// Shows `replay` in the open game window, each stage frame as the stage screen drew it
// (field, HUD, banners), kStageFrameMs divided by the speed apart. Reads only the speed keys,
// Escape and the window's closing; after the last frame its picture stays until Escape or
// the window is closed. Needs the sprites loaded; loads the field itself. Ranks, writes and
// sends nothing.
void ShowReplay(const Replay& replay);

// The whole of --replay: reads the file (a bad one: one line on standard error and 2, with
// no window), plays where the game data is without copying or writing anything, opens the
// window the remembered settings and `options` choose, and shows the game. Returns 0 once
// it is ended, 1 when no window could be opened.
int PlayReplayFile(const GameOptions& options);

// The whole of --watch: the edition's fetch brings the listed game's replay (a failure: its one
// line on standard error and 1, with no window), which is decoded and checked as a file is (a
// bad one: one line on standard error and 1, with no window) and shown as PlayReplayFile shows
// a file. Needs Edition.listedReplayFetch. Returns as PlayReplayFile does.
int WatchListedReplay(const GameOptions& options);
