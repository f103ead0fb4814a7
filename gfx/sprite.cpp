#include "gfx/sprite.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "gfx/frame.h"
#include "gfx/sprite_palette.h"
#include "platform/messagebox.h"

std::array<SpriteBank, kSpriteBankCount> SpriteBankTable;
uint16_t SpritePalette[256];

namespace {

// The 27 characters of the magic and the zero byte after them.
constexpr char kMagic[28] = "Quorbelith ANI FILE VER 2.0";

// "파일업어" / "개쇅": the file is missing.
constexpr const char* kMissingText = "\xc6\xc4\xc0\xcf\xbe\xf7\xbe\xee";
constexpr const char* kMissingCaption = "\xb0\xb3\x99\xb8";
// "파일형식 달라" / "멀봐?": the file is not a sprite file.
constexpr const char* kForeignText = "\xc6\xc4\xc0\xcf\xc7\xfc\xbd\xc4 \xb4\xde\xb6\xf3";
constexpr const char* kForeignCaption = "\xb8\xd6\xba\xc1?";

bool ReadInt32(std::FILE* file, int32_t& value) {
  uint8_t b[4];
  if (std::fread(b, 1, 4, file) != 4) return false;
  value = static_cast<int32_t>(static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
                               static_cast<uint32_t>(b[2]) << 16 |
                               static_cast<uint32_t>(b[3]) << 24);
  return true;
}

// Bytes from the stream's position to its end, or -1 when the stream cannot tell.
long BytesLeft(std::FILE* file) {
  const long start = std::ftell(file);
  if (start < 0 || std::fseek(file, 0, SEEK_END) != 0) return -1;
  const long end = std::ftell(file);
  if (end < start || std::fseek(file, start, SEEK_SET) != 0) return -1;
  return end - start;
}

// Frames read from a file, held apart until the whole file has proved sound.
struct StagedFrames {
  int32_t count = 0;
  int32_t width[kSpriteFramesPerBank] = {};
  int32_t height[kSpriteFramesPerBank] = {};
  uint8_t* pixels[kSpriteFramesPerBank] = {};

  void Release() {
    for (int32_t k = 0; k < count; ++k) delete[] pixels[k];
    count = 0;
  }
};

// Reads every frame of the file into `staged`. False on anything the bank cannot take:
// no magic, too many frames for the bank, a size out of range, a file shorter than its
// counts, or no memory for a frame.
bool ReadFrames(std::FILE* file, int32_t room, StagedFrames& staged) {
  long left = BytesLeft(file);
  char magic[sizeof kMagic];
  if (left < static_cast<long>(sizeof magic) + 4) return false;
  if (std::fread(magic, 1, sizeof magic, file) != sizeof magic) return false;
  if (std::memcmp(magic, kMagic, sizeof magic) != 0) return false;
  int32_t frames = 0;
  if (!ReadInt32(file, frames)) return false;
  left -= static_cast<long>(sizeof magic) + 4;
  // A damaged file must not write past the bank's 100 slots.
  if (frames > room) return false;
  for (int32_t k = 0; k < frames; ++k) {
    int32_t width = 0;
    int32_t height = 0;
    if (left < 8 || !ReadInt32(file, width) || !ReadInt32(file, height)) return false;
    left -= 8;
    if (width < 0 || height < 0 || width > kSpriteMaxSide || height > kSpriteMaxSide) {
      return false;
    }
    const long bytes = static_cast<long>(width) * height;
    if (bytes > left) return false;
    uint8_t* block = new (std::nothrow) uint8_t[static_cast<size_t>(bytes)];
    if (block == nullptr) return false;
    staged.width[k] = width;
    staged.height[k] = height;
    staged.pixels[k] = block;
    staged.count = k + 1;
    if (std::fread(block, 1, static_cast<size_t>(bytes), file) != static_cast<size_t>(bytes)) {
      return false;
    }
    left -= bytes;
  }
  return true;
}

bool ValidBank(int32_t bank) { return bank >= 0 && bank < kSpriteBankCount; }

}  // namespace

void ClearSpriteBanks() {
  for (SpriteBank& bank : SpriteBankTable) {
    std::fill(std::begin(bank.pixels), std::end(bank.pixels), nullptr);
  }
}

