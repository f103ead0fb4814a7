// The store's thread, and how its results reach the network thread.
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include "server/rankd/server_impl.h"

namespace rankd {
namespace {

// A mark that could not be written (the database failed) is tried again at the next turns
// for this long, and so many of them at most; at shutdown for a little while more.
constexpr int kMarkRetrySeconds = 60;
constexpr size_t kMarksRetried = 64;
constexpr auto kStopRetryTime = std::chrono::seconds(5);

}  // namespace

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

void StoreWorker::ExpectMark() {
  std::lock_guard lock(mutex_);
  ++awaited_;
}

void StoreWorker::SubmitMark(ReplayVerdict verdict, std::shared_ptr<const ReplayBytes> replay) {
  Mark mark;
  mark.verdict = std::move(verdict);
  mark.replay = std::move(replay);
  {
    std::lock_guard lock(mutex_);
    marks_.push_back(std::move(mark));
  }
  Wake();
}

void StoreWorker::SubmitFetch(const ReplayFetch& ask, Connection* waiter) {
  {
    std::lock_guard lock(mutex_);
    Fetch& fetch = fetches_.emplace_back();
    fetch.ask = ask;
    fetch.waiter = waiter;
  }
  Wake();
}

void StoreWorker::Answer(Fetch& fetch) {
  KeptReplay kept;
  bool found = false;
  std::string error;
  if (!store_.PlacedReplay(fetch.ask.mode, fetch.ask.place, kept, found, error)) {
    Answered(false, error);
    fetch.end = FetchEnd::Failed;
    return;
  }
  const size_t size = kReplayFetchReplyHeadBytes + (found ? kept.bytes.size() : 0);
  ReplayBytes reply(memory_);
  if (!reply.Grow(size, size)) {
    fetch.end = FetchEnd::NoRoom;
    return;
  }
  uint8_t* to = reply.Extend(size);
  PutLe32(to, static_cast<uint32_t>(size - kReplayFetchReplyHeadBytes));
  std::copy(kept.bytes.begin(), kept.bytes.end(), to + kReplayFetchReplyHeadBytes);
  fetch.reply = std::move(reply);
  fetch.end = found ? FetchEnd::Sent : FetchEnd::None;
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

void StoreWorker::WriteMark(Mark& mark) {
  const ReplayVerdict& v = mark.verdict;
  ReplayClaim claim{.score = v.score, .from = AddressKey(v.address), .digest = v.digest, .mark = v.mark, .replay = {}};
  if (mark.replay != nullptr && v.mark == ReplayMark::Verified) {
    const std::vector<uint8_t>& bytes = mark.replay->bytes();
    claim.replay = std::span<const uint8_t>(bytes.data(), bytes.size());
  }
  // A game without its fingerprint could prove any number of scores: it proves none.
  if (claim.mark == ReplayMark::Verified && claim.digest.empty()) claim.mark = ReplayMark::Unchecked;
  if (mark.firstTry == Clock::time_point{}) mark.firstTry = Clock::now();
  mark.failed.clear();
  mark.retrying = false;
  ++mark.tries;
  if (claim.mark == ReplayMark::None || store_.MarkReplay(claim, mark.written, mark.failed)) {
    mark.replay.reset();  // written (or nothing to write): its room goes back
    return;
  }
  if (mark.failed.empty()) mark.failed = "not written";
  // Kept for the next turns, a bounded while and a bounded number of them.
  mark.retrying = Clock::now() - mark.firstTry < std::chrono::seconds(kMarkRetrySeconds) &&
                  retry_.size() < kMarksRetried;
  if (mark.retrying) retry_.push_back(mark);
}

int StoreWorker::Keep(std::vector<Job>& batch, std::vector<Mark>& marks, Result& result) {
  std::vector<Score>& scores = result.scores;
  std::vector<std::string> from;
  scores.reserve(batch.size());
  for (const Job& job : batch) {
    scores.push_back(job.score);
    from.push_back(job.waiter != nullptr ? AddressKey(job.waiter->address) : std::string());
  }
  if (!batch.empty()) {
    const auto begun = Clock::now();
    result.committed = store_.StoreFrom(scores, from, result.banned, result.error);
    metrics_.commitSeconds.Observe(std::chrono::duration<double>(Clock::now() - begun).count());
    if (!result.committed) {
      metrics_.commitsFailed.fetch_add(1, std::memory_order_relaxed);
    }
    Committed(result.committed, result.error);
  }
  // Marks come after the commits of their turn: a replay is sent once its score was kept.
  // Those that failed before go first, in the order they came.
  std::vector<Mark> all;
  all.swap(retry_);
  all.insert(all.end(), std::make_move_iterator(marks.begin()), std::make_move_iterator(marks.end()));
  marks.clear();
  int done = 0;
  for (Mark& mark : all) {
    WriteMark(mark);
    if (!mark.retrying) ++done;
  }
  result.marks = std::move(all);
  std::string error;
  result.fresh = store_.LoadTop(result.tables, error);
  Answered(result.fresh, error);
  result.jobs = std::move(batch);
  batch.clear();
  return done;
}

void StoreWorker::Run() {
  std::vector<Job> batch;
  std::vector<Mark> marks;
  std::vector<Fetch> fetches;
  auto lastExpiry = Clock::now();
  Clock::time_point stopSince{};
  for (;;) {
    WaitForWork();
    bool stopping;
    bool awaited;
    {
      std::lock_guard lock(mutex_);
      batch.swap(queue_);
      marks.swap(marks_);
      fetches.swap(fetches_);
      stopping = stop_;
      awaited = awaited_ > 0;
    }
    bool news = store_.TakeChanges();
    int expired = 0;
    std::string error;
    // A row whose replay came waits for its verdict however long the check or the writing takes.
    if (expireSeconds_ > 0 && !awaited && retry_.empty() && Clock::now() - lastExpiry >= std::chrono::seconds(1)) {
      lastExpiry = Clock::now();
      Answered(store_.ExpireUnmarked(expireSeconds_, expired, error), error);
    }
    std::shared_ptr<Result> result;
    if (!batch.empty() || !marks.empty() || !retry_.empty() || expired > 0) {
      result = std::make_shared<Result>();
      result->expired = expired;
      const int done = Keep(batch, marks, *result);
      std::lock_guard lock(mutex_);
      awaited_ = std::max(0, awaited_ - done);
    } else if (news) {
      result = std::make_shared<Result>();
      result->fresh = store_.LoadTop(result->tables, error);
      Answered(result->fresh, error);
      if (!result->fresh) result = nullptr;
    }
    // Fetches are answered after the turn's commits and marks, from what they left listed.
    if (!fetches.empty()) {
      if (result == nullptr) result = std::make_shared<Result>();
      for (Fetch& fetch : fetches) Answer(fetch);
      result->fetches = std::move(fetches);
      fetches.clear();
    }
    if (result != nullptr) deliver_(to_, std::move(result));
    CheckIfQuiet();
    if (stopping && Finished(stopSince)) return;
  }
}

bool StoreWorker::Finished(Clock::time_point& stopSince) {
  if (stopSince == Clock::time_point{}) stopSince = Clock::now();
  if (!retry_.empty() && Clock::now() - stopSince >= kStopRetryTime) {
    // The database still refuses them: told as given up.
    auto result = std::make_shared<Result>();
    for (Mark& mark : retry_) mark.retrying = false;
    result->marks.swap(retry_);
    deliver_(to_, std::move(result));
  }
  std::lock_guard lock(mutex_);
  finished_ = queue_.empty() && marks_.empty() && fetches_.empty() && retry_.empty();
  if (finished_) finishing_.notify_all();
  return finished_;
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
    if (result.jobs.empty() && result.marks.empty() && result.expired == 0 && result.fetches.empty())
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
  for (const StoreWorker::Mark& mark : result.marks) TellMark(mark);
  if (result.expired > 0) {
    metrics.scoresSuspect.fetch_add(static_cast<uint64_t>(result.expired), std::memory_order_relaxed);
    log.Line("%d scores suspect: no replay came within %d s", result.expired, kReplayWaitSeconds);
  }
  for (StoreWorker::Fetch& fetch : result.fetches) {
    fetch.waiter->fetchReply = std::move(fetch.reply);
    fetch.waiter->fetchEnd = fetch.end;
    fetch.waiter->storeDone = true;
    fetch.waiter->wake.cancel();
  }
  for (size_t i = 0; i < result.jobs.size(); ++i) {
    const auto& job = result.jobs[i];
    job.waiter->committed = result.committed;
    job.waiter->banned = result.committed && i < result.banned.size() && result.banned[i];
    job.waiter->storeDone = true;
    job.waiter->wake.cancel();
  }
}

void RankServer::Impl::TellMark(const StoreWorker::Mark& mark) {
  const ReplayVerdict& v = mark.verdict;
  const Score& s = v.score;
  const char* because = v.reason.empty() ? "" : "; ";
  if (!mark.failed.empty()) {
    // Told once when it first fails, and again only when it is given up.
    if (mark.retrying && mark.tries > 1) return;
    log.Line("replay mark of score %u of mode %d from %s not written: %s; %s", s.score, s.mode, v.address.c_str(),
             mark.failed.c_str(), mark.retrying ? "trying again" : "given up");
    return;
  }
  switch (mark.written) {
    case ReplayMark::None:
      // Refused for want of room, it was told (and counted) with its upload.
      if (v.finding == ReplayFinding::NotChecked) return;
      // A replay that cannot be read, or names no score kept from its address, changes nothing.
      log.Line("replay for no score waiting from %s (mode %d, score %u, stage %d): ignored%s%s", v.address.c_str(),
               s.mode, s.score, s.stage, because, v.reason.c_str());
      return;
    case ReplayMark::Verified:
      metrics.scoresVerified.fetch_add(1, std::memory_order_relaxed);
      if (options.log) log.Line("score %u of mode %d verified by its replay", s.score, s.mode);
      return;
    case ReplayMark::Suspect:
      metrics.scoresSuspect.fetch_add(1, std::memory_order_relaxed);
      log.Line("score %u of mode %d suspect: %s", s.score, s.mode,
               v.mark == ReplayMark::Verified ? "its game proved another score already" : v.reason.c_str());
      return;
    case ReplayMark::Unchecked:
      log.Line("score %u of mode %d: %s", s.score, s.mode, v.reason.empty() ? "replay not checked" : v.reason.c_str());
      return;
  }
}

}  // namespace rankd
