// Any bytes as a replay file: read as they are, then once more sealed with their own
// checksum so the reading goes past it; a file that reads is played again by the rules.
// Nothing may crash, hang or take unbounded memory.
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "game/replay_run.h"
#include "replay/replay.h"

namespace {

// Longer games play again too, only slower than a fuzzer's input should take.
constexpr size_t kMostFramesPlayed = 20000;

void ReadAndPlay(const std::vector<uint8_t>& bytes) {
  Replay replay;
  std::string error;
  if (DecodeReplay(bytes, replay, error) != ReplayRead::Ok) return;
  if (replay.inputs.size() > kMostFramesPlayed) return;
  ReplayResult played;
  std::string difference;
  VerifyReplay(replay, played, difference);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes(data, data + size);
  ReadAndPlay(bytes);
  if (size >= 20) {
    const size_t end = size - 4;
    const uint32_t crc = static_cast<uint32_t>(crc32(0, bytes.data(), static_cast<uInt>(end)));
    for (int i = 0; i < 4; ++i) bytes[end + i] = static_cast<uint8_t>(crc >> (8 * i));
    ReadAndPlay(bytes);
  }
  return 0;
}
