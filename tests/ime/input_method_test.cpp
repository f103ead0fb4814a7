// The keys an input method hands back, as the game's keys.
#include "platform/ime/input_method.h"

#include <gtest/gtest.h>

#include "platform/internal.h"

namespace {

TEST(InputMethodKeys, AKeyHandedBackIsTheKeyThatTypesItOrActsAsIt) {
  ASSERT_TRUE(platform::StartVideo());  // the keyboard's layout comes with the display
  SDL_KeyboardEvent key;
  for (uint32_t c = 0x20; c < 0x7F; ++c) {
    for (uint32_t state : {0u, platform::kShiftMask}) {
      ASSERT_TRUE(platform::KeyFromKeysym(c, state, false, key)) << c;
      EXPECT_EQ(platform::TypedCharacter(key.keysym), static_cast<char>(c)) << c << " with state " << state;
    }
  }
  struct Named {
    uint32_t keysym;
    uint32_t vk;
  };
  for (Named n : {Named{0xFF0D, 0x0D}, Named{0xFF08, 0x08}, Named{0xFF09, 0x09}, Named{0xFF1B, 0x1B},
                  Named{0xFF51, 0x25}, Named{0xFFFF, 0x2E}}) {
    ASSERT_TRUE(platform::KeyFromKeysym(n.keysym, platform::kReleaseMask, true, key)) << n.keysym;
    EXPECT_EQ(key.type, SDL_KEYUP);
    EXPECT_EQ(platform::VirtualKeyFromScancode(key.keysym.scancode, false), n.vk) << n.keysym;
  }
  EXPECT_FALSE(platform::KeyFromKeysym(0x10000AC, 0, false, key));  // a Hangul syllable has no key
}

}  // namespace
