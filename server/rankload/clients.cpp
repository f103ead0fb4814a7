// The clients: exchanges played one after another, idle connections that wait for a
// name, and the listings read before and after the run.
#include <netinet/in.h>
#include <sys/socket.h>

#include <asio/experimental/awaitable_operators.hpp>
#include <cerrno>
#include <cstring>

#include "server/rankload/load_impl.h"

namespace rankload {

using namespace asio::experimental::awaitable_operators;

bool Load::Connect(tcp::socket& s) {
  asio::error_code ec;
  s.open(tcp::v4(), ec);
  if (!ec) s.non_blocking(true, ec);
  if (ec) return false;
  if (!sources_.empty()) {
    // The port is chosen at connect time, per destination, so many sources share the range.
    const int one = 1;
    setsockopt(s.native_handle(), IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, &one, sizeof one);
    s.bind(tcp::endpoint(sources_[nextSource_++ % sources_.size()], 0), ec);
    if (ec) return false;
  }
  // The request follows without waiting for the handshake: a send before the connection is
  // made waits for it, and one that failed fails the send. Waiting here would cost three
  // more system calls an exchange, which on a shared machine the server would pay for.
  return ::connect(s.native_handle(), server_.data(), static_cast<socklen_t>(server_.size())) == 0 ||
         errno == EINPROGRESS;
}

awaitable<bool> Load::Begin(tcp::socket& s, int mode, uint32_t& threshold) {
  if (!Connect(s)) co_return false;
  uint8_t request[kRankRequestBytes];
  EncodeRankRequest(RankRequest{static_cast<uint8_t>(mode)}, request);
  auto [we, wn] = co_await asio::async_write(s, asio::buffer(request), kTuple);
  if (we) co_return false;
  uint8_t reply[kThresholdReplyBytes];
  auto [re, rn] = co_await asio::async_read(s, asio::buffer(reply), kTuple);
  if (re) co_return false;
  threshold = DecodeThresholdReply(reply);
  co_return true;
}

awaitable<bool> Load::Finish(tcp::socket& s, const uint8_t* answer, size_t size, std::string* listing) {
  auto [we, wn] = co_await asio::async_write(s, asio::buffer(answer, size), kTuple);
  if (we) co_return false;
  uint8_t bytes[4096];
  size_t have = 0;
  size_t need = kRankTextHeaderBytes;
  while (have < need) {
    auto [re, n] = co_await s.async_read_some(asio::buffer(bytes + have, sizeof bytes - have), kTuple);
    if (re) co_return false;
    have += n;
    if (have >= kRankTextHeaderBytes) {
      const uint32_t length = DecodeRankTextHeader(bytes);
      if (length > sizeof bytes - kRankTextHeaderBytes) co_return false;
      need = kRankTextHeaderBytes + length;
    }
  }
  if (listing != nullptr) listing->assign(bytes + kRankTextHeaderBytes, bytes + need);
  co_return true;
}

std::string Load::NextName() {
  std::string tail;
  for (uint32_t n = counter_++; tail.empty() || n > 0; n /= 36) tail.insert(tail.begin(), kDigits[n % 36]);
  return prefix_ + tail;
}

awaitable<void> Load::PlayOn(tcp::socket& s, int mode, bool submit, Exchange& result, bool keep) {
  uint32_t threshold = 0;
  if (!co_await Begin(s, mode, threshold)) co_return;
  if (submit) {
    const std::string name = NextName();
    ScoreSubmission sub;
    std::memcpy(sub.name, name.data(), name.size());
    sub.stage = 1 + static_cast<int32_t>(random_() % 50);
    sub.score = threshold + 1 + random_() % 1000;
    sub.bestCombo = static_cast<int32_t>(random_() % 200);
    sub.playSeconds = random_() % 3000;
    sub.checkCode = CheckCode(sub.score, sub.stage, sub.bestCombo, sub.playSeconds);
    uint8_t bytes[kScoreSubmissionBytes];
    EncodeScoreSubmission(sub, bytes);
    result.submitted = true;
    result.score = rankd::ScoreFromSubmission(mode, sub);
    result.ok = co_await Finish(s, bytes, sizeof bytes, keep ? &result.listing : nullptr);
  } else {
    uint8_t bytes[kRankDeclineBytes];
    EncodeRankDecline(bytes);
    result.ok = co_await Finish(s, bytes, sizeof bytes, keep ? &result.listing : nullptr);
  }
}

awaitable<void> Load::Play(int mode, bool submit, Exchange& result, bool keep) {
  tcp::socket s(io_);
  asio::steady_timer limit(io_, std::chrono::seconds(10));
  co_await (PlayOn(s, mode, submit, result, keep) || limit.async_wait(kTuple));
}

void Load::Record(const Exchange& result, bool submit, Clock::time_point begun) {
  if (result.ok) {
    const auto us = static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - begun).count());
    latencyUs_.push_back(us);
    (submit ? submitUs_ : declineUs_).push_back(us);
    ++(submit ? submissions_ : declines_);
  } else {
    ++errors_;
  }
  if (result.submitted) (result.ok ? acked_ : unacked_).push_back(result.score);
}

awaitable<void> Load::Watchdog(ClientState& state) {
  asio::steady_timer timer(io_);
  for (;;) {
    timer.expires_at(state.deadline);
    auto [ec] = co_await timer.async_wait(kTuple);
    if (ec) co_return;  // the client is done
    if (Clock::now() >= state.deadline) {
      asio::error_code ignored;
      state.socket.close(ignored);
      state.deadline = Clock::now() + std::chrono::seconds(10);
    }
  }
}

awaitable<void> Load::Plays(ClientState& state) {
  Exchange result;
  while (Clock::now() < end_) {
    const int mode = static_cast<int>(random_() % 3);
    const bool submit = static_cast<int>(random_() % 100) < o_.submitPercent;
    const Clock::time_point begun = Clock::now();
    state.deadline = begun + std::chrono::seconds(10);
    result.ok = false;
    result.submitted = false;
    co_await PlayOn(state.socket, mode, submit, result, false);
    asio::error_code ignored;
    state.socket.close(ignored);
    Record(result, submit, begun);
  }
}

awaitable<void> Load::Client() {
  ClientState state(io_);
  co_await (Plays(state) || Watchdog(state));
  Done();
}

awaitable<void> Load::Idle() {
  tcp::socket s(io_);
  uint32_t threshold = 0;
  asio::steady_timer limit(io_, std::chrono::seconds(30));
  auto begun = co_await (Begin(s, static_cast<int>(random_() % 3), threshold) || limit.async_wait(kTuple));
  const bool ready = begun.index() == 0 && std::get<0>(begun);
  ++(ready ? idleHeld_ : idleFailed_);
  Done();
  if (!ready) co_return;
  co_await release_.async_wait(kTuple);
  uint8_t decline[kRankDeclineBytes];
  EncodeRankDecline(decline);
  std::string listing;
  limit.expires_after(std::chrono::seconds(10));
  auto ended = co_await (Finish(s, decline, sizeof decline, &listing) || limit.async_wait(kTuple));
  ++(ended.index() == 0 && std::get<0>(ended) ? idleAnswered_ : idleFailed_);
  Done();
}

awaitable<bool> Load::Listings(std::string out[rankd::kModes]) {
  for (int mode = 0; mode < rankd::kModes; ++mode) {
    Exchange result;
    co_await Play(mode, false, result, true);
    if (!result.ok) co_return false;
    out[mode] = result.listing;
  }
  co_return true;
}

}  // namespace rankload
