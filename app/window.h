#pragma once
// The game window, the input state its window procedure fills, and the message pump.
#include <cstdint>

#include "platform/display.h"

struct InputStateRecord {
  uint8_t keyDown[256] = {};  // by virtual-key code: 1 while down
  int32_t mouseX = 0;         // position of the last mouse move, client coordinates
  int32_t mouseY = 0;
  int32_t leftButton = 0;   // 1 between a left-button press and its release
  int32_t charArrived = 0;  // a character was typed during the latest pump
  int32_t quit = 0;         // the window was destroyed; never cleared
  int32_t repaint = 0;      // a paint request came; cleared by its readers
};
extern InputStateRecord InputState;

// An open modeless dialog, as the pump sees it: the dialog's handle variable.
namespace platform {
struct Dialog;
}
using DialogHandle = platform::Dialog*;

// Offers a message to an open dialog first; true when the dialog took it.
// The platform's dialog handling unless a test puts its own in.
extern bool (*DialogMessageHook)(DialogHandle dialog, const platform::Message& message);
// Runs when the music reports an event (WM_APP + 1). afterQuit: also once quit is set.
struct MusicNotification {
  void (*onEvent)(uint32_t tag) = nullptr;
  bool afterQuit = false;
};
extern MusicNotification MusicNotice;

// Opens the 640x480 window captioned "Brakkel!!", answering the game's keys (game_keys.h),
// and loads the text font. True when both are there.
bool CreateGameWindow();
// The window procedure: records a message into InputState. Returns 0.
intptr_t GameWindowProc(uint32_t message, uint32_t wParam, int32_t lParam);
// Drains every pending message without waiting, offering each to the open dialog
// (if any) first.
void PumpMessages(DialogHandle* dialog = nullptr);
