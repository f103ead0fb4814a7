#pragma once
// A recorded game: what it started from, the input and the clock of every stage frame, and
// the result that was ranked. Written and read as the bytes of a .replay file
// (docs/replay-format.md); nothing here needs the game's rules or a display.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// The format this program writes; it reads this one and format 1.
inline constexpr uint32_t kReplayFormatVersion = 2;
inline constexpr size_t kReplayHeaderBytes = 16;
// The mob records a game keeps (the game's pool); a file holds their state at the start.
inline constexpr size_t kReplayPoolSize = 5000;
// Six hours of stage frames at 20 a second: the longest game a file may hold.
inline constexpr size_t kReplayMostFrames = 6 * 3600 * 20;
inline constexpr size_t kReplayLongestName = 32;  // program name and version, in bytes

// The bits of one frame's input byte.
inline constexpr uint8_t kReplayUp = 1;
inline constexpr uint8_t kReplayDown = 2;
inline constexpr uint8_t kReplayLeft = 4;
inline constexpr uint8_t kReplayRight = 8;
inline constexpr uint8_t kReplayAttack = 16;
inline constexpr uint8_t kReplayLeave = 32;
inline constexpr uint8_t kReplayQuit = 64;

// One mob record as the game starts; frame, tint and place count only for an active one.
struct ReplayMob {
  uint8_t active = 0;
  uint8_t frameDelay = 0;
  uint8_t frame = 0;
  uint8_t tint = 0;
  int32_t x = 0;
  int32_t y = 0;
};

// What a game inherits from the games before it in the same run.
struct ReplayStart {
  std::array<int32_t, 9> player = {};  // the chicken's record, field by field
  int32_t scrollOffset = 0;
  int32_t lives = 0;
  std::vector<ReplayMob> mobs;  // kReplayPoolSize records, or none for an empty pool
};

struct ReplayResult {
  int32_t stage = 0;
  int32_t score = 0;
  int32_t bestCombo = 0;
  uint32_t playSeconds = 0;
  bool operator==(const ReplayResult&) const = default;
};

struct Replay {
  std::string program;  // "soloplay" or "netplay"
  std::string version;
  // The version of the game's rules the game was played under (1 for every file of format 1).
  uint32_t rules = 1;
  int32_t mode = 0;  // 0 easy, 1 normal, 2 hardcore
  uint32_t seed = 0;
  uint32_t startClock = 0;  // the clock the game's seconds count from
  bool ranked = false;      // the result entered the ranking
  ReplayStart start;
  std::vector<uint8_t> inputs;   // one byte of the kReplay* bits per stage frame
  std::vector<uint32_t> clocks;  // the clock each stage frame read, as many as inputs
  ReplayResult result;
};

enum class ReplayRead {
  Ok,
  NotAReplay,      // too short, or another magic
  UnknownVersion,  // a format version this program does not read
  Damaged,         // a checksum or a size that does not add up, or a value out of range
};

// The file's bytes.
std::vector<uint8_t> EncodeReplay(const Replay& replay);
// Reads a file's bytes into `replay`; anything but Ok leaves a one-line reason in `error`.
// Memory stays bounded by the limits above, whatever the bytes.
ReplayRead DecodeReplay(std::span<const uint8_t> bytes, Replay& replay, std::string& error);
// The mode's name in file names and in the verification line: easy, normal, hardcore.
const char* ReplayModeName(int32_t mode);
