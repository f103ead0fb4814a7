// Game controllers through SDL's game controller API, turned into the messages the keyboard
// and the mouse give. Each control remembers what it pressed, so its release lets go of the
// same thing whatever changed meanwhile (a dialog opened, the menu ended).
#include "platform/gamepad.h"

#include <SDL.h>

#include "platform/display_parts.h"
#include "platform/internal.h"
#include "platform/window_hooks.h"

namespace platform {
namespace {

constexpr int kPadCap = 4;
// The stick counts as pushed beyond kStickPush (about 45 % of its travel) and as back at rest
// within kStickRest; in between it stays as it was, so a stick held near the edge of the
// dead zone does not flicker between pressed and released.
constexpr int kStickPush = 15000;
constexpr int kStickRest = 10000;

// The controls, d-pad and stick in the same order of directions.
enum Source {
  kPadUp,
  kPadDown,
  kPadLeft,
  kPadRight,
  kStickUp,
  kStickDown,
  kStickLeft,
  kStickRight,
  kSouth,
  kStart,
  kBack,
  kSourceCount
};

// The arrow key of each direction, in the order of Source.
constexpr uint8_t kArrows[] = {VK_UP, VK_DOWN, VK_LEFT, VK_RIGHT};

// Typed: a key that goes the keyboard's way, through the input method first (Return at an
// edit the input method serves).
enum class Pressed : uint8_t { Nothing, Key, Typed, Button };
struct Hold {
  Pressed what = Pressed::Nothing;
  uint8_t vk = 0;
  bool operator==(const Hold&) const = default;
};

struct Pad {
  SDL_GameController* controller = nullptr;
  SDL_JoystickID id = -1;
  int8_t stickX = 0;  // -1 left, 0 at rest, 1 right
  int8_t stickY = 0;  // -1 up, 0 at rest, 1 down
  Hold holds[kSourceCount];
};

Pad pads[kPadCap];
bool started = false;
PadPoint points[kPadPointCap];
int pointCount = 0;
// The pointer as the mouse or a pad last moved it.
int pointerX = 0;
int pointerY = 0;

void Add(PadMessages& out, uint32_t message, uint32_t wParam, int32_t lParam, char c = 0) {
  if (out.count >= kPadMessageCap) return;
  Message& m = out.list[out.count++];
  m = Message{};
  m.message = message;
  m.wParam = wParam;
  m.lParam = lParam;
  m.text[0] = c;
}

int32_t Pointer() {
  return static_cast<int32_t>((static_cast<uint32_t>(pointerX) & 0xFFFF) | (static_cast<uint32_t>(pointerY) & 0xFFFF)
                                                                               << 16);
}

// True when some control of some pad holds this.
bool AnyHolds(const Hold& hold) {
  for (const Pad& pad : pads) {
    for (const Hold& h : pad.holds) {
      if (h == hold) return true;
    }
  }
  return false;
}

// The character the keyboard types with these keys.
char KeyCharacter(uint8_t vk) {
  if (vk == VK_SPACE) return ' ';
  if (vk == VK_RETURN) return '\r';
  if (vk == VK_ESCAPE) return 0x1B;
  return 0;
}

// A key pressed or released as the keyboard's own: the input method sees it first, so a
// syllable still being composed is committed before the dialog reads its edit; what the input
// method gives, or the key itself when it does not take it, is delivered ahead of this
// event's other messages.
void TypeKey(SDL_Scancode scancode, bool down) {
  SDL_KeyboardEvent key{};
  key.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  key.state = down ? SDL_PRESSED : SDL_RELEASED;
  key.keysym.scancode = scancode;
  key.keysym.sym = SDL_GetKeyFromScancode(scancode);
  if (!KeyTakenByInputMethod(key)) DeliverKey(key);
}

void MovePointer(bool down, PadMessages& out) {
  int chosen = down ? 0 : pointCount - 1;
  if (down) {
    for (int i = pointCount - 1; i >= 0; --i) {
      if (points[i].y > pointerY) chosen = i;
    }
  } else {
    for (int i = 0; i < pointCount; ++i) {
      if (points[i].y < pointerY) chosen = i;
    }
  }
  pointerX = points[chosen].x;
  pointerY = points[chosen].y;
  Add(out, WM_MOUSEMOVE, 0, Pointer());
}

void Press(Pad& pad, Source source, PadMessages& out) {
  if (pad.holds[source].what != Pressed::Nothing) return;
  const Source direction = source < kStickUp ? source : static_cast<Source>(source - kStickUp);
  if (pointCount > 0 && (direction == kPadUp || direction == kPadDown)) {
    MovePointer(direction == kPadDown, out);
    return;
  }
  Hold hold{Pressed::Key, 0};
  switch (source) {
    case kSouth:
      if (pointCount > 0) {
        hold = Hold{Pressed::Button, 0};
      } else {
        hold.vk = AnyDialogShown() ? VK_RETURN : VK_SPACE;  // in a dialog it confirms, as Return
        if (hold.vk == VK_RETURN && InputMethodServes()) hold.what = Pressed::Typed;
      }
      break;
    case kStart:
    case kBack: hold.vk = VK_ESCAPE; break;
    default: hold.vk = kArrows[direction]; break;
  }
  const bool already = AnyHolds(hold);
  pad.holds[source] = hold;
  if (already) return;
  if (hold.what == Pressed::Button) {
    Add(out, WM_LBUTTONDOWN, 1, Pointer());
    return;
  }
  if (hold.what == Pressed::Typed) {
    TypeKey(SDL_SCANCODE_RETURN, true);
    return;
  }
  Add(out, WM_KEYDOWN, hold.vk, 0);
  if (const char c = KeyCharacter(hold.vk)) Add(out, WM_CHAR, static_cast<uint8_t>(c), 0, c);
}

void Release(Pad& pad, Source source, PadMessages& out) {
  const Hold was = pad.holds[source];
  pad.holds[source] = Hold{};
  if (was.what == Pressed::Nothing || AnyHolds(was)) return;
  if (was.what == Pressed::Button) {
    Add(out, WM_LBUTTONUP, 1, Pointer());
  } else if (was.what == Pressed::Typed) {
    TypeKey(SDL_SCANCODE_RETURN, false);
  } else {
    Add(out, WM_KEYUP, was.vk, 0);
  }
}

void ReleaseAll(Pad& pad, PadMessages& out) {
  for (int s = 0; s < kSourceCount; ++s) Release(pad, static_cast<Source>(s), out);
  pad.stickX = pad.stickY = 0;
}

Pad* FindPad(SDL_JoystickID id) {
  for (Pad& pad : pads) {
    if (pad.controller && pad.id == id) return &pad;
  }
  return nullptr;
}

void Open(int deviceIndex) {
  if (FindPad(SDL_JoystickGetDeviceInstanceID(deviceIndex))) return;
  for (Pad& pad : pads) {
    if (pad.controller) continue;
    pad = Pad{};
    pad.controller = SDL_GameControllerOpen(deviceIndex);
    if (pad.controller) pad.id = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad.controller));
    return;
  }
}

