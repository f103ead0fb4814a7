// The replay check: reading the upload on the network thread, playing it again on a thread of
// its own, and the verdict against the submission.
#include "server/rankd/replay_check.h"

#include "game/replay_run.h"
#include "replay/replay.h"
#include "server/rankd/server_impl.h"

namespace rankd {

ReplayVerdict CheckReplay(const ScoreSubmission& submitted, std::span<const uint8_t> bytes) {
  ReplayVerdict verdict;
  Replay replay;
  std::string error;
  if (DecodeReplay(bytes, replay, error) != ReplayRead::Ok) {
    verdict.score = ScoreFromSubmission(-1, submitted);
    verdict.reason = "replay unreadable: " + error;
    return verdict;
  }
  verdict.score = ScoreFromSubmission(replay.mode, submitted);
  // The format bounds the frames (six hours of them), so the time a check takes is bounded.
  ReplayResult replayed;
  if (!VerifyReplay(replay, replayed, error)) {
    verdict.reason = "replay does not play to its own result: " + error;
    return verdict;
  }
  auto differs = [&](const char* what, long long sent, long long played) {
    verdict.reason = std::string(what) + " sent " + std::to_string(sent) + ", replay played " + std::to_string(played);
    return verdict;
  };
  if (replayed.stage != submitted.stage) return differs("stage", submitted.stage, replayed.stage);
  if (static_cast<uint32_t>(replayed.score) != submitted.score)
    return differs("score", submitted.score, static_cast<uint32_t>(replayed.score));
  if (replayed.bestCombo != submitted.bestCombo) return differs("combo", submitted.bestCombo, replayed.bestCombo);
  if (replay.result.playSeconds != submitted.playSeconds)
    return differs("seconds", submitted.playSeconds, replay.result.playSeconds);
  verdict.mark = ReplayMark::Verified;
  return verdict;
}

bool ReplayChecker::Start() {
  thread_ = std::thread([this] { Run(); });
  return true;
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

awaitable<bool> RankServer::Impl::ReadExactly(const std::shared_ptr<Connection>& c, uint8_t* to, size_t size,
                                              Clock::time_point deadline) {
  for (size_t got = 0; got < size;) {
    auto [ec, n] = co_await ReadSome(c, to + got, size - got, deadline);
    if (ec) co_return false;
    got += n;
  }
  co_return true;
}

awaitable<void> RankServer::Impl::TakeReplay(std::shared_ptr<Connection> connection, const uint8_t* first,
                                             size_t firstBytes, Clock::time_point begun) {
  Connection& c = *connection;
  const Clock::time_point deadline = begun + options.messageTime;
  uint8_t head[kReplayUploadHeadBytes] = {};
  std::copy(first, first + firstBytes, head);
  const char* refused = nullptr;
  ScoreSubmission submitted;
  uint32_t length = 0;
  std::vector<uint8_t> bytes;
  if (!co_await ReadExactly(connection, head + firstBytes, sizeof head - firstBytes, deadline)) {
    refused = c.timedOut ? "not sent in time" : "closed by client in a message";
  } else if (!DecodeScoreSubmission(head + 1, submitted)) {
    refused = "not a submission";
  } else if ((length = GetLe32(head + 1 + kScoreSubmissionBytes)) > kReplayMostBytes) {
    refused = "longer than 1 MiB";  // neither read nor allocated
  } else {
    bytes.resize(length);
    if (!co_await ReadExactly(connection, bytes.data(), bytes.size(), deadline)) {
      refused = c.timedOut ? "not sent in time" : "closed by client in a message";
    } else if (!checker.Submit(submitted, std::move(bytes))) {
      refused = "too many replays waiting";
    }
  }
  asio::error_code ignored;
  c.limit.cancel();
  c.socket.close(ignored);
  if (refused != nullptr) {
    log.Line("%s replay of %u bytes refused: %s", c.address.c_str(), length, refused);
  } else if (options.log) {
    log.Line("%s replay of %u bytes taken", c.address.c_str(), length);
  }
}

}  // namespace rankd
