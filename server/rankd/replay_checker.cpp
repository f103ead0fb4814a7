// The replay checks' own threads: replays wait in a line per client address, the addresses
// take turns, and each thread plays a replay again in a world of its own; each verdict goes
// to the store's thread.
#include "server/rankd/server_impl.h"

namespace rankd {

void ReplayChecker::Start(int threads) {
  for (int i = 0; i < std::max(threads, 1); ++i) threads_.emplace_back([this] { Run(); });
}

ReplayQueued ReplayChecker::Submit(const std::string& address, const ScoreSubmission& submitted, ReplayBytes bytes) {
  {
    std::lock_guard lock(mutex_);
    if (stop_ || count_ >= kReplaysWaiting) return ReplayQueued::QueueFull;
    std::deque<Job>& line = waiting_[address];
    if (line.size() >= kReplaysWaitingPerAddress) return ReplayQueued::AddressFull;
    if (line.empty()) turns_.push_back(address);
    // Expected before it can be checked: its row does not expire while the replay waits.
    worker_.ExpectMark();
    line.push_back({submitted, std::move(bytes), address});
    ++count_;
    metrics_.replaysWaiting.store(static_cast<int64_t>(count_), std::memory_order_relaxed);
  }
  ready_.notify_one();
  return ReplayQueued::Yes;
}

void ReplayChecker::Stop() {
  std::unordered_map<std::string, std::deque<Job>> dropped;
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
    dropped.swap(waiting_);  // what waits is not played; the checks under way finish
    turns_.clear();
    count_ = 0;
    metrics_.replaysWaiting.store(0, std::memory_order_relaxed);
  }
  // Come but not played: their rows are marked Unchecked, never suspect for want of a replay.
  for (const auto& [address, line] : dropped) {
    for (const Job& job : line) worker_.SubmitMark(NotChecked(job.submitted, address, "the server stopped"));
  }
  ready_.notify_all();
  for (std::thread& thread : threads_) thread.join();
  threads_.clear();
}

bool ReplayChecker::Next(Job& job) {
  std::unique_lock lock(mutex_);
  ready_.wait(lock, [this] { return stop_ || count_ > 0; });
  if (stop_) return false;
  const std::string address = std::move(turns_.front());
  turns_.pop_front();
  auto line = waiting_.find(address);
  job = std::move(line->second.front());
  line->second.pop_front();
  if (line->second.empty()) {
    waiting_.erase(line);
  } else {
    turns_.push_back(address);  // its next job waits for the other addresses' turns
  }
  --count_;
  metrics_.replaysWaiting.store(static_cast<int64_t>(count_), std::memory_order_relaxed);
  return true;
}

void ReplayChecker::Check(Job& job, ReplayRun& run) {
  const auto begun = Clock::now();
  ReplayVerdict verdict = CheckReplay(job.submitted, job.bytes.bytes(), run);
  verdict.address = job.address;
  metrics_.CountCheck(verdict.finding, verdict.frames, std::chrono::duration<double>(Clock::now() - begun).count());
  // A verified game's bytes go with its mark (still counted against --replay-memory): its row
  // keeps them while listed. Any other's room goes back now.
  std::shared_ptr<const ReplayBytes> kept;
  if (verdict.mark == ReplayMark::Verified) kept = std::make_shared<const ReplayBytes>(std::move(job.bytes));
  worker_.SubmitMark(std::move(verdict), std::move(kept));
}

void ReplayChecker::Run() {
  // This thread's world, kept from check to check (about 60 KB: off the thread's stack).
  auto run = std::make_unique<ReplayRun>();
  Job job;
  while (Next(job)) {
    Check(job, *run);
    job = Job{};  // the replay's room goes back before the next wait
  }
}

}  // namespace rankd
