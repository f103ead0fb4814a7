// Shows the name-entry dialog and then the ranking dialog over a game frame made from the
// "back.pcx" and sprite files of the working directory, with a listing of made-up players.
// "net" as the only argument shows them as netplay does (9-byte names, a random title);
// "listing FILE" shows only the ranking dialog as netplay does, with the file's text.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "app/edition.h"
#include "app/stage_screen.h"
#include "app/start_up.h"
#include "app/window.h"
#include "draw/draw.h"
#include "game/stage.h"
#include "game/world.h"
#include "gfx/frame.h"
#include "gfx/picture.h"
#include "gfx/sprite.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "ranking/dialogs.h"
#include "text/cp949.h"
#include "wire/rank_text.h"

EditionTraits Edition;

namespace {

void DrawGameFrame() {
  LoadPicture("back.pcx");
  BuildSpritePalette();
  ShowPicture();
  World world;
  world.random.Seed(7);
  for (int i = 0; i < 12; ++i) {
    world.mobs[i].Spawn(world.random);
    world.mobs[i].x = 250 + (i % 6) * 65;
  }
  for (int i = 0; i < 12; ++i) DrawMob(world.mobs[i]);
  DrawChicken(world.chicken);
  CopyFrameToOffscreen();
  world.counters.score = 48213;
  world.counters.bestCombo = 17;
  StageRun run;
  run.stage = 7;
  run.mobs = 700;
  run.remaining = 212;
  run.target = 60;
  run.clock = platform::Ticks();
  HudLines hud;
  FormatHudLines(hud, world.counters, run, run.clock);
  for (int i = 0; i < kHudLineCount; ++i) DrawOutlinedText(0, kTextFontHeight * i, hud.line[i]);
  PresentOffscreen();
}

void MakeListing(char (&text)[kRankTextCap]) {
  const char* names[kScoreRows] = {"PlommX", "닭다리", "Quorbel",  "김치맨", "ChickenLove", "술고래",   "mobkill",
                                   "이병철", "Yuna",   "닭집사장", "Brakk",  "박하사탕",    "hardcore", "소주한잔",
                                   "PlommX", "Ilsa",   "최고수",   "zz",     "막걸리",      ""};
  ScoreTable table;
  for (int i = 0; i < kScoreRows; ++i) {
    Utf8ToCp949(names[i], std::strlen(names[i]), table.row[i].name, kScoreNameBytes);
    if (!*names[i]) continue;
    table.row[i].score = 98765u - static_cast<uint32_t>(i) * 4321u;
    table.row[i].stage = 14 - i / 2;
    table.row[i].bestCombo = 40 - i;
    table.row[i].playSeconds = 900u - static_cast<uint32_t>(i) * 31u;
  }
  FormatRankText(table, text);
}

}  // namespace

// The ranking dialog alone, as netplay shows a text the server sent.
int ShowListingFile(const char* fileName) {
  std::FILE* file = std::fopen(fileName, "rb");
  if (!file) {
    std::fprintf(stderr, "dialogview: cannot read %s\n", fileName);
    return 1;
  }
  const size_t got = std::fread(RankTextBuffer, 1, sizeof RankTextBuffer - 1, file);
  std::fclose(file);
  RankTextBuffer[got] = 0;
  ShowRankDialog();
  return 0;
}

int main(int argc, char** argv) {
  const bool listingOnly = argc > 2 && std::strcmp(argv[1], "listing") == 0;
  const bool net = listingOnly || (argc > 1 && std::strcmp(argv[1], "net") == 0);
  Edition.longestName = net ? 9 : 11;
  Edition.onlineRanking = net;
  if (!CreateGameWindow()) {
    std::fprintf(stderr, "dialogview: no game window (is there a display?) or no Korean font\n");
    return 1;
  }
  LoadGameSprites();
  DrawGameFrame();
  if (listingOnly) {
    const int status = ShowListingFile(argv[2]);
    FreeSpriteBanks();
    platform::CloseDisplay();
    return status;
  }

  ShowNameDialog();
  char name[kPlayerNameBytes * 2];
  Cp949ToUtf8(PlayerName, std::strlen(PlayerName), name, sizeof name);
  std::printf("name: \"%s\" (%zu bytes)\n", name, std::strlen(PlayerName));

  static char listing[kRankTextCap];
  MakeListing(listing);
  char folder[] = "/tmp/dialogview-XXXXXX";
  const std::filesystem::path home = std::filesystem::current_path();
  if (net) {
    std::strcpy(RankTextBuffer, listing);
  } else if (mkdtemp(folder) && chdir(folder) == 0) {
    // soloplay reads the listing from the working directory.
    if (std::FILE* file = std::fopen(kRankTextFileName, "wb")) {
      std::fwrite(listing, 1, std::strlen(listing), file);
      std::fclose(file);
    }
  }
  if (InputState.quit == 0) ShowRankDialog();
  if (!net) {
    std::filesystem::current_path(home);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
  FreeSpriteBanks();
  platform::CloseDisplay();
  return 0;
}
