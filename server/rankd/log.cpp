// The ranking server's log: lines gathered on the network thread, written in few writes.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdarg>
#include <cstdio>

#include "server/rankd/server_impl.h"

namespace rankd {

void LogSink::Line(const char* format, ...) {
  char line[512];
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(line, sizeof line - 1, format, args);
  va_end(args);
  if (n < 0) return;
  const size_t length = std::min(static_cast<size_t>(n), sizeof line - 2);
  line[length] = '\n';
  pending_.append(line, length + 1);
  Ended();
}

void LogSink::Words(std::initializer_list<std::string_view> words, long long ms) {
  for (std::string_view word : words) pending_.append(word);
  char number[24];
  const auto [end, ec] = std::to_chars(number, number + sizeof number, ms);
  pending_ += ' ';
  pending_.append(number, end);
  pending_.append(" ms\n");
  Ended();
}

void LogSink::Ended() {
  if (pending_.size() > 64 * 1024) {
    Flush();
  } else if (!armed_) {
    armed_ = true;
    timer_.expires_after(kLogFlushEvery);
    timer_.async_wait([this](const asio::error_code& ec) {
      if (ec) return;  // the sink is going away; its destructor writes what waits
      armed_ = false;
      Flush();
    });
  }
}

void LogSink::Flush() {
  size_t at = 0;
  while (at < pending_.size()) {
    const ssize_t n = ::write(STDERR_FILENO, pending_.data() + at, pending_.size() - at);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // standard error is gone: the lines are lost, the server goes on
    at += static_cast<size_t>(n);
  }
  pending_.clear();
}

}  // namespace rankd
