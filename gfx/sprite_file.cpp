// Reading ".ani" files: the frames are staged apart from the bank until the whole file has
// proved sound, then appended to it.
#include "gfx/sprite_file.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "gfx/ani_format.h"
#include "gfx/sprite_runs.h"
#include "platform/files.h"

namespace {

// The bytes of a sprite file, from an open file or from memory.
class ByteReader {
 public:
  explicit ByteReader(std::FILE* file) : file_(file) {}
  ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  // Up to `count` bytes into `out`; how many there were.
  size_t Read(void* out, size_t count) {
    if (file_) return std::fread(out, 1, count, file_);
    const size_t n = std::min(count, size_ - at_);
    if (n > 0) std::memcpy(out, data_ + at_, n);
    at_ += n;
    return n;
  }

  // Bytes from the position to the end, or -1 when the file cannot tell.
  long Left() {
    if (!file_) return static_cast<long>(size_ - at_);
    const long start = std::ftell(file_);
    if (start < 0 || std::fseek(file_, 0, SEEK_END) != 0) return -1;
    const long end = std::ftell(file_);
    if (end < start || std::fseek(file_, start, SEEK_SET) != 0) return -1;
    return end - start;
  }

 private:
  std::FILE* file_ = nullptr;
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  size_t at_ = 0;
};

bool ReadInt32(ByteReader& file, int32_t& value) {
  uint8_t b[4];
  if (file.Read(b, 4) != 4) return false;
  value = static_cast<int32_t>(static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
                               static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24);
  return true;
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
bool ReadHeader(ByteReader& file, long& left, int32_t room, int32_t& frames) {
  char magic[kAniMagicBytes];
  if (left < static_cast<long>(kAniHeaderBytes)) return false;
  if (file.Read(magic, sizeof magic) != sizeof magic) return false;
  if (std::memcmp(magic, kAniMagic, sizeof magic) != 0) return false;
  if (!ReadInt32(file, frames)) return false;
  left -= static_cast<long>(kAniHeaderBytes);
  return frames <= room;
}

// Frame k into `staged`: its size, its pixels and their runs. False on a size out of range,
// a file shorter than the size, or no memory for the frame.
bool ReadFrame(ByteReader& file, long& left, int32_t k, StagedFrames& staged) {
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
  if (file.Read(block, static_cast<size_t>(bytes)) != static_cast<size_t>(bytes)) return false;
  left -= bytes;
  staged.runs[k] = MakeSpriteRuns(block, width, height).release();
  return staged.runs[k] != nullptr;
}

// Every frame of the file into `staged`; false on anything the bank cannot take.
bool ReadFrames(ByteReader& file, int32_t room, StagedFrames& staged) {
  long left = file.Left();
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

SpriteLoad LoadFrames(int32_t bank, ByteReader& file) {
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

}  // namespace

SpriteLoad LoadSpriteFromStream(int32_t bank, std::FILE* file) {
  ByteReader reader(file);
  return LoadFrames(bank, reader);
}

SpriteLoad LoadSpriteFile(int32_t bank, const char* fileName) {
  platform::FileProbe probe;
  std::FILE* file = platform::OpenDataFile(fileName, probe);
  if (file == nullptr) return SpriteLoad::Missing;
  const SpriteLoad result = LoadSpriteFromStream(bank, file);
  std::fclose(file);
  return result;
}

SpriteLoad LoadSpriteFromMemory(int32_t bank, const uint8_t* data, size_t size) {
  ByteReader reader(data, data != nullptr ? size : 0);
  return LoadFrames(bank, reader);
}
