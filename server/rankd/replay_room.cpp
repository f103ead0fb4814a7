// The room replays take, counted against --replay-memory.
#include "server/rankd/replay_room.h"

#include <algorithm>
#include <utility>

namespace rankd {

bool ReplayMemory::Take(size_t bytes) {
  const auto more = static_cast<int64_t>(bytes);
  int64_t now = held_.load(std::memory_order_relaxed);
  do {
    if (more > cap_ - now) return false;
  } while (!held_.compare_exchange_weak(now, now + more, std::memory_order_relaxed));
  return true;
}

void ReplayMemory::Give(size_t bytes) { held_.fetch_sub(static_cast<int64_t>(bytes), std::memory_order_relaxed); }

ReplayBytes::ReplayBytes(ReplayBytes&& other) noexcept
    : memory_(other.memory_), bytes_(std::move(other.bytes_)), counted_(std::exchange(other.counted_, 0)) {
  other.bytes_.clear();
}

ReplayBytes& ReplayBytes::operator=(ReplayBytes&& other) noexcept {
  if (this != &other) {
    Release();
    memory_ = other.memory_;
    bytes_ = std::move(other.bytes_);
    other.bytes_.clear();
    counted_ = std::exchange(other.counted_, 0);
  }
  return *this;
}

bool ReplayBytes::Grow(size_t more, size_t most) {
  const size_t wanted = bytes_.size() + more;
  if (wanted <= bytes_.capacity()) return true;
  const size_t room = std::min(std::max(wanted, bytes_.capacity() + bytes_.capacity() / 2), std::max(most, wanted));
  if (memory_ == nullptr || !memory_->Take(room - counted_)) return false;
  bytes_.reserve(room);
  counted_ = room;
  return true;
}

uint8_t* ReplayBytes::Extend(size_t count) {
  const size_t at = bytes_.size();
  bytes_.resize(at + count);
  return bytes_.data() + at;
}

void ReplayBytes::Release() {
  if (memory_ != nullptr && counted_ > 0) memory_->Give(counted_);
  counted_ = 0;
  bytes_ = {};
}

}  // namespace rankd
