#pragma once
// Shared by the dialog module's files only: what an open dialog holds, and what its parts
// offer one another: the edit control (dialog_edit.cpp), the keyboard and the mouse
// (dialog_input.cpp), the drawing (dialog_draw.cpp), focus and commands (dialog.cpp).
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "platform/dialog/dialog.h"
#include "platform/display.h"
#include "platform/internal.h"

namespace platform {

constexpr int kMaxDialogs = 2;  // drawn in the order they opened
constexpr int kMaxControls = 4;
constexpr size_t kControlTextBytes = 10000;  // what a control holds, with its terminator
constexpr size_t kCaptionBytes = 256;

struct Dialog {
  struct Control {
    const ControlTemplate* source = nullptr;
    DialogRect rect;  // game window client coordinates
    char text[kControlTextBytes] = {};
    size_t length = 0;
    size_t anchor = 0;  // the selection runs from the anchor to the caret
    size_t caret = 0;
    int scrollX = 0;  // single-line edits scroll sideways to keep the caret in view
    char composition[sizeof Message{}.text] = {};
  };
  bool alive = false;
  uint32_t order = 0;  // later dialogs lie on top
  DialogProc procedure = nullptr;
  char caption[kCaptionBytes] = {};
  DialogRect window;
  DialogRect client;
  Control controls[kMaxControls];
  int controlCount = 0;
  int focus = -1;
  int pressed = -1;  // the push button held down, by the mouse or by Space
  bool pressedByMouse = false;
  bool pointerOnPressed = false;
  bool caretOn = true;
  uint32_t blinkSince = 0;
  bool shown = false;  // creation is over: changes show at once
};

using Control = Dialog::Control;

constexpr int kCell = kDialogCellHeight;

// ---- controls -------------------------------------------------------------------------

inline bool IsEdit(const Control& c) { return c.source->kind == ControlClass::Edit; }
inline bool IsGroupBox(const Control& c) {
  return c.source->kind == ControlClass::Button && (c.source->style & 0xF) == BS_GROUPBOX;
}
inline bool IsPushButton(const Control& c) { return c.source->kind == ControlClass::Button && !IsGroupBox(c); }
inline bool IsMultiline(const Control& c) { return IsEdit(c) && (c.source->style & ES_MULTILINE); }
inline bool IsEditable(const Control& c) { return IsEdit(c) && !(c.source->style & ES_READONLY); }
inline bool IsTabStop(const Control& c) { return !IsGroupBox(c) && (c.source->style & WS_TABSTOP); }

inline Control* Focused(Dialog* d) { return d->focus >= 0 ? &d->controls[d->focus] : nullptr; }

inline DialogRect Shrink(const DialogRect& r, int by) {
  return {r.x + by, r.y + by, std::max(0, r.width - 2 * by), std::max(0, r.height - 2 * by)};
}

// ---- the edit control (dialog_edit.cpp) -----------------------------------------------

// Text by whole characters: a double-byte character, a CR LF line break, or one byte.
size_t CharBytes(const char* s, size_t len, size_t at);
uint32_t CodepointOf(const char* s, size_t n);
int CharWidth(const char* s, size_t n, int cell = kCell);
int RunWidth(const char* s, size_t len, int cell = kCell);
size_t LineEnd(const Control& c, size_t start);
// Where the text lies, where the caret stands, and which character a point is on.
DialogRect TextArea(const Control& c);
void TextOrigin(const Control& c, int& x, int& y);
void CaretPoint(const Control& c, int& x, int& y);
size_t CharAtPoint(const Control& c, int px, int py);
void KeepCaretInView(Control& c);
// Changing the text, and an edit's keys, characters and composition.
void SetText(Control& c, const char* text, size_t len);
void Insert(Control& c, const char* bytes, size_t n);
bool EditKey(Control& c, uint32_t vk);
bool EditChar(Control& c, const Message& m);
void EditComposition(Control& c, const char* text);

// ---- focus and commands (dialog.cpp) --------------------------------------------------

void RestartBlink(Dialog* d);
void SetFocusTo(Dialog* d, int index, bool selectAll);
int NextTabStop(Dialog* d, bool backwards);
uint32_t DefaultCommand(Dialog* d);
void Command(Dialog* d, uint32_t id);
void Refresh(Dialog* d);

// ---- keyboard and mouse (dialog_input.cpp) --------------------------------------------

bool KeyDown(Dialog* d, uint32_t vk);
// Space let go over the button it pressed: the button's command (the dialog redraws itself).
void KeyUp(Dialog* d, uint32_t vk);
bool Mouse(Dialog* d, const Message& m, bool& changed);

// ---- drawing (dialog_draw.cpp) --------------------------------------------------------

void DrawDialog(const Canvas& screen, const Dialog& d);

}  // namespace platform
