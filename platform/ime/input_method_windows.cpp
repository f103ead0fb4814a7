// On Windows the system's input method (IMM32) serves the edits through SDL itself: SDL's text
// input gives the dialogs the composition (SDL_TEXTEDITING) and the committed text
// (SDL_TEXTINPUT), which the window's core turns into the same messages as the desktop
// clients' (DeliverComposition, DeliverCommit). There is no desktop bus to connect to, so the
// input method client never finds one here: InputMethodFocus answers false and the dialog
// starts SDL's text input.
#include "platform/ime/input_method.h"

namespace platform {

InputMethodClient* ConnectIbus() { return nullptr; }
InputMethodClient* ConnectFcitx() { return nullptr; }

}  // namespace platform