void Close(Pad& pad, PadMessages& out) {
  ReleaseAll(pad, out);
  SDL_GameControllerClose(pad.controller);
  pad = Pad{};
}

Source ButtonSource(uint8_t button) {
  switch (button) {
    case SDL_CONTROLLER_BUTTON_DPAD_UP: return kPadUp;
    case SDL_CONTROLLER_BUTTON_DPAD_DOWN: return kPadDown;
    case SDL_CONTROLLER_BUTTON_DPAD_LEFT: return kPadLeft;
    case SDL_CONTROLLER_BUTTON_DPAD_RIGHT: return kPadRight;
    case SDL_CONTROLLER_BUTTON_A: return kSouth;
    case SDL_CONTROLLER_BUTTON_START: return kStart;
    case SDL_CONTROLLER_BUTTON_BACK: return kBack;
    default: return kSourceCount;
  }
}

int8_t StickSide(int8_t was, int value) {
  if (value >= kStickPush) return 1;
  if (value <= -kStickPush) return -1;
  if (was > 0 && value >= kStickRest) return 1;
  if (was < 0 && value <= -kStickRest) return -1;
  return 0;
}

// One half of the stick's axis: `negative` is up or left, `positive` down or right.
void MoveStick(Pad& pad, int8_t& side, int value, Source negative, Source positive, PadMessages& out) {
  const int8_t now = StickSide(side, value);
  if (now == side) return;
  if (side != 0) Release(pad, side < 0 ? negative : positive, out);
  side = now;
  if (now != 0) Press(pad, now < 0 ? negative : positive, out);
}

}  // namespace

void SetPadPointerPoints(const PadPoint* given, int count) {
  pointCount = given && count > 0 ? (count < kPadPointCap ? count : kPadPointCap) : 0;
  for (int i = 0; i < pointCount; ++i) points[i] = given[i];
}

void StartGamepads() {
  if (started) return;
  // No controller support leaves the keyboard and the mouse as they are.
  started = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
}

void StopGamepads() {
  if (!started) return;
  PadMessages unused;
  for (Pad& pad : pads) {
    if (pad.controller) Close(pad, unused);
  }
  SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
  started = false;
}

bool TranslatePadEvent(const SDL_Event& e, PadMessages& out) {
  switch (e.type) {
    case SDL_CONTROLLERDEVICEADDED: Open(e.cdevice.which); return true;
    case SDL_CONTROLLERDEVICEREMOVED:
      if (Pad* pad = FindPad(e.cdevice.which)) Close(*pad, out);
      return true;
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP: {
      Pad* pad = FindPad(e.cbutton.which);
      const Source source = ButtonSource(e.cbutton.button);
      if (!pad || source == kSourceCount) return true;
      if (e.type == SDL_CONTROLLERBUTTONDOWN) {
        Press(*pad, source, out);
      } else {
        Release(*pad, source, out);
      }
      return true;
    }
    case SDL_CONTROLLERAXISMOTION: {
      Pad* pad = FindPad(e.caxis.which);
      if (!pad) return true;
      if (e.caxis.axis == SDL_CONTROLLER_AXIS_LEFTX)
        MoveStick(*pad, pad->stickX, e.caxis.value, kStickLeft, kStickRight, out);
      if (e.caxis.axis == SDL_CONTROLLER_AXIS_LEFTY)
        MoveStick(*pad, pad->stickY, e.caxis.value, kStickUp, kStickDown, out);
      return true;
    }
    case SDL_MOUSEMOTION:
      if (e.motion.x >= 0 && e.motion.y >= 0 && e.motion.x < kScreenWidth && e.motion.y < kScreenHeight) {
        pointerX = e.motion.x;
        pointerY = e.motion.y;
      }
      return false;
    case SDL_WINDOWEVENT:
      // Nothing stays pressed while the player is in another window.
      if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
        for (Pad& pad : pads) ReleaseAll(pad, out);
      }
      return false;
    default: return false;
  }
}

}  // namespace platform
