#pragma once
// For the fixtures that play in the game window: the window open (again, when an earlier
// test closed it), the messages earlier tests left drained, and the input state fresh.
#include "app/window.h"
#include "platform/display.h"

inline bool GameWindowReady() {
  if (!platform::WindowOpen() && CreateGameWindow() != 1) return false;
  PumpMessages();
  InputState = InputStateRecord{};
  return true;
}
