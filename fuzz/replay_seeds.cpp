// Writes replay files for the replay fuzzer to start from: a run's first game and a later one
// that takes over mobs still walking. Usage: replay_seeds FOLDER
#include <cstdio>
#include <string>

#include "replay/replay.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  for (int game = 0; game < 2; ++game) {
    Replay r;
    r.program = "soloplay";
    r.version = "seed";
    r.mode = game;
    r.seed = 12345u + static_cast<uint32_t>(game);
    r.startClock = 1000;
    if (game == 1) {
      r.start.mobs.resize(kReplayPoolSize);
      for (size_t i = 100; i < kReplayPoolSize; i += 9) r.start.mobs[i] = {1, 2, 3, 4, 600 + int32_t(i), 350};
    }
    for (uint32_t f = 0; f < 400; ++f) {
      r.inputs.push_back(
          static_cast<uint8_t>(f % 40 < 30 ? kReplayAttack | (f / 20 % 2 ? kReplayUp : kReplayDown) : 0));
      r.clocks.push_back(r.startClock + 50 * (f + 1));
    }
    r.inputs.back() |= kReplayLeave;
    r.result = {1, 0, 0, 20};
    const std::vector<uint8_t> bytes = EncodeReplay(r);
    const std::string path = std::string(argv[1]) + "/seed" + std::to_string(game) + ".replay";
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return 1;
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
  }
  return 0;
}
