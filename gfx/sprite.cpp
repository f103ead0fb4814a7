#include "gfx/sprite.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "gfx/ani_format.h"
#include "gfx/frame.h"
#include "gfx/sprite_palette.h"
#include "platform/messagebox.h"
#include "wire/texts.h"

std::array<SpriteBank, kSpriteBankCount> SpriteBankTable;
uint16_t SpritePalette[256];

// One run of opaque pixels in a frame's row.
struct SpriteRun {
  uint16_t start = 0;  // its first column
  uint16_t length = 0;
  uint32_t first = 0;  // its first pixel among the frame's opaque pixels
};

struct SpriteRuns {
  int32_t rows = 0;
  std::unique_ptr<uint32_t[]> rowStart;  // rows + 1: row r's runs are [rowStart[r], rowStart[r + 1])
  std::unique_ptr<SpriteRun[]> runs;
  // The opaque pixels run after run: their palette indices, and their colours in the
  // SpritePalette as it was when paletteVersion was current.
  std::unique_ptr<uint8_t[]> indices;
  std::unique_ptr<uint16_t[]> colours;
  uint32_t opaque = 0;
  uint32_t paletteVersion = 0;
};

namespace {

bool ReadInt32(std::FILE* file, int32_t& value) {
  uint8_t b[4];
  if (std::fread(b, 1, 4, file) != 4) return false;
  value = static_cast<int32_t>(static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
                               static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24);
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

// The runs of a frame's opaque pixels; null when there is no memory for them.
SpriteRuns* MakeRuns(const uint8_t* pixels, int32_t width, int32_t height) {
  uint32_t runCount = 0;
  uint32_t opaque = 0;
  for (int32_t i = 0; i < width * height; ++i) {
    if (pixels[i] == kSpriteTransparent) continue;
    ++opaque;
    if (i % width == 0 || pixels[i - 1] == kSpriteTransparent) ++runCount;
  }
  std::unique_ptr<SpriteRuns> made(new (std::nothrow) SpriteRuns);
  if (!made) return nullptr;
  made->rows = height;
  made->opaque = opaque;
  made->rowStart.reset(new (std::nothrow) uint32_t[static_cast<size_t>(height) + 1]);
  made->runs.reset(new (std::nothrow) SpriteRun[runCount]);
  made->indices.reset(new (std::nothrow) uint8_t[opaque]);
  made->colours.reset(new (std::nothrow) uint16_t[opaque]);
  if (!made->rowStart || !made->runs || !made->indices || !made->colours) return nullptr;
  uint32_t run = 0;
  uint32_t at = 0;
  for (int32_t r = 0; r < height; ++r) {
    made->rowStart[r] = run;
    const uint8_t* row = pixels + static_cast<size_t>(r) * width;
    for (int32_t c = 0; c < width;) {
      if (row[c] == kSpriteTransparent) {
        ++c;
        continue;
      }
      SpriteRun& next = made->runs[run++];
      next.start = static_cast<uint16_t>(c);
      next.first = at;
      for (; c < width && row[c] != kSpriteTransparent; ++c) made->indices[at++] = row[c];
      next.length = static_cast<uint16_t>(c - next.start);
    }
  }
  made->rowStart[height] = run;
  return made.release();
}

// Frames read from a file, held apart until the whole file has proved sound.
struct StagedFrames {
  int32_t count = 0;
  int32_t width[kSpriteFramesPerBank] = {};
  int32_t height[kSpriteFramesPerBank] = {};
  uint8_t* pixels[kSpriteFramesPerBank] = {};
  SpriteRuns* runs[kSpriteFramesPerBank] = {};

  void Release() {
    for (int32_t k = 0; k < count; ++k) {
      delete[] pixels[k];
      delete runs[k];
    }
    count = 0;
  }
};

// Reads every frame of the file into `staged`. False on anything the bank cannot take:
// no magic, too many frames for the bank, a size out of range, a file shorter than its
// counts, or no memory for a frame.
bool ReadFrames(std::FILE* file, int32_t room, StagedFrames& staged) {
  constexpr long kHeader = static_cast<long>(kAniHeaderBytes);
  constexpr long kFrameHeader = static_cast<long>(kAniFrameHeaderBytes);
  long left = BytesLeft(file);
  char magic[kAniMagicBytes];
  if (left < kHeader) return false;
  if (std::fread(magic, 1, sizeof magic, file) != sizeof magic) return false;
  if (std::memcmp(magic, kAniMagic, sizeof magic) != 0) return false;
  int32_t frames = 0;
  if (!ReadInt32(file, frames)) return false;
  left -= kHeader;
  // A damaged file must not write past the bank's 100 slots.
  if (frames > room) return false;
  for (int32_t k = 0; k < frames; ++k) {
    int32_t width = 0;
    int32_t height = 0;
    if (left < kFrameHeader || !ReadInt32(file, width) || !ReadInt32(file, height)) return false;
    left -= kFrameHeader;
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
    staged.runs[k] = MakeRuns(block, width, height);
    if (staged.runs[k] == nullptr) return false;
  }
  return true;
}

bool ValidBank(int32_t bank) { return bank >= 0 && bank < kSpriteBankCount; }

}  // namespace

void ClearSpriteBanks() {
  for (SpriteBank& bank : SpriteBankTable) {
    std::fill(std::begin(bank.pixels), std::end(bank.pixels), nullptr);
    std::fill(std::begin(bank.runs), std::end(bank.runs), nullptr);
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
    platform::ShowMessageBox(kSpriteForeignCaption, kSpriteForeignText);
    return 0;
  }
  for (int32_t k = 0; k < staged.count; ++k) {
    const int32_t slot = target.frameCount;
    target.width[slot] = staged.width[k];
    target.height[slot] = staged.height[k];
    target.pixels[slot] = staged.pixels[k];
    target.runs[slot] = staged.runs[k];
    target.frameCount = slot + 1;
  }
  return 1;
}

int32_t LoadSpriteFile(int32_t bank, const char* fileName) {
  std::FILE* file = std::fopen(fileName, "rb");
  if (file == nullptr) {
    platform::ShowMessageBox(kSpriteMissingCaption, kSpriteMissingText);
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
    platform::ShowMessageBox(kSpriteForeignCaption, kSpriteForeignText);
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
    for (SpriteRuns*& runs : bank.runs) {
      delete runs;
      runs = nullptr;
    }
    // A freed bank holds no frames: sprites loaded again take the first slots, as at start.
    bank.frameCount = 0;
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

namespace {

// The SpritePalette as the frames' colours were last made from it, and a count of its
// changes: a frame whose colours carry an older count makes them again before it is drawn.
uint16_t paletteSeen[256];
uint32_t paletteVersion = 1;

void FollowPalette(SpriteRuns& runs) {
  if (std::memcmp(paletteSeen, SpritePalette, sizeof paletteSeen) != 0) {
    std::memcpy(paletteSeen, SpritePalette, sizeof paletteSeen);
    ++paletteVersion;
  }
  if (runs.paletteVersion == paletteVersion) return;
  for (uint32_t i = 0; i < runs.opaque; ++i) runs.colours[i] = SpritePalette[runs.indices[i]];
  runs.paletteVersion = paletteVersion;
}

// Sixteen pixels at a time in the processor's vector registers (a GCC and Clang extension).
using Indices16 = uint8_t __attribute__((vector_size(16)));
using Pixels8 = uint16_t __attribute__((vector_size(16)));

// n opaque pixels: those of index `from` in the tint, the others in their own colours.
void PaintRun(uint16_t* out, const uint8_t* index, const uint16_t* colour, int64_t n, uint8_t from, uint16_t tint) {
  if (n < 16) {
    for (int64_t i = 0; i < n; ++i) out[i] = index[i] == from ? tint : colour[i];
    return;
  }
  const Indices16 from16 = Indices16{} + from;
  const Pixels8 tint8 = Pixels8{} + tint;
  auto paintSixteen = [&](int64_t i) {
    Indices16 indices;
    std::memcpy(&indices, index + i, sizeof indices);
    // Each byte of the comparison (0 or 0xFF) widened to a 16-bit mask for its pixel.
    const Indices16 isTint = reinterpret_cast<Indices16>(indices == from16);
    const auto low = reinterpret_cast<Pixels8>(
        __builtin_shufflevector(isTint, isTint, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7));
    const auto high = reinterpret_cast<Pixels8>(
        __builtin_shufflevector(isTint, isTint, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14, 15, 15));
    Pixels8 ownLow;
    Pixels8 ownHigh;
    std::memcpy(&ownLow, colour + i, sizeof ownLow);
    std::memcpy(&ownHigh, colour + i + 8, sizeof ownHigh);
    const Pixels8 paintedLow = ownLow ^ ((ownLow ^ tint8) & low);
    const Pixels8 paintedHigh = ownHigh ^ ((ownHigh ^ tint8) & high);
    std::memcpy(out + i, &paintedLow, sizeof paintedLow);
    std::memcpy(out + i + 8, &paintedHigh, sizeof paintedHigh);
  };
  for (int64_t i = 0; i + 16 <= n; i += 16) paintSixteen(i);
  // The last sixteen again, overlapping those already painted with the same values.
  if (n % 16 != 0) paintSixteen(n - 16);
}

// Frames whose runs were never made (pixels put into a bank by hand): pixel by pixel.
void DrawPixelByPixel(const uint8_t* pixels, int32_t width, int64_t c0, int64_t c1, int64_t r0, int64_t r1,
                      uint8_t from, uint8_t to, int32_t x, int32_t y) {
  uint16_t colours[256];
  std::memcpy(colours, SpritePalette, sizeof colours);
  if (from != kSpriteTransparent) colours[from] = SpritePalette[to];
  for (int64_t r = r0; r < r1; ++r) {
    const uint8_t* src = pixels + r * width + c0;
    uint16_t* dst = FrameBuffer + (y + r) * kFrameWidth + (x + c0);
    for (int64_t c = 0; c < c1 - c0; ++c) {
      if (src[c] != kSpriteTransparent) dst[c] = colours[src[c]];
    }
  }
}

}  // namespace

void DrawSpriteTinted(int32_t bank, int32_t frame, uint8_t from, uint8_t to, int32_t x, int32_t y) {
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
  SpriteRuns* runs = source.runs[frame];
  if (runs == nullptr || runs->rows != height) {
    DrawPixelByPixel(pixels, width, c0, c1, r0, r1, from, to, x, y);
    return;
  }
  FollowPalette(*runs);
  // Opaque pixels never hold the transparent index, so a `from` of 255 tints none of them.
  const uint16_t tint = SpritePalette[to];
  for (int64_t r = r0; r < r1; ++r) {
    // Where column 0 of this row lands; only visible columns (c0 and up) are addressed.
    const int64_t rowAt = (y + r) * kFrameWidth + static_cast<int64_t>(x);
    for (uint32_t k = runs->rowStart[r]; k < runs->rowStart[r + 1]; ++k) {
      const SpriteRun& run = runs->runs[k];
      const int64_t start = std::max<int64_t>(run.start, c0);
      const int64_t end = std::min<int64_t>(run.start + run.length, c1);
      if (start >= end) continue;
      const size_t at = run.first + static_cast<size_t>(start - run.start);
      PaintRun(FrameBuffer + rowAt + start, runs->indices.get() + at, runs->colours.get() + at, end - start, from,
               tint);
    }
  }
}

void DrawSprite(int32_t bank, int32_t frame, int32_t x, int32_t y) {
  // Transparency is tested first, so a `from` of 255 never matches: no pixel is tinted.
  DrawSpriteTinted(bank, frame, kSpriteTransparent, 0, x, y);
}
