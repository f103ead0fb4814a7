// 640x480 256-colour PCX pictures: run-length decoding, palette conversion, scrolling, fades.
#include "gfx/picture.h"

#include <cstring>

#include "gfx/frame.h"

uint8_t BackgroundPicture[kPictureBytes];
uint8_t PictureColourTable[kColourTableBytes];
uint16_t ScreenPalette[256];
uint8_t FadedColourTable[kColourTableBytes];

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr long kHeaderBytes = 128;

// A read past the end of the file gives 255, the end-of-file value taken as a byte.
uint8_t NextByte(std::FILE* file) { return static_cast<uint8_t>(std::fgetc(file)); }

// The colours of every pair of neighbouring indices, so the copy looks up two pixels at once:
// the two index bytes, read as one 16-bit number, find the two colours in memory order.
// Made from the ScreenPalette as last seen, and made again whenever it has changed.
uint32_t pairColours[65536];
uint16_t pairsMadeFrom[256];
bool pairsMade = false;

void FollowScreenPalette() {
  if (pairsMade && std::memcmp(pairsMadeFrom, ScreenPalette, sizeof pairsMadeFrom) == 0) return;
  for (int first = 0; first < 256; ++first) {
    for (int second = 0; second < 256; ++second) {
      const uint8_t indices[2] = {static_cast<uint8_t>(first), static_cast<uint8_t>(second)};
      const uint16_t colours[2] = {ScreenPalette[first], ScreenPalette[second]};
      uint16_t key = 0;
      std::memcpy(&key, indices, sizeof key);
      std::memcpy(&pairColours[key], colours, sizeof colours);
    }
  }
  std::memcpy(pairsMadeFrom, ScreenPalette, sizeof pairsMadeFrom);
  pairsMade = true;
}

// n pixels of a picture row through the ScreenPalette, two at a time.
void CopyThroughPalette(const uint8_t* src, uint16_t* dst, int n) {
  int x = 0;
  for (; x + 2 <= n; x += 2) {
    uint16_t key = 0;
    std::memcpy(&key, src + x, sizeof key);
    std::memcpy(dst + x, &pairColours[key], sizeof pairColours[key]);
  }
  if (x < n) dst[x] = ScreenPalette[src[x]];
}

}  // namespace

void LoadPicture(const char* fileName) {
  std::FILE* file = std::fopen(fileName, "rb");
  if (!file) return;  // a missing picture leaves the previous one
  LoadPictureFromStream(file);
  std::fclose(file);
}

void LoadPictureFromStream(std::FILE* file) {
  std::fseek(file, kHeaderBytes, SEEK_SET);
  for (int y = 0; y < kHeight; ++y) {
    uint8_t* row = BackgroundPicture + y * kWidth;
    int c = 0;
    while (c < kWidth) {
      uint8_t b = NextByte(file);
      if ((b & 0xC0) == 0xC0) {
        uint8_t value = NextByte(file);
        int n = b & 0x3F;
        int end = c + n < kWidth ? c + n : kWidth;  // a run past the row's end is cut there
        std::memset(row + c, value, static_cast<size_t>(end - c));
        c += n;
      } else {
        row[c++] = b;
      }
    }
  }
  // The colour table is the file's last 768 bytes. A file too short to hold one keeps
  // the table it had (and its palette) rather than reading bytes that are not there.
  if (std::fseek(file, -kColourTableBytes, SEEK_END) == 0) {
    uint8_t table[kColourTableBytes];
    if (std::fread(table, 1, sizeof table, file) == sizeof table) {
      std::memcpy(PictureColourTable, table, sizeof table);
    }
  }
  RebuildScreenPalette();
}

void RebuildScreenPalette() {
  for (int i = 0; i < 256; ++i) {
    const uint8_t* rgb = PictureColourTable + i * 3;
    ScreenPalette[i] = static_cast<uint16_t>(((rgb[0] >> 3) << 10) | ((rgb[1] >> 3) << 5) | (rgb[2] >> 3));
  }
}

void ShowPicture() {
  FollowScreenPalette();
  CopyThroughPalette(BackgroundPicture, FrameBuffer, kPictureBytes);
}

void ShowPictureScrolled(int32_t offset) {
  offset %= kWidth;  // keeps a stray offset inside the row
  if (offset < 0) offset += kWidth;
  if (offset == 0) {
    ShowPicture();
    return;
  }
  // Each row rotated left by offset: two straight copies, no modulo per pixel.
  FollowScreenPalette();
  int tail = kWidth - offset;
  for (int y = 0; y < kHeight; ++y) {
    const uint8_t* src = BackgroundPicture + y * kWidth;
    uint16_t* dst = FrameBuffer + RowOffsets[y];
    CopyThroughPalette(src + offset, dst, tail);
    CopyThroughPalette(src, dst + tail, offset);
  }
}

void ScaleColourTable(int32_t percent, const uint8_t* source) {
  for (int i = 0; i < kColourTableBytes; ++i) {
    int64_t v = int64_t{source[i]} * percent / 100;
    FadedColourTable[i] = static_cast<uint8_t>(v > 255 ? 255 : v);
  }
}
