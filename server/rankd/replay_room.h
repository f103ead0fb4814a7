#pragma once
// The room replays take while they arrive and wait for a check: their bytes are counted
// against one cap (--replay-memory), and a buffer grows only with the bytes that came.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace rankd {

// The bytes held for replays, within a cap. Taken on the network thread, given back on any.
class ReplayMemory {
 public:
  // `held` is the count the metrics show.
  ReplayMemory(std::atomic<int64_t>& held, size_t cap) : held_(held), cap_(static_cast<int64_t>(cap)) {}
  // False, with nothing taken, when `bytes` more would pass the cap.
  bool Take(size_t bytes);
  void Give(size_t bytes);

 private:
  std::atomic<int64_t>& held_;
  int64_t cap_;
};

// A replay's bytes with the room they hold counted, given back when it goes.
class ReplayBytes {
 public:
  ReplayBytes() = default;
  explicit ReplayBytes(ReplayMemory& memory) : memory_(&memory) {}
  ReplayBytes(ReplayBytes&& other) noexcept;
  ReplayBytes& operator=(ReplayBytes&& other) noexcept;
  ReplayBytes(const ReplayBytes&) = delete;
  ReplayBytes& operator=(const ReplayBytes&) = delete;
  ~ReplayBytes() { Release(); }

  // Room for `more` bytes after those held, growing by at least half of what is held and at
  // most to `most` in all; false, with nothing changed, when the cap has no room for it.
  bool Grow(size_t more, size_t most);
  // Appends room for `count` bytes (within what Grow made) and returns where they go.
  uint8_t* Extend(size_t count);
  // Takes back the last `count` bytes Extend gave that did not come.
  void Shrink(size_t count) { bytes_.resize(bytes_.size() - count); }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  void Release();

  ReplayMemory* memory_ = nullptr;
  std::vector<uint8_t> bytes_;
  size_t counted_ = 0;  // the room held against the cap: the buffer's capacity
};

}  // namespace rankd
