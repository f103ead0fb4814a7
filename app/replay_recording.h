#pragma once
// The recording of the game being played, from its seed to its ranked result, and its file
// in replays/ of the game's folder.
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "game/stage.h"
#include "game/stage_input.h"
#include "game/world.h"
#include "replay/replay.h"

// A stage cannot last longer than this many frames: a mob enters at most 15900 pixels to the
// right and walks 5 a frame until it escapes at -150, and the end banner adds 100 frames.
inline constexpr size_t kStageFramesBound = 3400;

struct GameRecording {
  Replay replay;
  bool on = false;        // between Begin and End
  bool cutShort = false;  // the frames outgrew what was made ready: the game is not kept

  // Starts a game's recording as the game has begun in `world` from `seed`: the program, the
  // rules' version, the mode, the clock its seconds count from, and the world it takes over
  // from the games before it.
  void Begin(const char* program, const char* version, uint32_t seed, const World& world, const FieldView& view);
  // Before a stage's first frame: room for the longest stage, so no frame takes memory.
  void ReadyStage();
  // One stage frame's input and clock.
  void Frame(const StageInput& input, uint32_t now);
  // The result that was ranked, and whether it entered the ranking.
  void End(const ReplayResult& result, bool ranked);
};

// The folder in the game's folder that holds the replays.
inline constexpr const char* kReplayFolder = "replays";
// How many replays of games that did not enter a ranking are kept.
inline constexpr size_t kKeptUnrankedReplays = 50;

// "YYYYMMDD-HHMMSS-<mode>.replay" for the local time `when`.
std::string ReplayFileName(std::time_t when, int32_t mode);
// Writes a replay, its file's bytes as EncodeReplay made them (`encoded`, of a game of `mode`),
// to `folder` (made when missing) under its name for `when` ("-2", "-3"... before ".replay"
// when the name is taken), through the synced save, then removes the replays beyond what is
// kept. False, with one line on standard error, when it could not be written; nothing else
// depends on it.
bool SaveReplay(const std::vector<uint8_t>& encoded, int32_t mode, const char* folder, std::time_t when,
                std::string* savedAs = nullptr);
// Keeps every replay in `folder` that entered a ranking and the newest `keepOthers` others,
// oldest first by their names' date and time; removes the rest. Files that do not read as
// replays are left alone. Returns how many were removed.
size_t KeepReplays(const char* folder, size_t keepOthers = kKeptUnrankedReplays);
