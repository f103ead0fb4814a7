// The replay mode: a recorded game's result kept under many names, then the game uploaded
// for each name, a few at a time, as netplay sends the game of a kept score; the server's
// /metrics tells how many it checked (one game proves one score: the first is verified, the
// others, the same game, suspect). Hostile uploads may go first: a game whose one mob
// stands at the far end of the coordinates, so that no stage ever ends.
#include <httplib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "server/rankload/endless_game.h"
#include "server/rankload/load_impl.h"

namespace rankload {
namespace {

// Uploads under way at most: the server's line of replays waiting from one address (4).
constexpr long kUploadsAtOnce = 4;
// No check ended for that long behind hostile uploads: the uploads under way count as lost (a
// full queue drops them). Without hostile uploads the queue never fills, and none is lost.
constexpr auto kLostAfter = std::chrono::seconds(2);

// 3, the submission's 124 bytes, the replay's length, the replay.
std::vector<uint8_t> UploadBytes(const ScoreSubmission& s, const std::vector<uint8_t>& replay) {
  std::vector<uint8_t> bytes(kReplayUploadHeadBytes);
  bytes[0] = kReplayUploadType;
  EncodeScoreSubmission(s, bytes.data() + 1);
  PutLe32(bytes.data() + 1 + kScoreSubmissionBytes, static_cast<uint32_t>(replay.size()));
  bytes.insert(bytes.end(), replay.begin(), replay.end());
  return bytes;
}

}  // namespace

bool Load::ReadReplay() {
  std::ifstream in(o_.replay, std::ios::binary);
  replayBytes_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  std::string error;
  if (!in || DecodeReplay(replayBytes_, replay_, error) != ReplayRead::Ok) {
    replayFailure_ = "cannot read " + o_.replay + (error.empty() ? "" : ": " + error);
    return false;
  }
  const ReplayResult& r = replay_.result;
  replayResult_.stage = r.stage;
  replayResult_.score = static_cast<uint32_t>(r.score);
  replayResult_.bestCombo = r.bestCombo;
  replayResult_.playSeconds = r.playSeconds;
  replayResult_.checkCode = CheckCode(replayResult_.score, r.stage, r.bestCombo, r.playSeconds);
  return true;
}

long Load::CheckedSoFar() {
  const size_t colon = o_.http.rfind(':');
  if (colon == std::string::npos) return -1;
  httplib::Client client(o_.http.substr(0, colon), std::atoi(o_.http.c_str() + colon + 1));
  const auto response = client.Get("/metrics");
  if (!response || response->status != 200) return -1;
  long checked = 0;
  for (const char* metric : {"\nrankd_scores_verified_total ", "\nrankd_scores_suspect_total "}) {
    const size_t at = response->body.find(metric);
    if (at == std::string::npos) return -1;
    checked += std::atol(response->body.c_str() + at + std::strlen(metric));
  }
  return checked;
}

awaitable<bool> Load::KeepResult(const std::string& name) {
  tcp::socket s(io_);
  uint32_t threshold = 0;
  if (!co_await Begin(s, replay_.mode, threshold)) co_return false;
  if (threshold >= replayResult_.score) {
    replayFailure_ = "the score to beat is the game's score already (is rankd running with --require-verified?)";
    co_return false;
  }
  ScoreSubmission sub = replayResult_;
  std::memcpy(sub.name, name.data(), name.size());
  uint8_t bytes[kScoreSubmissionBytes];
  EncodeScoreSubmission(sub, bytes);
  co_return co_await Finish(s, bytes, sizeof bytes, nullptr);
}

awaitable<void> Load::Upload(std::vector<uint8_t> bytes) {
  tcp::socket s(io_);
  bool sent = Connect(s);
  if (sent) {
    auto [we, wn] = co_await asio::async_write(s, asio::buffer(bytes), kTuple);
    sent = !we;
  }
  if (sent) {
    uint8_t byte;
    co_await s.async_read_some(asio::buffer(&byte, 1), kTuple);  // the server closes without an answer
  }
  if (!sent) ++uploadErrors_;
  Done();
}

awaitable<void> Load::Replays() {
  asio::steady_timer pause(io_);
  std::vector<std::string> names;
  const bool read = ReadReplay();
  for (int i = 0; read && i < o_.uploads; ++i) {
    names.push_back(NextName());
    if (!co_await KeepResult(names.back())) {
      if (replayFailure_.empty()) replayFailure_ = "the game's result was not kept under " + names.back();
      break;
    }
  }
  const long before = replayFailure_.empty() ? CheckedSoFar() : -1;
  if (replayFailure_.empty() && before < 0)
    replayFailure_ = "cannot read rankd_scores_verified_total and _suspect_total at " + o_.http;
  if (!replayFailure_.empty()) {
    Done();
    co_return;
  }
  ScoreSubmission hostile = replayResult_;
  std::memcpy(hostile.name, "hostile", 7);
  const std::vector<uint8_t> endless = UploadBytes(hostile, EncodeReplay(EndlessGame(replay_)));
  running_ += o_.hostile;
  for (int i = 0; i < o_.hostile; ++i) asio::co_spawn(io_, Upload(endless), asio::detached);
  // --seconds counts from here, once the results are kept.
  replaysBegun_ = Clock::now();
  const Clock::time_point until = replaysBegun_ + (end_ - begun_);
  Clock::time_point progress = replaysBegun_;
  long sent = 0;
  while (Clock::now() < until && checked_ < static_cast<long>(names.size())) {
    for (; sent < static_cast<long>(names.size()) && sent - checked_ - lost_ < kUploadsAtOnce; ++sent) {
      ScoreSubmission honest = replayResult_;
      std::memcpy(honest.name, names[sent].data(), names[sent].size());
      ++running_;
      asio::co_spawn(io_, Upload(UploadBytes(honest, replayBytes_)), asio::detached);
    }
    pause.expires_after(std::chrono::milliseconds(10));
    co_await pause.async_wait(kTuple);
    const long now = CheckedSoFar() - before;
    if (now > checked_) {
      checked_ = now;
      progress = lastCheck_ = Clock::now();
    } else if (o_.hostile > 0 && Clock::now() - progress > kLostAfter) {
      lost_ = sent - checked_;
      progress = Clock::now();
    }
  }
  replaysEnded_ = Clock::now();
  Done();
}

// The games the server checked a second, from the first honest upload to the last verdict;
// the run is good when every upload was sent (none checked is a figure too: 0 a second).
int Load::ReportReplays() {
  if (!replayFailure_.empty()) {
    std::printf("replays: not measured: %s\nresult: FAILED\n", replayFailure_.c_str());
    return 1;
  }
  // Until the last verdict, or the whole run when none came.
  const Clock::time_point last = checked_ > 0 ? lastCheck_ : replaysEnded_;
  const double seconds = std::chrono::duration<double>(last - replaysBegun_).count();
  std::printf(
      "replays: %ld games of %zu frames (%s) checked in %.2f s = %.1f a second, %d hostile uploads sent first; "
      "%ld uploads lost (no check within %lld s), %ld failed\n",
      checked_, replay_.inputs.size(), o_.replay.c_str(), seconds, checked_ > 0 ? checked_ / seconds : 0.0, o_.hostile,
      lost_, static_cast<long long>(kLostAfter.count()), uploadErrors_);
  const bool good = uploadErrors_ == 0;
  std::printf("%s\n", good ? "result: good" : "result: FAILED");
  return good ? 0 : 1;
}

}  // namespace rankload
