// The virtual game controller: SDL's virtual joystick, described as a game controller so
// SDL maps its buttons and axes in the controller's own order.
#include "platform/testing/pad.h"

#include <SDL.h>

#include "platform/internal.h"

namespace platform {
namespace {

SDL_Joystick* joystick = nullptr;
int deviceIndex = -1;

}  // namespace

bool PlugInVirtualPad() {
  UnplugVirtualPad();
  if (!StartVideo()) return false;
  // Tests run without a focused window: the pad is read all the same.
  SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
  SDL_VirtualJoystickDesc desc{};
  desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
  desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
  desc.naxes = SDL_CONTROLLER_AXIS_MAX;
  desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
  desc.name = "Brakkel test pad";
  deviceIndex = SDL_JoystickAttachVirtualEx(&desc);
  if (deviceIndex < 0) return false;
  joystick = SDL_JoystickOpen(deviceIndex);
  if (!joystick) UnplugVirtualPad();
  return joystick != nullptr;
}

void UnplugVirtualPad() {
  if (joystick) SDL_JoystickClose(joystick);
  joystick = nullptr;
  if (deviceIndex >= 0) SDL_JoystickDetachVirtual(deviceIndex);
  deviceIndex = -1;
}

void PressPadButton(PadButton button, bool down) {
  SDL_GameControllerButton b = SDL_CONTROLLER_BUTTON_A;
  switch (button) {
    case PadButton::South: b = SDL_CONTROLLER_BUTTON_A; break;
    case PadButton::Back: b = SDL_CONTROLLER_BUTTON_BACK; break;
    case PadButton::Start: b = SDL_CONTROLLER_BUTTON_START; break;
    case PadButton::Up: b = SDL_CONTROLLER_BUTTON_DPAD_UP; break;
    case PadButton::Down: b = SDL_CONTROLLER_BUTTON_DPAD_DOWN; break;
    case PadButton::Left: b = SDL_CONTROLLER_BUTTON_DPAD_LEFT; break;
    case PadButton::Right: b = SDL_CONTROLLER_BUTTON_DPAD_RIGHT; break;
  }
  if (joystick) SDL_JoystickSetVirtualButton(joystick, b, down ? SDL_PRESSED : SDL_RELEASED);
}

void MovePadStick(int x, int y) {
  if (!joystick) return;
  SDL_JoystickSetVirtualAxis(joystick, SDL_CONTROLLER_AXIS_LEFTX, static_cast<Sint16>(x));
  SDL_JoystickSetVirtualAxis(joystick, SDL_CONTROLLER_AXIS_LEFTY, static_cast<Sint16>(y));
}

}  // namespace platform
