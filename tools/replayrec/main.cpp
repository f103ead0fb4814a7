// Plays one whole game headless (SDL's dummy drivers, a fake clock) with a scripted player,
// and leaves its replay in replays/ of the working directory, which must hold the game data:
//   replayrec soloplay|netplay easy|normal|hardcore hunt|wander|close [SEED]
// "hunt" lines the chicken up with the mobs about to reach it and attacks all the time,
// "wander" sweeps up and down attacking now and then, "close" wanders and closes the window
// in its third stage (or at its 600th frame). Nothing is ranked.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/edition.h"
#include "app/game_flow.h"
#include "app/window.h"
#include "game/stage.h"
#include "game/world.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/testing/input.h"

EditionTraits Edition{.longestName = 11, .program = "soloplay"};

namespace {

using namespace platform;

struct Held {
  bool down = false;
  void Want(bool want, uint32_t key) {
    if (down != want) PushKey(key, want);
    down = want;
  }
};
Held up, down, attack;

// The row the mobs that reach the chicken's hit box in about ten frames (an attack's time)
// walk in, or -1 when none does.
int32_t RowToMeet() {
  int32_t best = -1, bestCount = 0;
  const World& world = CurrentGame().world;
  for (const Mob& mob : world.mobs.Front()) {
    if (mob.active != 1) continue;
    const int32_t ahead = mob.x + kMobHitLeft - 50 - (world.chicken.x + kPlayerHitRight);
    if (ahead < -60 || ahead > 10) continue;
    int32_t count = 0;
    for (const Mob& other : world.mobs.Front())
      count += other.active == 1 && other.x > mob.x - 30 && other.x < mob.x + 30 && other.y > mob.y - 12 &&
                       other.y < mob.y + 12
                   ? 1
                   : 0;
    if (count > bestCount) best = mob.y, bestCount = count;
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || argc > 5 || (std::strcmp(argv[1], "soloplay") != 0 && std::strcmp(argv[1], "netplay") != 0)) {
    std::fputs("usage: replayrec soloplay|netplay easy|normal|hardcore hunt|wander|close [SEED]\n", stderr);
    return 2;
  }
  const char* const modes[] = {"easy", "normal", "hardcore"};
  int mode = -1;
  for (int i = 0; i < 3; ++i)
    if (std::strcmp(argv[2], modes[i]) == 0) mode = i;
  const std::string bot = argv[3];
  if (mode < 0 || (bot != "hunt" && bot != "wander" && bot != "close")) return 2;
  Edition.program = argv[1];
  Edition.rankingStep = [](int32_t, int32_t) {
    PushClose();
    return false;
  };
  UseFakeClock(argc == 5 ? static_cast<uint32_t>(std::strtoul(argv[4], nullptr, 10)) : 100000u);
  if (!CreateGameWindow()) return 1;
  // The menu's areas: easy, normal, hardcore from the top.
  PushMouseMove(100, mode == 0 ? 100 : mode == 1 ? 250 : 400);
  PushMouseButton(true);
  SetWaitHook([&](uint32_t now) {
    const PlayedGame& game = CurrentGame();
    if (game.view.startClock == 0 || InputState.quit) return;
    const uint32_t frame = (now - game.view.startClock) / kStageFrameMs;
    const int32_t chickenY = game.world.chicken.y;
    if (bot == "hunt") {
      const int32_t row = RowToMeet();
      const int32_t target = row < 0 ? chickenY : row + kMobHitTop - kPlayerHitTop;
      up.Want(target < chickenY - 2, VK_UP);
      down.Want(target > chickenY + 2, VK_DOWN);
      attack.Want(true, VK_SPACE);
      return;
    }
    up.Want(frame / 23 % 2 == 0, VK_UP);
    down.Want(frame / 23 % 2 == 1, VK_DOWN);
    attack.Want(frame % 40 < 30, VK_SPACE);
    if (bot == "close" && (game.world.counters.stageNumber >= 3 || frame == 600)) PushClose();
  });
  GameMain();
  return 0;
}
