// The game window's procedure and the message pump that feeds it.
#include "app/window.h"

#include <cstring>

#include "app/game_keys.h"
#include "platform/dialog/dialog.h"
#include "platform/text.h"

InputStateRecord InputState;
bool (*DialogMessageHook)(DialogHandle dialog, const platform::Message& message) = platform::DialogMessage;
MusicNotification MusicNotice;

bool CreateGameWindow() {
  // "Brakkel!!" is both the window's caption and its class name.
  UseGameKeys();
  bool window = platform::OpenWindow("Brakkel!!");
  bool font = platform::LoadGameFont();
  return window && font;
}

intptr_t GameWindowProc(uint32_t message, uint32_t wParam, int32_t lParam) {
  using namespace platform;
  switch (message) {
    case WM_CREATE: std::memset(InputState.keyDown, 0, sizeof InputState.keyDown); break;
    case WM_DESTROY: InputState.quit = 1; break;
    case WM_PAINT: InputState.repaint = 1; break;
    case WM_KEYDOWN: InputState.keyDown[wParam & 0xFF] = 1; break;
    case WM_KEYUP: InputState.keyDown[wParam & 0xFF] = 0; break;
    case WM_CHAR: InputState.charArrived = 1; break;
    case WM_MOUSEMOVE:
      InputState.mouseX = lParam & 0xFFFF;
      InputState.mouseY = (lParam >> 16) & 0xFFFF;
      break;
    case WM_LBUTTONDOWN: InputState.leftButton = 1; break;
    case WM_LBUTTONUP: InputState.leftButton = 0; break;
    case WM_MUSIC_NOTIFY:
      if (MusicNotice.onEvent && (InputState.quit == 0 || MusicNotice.afterQuit)) {
        MusicNotice.onEvent(wParam);
      }
      break;
    default: break;
  }
  return 0;
}

void PumpMessages(DialogHandle* dialog) {
  InputState.charArrived = 0;
  platform::Message message;
  while (platform::PollMessage(message)) {
    if (dialog && *dialog && DialogMessageHook && DialogMessageHook(*dialog, message)) continue;
    GameWindowProc(message.message, message.wParam, message.lParam);
  }
}
