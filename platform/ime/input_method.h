#pragma once
// The game's own client of the desktop's input method (IBus, or fcitx5 where the desktop asks
// for it), over D-Bus, serving the edits of dialogs. SDL's client drops the keys an engine
// hands back (ibus-hangul hands back Return and Backspace that way), and turns a key the
// engine did not take into its action before the text the engine committed with it. Here a
// key goes to the input method first; what it commits, composes and hands back becomes the
// game's messages in the order the input method gave them, and a key it did not take follows.
// A library of its own under platform/ (brakkel_ime): it stands in the window's core through
// the hooks of platform/window_hooks.h, set when an edit first asks for it.
#include <SDL_events.h>

#include <cstdint>

namespace platform {

// An edit took the focus (true) or none has it any more (false). On taking the focus the
// client connects when it is not connected yet; false then means no input method answered,
// and SDL's text input serves the edit.
bool InputMethodFocus(bool focused);
// True while the client serves a focused edit.
bool InputMethodActive();
// Where the caret stands, in the game window's client coordinates, for the candidate window.
void InputMethodCaret(const SDL_Rect& spot);
// Lets go of the input method (the display closes).
void InputMethodClose();

// What an input method made of a key: it took the key, it left the key to the game, or the
// connection to it failed.
enum class KeyAnswer { Taken, NotTaken, ConnectionLost };

// One connection to an input method, with its input context (input_method_ibus.cpp,
// input_method_fcitx.cpp). What a Key call sent is delivered through the window's Deliver
// functions (platform/window_hooks.h) before it returns.
class InputMethodClient {
 public:
  virtual ~InputMethodClient() = default;
  virtual bool Focus(bool in) = 0;
  virtual KeyAnswer Key(uint32_t keysym, uint32_t keycode, uint32_t state, bool release) = 0;
  virtual void Caret(int x, int y, int w, int h) = 0;
  virtual bool Pump() = 0;
};
InputMethodClient* ConnectIbus();
InputMethodClient* ConnectFcitx();
// Set by the tests' library (UseInputMethod): where the next client comes from instead of
// the desktop's.
extern InputMethodClient* (*inputMethodConnector)();

// X11 modifier bits, as both input methods take them.
inline constexpr uint32_t kShiftMask = 1u << 0;
inline constexpr uint32_t kLockMask = 1u << 1;
inline constexpr uint32_t kControlMask = 1u << 2;
inline constexpr uint32_t kMod1Mask = 1u << 3;  // Alt
inline constexpr uint32_t kMod2Mask = 1u << 4;  // NumLock
inline constexpr uint32_t kMod4Mask = 1u << 6;  // Super
inline constexpr uint32_t kReleaseMask = 1u << 30;

// A key handed back by the input method (an X keysym and modifiers) as SDL's key event;
// false for a key the game has no scancode for.
bool KeyFromKeysym(uint32_t keysym, uint32_t state, bool release, SDL_KeyboardEvent& out);
// The UTF-8 length of a text's first `chars` characters.
int Utf8Characters(const char* utf8, int bytes);

}  // namespace platform
