// The programs' sprites: each file that does not load is told to the player in its own box,
// once, with the caption and text the game always showed, and the others load all the same.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/start_up.h"
#include "gfx/sprite.h"
#include "platform/messagebox.h"
#include "support/ani_file.h"
#include "support/cp949_text.h"
#include "support/temp_folder.h"

namespace {

class GameSprites : public ::testing::Test {
 protected:
  void SetUp() override {
    FreeSpriteBanks();
    SpriteBankTable = {};
    platform::SetMessageBoxHook(
        [this](const char* caption, const char* text) { boxes.push_back(std::string(caption) + "|" + text); });
    folder.Enter();
  }
  void TearDown() override {
    platform::SetMessageBoxHook(nullptr);
    FreeSpriteBanks();
    SpriteBankTable = {};
  }

  TempFolder folder{"brakkel_sprites"};
  std::vector<std::string> boxes;
};

TEST_F(GameSprites, AMissingAndADamagedFileAreToldInTheirBoxesAndTheOtherLoads) {
  const std::vector<uint8_t> good = AniBytes({SolidFrame(3, 2, 7), SolidFrame(2, 2, 8)});
  std::vector<uint8_t> damaged = good;
  damaged[0] = 'q';
  for (const auto& [name, bytes] : {std::pair{"chicken.ani", good}, std::pair{"mop.ani", damaged}}) {
    std::FILE* file = std::fopen(name, "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
  LoadGameSprites();  // "foot.ani" is not there
  // "개쇅" / "파일업어" for the missing feet, then "멀봐?" / "파일형식 달라" for the mobs.
  const std::vector<std::string> expected = {Cp949("개쇅|파일업어"), Cp949("멀봐?|파일형식 달라")};
  EXPECT_EQ(boxes, expected);
  EXPECT_EQ(SpriteBankTable[kChickenBank].frameCount, 2);
  EXPECT_EQ(SpriteBankTable[kFootBank].frameCount, 0);
  EXPECT_EQ(SpriteBankTable[kMobBank].frameCount, 0);

  boxes.clear();
  EXPECT_TRUE(LoadSpriteFileOrTell(kFootBank, "chicken.ani"));
  EXPECT_FALSE(LoadSpriteFileOrTell(kMobBank, "mop.ani"));
  EXPECT_FALSE(LoadSpriteFileOrTell(kSpriteBankCount, "chicken.ani"));  // no bank to load into: nothing to tell
  EXPECT_EQ(boxes, std::vector<std::string>{Cp949("멀봐?|파일형식 달라")});
  EXPECT_EQ(SpriteBankTable[kFootBank].frameCount, 2);
}

}  // namespace
