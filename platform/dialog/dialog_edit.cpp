// The edit control: its text by whole characters (a double-byte character, or a CR LF line
// break), its caret, selection and scrolling, typing and deleting, and the input method's
// composition in progress at the caret.
#include <algorithm>
#include <cstring>

#include "platform/dialog/dialog_parts.h"
#include "text/cp949.h"

namespace platform {
namespace {

size_t PreviousChar(const char* s, size_t len, size_t at) {
  size_t i = 0, previous = 0;
  while (i < at) {
    previous = i;
    i += CharBytes(s, len, i);
  }
  return previous;
}

size_t LineStart(const Control& c, size_t at) {
  if (!IsMultiline(c)) return 0;
  size_t start = 0;
  for (size_t end = LineEnd(c, 0); end < at && end < c.length; end = LineEnd(c, start)) {
    start = end + 2;
  }
  return start;
}

void DeleteRange(Control& c, size_t from, size_t to) {
  std::memmove(c.text + from, c.text + to, c.length - to + 1);
  c.length -= to - from;
  c.anchor = c.caret = from;
}

void DeleteSelection(Control& c) { DeleteRange(c, std::min(c.anchor, c.caret), std::max(c.anchor, c.caret)); }

}  // namespace

// Bytes of the character at `at`: a double-byte character, a CR LF line break, or one byte.
size_t CharBytes(const char* s, size_t len, size_t at) {
  if (at + 1 < len && s[at] == '\r' && s[at + 1] == '\n') return 2;
  auto lead = static_cast<uint8_t>(s[at]);
  return lead >= 0x81 && lead <= 0xFE && at + 1 < len ? 2 : 1;
}

uint32_t CodepointOf(const char* s, size_t n) {
  uint32_t cp = 0xFFFD;
  if (Cp949ToCodepoints(s, n, &cp, 1) != 1) cp = 0xFFFD;
  return cp;
}

int CharWidth(const char* s, size_t n, int cell) {
  if (s[0] == '\r' || s[0] == '\n') return 0;
  return DrawGlyphOn(Canvas{}, cell, 0, 0, CodepointOf(s, n), 0);
}

int RunWidth(const char* s, size_t len, int cell) {
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

// An edit's keys; true when the text or the caret changed.
// Moving the caret ends a selection, one character from where the caret stood.
bool EditKey(Control& c, uint32_t vk) {
  switch (vk) {
    case VK_LEFT: c.caret = c.caret > 0 ? PreviousChar(c.text, c.length, c.caret) : 0; break;
    case VK_RIGHT:
      if (c.caret < c.length) c.caret += CharBytes(c.text, c.length, c.caret);
      break;
    case VK_HOME: c.caret = LineStart(c, c.caret); break;
    case VK_END: c.caret = LineEnd(c, LineStart(c, c.caret)); break;
    case VK_DELETE:
      if (!IsEditable(c)) return false;
      if (c.anchor != c.caret) {
        DeleteSelection(c);
      } else if (c.caret < c.length) {
        DeleteRange(c, c.caret, c.caret + CharBytes(c.text, c.length, c.caret));
      }
      break;
    default: return false;
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

}  // namespace platform
