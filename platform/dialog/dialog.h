#pragma once
// Modeless dialogs drawn inside the game window, over its last picture: made from templates
// (caption, font, position and size in dialog units, style, controls in tab order), with the
// keyboard handling a player expects of a dialog (Enter, Escape, Tab, Space, edit keys) and
// Korean typing through the input method. Texts are code page 949. A library of its own
// under platform/ (brakkel_dialog), on the platform's core and its input method client.
#include <cstddef>
#include <cstdint>

#include "platform/display.h"

namespace platform {

// An open dialog; its insides belong to the dialog module.
struct Dialog;

// Dialog messages and commands, in the numbering the dialog procedures are written against.
inline constexpr uint32_t WM_SETFOCUS = 0x0007;
inline constexpr uint32_t WM_INITDIALOG = 0x0110;
inline constexpr uint32_t WM_COMMAND = 0x0111;
inline constexpr uint32_t IDOK = 1;
inline constexpr uint32_t IDCANCEL = 2;

// Window and control styles.
inline constexpr uint32_t WS_POPUP = 0x80000000;
inline constexpr uint32_t WS_CHILD = 0x40000000;
inline constexpr uint32_t WS_VISIBLE = 0x10000000;
inline constexpr uint32_t WS_CAPTION = 0x00C00000;
inline constexpr uint32_t WS_BORDER = 0x00800000;
inline constexpr uint32_t WS_TABSTOP = 0x00010000;
inline constexpr uint32_t DS_SETFONT = 0x0040;
inline constexpr uint32_t DS_MODALFRAME = 0x0080;
inline constexpr uint32_t ES_MULTILINE = 0x0004;
inline constexpr uint32_t ES_AUTOHSCROLL = 0x0080;
inline constexpr uint32_t ES_READONLY = 0x0800;
inline constexpr uint32_t ES_WANTRETURN = 0x1000;
inline constexpr uint32_t BS_DEFPUSHBUTTON = 0x0001;
inline constexpr uint32_t BS_GROUPBOX = 0x0007;

enum class ControlClass { Button, Edit };

// One control; coordinates in dialog units, relative to the dialog's client area.
struct ControlTemplate {
  ControlClass kind = ControlClass::Button;
  int32_t id = -1;
  const char* text = "";  // code page 949
  int x = 0, y = 0, width = 0, height = 0;
  uint32_t style = 0;
};

// One dialog; the position is relative to the game window's client area, the size is that of
// the dialog's client area, both in dialog units of its font.
struct DialogTemplate {
  int32_t id = 0;
  const char* caption = "";  // code page 949
  int pointSize = 9;
  const char* faceName = "";  // code page 949
  int x = 0, y = 0, width = 0, height = 0;
  uint32_t style = 0;
  const ControlTemplate* controls = nullptr;  // in tab order
  int controlCount = 0;
};

// A dialog procedure: 1 when it handled the message, else 0.
using DialogProc = intptr_t (*)(Dialog* dialog, uint32_t message, uint32_t wParam, int32_t lParam);

// Every dialog font is shown in the game's Korean face at this cell height; a dialog unit
// is a quarter of its Latin advance wide and an eighth of the cell high.
inline constexpr int kDialogCellHeight = 12;
inline constexpr int kDialogBaseWidth = 6;
inline constexpr int DialogUnitsToPixelsX(int units) { return units * kDialogBaseWidth / 4; }
inline constexpr int DialogUnitsToPixelsY(int units) { return units * kDialogCellHeight / 8; }
// The frame around the client area and the caption bar above it, in pixels.
inline constexpr int kDialogFrame = 3;
inline constexpr int kDialogCaptionHeight = 18;
// The caret blinks at this pace.
inline constexpr uint32_t kCaretBlinkMs = 530;

// A rectangle in the game window's client coordinates.
struct DialogRect {
  int x = 0, y = 0, width = 0, height = 0;
};

// Creates a dialog from its template over the game window: the controls, then the
// procedure's WM_INITDIALOG; if that returns 1 the first tab stop takes the focus (an edit
// with its whole text selected). Then shows it. Null when no more dialogs can be open.
Dialog* CreateDialogFromTemplate(const DialogTemplate& dialogTemplate, DialogProc procedure);
// Ends a dialog: it disappears from the window and its handle means nothing any more.
// Ending a dialog that has already ended (or null) does nothing.
void EndDialog(Dialog* dialog, intptr_t result);
// Offers a message to the dialog. True when the dialog took it: every keyboard and input
// method message, and the mouse messages over the dialog (or for a button it holds pressed).
bool DialogMessage(Dialog* dialog, const Message& message);
// Blinks the carets that are due and shows the change. Returns the milliseconds until the
// next blink is due (kCaretBlinkMs when no caret shows).
uint32_t UpdateDialogs();

void SetDialogCaption(Dialog* dialog, const char* captionCp949);
// The caption, zero-terminated (empty for an ended dialog).
const char* DialogCaption(Dialog* dialog);
// A control's text; cut at a character boundary to what the control holds.
void SetDialogItemText(Dialog* dialog, int32_t id, const char* textCp949);
// Copies at most capacity - 1 bytes of the control's text, never half a double-byte
// character, always zero-terminated. Returns the bytes copied.
size_t GetDialogItemText(Dialog* dialog, int32_t id, char* out, size_t capacity);
// The control with the focus (-1 when none), an edit's selection (start, end = caret), the
// input method's composition in progress at the caret, and where a control lies.
int32_t DialogFocusId(Dialog* dialog);
bool GetDialogItemSelection(Dialog* dialog, int32_t id, size_t& start, size_t& end);
const char* DialogComposition(Dialog* dialog, int32_t id);
bool GetDialogItemRect(Dialog* dialog, int32_t id, DialogRect& rect);
DialogRect DialogWindowRect(Dialog* dialog);
// True while the dialog is open.
bool DialogAlive(Dialog* dialog);

}  // namespace platform
