#include "app/start_up.h"

#include "app/window.h"
#include "gfx/sprite.h"
#include "platform/complain.h"
#include "platform/display.h"
#include "platform/messagebox.h"
#include "platform/music.h"
#include "platform/text.h"
#include "text/texts.h"

namespace {

void ShowSpriteLoadFailure(SpriteLoad result) {
  switch (result) {
    case SpriteLoad::Missing: platform::ShowMessageBox(kSpriteMissingCaption, kSpriteMissingText); return;
    case SpriteLoad::Foreign: platform::ShowMessageBox(kSpriteForeignCaption, kSpriteForeignText); return;
    case SpriteLoad::Loaded:
    case SpriteLoad::NoSuchBank: return;
  }
}

}  // namespace

bool LoadSpriteFileOrTell(int32_t bank, const char* fileName) {
  const SpriteLoad result = LoadSpriteFile(bank, fileName);
  ShowSpriteLoadFailure(result);
  return result == SpriteLoad::Loaded;
}

void LoadGameSprites() {
  ClearSpriteBanks();
  LoadSpriteFileOrTell(kChickenBank, "chicken.ani");
  LoadSpriteFileOrTell(kFootBank, "foot.ani");
  LoadSpriteFileOrTell(kMobBank, "mop.ani");
}

bool OpenGameWindowOrSay(const char* fontNote) {
  if (CreateGameWindow()) return true;
  platform::Complain("no game window could be opened (is there a display?) or no Korean font%s", fontNote);
  CloseGameWindow();
  return false;
}

void CloseGameWindow() {
  platform::CloseMusic();
  platform::CloseGameFont();
  platform::CloseDisplay();
}
