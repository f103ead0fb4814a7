// Dialogs inside the game window: made from templates, drawn over the picture on its way to
// the window, with focus, default command, buttons and edit controls (caret, selection,
// input method composition). Every change shows at once by presenting the game's
// off-screen picture again, with the dialogs on top.
#include "platform/dialog.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>

#include "platform/clock.h"
#include "wire/cp949.h"
#include "platform/internal.h"

namespace {

constexpr int kMaxDialogs = 2;  // drawn in the order they opened
constexpr int kMaxControls = 4;
constexpr size_t kControlTextBytes = 10000;  // what a control holds, with its terminator
constexpr size_t kCaptionBytes = 256;

}  // namespace

struct Dialog {
  struct Control {
    const platform::ControlTemplate* source = nullptr;
    platform::DialogRect rect;  // game window client coordinates
    char text[kControlTextBytes] = {};
    size_t length = 0;
    size_t anchor = 0;  // the selection runs from the anchor to the caret
    size_t caret = 0;
    int scrollX = 0;  // single-line edits scroll sideways to keep the caret in view
    char composition[sizeof platform::Message{}.text] = {};
  };
  bool alive = false;
  uint32_t order = 0;  // later dialogs lie on top
  platform::DialogProc procedure = nullptr;
  char caption[kCaptionBytes] = {};
  platform::DialogRect window;
  platform::DialogRect client;
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

namespace platform {
namespace {

using Control = Dialog::Control;

Dialog dialogs[kMaxDialogs];
uint32_t nextOrder = 1;
SDL_Rect inputSpot{-1, -1, 0, 0};

constexpr uint32_t kFace = 0xD4D0C8;
constexpr uint32_t kLight = 0xFFFFFF;
constexpr uint32_t kShadow = 0x808080;
constexpr uint32_t kDark = 0x404040;
constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kSelection = 0x0A246A;
constexpr uint32_t kCaptionFrom = 0x0A246A;
constexpr uint32_t kCaptionTo = 0xA6CAF0;
constexpr int kCell = kDialogCellHeight;
constexpr int kSmallestCaptionCell = 10;

// ---- controls -------------------------------------------------------------------------

bool IsEdit(const Control& c) { return c.source->kind == ControlClass::Edit; }
bool IsGroupBox(const Control& c) {
  return c.source->kind == ControlClass::Button && (c.source->style & 0xF) == BS_GROUPBOX;
}
bool IsPushButton(const Control& c) {
  return c.source->kind == ControlClass::Button && !IsGroupBox(c);
}
bool IsMultiline(const Control& c) { return IsEdit(c) && (c.source->style & ES_MULTILINE); }
bool IsEditable(const Control& c) { return IsEdit(c) && !(c.source->style & ES_READONLY); }
bool IsTabStop(const Control& c) { return !IsGroupBox(c) && (c.source->style & WS_TABSTOP); }

Control* Focused(Dialog* d) { return d->focus >= 0 ? &d->controls[d->focus] : nullptr; }

Control* ById(Dialog* d, int32_t id) {
  if (!d || !d->alive) return nullptr;
  for (int i = 0; i < d->controlCount; ++i) {
    if (d->controls[i].source->id == id) return &d->controls[i];
  }
  return nullptr;
}

bool Inside(const DialogRect& r, int x, int y) {
  return x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height;
}

DialogRect Shrink(const DialogRect& r, int by) {
  return {r.x + by, r.y + by, std::max(0, r.width - 2 * by), std::max(0, r.height - 2 * by)};
}

// ---- text -----------------------------------------------------------------------------

// Bytes of the character at `at`: a double-byte character, a CR LF line break, or one byte.
size_t CharBytes(const char* s, size_t len, size_t at) {
  if (at + 1 < len && s[at] == '\r' && s[at + 1] == '\n') return 2;
  auto lead = static_cast<uint8_t>(s[at]);
  return lead >= 0x81 && lead <= 0xFE && at + 1 < len ? 2 : 1;
}

size_t PreviousChar(const char* s, size_t len, size_t at) {
  size_t i = 0, previous = 0;
  while (i < at) {
    previous = i;
    i += CharBytes(s, len, i);
  }
  return previous;
}

uint32_t CodepointOf(const char* s, size_t n) {
  uint32_t cp = 0xFFFD;
  if (Cp949ToCodepoints(s, n, &cp, 1) != 1) cp = 0xFFFD;
  return cp;
}

int CharWidth(const char* s, size_t n, int cell = kCell) {
  if (s[0] == '\r' || s[0] == '\n') return 0;
  return DrawGlyphOn(Canvas{}, cell, 0, 0, CodepointOf(s, n), 0);
}

int RunWidth(const char* s, size_t len, int cell = kCell) {
  int width = 0;
  for (size_t i = 0; i < len;) {
    size_t n = CharBytes(s, len, i);
    width += CharWidth(s + i, n, cell);
    i += n;
  }
  return width;
}

// End of the line that starts at `start`: its CR LF, or the end of the text.
size_t LineEnd(const Control& c, size_t start) {
  if (!IsMultiline(c)) return c.length;
  for (size_t i = start; i + 1 < c.length; ++i) {
    if (c.text[i] == '\r' && c.text[i + 1] == '\n') return i;
  }
  return c.length;
}

size_t LineStart(const Control& c, size_t at) {
  if (!IsMultiline(c)) return 0;
  size_t start = 0;
  for (size_t end = LineEnd(c, 0); end < at && end < c.length; end = LineEnd(c, start)) {
    start = end + 2;
  }
  return start;
}

DialogRect TextArea(const Control& c) { return Shrink(c.rect, 1); }

// Top-left corner of the text's first cell (single-line text is centred in the height).
void TextOrigin(const Control& c, int& x, int& y) {
  DialogRect inner = TextArea(c);
  x = inner.x + 1;
  y = IsMultiline(c) ? inner.y + 1 : inner.y + (inner.height - kCell) / 2;
  if (!IsMultiline(c)) x -= c.scrollX;
}

// Where the caret stands, after the composition in progress.
void CaretPoint(const Control& c, int& x, int& y) {
  TextOrigin(c, x, y);
  size_t start = LineStart(c, c.caret);
  if (IsMultiline(c)) {
    for (size_t s = 0; s < start; s = LineEnd(c, s) + 2) y += kCell;
  }
  x += RunWidth(c.text + start, c.caret - start);
  x += RunWidth(c.composition, std::strlen(c.composition));
}

size_t CharAtPoint(const Control& c, int px, int py) {
  int x = 0, y = 0;
  TextOrigin(c, x, y);
  size_t start = 0;
  if (IsMultiline(c)) {
    for (int line = (py - y) / kCell; line > 0 && LineEnd(c, start) < c.length; --line) {
      start = LineEnd(c, start) + 2;
    }
  }
  size_t end = LineEnd(c, start);
  for (size_t i = start; i < end;) {
    size_t n = CharBytes(c.text, c.length, i);
    int w = CharWidth(c.text + i, n);
    if (px < x + w / 2) return i;
    x += w;
    i += n;
  }
  return end;
}

void KeepCaretInView(Control& c) {
  if (IsMultiline(c)) return;
  int visible = TextArea(c).width - 2;
  int caretX = RunWidth(c.text, c.caret) + RunWidth(c.composition, std::strlen(c.composition));
  if (caretX - c.scrollX > visible - 1) c.scrollX = caretX - visible + 1;
  if (caretX < c.scrollX) c.scrollX = caretX;
  if (c.scrollX < 0) c.scrollX = 0;
}

void SetText(Control& c, const char* text, size_t len) {
  size_t n = Cp949FitLength(text, len, kControlTextBytes - 1);
  std::memmove(c.text, text, n);
  c.text[n] = 0;
  c.length = n;
  c.anchor = c.caret = 0;
  c.scrollX = 0;
  c.composition[0] = 0;
}

void DeleteRange(Control& c, size_t from, size_t to) {
  std::memmove(c.text + from, c.text + to, c.length - to + 1);
  c.length -= to - from;
  c.anchor = c.caret = from;
}

void DeleteSelection(Control& c) {
  DeleteRange(c, std::min(c.anchor, c.caret), std::max(c.anchor, c.caret));
}

// Typed text replaces the selection; what does not fit the control is dropped.
void Insert(Control& c, const char* bytes, size_t n) {
  DeleteSelection(c);
  if (c.length + n > kControlTextBytes - 1) return;
  std::memmove(c.text + c.caret + n, c.text + c.caret, c.length - c.caret + 1);
  std::memcpy(c.text + c.caret, bytes, n);
  c.length += n;
  c.caret += n;
  c.anchor = c.caret;
}

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

// Shows a change, and keeps the input method's candidate window at the caret.
void Refresh(Dialog* d) {
  if (!d->alive || !d->shown) return;
  Control* c = Focused(d);
  if (c && IsEditable(*c)) {
    int x = 0, y = 0;
    CaretPoint(*c, x, y);
    SDL_Rect spot{x, y, 1, kCell};
    if (std::memcmp(&spot, &inputSpot, sizeof spot) != 0) {
      inputSpot = spot;
      SDL_SetTextInputRect(&spot);
    }
  }
  PresentOffscreen();
}

// ---- keyboard and mouse ---------------------------------------------------------------

// An edit's keys; true when the text or the caret changed.
// Moving the caret ends a selection, one character from where the caret stood.
bool EditKey(Control& c, uint32_t vk) {
  switch (vk) {
    case VK_LEFT:
      c.caret = c.caret > 0 ? PreviousChar(c.text, c.length, c.caret) : 0;
      break;
    case VK_RIGHT:
      if (c.caret < c.length) c.caret += CharBytes(c.text, c.length, c.caret);
      break;
    case VK_HOME:
      c.caret = LineStart(c, c.caret);
      break;
    case VK_END:
      c.caret = LineEnd(c, LineStart(c, c.caret));
      break;
    case VK_DELETE:
      if (!IsEditable(c)) return false;
      if (c.anchor != c.caret) {
        DeleteSelection(c);
      } else if (c.caret < c.length) {
        DeleteRange(c, c.caret, c.caret + CharBytes(c.text, c.length, c.caret));
      }
      break;
    default:
      return false;
  }
  c.anchor = c.caret;
  KeepCaretInView(c);
  return true;
}

bool EditChar(Control& c, const Message& m) {
  if (!IsEditable(c)) return false;
  auto first = static_cast<uint8_t>(m.text[0]);
  if (first == 0x08) {
    if (c.anchor != c.caret) {
      DeleteSelection(c);
    } else if (c.caret > 0) {
      DeleteRange(c, PreviousChar(c.text, c.length, c.caret), c.caret);
    }
  } else if (first >= 0x20 && first != 0x7F) {
    Insert(c, m.text, std::strlen(m.text));
  } else {
    return false;
  }
  KeepCaretInView(c);
  return true;
}

void EditComposition(Control& c, const char* text) {
  if (!IsEditable(c)) return;
  // A composition that starts over a selection replaces the selected text.
  if (*text && c.anchor != c.caret) DeleteSelection(c);
  size_t n = Cp949FitLength(text, std::strlen(text), sizeof c.composition - 1);
  std::memcpy(c.composition, text, n);
  c.composition[n] = 0;
  KeepCaretInView(c);
}

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

bool KeyUp(Dialog* d, uint32_t vk) {
  if (vk != VK_SPACE || d->pressed < 0 || d->pressedByMouse || d->pressed != d->focus) return false;
  const Control& c = d->controls[d->pressed];
  d->pressed = -1;
  Refresh(d);
  Command(d, static_cast<uint32_t>(c.source->id));
  return false;
}

int ControlAt(Dialog* d, int x, int y) {
  for (int i = 0; i < d->controlCount; ++i) {
    // A group box is only a frame: clicks go through it.
    if (!IsGroupBox(d->controls[i]) && Inside(d->controls[i].rect, x, y)) return i;
  }
  return -1;
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

// ---- drawing --------------------------------------------------------------------------

Canvas Clip(const Canvas& canvas, const DialogRect& r) {
  Canvas c = canvas;
  c.left = std::max(canvas.left, r.x);
  c.top = std::max(canvas.top, r.y);
  c.right = std::min(canvas.right, r.x + r.width);
  c.bottom = std::min(canvas.bottom, r.y + r.height);
  return c;
}

void Fill(const Canvas& canvas, const DialogRect& r, uint32_t colour) {
  Canvas c = Clip(canvas, r);
  for (int y = c.top; y < c.bottom; ++y) {
    std::fill(c.pixels + y * c.pitch + c.left, c.pixels + y * c.pitch + std::max(c.left, c.right),
              colour);
  }
}

// A one-pixel edge: top and left in one colour, bottom and right in another.
void Edge(const Canvas& canvas, const DialogRect& r, uint32_t topLeft, uint32_t bottomRight) {
  if (r.width <= 0 || r.height <= 0) return;
  Fill(canvas, {r.x, r.y, r.width, 1}, topLeft);
  Fill(canvas, {r.x, r.y, 1, r.height}, topLeft);
  Fill(canvas, {r.x, r.y + r.height - 1, r.width, 1}, bottomRight);
  Fill(canvas, {r.x + r.width - 1, r.y, 1, r.height}, bottomRight);
}

void DottedEdge(const Canvas& canvas, const DialogRect& r) {
  Canvas c = Clip(canvas, r);
  for (int x = r.x; x < r.x + r.width; x += 2) {
    Fill(c, {x, r.y, 1, 1}, kBlack);
    Fill(c, {x, r.y + r.height - 1, 1, 1}, kBlack);
  }
  for (int y = r.y; y < r.y + r.height; y += 2) {
    Fill(c, {r.x, y, 1, 1}, kBlack);
    Fill(c, {r.x + r.width - 1, y, 1, 1}, kBlack);
  }
}

void Invert(const Canvas& canvas, const DialogRect& r) {
  Canvas c = Clip(canvas, r);
  for (int y = c.top; y < c.bottom; ++y) {
    for (int x = c.left; x < c.right; ++x) c.pixels[y * c.pitch + x] ^= 0xFFFFFF;
  }
}

// Draws text from (x, y) up to the canvas's right edge; the bytes in [selectFrom, selectTo)
// show selected. Returns the width drawn.
int DrawRun(const Canvas& canvas, int x, int y, const char* s, size_t len, uint32_t colour,
            size_t selectFrom = 0, size_t selectTo = 0, int cell = kCell) {
  int start = x;
  for (size_t i = 0; i < len && x < canvas.right;) {
    size_t n = CharBytes(s, len, i);
    bool selected = i >= selectFrom && i < selectTo;
    int w = CharWidth(s + i, n, cell);
    if (selected) Fill(canvas, {x, y, w, cell}, kSelection);
    if (w > 0) DrawGlyphOn(canvas, cell, x, y, CodepointOf(s + i, n), selected ? kWhite : colour);
    x += w;
    i += n;
  }
  return x - start;
}

void DrawEdit(const Canvas& canvas, const Dialog& d, const Control& c, bool focused) {
  Edge(canvas, c.rect, kShadow, kLight);
  DialogRect area = TextArea(c);
  Fill(canvas, area, IsEditable(c) ? kWhite : kFace);
  Canvas inner = Clip(canvas, area);
  int x = 0, y = 0;
  TextOrigin(c, x, y);
  size_t selectFrom = focused ? std::min(c.anchor, c.caret) : 0;
  size_t selectTo = focused ? std::max(c.anchor, c.caret) : 0;
  size_t start = 0;
  // One line per CR LF; a line wider than the edit is cut at its edge, never wrapped.
  for (int line = 0; y + line * kCell < inner.bottom; ++line) {
    size_t end = LineEnd(c, start);
    int top = y + line * kCell;
    if (focused && *c.composition && c.caret >= start && c.caret <= end) {
      // The composition in progress shows at the caret, underlined.
      int at = x + DrawRun(inner, x, top, c.text + start, c.caret - start, kBlack);
      int w = DrawRun(inner, at, top, c.composition, std::strlen(c.composition), kBlack);
      Fill(inner, {at, top + kCell - 1, w, 1}, kBlack);
      DrawRun(inner, at + w, top, c.text + c.caret, end - c.caret, kBlack);
    } else {
      DrawRun(inner, x, top, c.text + start, end - start, kBlack,
              selectFrom - std::min(selectFrom, start), selectTo - std::min(selectTo, start));
    }
    if (end >= c.length) break;
    start = end + 2;
  }
  if (focused && d.caretOn) {
    int cx = 0, cy = 0;
    CaretPoint(c, cx, cy);
    Invert(inner, {cx, cy, 1, kCell});
  }
}

void DrawButton(const Canvas& canvas, const Dialog& d, int index) {
  const Control& c = d.controls[index];
  bool focused = d.focus == index;
  const Control* f = d.focus >= 0 ? &d.controls[d.focus] : nullptr;
  // The focused push button is the default one; otherwise the template's default button.
  bool isDefault =
      focused || ((!f || !IsPushButton(*f)) && (c.source->style & 0xF) == BS_DEFPUSHBUTTON);
  bool down = d.pressed == index && (!d.pressedByMouse || d.pointerOnPressed);
  DialogRect r = c.rect;
  Fill(canvas, r, kFace);
  if (isDefault) {
    Edge(canvas, r, kBlack, kBlack);
    r = Shrink(r, 1);
  }
  if (down) {
    Edge(canvas, r, kShadow, kShadow);
  } else {
    Edge(canvas, r, kLight, kDark);
    Edge(canvas, Shrink(r, 1), kFace, kShadow);
  }
  Canvas inner = Clip(canvas, Shrink(c.rect, 2));
  int w = RunWidth(c.text, c.length);
  int shift = down ? 1 : 0;
  DrawRun(inner, c.rect.x + (c.rect.width - w) / 2 + shift,
          c.rect.y + (c.rect.height - kCell) / 2 + shift, c.text, c.length, kBlack);
  if (focused) DottedEdge(canvas, Shrink(c.rect, 4));
}

void DrawGroupBox(const Canvas& canvas, const Control& c) {
  const DialogRect& r = c.rect;
  int lineTop = r.y + kCell / 2;
  Edge(canvas, {r.x, lineTop, r.width - 1, r.height - kCell / 2 - 1}, kShadow, kShadow);
  Edge(canvas, {r.x + 1, lineTop + 1, r.width - 1, r.height - kCell / 2 - 1}, kLight, kLight);
  int w = RunWidth(c.text, c.length);
  if (w == 0) return;
  Fill(canvas, {r.x + 6, r.y, w + 4, kCell}, kFace);
  DrawRun(Clip(canvas, r), r.x + 8, r.y, c.text, c.length, kBlack);
}

void DrawDialog(const Canvas& screen, const Dialog& d) {
  Canvas canvas = Clip(screen, d.window);
  DialogRect w = d.window;
  Edge(canvas, w, kFace, kDark);
  Edge(canvas, Shrink(w, 1), kLight, kShadow);
  Edge(canvas, Shrink(w, 2), kFace, kFace);
  // The caption bar: a gradient from dark to light blue, the caption in white.
  DialogRect bar{w.x + kDialogFrame, w.y + kDialogFrame, w.width - 2 * kDialogFrame,
                 kDialogCaptionHeight};
  Canvas barCanvas = Clip(canvas, bar);
  for (int x = 0; x < bar.width; ++x) {
    uint32_t mixed = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
      int from = static_cast<int>((kCaptionFrom >> shift) & 0xFF);
      int to = static_cast<int>((kCaptionTo >> shift) & 0xFF);
      int v = from + (to - from) * x / std::max(1, bar.width - 1);
      mixed |= static_cast<uint32_t>(v) << shift;
    }
    Fill(barCanvas, {bar.x + x, bar.y, 1, bar.height}, mixed);
  }
  // A caption too long for the bar at the dialog's cell takes a smaller one, down to 10 pixels.
  Canvas captionCanvas = Clip(canvas, Shrink(bar, 2));
  size_t captionLength = std::strlen(d.caption);
  int cell = kCell;
  while (cell > kSmallestCaptionCell &&
         bar.x + 3 + RunWidth(d.caption, captionLength, cell) > captionCanvas.right) {
    --cell;
  }
  DrawRun(captionCanvas, bar.x + 3, bar.y + (bar.height - cell) / 2, d.caption, captionLength,
          kWhite, 0, 0, cell);
  Fill(canvas, d.client, kFace);
  Canvas client = Clip(canvas, d.client);
  for (int i = 0; i < d.controlCount; ++i) {
    const Control& c = d.controls[i];
    if (IsGroupBox(c)) DrawGroupBox(client, c);
  }
  for (int i = 0; i < d.controlCount; ++i) {
    const Control& c = d.controls[i];
    if (IsEdit(c)) DrawEdit(client, d, c, d.focus == i);
    if (IsPushButton(c)) DrawButton(client, d, i);
  }
}

}  // namespace

// ---- the module's interface -----------------------------------------------------------

Dialog* CreateDialogFromTemplate(const DialogTemplate& t, DialogProc procedure) {
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
  d->window = {DialogUnitsToPixelsX(t.x), DialogUnitsToPixelsY(t.y),
               DialogUnitsToPixelsX(t.width) + 2 * kDialogFrame,
               DialogUnitsToPixelsY(t.height) + kDialogCaptionHeight + 2 * kDialogFrame};
  d->client = {d->window.x + kDialogFrame, d->window.y + kDialogFrame + kDialogCaptionHeight,
               DialogUnitsToPixelsX(t.width), DialogUnitsToPixelsY(t.height)};
  d->controlCount = std::clamp(t.controlCount, 0, kMaxControls);
  for (int i = 0; i < d->controlCount; ++i) {
    Control& c = d->controls[i];
    c.source = &t.controls[i];
    c.rect = {d->client.x + DialogUnitsToPixelsX(c.source->x),
              d->client.y + DialogUnitsToPixelsY(c.source->y),
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
  PresentOffscreen();
}

bool DialogMessage(Dialog* d, const Message& m) {
  if (!d || !d->alive) return false;
  bool changed = false;
  bool taken = true;  // the open dialog keeps every key, even after a click on the game picture
  Control* c = Focused(d);
  switch (m.message) {
    case WM_KEYDOWN:
      changed = KeyDown(d, m.wParam);
      break;
    case WM_KEYUP:
      changed = KeyUp(d, m.wParam);
      break;
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
    case WM_SYSKEYUP:
      break;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
      taken = Mouse(d, m, changed);
      break;
    default:
      taken = false;
      break;
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
  inputSpot = SDL_Rect{-1, -1, 0, 0};
}

}  // namespace platform
