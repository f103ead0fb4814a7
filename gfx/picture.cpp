// 640x480 256-colour PCX pictures: run-length decoding, palette conversion, scrolling, fades.
#include "gfx/picture.h"

#include <cstring>

#include "gfx/frame.h"
#include "platform/files.h"

uint8_t BackgroundPicture[kPictureBytes];
uint8_t PictureColourTable[kColourTableBytes];
uint16_t ScreenPalette[256];
uint8_t FadedColourTable[kColourTableBytes];

namespace {

// A read past the end of the file gives 255, the end-of-file value taken as a byte.
uint8_t NextByte(std::FILE* file) { return static_cast<uint8_t>(std::fgetc(file)); }

// The picture in the ScreenPalette's colours, kept between copies, with the indices and the
// palette it was coloured from: coloured again only when either differs from those. All
// zero at start, which is how a picture of index 0 in an all-black palette is coloured.
uint16_t pictureColours[kPictureBytes];
uint8_t colouredIndices[kPictureBytes];
uint16_t colouredPalette[256];

void FollowPicture() {
  if (std::memcmp(colouredPalette, ScreenPalette, sizeof colouredPalette) == 0 &&
      std::memcmp(colouredIndices, BackgroundPicture, sizeof colouredIndices) == 0) {
    return;
  }
  for (int i = 0; i < kPictureBytes; ++i) pictureColours[i] = ScreenPalette[BackgroundPicture[i]];
  std::memcpy(colouredIndices, BackgroundPicture, sizeof colouredIndices);
  std::memcpy(colouredPalette, ScreenPalette, sizeof colouredPalette);
}

}  // namespace

bool LoadPicture(const char* fileName) {
  platform::FileProbe probe;
  std::FILE* file = platform::OpenDataFile(fileName, probe);
  if (!file) return false;
  LoadPictureFromStream(file);
  std::fclose(file);
  return true;
}

void LoadPictureFromStream(std::FILE* file) {
  std::fseek(file, static_cast<long>(kPcxHeaderBytes), SEEK_SET);
  for (int y = 0; y < kFrameHeight; ++y) {
    uint8_t* row = BackgroundPicture + y * kFrameWidth;
    int c = 0;
    while (c < kFrameWidth) {
      uint8_t b = NextByte(file);
      if ((b & kPcxRunFlag) == kPcxRunFlag) {
        uint8_t value = NextByte(file);
        int n = b & kPcxRunCountMask;
        int end = c + n < kFrameWidth ? c + n : kFrameWidth;  // a run past the row's end is cut there
        std::memset(row + c, value, static_cast<size_t>(end - c));
        c += n;
      } else {
        row[c++] = b;
      }
    }
  }
  // The colour table is the file's last bytes. A file too short to hold one keeps
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
  FollowPicture();
  std::memcpy(FrameBuffer, pictureColours, sizeof pictureColours);
}

void ShowPictureScrolled(int32_t offset) {
  offset %= kFrameWidth;  // keeps a stray offset inside the row
  if (offset < 0) offset += kFrameWidth;
  if (offset == 0) {
    ShowPicture();
    return;
  }
  // Each row rotated left by offset: two straight copies, no modulo per pixel.
  FollowPicture();
  const size_t tail = static_cast<size_t>(kFrameWidth - offset);
  for (int y = 0; y < kFrameHeight; ++y) {
    const uint16_t* src = pictureColours + y * kFrameWidth;
    uint16_t* dst = FrameBuffer + y * kFrameWidth;
    std::memcpy(dst, src + offset, tail * sizeof *dst);
    std::memcpy(dst + tail, src, static_cast<size_t>(offset) * sizeof *dst);
  }
}

void ScaleColourTable(int32_t percent, const uint8_t* source) {
  for (int i = 0; i < kColourTableBytes; ++i) {
    int64_t v = int64_t{source[i]} * percent / 100;
    FadedColourTable[i] = static_cast<uint8_t>(v > 255 ? 255 : v);
  }
}
