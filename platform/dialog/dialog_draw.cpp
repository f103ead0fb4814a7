// Drawing the dialogs in the look of the game's home platform: raised frames, a caption bar
// in a blue gradient, sunken edits, push buttons that show the default and the pressed one.
#include <algorithm>
#include <cstring>

#include "platform/dialog/dialog_parts.h"

namespace platform {
namespace {

constexpr uint32_t kFace = 0xD4D0C8;
constexpr uint32_t kLight = 0xFFFFFF;
constexpr uint32_t kShadow = 0x808080;
constexpr uint32_t kDark = 0x404040;
constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kSelection = 0x0A246A;
constexpr uint32_t kCaptionFrom = 0x0A246A;
constexpr uint32_t kCaptionTo = 0xA6CAF0;
constexpr int kSmallestCaptionCell = 10;

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
    std::fill(c.pixels + y * c.pitch + c.left, c.pixels + y * c.pitch + std::max(c.left, c.right), colour);
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
int DrawRun(const Canvas& canvas, int x, int y, const char* s, size_t len, uint32_t colour, size_t selectFrom = 0,
            size_t selectTo = 0, int cell = kCell) {
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
      // The composition in progress shows at the caret, underlined on the row below its
      // cell: on the cell's last row the line hid the bottom of final consonants.
      int at = x + DrawRun(inner, x, top, c.text + start, c.caret - start, kBlack);
      int w = DrawRun(inner, at, top, c.composition, std::strlen(c.composition), kBlack);
      Fill(inner, {at, top + kCell, w, 1}, kBlack);
      DrawRun(inner, at + w, top, c.text + c.caret, end - c.caret, kBlack);
    } else {
      DrawRun(inner, x, top, c.text + start, end - start, kBlack, selectFrom - std::min(selectFrom, start),
              selectTo - std::min(selectTo, start));
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
  bool isDefault = focused || ((!f || !IsPushButton(*f)) && (c.source->style & 0xF) == BS_DEFPUSHBUTTON);
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
  DrawRun(inner, c.rect.x + (c.rect.width - w) / 2 + shift, c.rect.y + (c.rect.height - kCell) / 2 + shift, c.text,
          c.length, kBlack);
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

}  // namespace

void DrawDialog(const Canvas& screen, const Dialog& d) {
  Canvas canvas = Clip(screen, d.window);
  DialogRect w = d.window;
  Edge(canvas, w, kFace, kDark);
  Edge(canvas, Shrink(w, 1), kLight, kShadow);
  Edge(canvas, Shrink(w, 2), kFace, kFace);
  // The caption bar: a gradient from dark to light blue, the caption in white.
  DialogRect bar{w.x + kDialogFrame, w.y + kDialogFrame, w.width - 2 * kDialogFrame, kDialogCaptionHeight};
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
  while (cell > kSmallestCaptionCell && bar.x + 3 + RunWidth(d.caption, captionLength, cell) > captionCanvas.right) {
    --cell;
  }
  DrawRun(captionCanvas, bar.x + 3, bar.y + (bar.height - cell) / 2, d.caption, captionLength, kWhite, 0, 0, cell);
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

}  // namespace platform
