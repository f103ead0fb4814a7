// Dialogs inside the game window: made from templates, drawn over the picture on its way to
// the window, with focus, default command, buttons and edit controls (caret, selection,
// input method composition). Every change shows at once by presenting the game's
// off-screen picture again, with the dialogs on top. A library of its own under platform/
// (brakkel_dialog): the window's core draws the dialogs and lets them go through the hooks
// of platform/window_hooks.h, set when the first dialog opens. Here: the open dialogs, focus
// and commands, and the module's interface; the edit control, the keyboard and mouse, and
// the drawing live in dialog_edit.cpp, dialog_input.cpp and dialog_draw.cpp.
#include "platform/dialog/dialog.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>

#include "platform/clock.h"
#include "platform/dialog/dialog_parts.h"
#include "platform/ime/input_method.h"
#include "platform/internal.h"
#include "platform/window_hooks.h"
#include "text/cp949.h"

namespace platform {
namespace {

Dialog dialogs[kMaxDialogs];
uint32_t nextOrder = 1;
SDL_Rect inputSpot{-1, -1, 0, 0};

Control* ById(Dialog* d, int32_t id) {
  if (!d || !d->alive) return nullptr;
  for (int i = 0; i < d->controlCount; ++i) {
    if (d->controls[i].source->id == id) return &d->controls[i];
  }
  return nullptr;
}

}  // namespace

// ---- focus and commands ---------------------------------------------------------------

void RestartBlink(Dialog* d) {
  d->caretOn = true;
  d->blinkSince = Ticks();
}

void SetFocusTo(Dialog* d, int index, bool selectAll) {
  if (Control* old = Focused(d)) old->composition[0] = 0;
  d->focus = index;
  d->pressed = -1;
  d->pressedByMouse = false;
  Control* c = Focused(d);
  if (c && IsEdit(*c) && selectAll) {
    c->anchor = 0;
    c->caret = c->length;
    KeepCaretInView(*c);
  }
  RestartBlink(d);
}

int NextTabStop(Dialog* d, bool backwards) {
  int n = d->controlCount;
  int start = d->focus >= 0 ? d->focus : (backwards ? 0 : n - 1);
  for (int k = 1; k <= n; ++k) {
    int i = (start + (backwards ? n - k : k)) % n;
    if (IsTabStop(d->controls[i])) return i;
  }
  return -1;
}

uint32_t DefaultCommand(Dialog* d) {
  for (int i = 0; i < d->controlCount; ++i) {
    const Control& c = d->controls[i];
    if (IsPushButton(c) && (c.source->style & 0xF) == BS_DEFPUSHBUTTON) {
      return static_cast<uint32_t>(c.source->id) & 0xFFFF;
    }
  }
  return IDOK;
}

void Command(Dialog* d, uint32_t id) {
  if (d->procedure) d->procedure(d, WM_COMMAND, id & 0xFFFF, 0);
}

// The input method works only while an edit that takes typing has the focus in a shown
// dialog; everywhere else the game reads plain keys.
void SyncTextInput() {
  bool wanted = false;
  for (Dialog& d : dialogs) {
    const Control* c = d.alive && d.shown ? Focused(&d) : nullptr;
    if (c && IsEditable(*c)) wanted = true;
  }
  if (wanted == (InputMethodActive() || SDL_IsTextInputActive())) return;
  if (wanted) {
    inputSpot = SDL_Rect{-1, -1, 0, 0};  // the candidate window is placed again
    // The game's own input method client when the desktop has an input method; SDL's text
    // input (and its client, where it has one) otherwise.
    if (!InputMethodFocus(true)) SDL_StartTextInput();
  } else {
    InputMethodFocus(false);
    SDL_StopTextInput();
  }
}

// Shows a change, and keeps the input method's candidate window at the caret.
void Refresh(Dialog* d) {
  SyncTextInput();
  if (!d->alive || !d->shown) return;
  Control* c = Focused(d);
  if (c && IsEditable(*c)) {
    int x = 0, y = 0;
    CaretPoint(*c, x, y);
    SDL_Rect spot{x, y, 1, kCell};
    if (std::memcmp(&spot, &inputSpot, sizeof spot) != 0) {
      inputSpot = spot;
      SDL_Rect inWindow = ClientRectInWindow(spot);
      SDL_SetTextInputRect(&inWindow);
      InputMethodCaret(spot);
    }
  }
  PresentOffscreen();
}

// ---- the dialogs' part in the window (the hooks of window_hooks.h) ---------------------

namespace {

void ComposeDialogs(uint32_t* pixels, int pitch) {
  Canvas screen{pixels, pitch, 0, 0, kScreenWidth, kScreenHeight};
  const Dialog* order[kMaxDialogs];
  int count = 0;
  for (const Dialog& d : dialogs) {
    if (d.alive && d.shown) order[count++] = &d;
  }
  static_assert(kMaxDialogs == 2, "the later of two dialogs lies on top");
  if (count == 2 && order[0]->order > order[1]->order) std::swap(order[0], order[1]);
  for (int i = 0; i < count; ++i) DrawDialog(screen, *order[i]);
}

bool DialogsShown() {
  for (const Dialog& d : dialogs) {
    if (d.alive && d.shown) return true;
  }
  return false;
}

void ForgetDialogs() {
  for (Dialog& d : dialogs) {
    d.alive = false;
    d.shown = false;
  }
  if (VideoStarted()) SyncTextInput();
  inputSpot = SDL_Rect{-1, -1, 0, 0};
}

// The window's core draws the dialogs and lets them go through its hooks, from the first
// dialog on.
void SetHooksOnce() {
  static bool set = false;
  if (set) return;
  set = true;
  DialogHooks hooks;
  hooks.shown = DialogsShown;
  hooks.compose = ComposeDialogs;
  hooks.forget = ForgetDialogs;
  SetDialogHooks(hooks);
}

}  // namespace

// ---- the module's interface -----------------------------------------------------------

Dialog* CreateDialogFromTemplate(const DialogTemplate& t, DialogProc procedure) {
  SetHooksOnce();
  Dialog* d = nullptr;
  for (Dialog& slot : dialogs) {
    if (!slot.alive) {
      d = &slot;
      break;
    }
  }
  if (!d) return nullptr;
  d->alive = true;
  d->shown = false;
  d->order = nextOrder++;
  d->procedure = procedure;
  SetDialogCaption(d, t.caption);
  d->window = {DialogUnitsToPixelsX(t.x), DialogUnitsToPixelsY(t.y), DialogUnitsToPixelsX(t.width) + 2 * kDialogFrame,
               DialogUnitsToPixelsY(t.height) + kDialogCaptionHeight + 2 * kDialogFrame};
  d->client = {d->window.x + kDialogFrame, d->window.y + kDialogFrame + kDialogCaptionHeight,
               DialogUnitsToPixelsX(t.width), DialogUnitsToPixelsY(t.height)};
  d->controlCount = std::clamp(t.controlCount, 0, kMaxControls);
  for (int i = 0; i < d->controlCount; ++i) {
    Control& c = d->controls[i];
    c.source = &t.controls[i];
    c.rect = {d->client.x + DialogUnitsToPixelsX(c.source->x), d->client.y + DialogUnitsToPixelsY(c.source->y),
              DialogUnitsToPixelsX(c.source->width), DialogUnitsToPixelsY(c.source->height)};
    const char* text = c.source->text ? c.source->text : "";
    SetText(c, text, std::strlen(text));
  }
  d->focus = -1;
  d->pressed = -1;
  d->pressedByMouse = false;
  RestartBlink(d);
  intptr_t focusFirst = procedure ? procedure(d, WM_INITDIALOG, 0, 0) : 1;
  if (!d->alive) return nullptr;
  if (focusFirst) {
    int first = NextTabStop(d, false);
    if (first >= 0) SetFocusTo(d, first, true);
  }
  d->shown = true;
  Refresh(d);
  return d;
}

void EndDialog(Dialog* d, intptr_t /*result: a modeless dialog's result is not kept*/) {
  if (!d || !d->alive) return;
  // The dialog is destroyed, not only hidden: every showing makes a new one.
  d->alive = false;
  d->shown = false;
  SyncTextInput();
  PresentOffscreen();
}

bool DialogMessage(Dialog* d, const Message& m) {
  if (!d || !d->alive) return false;
  bool changed = false;
  bool taken = true;  // the open dialog keeps every key, even after a click on the game picture
  Control* c = Focused(d);
  switch (m.message) {
    case WM_KEYDOWN: changed = KeyDown(d, m.wParam); break;
    case WM_KEYUP: KeyUp(d, m.wParam); break;
    case WM_CHAR:
      if (c && IsEdit(*c) && EditChar(*c, m)) {
        RestartBlink(d);
        changed = true;
      }
      break;
    case WM_IME_COMPOSITION:
      if (c && IsEditable(*c)) {
        EditComposition(*c, m.text);
        RestartBlink(d);
        changed = true;
      }
      break;
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP: break;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP: taken = Mouse(d, m, changed); break;
    default: taken = false; break;
  }
  if (changed) Refresh(d);
  return taken;
}

uint32_t UpdateDialogs() {
  uint32_t now = Ticks();
  uint32_t next = kCaretBlinkMs;
  for (Dialog& d : dialogs) {
    const Control* c = d.alive ? Focused(&d) : nullptr;
    if (!c || !IsEdit(*c)) continue;
    uint32_t since = now - d.blinkSince;
    if (since >= kCaretBlinkMs) {
      d.caretOn = !d.caretOn;
      d.blinkSince = now;
      since = 0;
      Refresh(&d);
    }
    next = std::min(next, kCaretBlinkMs - since);
  }
  return next;
}

void SetDialogCaption(Dialog* d, const char* caption) {
  if (!d || !d->alive || !caption) return;
  size_t n = Cp949FitLength(caption, std::strlen(caption), kCaptionBytes - 1);
  std::memcpy(d->caption, caption, n);
  d->caption[n] = 0;
  Refresh(d);
}

const char* DialogCaption(Dialog* d) { return d && d->alive ? d->caption : ""; }

void SetDialogItemText(Dialog* d, int32_t id, const char* text) {
  Control* c = ById(d, id);
  if (!c || !text) return;
  SetText(*c, text, std::strlen(text));
  Refresh(d);
}

size_t GetDialogItemText(Dialog* d, int32_t id, char* out, size_t capacity) {
  if (capacity == 0) return 0;
  const Control* c = ById(d, id);
  size_t n = c ? Cp949FitLength(c->text, c->length, capacity - 1) : 0;
  if (c) std::memcpy(out, c->text, n);
  out[n] = 0;
  return n;
}

int32_t DialogFocusId(Dialog* d) {
  const Control* c = d && d->alive ? Focused(d) : nullptr;
  return c ? c->source->id : -1;
}

bool GetDialogItemSelection(Dialog* d, int32_t id, size_t& start, size_t& end) {
  const Control* c = ById(d, id);
  if (!c) return false;
  start = std::min(c->anchor, c->caret);
  end = std::max(c->anchor, c->caret);
  return true;
}

const char* DialogComposition(Dialog* d, int32_t id) {
  const Control* c = ById(d, id);
  return c ? c->composition : "";
}

bool GetDialogItemRect(Dialog* d, int32_t id, DialogRect& rect) {
  const Control* c = ById(d, id);
  if (!c) return false;
  rect = c->rect;
  return true;
}

DialogRect DialogWindowRect(Dialog* d) { return d && d->alive ? d->window : DialogRect{}; }

bool DialogAlive(Dialog* d) { return d && d->alive; }

}  // namespace platform
