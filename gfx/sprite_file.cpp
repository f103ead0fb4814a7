// Reading ".ani" files: the frames are staged apart from the bank until the whole file has
// proved sound, then appended to it.
#include "gfx/sprite_file.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "gfx/ani_format.h"
#include "gfx/sprite_runs.h"

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

// The magic and the frame count, with `left` the bytes the stream holds. False when the magic
// is wrong or the file too short, or when the count is more than the bank's `room`: a damaged
// file must not write past the bank's 100 slots.
bool ReadHeader(std::FILE* file, long& left, int32_t room, int32_t& frames) {
  char magic[kAniMagicBytes];
  if (left < static_cast<long>(kAniHeaderBytes)) return false;
  if (std::fread(magic, 1, sizeof magic, file) != sizeof magic) return false;
  if (std::memcmp(magic, kAniMagic, sizeof magic) != 0) return false;
  if (!ReadInt32(file, frames)) return false;
  left -= static_cast<long>(kAniHeaderBytes);
  return frames <= room;
}

// Frame k into `staged`: its size, its pixels and their runs. False on a size out of range,
// a file shorter than the size, or no memory for the frame.
bool ReadFrame(std::FILE* file, long& left, int32_t k, StagedFrames& staged) {
  int32_t width = 0;
  int32_t height = 0;
  if (left < static_cast<long>(kAniFrameHeaderBytes) || !ReadInt32(file, width) || !ReadInt32(file, height)) {
    return false;
  }
  left -= static_cast<long>(kAniFrameHeaderBytes);
  if (width < 0 || height < 0 || width > kSpriteMaxSide || height > kSpriteMaxSide) return false;
  const long bytes = static_cast<long>(width) * height;
  if (bytes > left) return false;
  uint8_t* block = new (std::nothrow) uint8_t[static_cast<size_t>(bytes)];
  if (block == nullptr) return false;
  staged.width[k] = width;
  staged.height[k] = height;
  staged.pixels[k] = block;
  staged.count = k + 1;
  if (std::fread(block, 1, static_cast<size_t>(bytes), file) != static_cast<size_t>(bytes)) return false;
  left -= bytes;
  staged.runs[k] = MakeSpriteRuns(block, width, height).release();
  return staged.runs[k] != nullptr;
}

// Every frame of the file into `staged`; false on anything the bank cannot take.
bool ReadFrames(std::FILE* file, int32_t room, StagedFrames& staged) {
  long left = BytesLeft(file);
  int32_t frames = 0;
  if (!ReadHeader(file, left, room, frames)) return false;
  for (int32_t k = 0; k < frames; ++k) {
    if (!ReadFrame(file, left, k, staged)) return false;
  }
  return true;
}

// The staged frames into the bank's next slots; the bank owns them from now on.
void AppendFrames(const StagedFrames& staged, SpriteBank& target) {
  for (int32_t k = 0; k < staged.count; ++k) {
    const int32_t slot = target.frameCount;
    target.width[slot] = staged.width[k];
    target.height[slot] = staged.height[k];
    target.pixels[slot] = staged.pixels[k];
    target.runs[slot] = staged.runs[k];
    target.frameCount = slot + 1;
  }
}

}  // namespace

SpriteLoad LoadSpriteFromStream(int32_t bank, std::FILE* file) {
  if (!ValidSpriteBank(bank)) return SpriteLoad::NoSuchBank;
  SpriteBank& target = SpriteBankTable[bank];
  const int32_t room = kSpriteFramesPerBank - std::clamp(target.frameCount, 0, kSpriteFramesPerBank);
  StagedFrames staged;
  if (!ReadFrames(file, room, staged)) {
    staged.Release();
    return SpriteLoad::Foreign;
  }
  AppendFrames(staged, target);
  return SpriteLoad::Loaded;
}

SpriteLoad LoadSpriteFile(int32_t bank, const char* fileName) {
  std::FILE* file = std::fopen(fileName, "rb");
  if (file == nullptr) return SpriteLoad::Missing;
  const SpriteLoad result = LoadSpriteFromStream(bank, file);
  std::fclose(file);
  return result;
}

SpriteLoad LoadSpriteFromMemory(int32_t bank, const uint8_t* data, size_t size) {
  static uint8_t empty[1];
  void* bytes = data != nullptr ? const_cast<uint8_t*>(data) : empty;
  // Some C libraries refuse to open an empty buffer: no bytes are no sprite file either.
  std::FILE* file = fmemopen(bytes, size, "rb");
  if (file == nullptr) return SpriteLoad::Foreign;
  const SpriteLoad result = LoadSpriteFromStream(bank, file);
  std::fclose(file);
  return result;
}
