// A dialog's keyboard and mouse: Tab, Enter, Escape and Space, the edit keys, clicks on
// buttons and edits, and a pressed button that follows the pointer.
#include "platform/dialog/dialog_parts.h"

namespace platform {
namespace {

bool Inside(const DialogRect& r, int x, int y) {
  return x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height;
}

int ControlAt(Dialog* d, int x, int y) {
  for (int i = 0; i < d->controlCount; ++i) {
    // A group box is only a frame: clicks go through it.
    if (!IsGroupBox(d->controls[i]) && Inside(d->controls[i].rect, x, y)) return i;
  }
  return -1;
}

}  // namespace

// Returns true when the dialog's look changed.
bool KeyDown(Dialog* d, uint32_t vk) {
  Control* c = Focused(d);
  if (vk == VK_TAB) {
    int next = NextTabStop(d, ShiftHeld());
    if (next < 0) return false;
    SetFocusTo(d, next, true);
    return true;
  }
  if (vk == VK_RETURN) {
    // A multi-line edit that wants Enter keeps it as a line break (none when read-only).
    if (c && IsMultiline(*c) && (c->source->style & ES_WANTRETURN)) {
      if (!IsEditable(*c)) return false;
      Insert(*c, "\r\n", 2);
      return true;
    }
    Command(d, c && IsPushButton(*c) ? static_cast<uint32_t>(c->source->id) : DefaultCommand(d));
    return false;
  }
  if (vk == VK_ESCAPE) {
    Command(d, IDCANCEL);
    return false;
  }
  if (!c) return false;
  if (IsPushButton(*c)) {
    if (vk != VK_SPACE || d->pressed == d->focus) return false;
    d->pressed = d->focus;
    d->pressedByMouse = false;
    return true;
  }
  if (EditKey(*c, vk)) {
    RestartBlink(d);
    return true;
  }
  return false;
}

void KeyUp(Dialog* d, uint32_t vk) {
  if (vk != VK_SPACE || d->pressed < 0 || d->pressedByMouse || d->pressed != d->focus) return;
  const Control& c = d->controls[d->pressed];
  d->pressed = -1;
  Refresh(d);
  Command(d, static_cast<uint32_t>(c.source->id));
}

// Returns true when the dialog took the message; `changed` when its look changed.
bool Mouse(Dialog* d, const Message& m, bool& changed) {
  int x = m.lParam & 0xFFFF;
  int y = (m.lParam >> 16) & 0xFFFF;
  bool over = Inside(d->window, x, y);
  if (m.message == WM_MOUSEMOVE) {
    if (d->pressed >= 0 && d->pressedByMouse) {
      bool on = Inside(d->controls[d->pressed].rect, x, y);
      changed = on != d->pointerOnPressed;
      d->pointerOnPressed = on;
      return true;  // a held button follows the pointer everywhere
    }
    return over;
  }
  if (m.message == WM_LBUTTONDOWN) {
    if (!over) return false;
    int i = ControlAt(d, x, y);
    if (i < 0) return true;
    Control& c = d->controls[i];
    SetFocusTo(d, i, false);
    if (IsPushButton(c)) {
      d->pressed = i;
      d->pressedByMouse = true;
      d->pointerOnPressed = true;
    } else {
      // A click places the caret and ends the selection.
      c.caret = c.anchor = CharAtPoint(c, x, y);
      KeepCaretInView(c);
    }
    changed = true;
    return true;
  }
  // WM_LBUTTONUP
  if (d->pressed >= 0 && d->pressedByMouse) {
    int i = d->pressed;
    bool on = Inside(d->controls[i].rect, x, y);
    d->pressed = -1;
    d->pressedByMouse = false;
    Refresh(d);
    if (on) Command(d, static_cast<uint32_t>(d->controls[i].source->id));
    return true;
  }
  return over;
}

}  // namespace platform
