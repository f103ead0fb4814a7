#include "server/rankload/endless_game.h"

#include <cstdint>

namespace rankload {

Replay EndlessGame(const Replay& from) {
  Replay game = from;
  game.mode = 0;
  game.start.mobs.assign(kReplayPoolSize, ReplayMob{});
  game.start.mobs.back() = {1, 0, 0, 9, INT32_MAX, 350};
  game.inputs.assign(kReplayMostFrames, 0);
  game.clocks.resize(kReplayMostFrames);
  for (size_t i = 0; i < game.clocks.size(); ++i) game.clocks[i] = game.startClock + 50 * static_cast<uint32_t>(i + 1);
  game.result = {1, 1, 0, static_cast<uint32_t>(kReplayMostFrames / 20)};
  return game;
}

}  // namespace rankload
