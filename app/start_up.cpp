#include "app/start_up.h"

#include <cstdio>

#include "app/window.h"
#include "gfx/frame.h"
#include "gfx/sprite.h"
#include "platform/display.h"
#include "platform/music.h"
#include "platform/text.h"

bool OpenGameWindowOrSay(const char* who, const char* fontNote) {
  if (CreateGameWindow() == 1) return true;
  std::fprintf(stderr, "%s: no game window could be opened (is there a display?) or no Korean font%s\n", who, fontNote);
  CloseGameWindow();
  return false;
}

void CloseGameWindow() {
  platform::CloseMusic();
  platform::CloseGameFont();
  platform::CloseDisplay();
}

void PrepareScreenAndSprites() {
  InitOffscreen();
  InitRowOffsets();
  ClearSpriteBanks();
  LoadSpriteFile(kChickenBank, "chicken.ani");
  LoadSpriteFile(kFootBank, "foot.ani");
  LoadSpriteFile(kMobBank, "mop.ani");
}
