// The store's thread, and how its results reach the network thread.
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include "server/rankd/server_impl.h"

namespace rankd {

bool StoreWorker::Start() {
  wake_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wake_ < 0) return false;
  thread_ = std::thread([this] { Run(); });
  return true;
}

void StoreWorker::Submit(Job job) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(job));
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
  thread_.join();
  ::close(wake_);
}

void StoreWorker::Wake() {
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = ::write(wake_, &one, sizeof one);
}

void StoreWorker::Run() {
  std::vector<Job> batch;
  for (;;) {
    pollfd fds[2] = {{wake_, POLLIN, 0}, {store_.ChangeDescriptor(), POLLIN, 0}};
    // Half a second at most between turns: a change made by another hand (rankctl) that only
    // a look at the database shows is reflected within a second.
    ::poll(fds, fds[1].fd >= 0 ? 2 : 1, 500);
    uint64_t count;
    [[maybe_unused]] const ssize_t n = ::read(wake_, &count, sizeof count);
    bool stopping;
    {
      std::lock_guard lock(mutex_);
      batch.swap(queue_);
      stopping = stop_;
    }
    const bool news = store_.TakeChanges();
    if (!batch.empty()) {
      auto result = std::make_shared<Result>();
      std::vector<Score>& scores = result->scores;
      scores.reserve(batch.size());
      for (const Job& job : batch) scores.push_back(job.score);
      const auto begun = Clock::now();
      result->committed = store_.Store(scores);
      metrics_.commitSeconds.Observe(std::chrono::duration<double>(Clock::now() - begun).count());
      if (!result->committed) {
        result->error = store_.Error();
        metrics_.commitsFailed.fetch_add(1, std::memory_order_relaxed);
      }
      result->fresh = store_.LoadTop(result->tables);
      result->jobs = std::move(batch);
      batch.clear();
      deliver_(to_, std::move(result));
    } else if (news) {
      auto result = std::make_shared<Result>();
      result->fresh = store_.LoadTop(result->tables);
      if (result->fresh) deliver_(to_, std::move(result));
    }
    if (stopping) {
      std::lock_guard lock(mutex_);
      if (queue_.empty()) return;
    }
  }
}

void RankServer::Impl::Receive(void* self, std::shared_ptr<StoreWorker::Result> result) {
  auto* impl = static_cast<Impl*>(self);
  asio::post(impl->io, [impl, result] { impl->Apply(*result); });
}

void RankServer::Impl::Apply(StoreWorker::Result& result) {
  if (result.fresh) {
    for (int mode = 0; mode < kModes; ++mode) cache.Set(mode, result.tables[mode]);
    if (result.jobs.empty()) log.Line("rankings reread: the database was changed elsewhere");
  } else if (result.committed) {
    cache.Place(result.scores);  // committed but not read back
  }
  if (!result.committed && !result.jobs.empty()) log.Line("store failed: %s", result.error.c_str());
  for (const auto& job : result.jobs) {
    job.waiter->committed = result.committed;
    job.waiter->storeDone = true;
    job.waiter->wake.cancel();
  }
}

}  // namespace rankd
