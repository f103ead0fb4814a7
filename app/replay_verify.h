#pragma once
// soloplay --verify FILE: a recorded game played again without a window.

#include <cstdint>
#include <span>
#include <string>

struct Replay;

// Reads and decodes the replay file at `path`; false with a one-line reason in `error` when
// it cannot be read or is no replay, of an unknown format or rules version, or damaged.
bool LoadReplayFile(const char* path, Replay& replay, std::string& error);
// Decodes a replay's bytes as LoadReplayFile decodes a file's, with the same checks.
bool DecodeReplayBytes(std::span<const uint8_t> bytes, Replay& replay, std::string& error);

// Reads the replay FILE and plays it again by the rules. Prints the played result as one
// line "mode=M stage=S score=N combo=C seconds=T" on standard output and returns 0 when it
// equals the recorded one, 1 (and a line on standard error saying what differs) when not; 2
// with one line on standard error, and nothing on standard output, when FILE cannot be read
// or is no replay, of an unknown version or damaged.
int VerifyReplayFile(const char* path);
