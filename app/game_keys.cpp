// The table of the game's keys. The platform asks it as a key goes down (never at its
// repeats), before the input method or the game sees the key; the game still gets the key as
// every key, so M skips the logo as any letter does. What the keys do is the platform's:
// the music's mute, the screenshot with its naming, the switch to the whole screen.
#include "app/game_keys.h"

#include <cstdint>

#include "platform/display.h"
#include "platform/music.h"
#include "platform/screenshot.h"

namespace {

using platform::kKeyAlt;
using platform::kKeyCtrl;
using platform::kKeyGui;
using platform::kKeyShift;

struct GameKey {
  uint32_t virtualKey;
  uint32_t held;     // the kKey modifiers that must be held with it
  uint32_t notHeld;  // the kKey modifiers that must not be
  bool whileTyping;  // it acts also while an edit of a dialog takes typing
  void (*act)();
};

void SwitchMute() { platform::MuteMusic(!platform::MusicMuted()); }
void SaveScreenshot() { platform::SaveScreenshot(); }

constexpr GameKey kGameKeys[] = {
    // M mutes and unmutes the music; with Ctrl or Alt it is another key, and in an edit it types.
    {'M', 0, kKeyCtrl | kKeyAlt, false, SwitchMute},
    // F12 saves the picture as shown, an open dialog in it, in screenshots/ of the game folder.
    {platform::VK_F12, 0, 0, true, SaveScreenshot},
    // F11, and Alt with Enter alone, switch between the window and the whole screen.
    {platform::VK_F11, 0, 0, true, platform::SwitchFullscreen},
    {platform::VK_RETURN, kKeyAlt, kKeyCtrl | kKeyShift | kKeyGui, true, platform::SwitchFullscreen},
};

void ActOnGameKey(const platform::PressedKey& key) {
  for (const GameKey& k : kGameKeys) {
    if (k.virtualKey != key.virtualKey || (key.modifiers & k.held) != k.held || (key.modifiers & k.notHeld) != 0) {
      continue;
    }
    if (key.typing && !k.whileTyping) continue;
    k.act();
  }
}

}  // namespace

void UseGameKeys() { platform::SetKeyPolicy(ActOnGameKey); }
