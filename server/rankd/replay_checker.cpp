// The replay check's own thread: replays wait in a short queue and are played again one at
// a time; each verdict goes to the store's thread.
#include "server/rankd/server_impl.h"

namespace rankd {

void ReplayChecker::Start() {
  thread_ = std::thread([this] { Run(); });
}

ReplayVerdict ReplayChecker::NotChecked(const Job& job, const char* why) {
  ReplayVerdict verdict;
  verdict.score = ScoreFromSubmission(-1, job.submitted);
  verdict.mark = ReplayMark::Unchecked;
  verdict.reason = why;
  verdict.address = job.address;
  return verdict;
}

bool ReplayChecker::Submit(const ScoreSubmission& submitted, std::vector<uint8_t> bytes, const std::string& address) {
  Job job{submitted, std::move(bytes), address};
  worker_.ExpectMark();  // its row does not expire while the replay waits for its check
  {
    std::lock_guard lock(mutex_);
    if (!stop_ && queue_.size() < kReplaysWaiting) {
      queue_.push_back(std::move(job));
      ready_.notify_one();
      return true;
    }
  }
  // Come but not played: its row never becomes suspect for want of a replay.
  worker_.SubmitMark(NotChecked(job, "replay not checked: too many replays waiting"));
  return false;
}

void ReplayChecker::Stop() {
  if (!thread_.joinable()) return;
  std::deque<Job> dropped;
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
    dropped.swap(queue_);  // what waits is not played; a check under way finishes
  }
  for (const Job& job : dropped) worker_.SubmitMark(NotChecked(job, "replay not checked: the server stopped"));
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
    ReplayVerdict verdict = CheckReplay(job.submitted, job.bytes);
    verdict.address = std::move(job.address);
    worker_.SubmitMark(std::move(verdict));
  }
}

}  // namespace rankd