int32_t LoadSpriteFromStream(int32_t bank, std::FILE* file) {
  if (!ValidBank(bank)) return 0;
  SpriteBank& target = SpriteBankTable[bank];
  const int32_t room = kSpriteFramesPerBank - std::clamp(target.frameCount, 0, kSpriteFramesPerBank);
  // The whole file is checked before the bank changes: a damaged file leaves it as it was.
  StagedFrames staged;
  if (!ReadFrames(file, room, staged)) {
    staged.Release();
    platform::ShowMessageBox(kForeignCaption, kForeignText);
    return 0;
  }
  for (int32_t k = 0; k < staged.count; ++k) {
    const int32_t slot = target.frameCount;
    target.width[slot] = staged.width[k];
    target.height[slot] = staged.height[k];
    target.pixels[slot] = staged.pixels[k];
    target.frameCount = slot + 1;
  }
  return 1;
}

int32_t LoadSpriteFile(int32_t bank, const char* fileName) {
  std::FILE* file = std::fopen(fileName, "rb");
  if (file == nullptr) {
    platform::ShowMessageBox(kMissingCaption, kMissingText);
    return -1;
  }
  const int32_t status = LoadSpriteFromStream(bank, file);
  std::fclose(file);
  return status;
}

int32_t LoadSpriteFromMemory(int32_t bank, const uint8_t* data, size_t size) {
  static uint8_t empty[1];
  void* bytes = data != nullptr ? const_cast<uint8_t*>(data) : empty;
  std::FILE* file = fmemopen(bytes, size, "rb");
  if (file == nullptr) {
    platform::ShowMessageBox(kForeignCaption, kForeignText);
    return 0;
  }
  const int32_t status = LoadSpriteFromStream(bank, file);
  std::fclose(file);
  return status;
}

void FreeSpriteBanks() {
  for (SpriteBank& bank : SpriteBankTable) {
    for (uint8_t*& block : bank.pixels) {
      delete[] block;
      block = nullptr;
    }
  }
}

void BuildSpritePalette() {
  for (int i = 0; i < 256; ++i) {
    const uint32_t r = (SpriteColourTable[i][0] >> 1) & 31;
    const uint32_t g = (SpriteColourTable[i][1] >> 1) & 31;
    const uint32_t b = (SpriteColourTable[i][2] >> 1) & 31;
    SpritePalette[i] = static_cast<uint16_t>(r << 10 | g << 5 | b);
  }
}

void DrawSpriteTinted(int32_t bank, int32_t frame, uint8_t from, uint8_t to, int32_t x,
                      int32_t y) {
  if (!ValidBank(bank) || frame < 0 || frame >= kSpriteFramesPerBank) return;
  const SpriteBank& source = SpriteBankTable[bank];
  const uint8_t* pixels = source.pixels[frame];
  const int32_t width = source.width[frame];
  const int32_t height = source.height[frame];
  if (pixels == nullptr || width <= 0 || height <= 0) return;
  // The visible columns and rows, worked out in 64 bits so far-off positions cannot overflow;
  // the result equals testing every pixel against the screen's edges.
  const int64_t c0 = std::max<int64_t>(0, -static_cast<int64_t>(x));
  const int64_t c1 = std::min<int64_t>(width, kFrameWidth - static_cast<int64_t>(x));
  const int64_t r0 = std::max<int64_t>(0, -static_cast<int64_t>(y));
  const int64_t r1 = std::min<int64_t>(height, kFrameHeight - static_cast<int64_t>(y));
  if (c0 >= c1 || r0 >= r1) return;
  // The frame's colours with the tint in place of `from` (never for the transparent index).
  uint16_t colours[256];
  std::memcpy(colours, SpritePalette, sizeof colours);
  if (from != kSpriteTransparent) colours[from] = SpritePalette[to];
  const int64_t count = c1 - c0;
  for (int64_t r = r0; r < r1; ++r) {
    const uint8_t* src = pixels + r * width + c0;
    uint16_t* dst = FrameBuffer + RowOffsets[y + r] + (x + c0);
    for (int64_t c = 0; c < count; ++c) {
      const uint8_t p = src[c];
      dst[c] = p == kSpriteTransparent ? dst[c] : colours[p];
    }
  }
}

void DrawSprite(int32_t bank, int32_t frame, int32_t x, int32_t y) {
  // Transparency is tested first, so a `from` of 255 never matches: no pixel is tinted.
  DrawSpriteTinted(bank, frame, kSpriteTransparent, 0, x, y);
}
