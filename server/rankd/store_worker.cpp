// The store's thread, and how its results reach the network thread.
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include "server/rankd/server_impl.h"

namespace rankd {

bool StoreWorker::Start(int expireSeconds) {
  expireSeconds_ = expireSeconds;
  wake_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wake_ < 0) return false;
  thread_ = std::thread([this] { Run(); });
  return true;
}

void StoreWorker::Submit(Job job) {
  bool first;
  {
    std::lock_guard lock(mutex_);
    first = queue_.empty();
    queue_.push_back(std::move(job));
  }
  // The job that found the queue empty woke the thread; the rest join its batch unannounced.
  if (first) Wake();
}

void StoreWorker::SubmitMark(ReplayVerdict verdict) {
  {
    std::lock_guard lock(mutex_);
    marks_.push_back({std::move(verdict)});
  }
  Wake();
}

void StoreWorker::Stop() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  Wake();
  bool finished;
  {
    std::unique_lock lock(mutex_);
    finished = finishing_.wait_for(lock, kStopPatience, [this] { return finished_; });
  }
  if (!finished) store_.Interrupt();
  thread_.join();
  ::close(wake_);
}

void StoreWorker::Wake() {
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = ::write(wake_, &one, sizeof one);
}

void StoreWorker::WaitForWork() {
  pollfd fds[2] = {{wake_, POLLIN, 0}, {store_.ChangeDescriptor(), POLLIN, 0}};
  // Half a second at most between turns: a change made by another hand (rankctl) that only
  // a look at the database shows is reflected within a second.
  ::poll(fds, fds[1].fd >= 0 ? 2 : 1, 500);
  uint64_t count;
  [[maybe_unused]] const ssize_t n = ::read(wake_, &count, sizeof count);
}

void StoreWorker::Keep(std::vector<Job>& batch, std::vector<Mark>& marks, Result& result) {
  std::vector<Score>& scores = result.scores;
  scores.reserve(batch.size());
  for (const Job& job : batch) scores.push_back(job.score);
  if (!batch.empty()) {
    const auto begun = Clock::now();
    result.committed = store_.Store(scores, result.banned, result.error);
    metrics_.commitSeconds.Observe(std::chrono::duration<double>(Clock::now() - begun).count());
    if (!result.committed) {
      metrics_.commitsFailed.fetch_add(1, std::memory_order_relaxed);
    }
    Committed(result.committed, result.error);
  }
  // Marks come after the commits of their turn: a replay is sent once its score was kept.
  std::string error;
  for (Mark& mark : marks) {
    if (mark.verdict.finding == ReplayFinding::NotChecked) continue;  // the row stays unmarked
    if (!store_.MarkReplay(mark.verdict.score, mark.verdict.mark, mark.found, error)) {
      mark.verdict.reason += mark.verdict.reason.empty() ? "" : "; ";
      mark.verdict.reason += "not marked: " + error;
    }
  }
  result.marks = std::move(marks);
  marks.clear();
  result.fresh = store_.LoadTop(result.tables, error);
  Answered(result.fresh, error);
  result.jobs = std::move(batch);
  batch.clear();
}

void StoreWorker::Run() {
  std::vector<Job> batch;
  std::vector<Mark> marks;
  auto lastExpiry = Clock::now();
  for (;;) {
    WaitForWork();
    bool stopping;
    {
      std::lock_guard lock(mutex_);
      batch.swap(queue_);
      marks.swap(marks_);
      stopping = stop_;
    }
    bool news = store_.TakeChanges();
    int expired = 0;
    std::string error;
    if (expireSeconds_ > 0 && Clock::now() - lastExpiry >= std::chrono::seconds(1)) {
      lastExpiry = Clock::now();
      Answered(store_.ExpireUnmarked(expireSeconds_, expired, error), error);
    }
    if (!batch.empty() || !marks.empty() || expired > 0) {
      auto result = std::make_shared<Result>();
      result->expired = expired;
      Keep(batch, marks, *result);
      deliver_(to_, std::move(result));
    } else if (news) {
      auto result = std::make_shared<Result>();
      result->fresh = store_.LoadTop(result->tables, error);
      Answered(result->fresh, error);
      if (result->fresh) deliver_(to_, std::move(result));
    }
    CheckIfQuiet();
    if (stopping) {
      std::lock_guard lock(mutex_);
      if (queue_.empty()) {
        finished_ = true;
        finishing_.notify_all();
        return;
      }
    }
  }
}

