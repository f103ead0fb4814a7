// The replay check's own thread: replays wait in a short queue and are played again one at
// a time; each verdict goes to the store's thread.
#include "server/rankd/server_impl.h"

namespace rankd {

void ReplayChecker::Start() {
  thread_ = std::thread([this] { Run(); });
}

bool ReplayChecker::Submit(const ScoreSubmission& submitted, std::vector<uint8_t> bytes) {
  {
    std::lock_guard lock(mutex_);
    if (stop_ || queue_.size() >= kReplaysWaiting) return false;
    queue_.push_back({submitted, std::move(bytes)});
  }
  ready_.notify_one();
  return true;
}

void ReplayChecker::Stop() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
    queue_.clear();  // what waits is dropped; a check under way finishes
  }
  ready_.notify_one();
  thread_.join();
}

void ReplayChecker::Run() {
  for (;;) {
    Job job;
    {
      std::unique_lock lock(mutex_);
      ready_.wait(lock, [this] { return stop_ || !queue_.empty(); });
      if (queue_.empty()) return;
      job = std::move(queue_.front());
      queue_.pop_front();
    }
    worker_.SubmitMark(CheckReplay(job.submitted, job.bytes));
  }
}

}  // namespace rankd