void StoreWorker::Committed(bool committed, const std::string& error) {
  using Trouble = StoreHealth::Trouble;
  if (committed) {
    answered_ = Clock::now();
    if (metrics_.storeHealth.trouble() != Trouble::None) metrics_.storeHealth.Set(Trouble::None, "");
  } else if (store_.Reachable()) {
    metrics_.storeHealth.Set(Trouble::CommitFailed, "scores not committed: " + error);
  } else {
    metrics_.storeHealth.Set(Trouble::Unreachable, "the database does not answer: " + error);
  }
}

void StoreWorker::Answered(bool answered, const std::string& error) {
  using Trouble = StoreHealth::Trouble;
  if (answered) {
    answered_ = Clock::now();
    if (metrics_.storeHealth.trouble() == Trouble::Unreachable) metrics_.storeHealth.Set(Trouble::None, "");
  } else if (!store_.Reachable()) {
    metrics_.storeHealth.Set(Trouble::Unreachable, "the database does not answer: " + error);
  }
}

void StoreWorker::CheckIfQuiet() {
  const auto now = Clock::now();
  if (now - answered_ < kCheckEvery || now - checked_ < kCheckEvery) return;
  checked_ = now;
  std::string error;
  Answered(store_.Check(error), error);
}

void RankServer::Impl::Receive(void* self, std::shared_ptr<StoreWorker::Result> result) {
  auto* impl = static_cast<Impl*>(self);
  asio::post(impl->io, [impl, result] { impl->Apply(*result); });
}

void RankServer::Impl::Apply(StoreWorker::Result& result) {
  if (result.fresh) {
    for (int mode = 0; mode < kModes; ++mode) cache.Set(mode, result.tables[mode]);
    if (result.jobs.empty() && result.marks.empty() && result.expired == 0)
      log.Line("rankings reread: the database was changed elsewhere");
  } else if (result.committed && !options.requireVerified) {
    // Committed but not read back (and listed before any replay), banned names left out.
    std::vector<Score> kept;
    for (size_t i = 0; i < result.scores.size(); ++i) {
      if (i >= result.banned.size() || !result.banned[i]) kept.push_back(result.scores[i]);
    }
    cache.Place(kept);
  }
  if (!result.committed && !result.jobs.empty()) log.Line("store failed: %s", result.error.c_str());
  for (const StoreWorker::Mark& mark : result.marks) {
    const Score& s = mark.verdict.score;
    const bool verified = mark.verdict.mark == ReplayMark::Verified;
    if (mark.verdict.finding == ReplayFinding::NotChecked) continue;  // its upload's line told it
    if (!mark.found) {
      // A replay whose score was never kept (or was marked already) changes nothing.
      log.Line("replay for no score waiting (mode %d, score %u, stage %d): ignored%s%s", s.mode, s.score, s.stage,
               mark.verdict.reason.empty() ? "" : "; ", mark.verdict.reason.c_str());
      continue;
    }
    (verified ? metrics.scoresVerified : metrics.scoresSuspect).fetch_add(1, std::memory_order_relaxed);
    if (verified) {
      if (options.log) log.Line("score %u of mode %d verified by its replay", s.score, s.mode);
    } else {
      log.Line("score %u of mode %d suspect: %s", s.score, s.mode, mark.verdict.reason.c_str());
    }
  }
  if (result.expired > 0) {
    metrics.scoresSuspect.fetch_add(static_cast<uint64_t>(result.expired), std::memory_order_relaxed);
    log.Line("%d scores suspect: no replay came within %d s", result.expired, kReplayWaitSeconds);
  }
  for (size_t i = 0; i < result.jobs.size(); ++i) {
    const auto& job = result.jobs[i];
    job.waiter->committed = result.committed;
    job.waiter->banned = result.committed && i < result.banned.size() && result.banned[i];
    job.waiter->storeDone = true;
    job.waiter->wake.cancel();
  }
}

}  // namespace rankd
