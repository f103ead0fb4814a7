// The server's counters and their Prometheus text.
#include "server/rankd/metrics.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>

namespace rankd {
namespace {

constexpr std::array<double, Histogram::kBounds> kExchangeBounds = {0.001, 0.0025, 0.005, 0.01, 0.025, 0.05, 0.1,
                                                                    0.25,  0.5,    1,     5,    30,    120,  600};
constexpr std::array<double, Histogram::kBounds> kCommitBounds = {0.0005, 0.001, 0.0025, 0.005, 0.01, 0.025, 0.05,
                                                                  0.1,    0.25,  0.5,    1,     2.5,  5,     10};

// Label values, in the enumerations' order.
constexpr const char* kEndNames[kExchangeEnds] = {"declined",     "stored",    "refused", "malformed",
                                                  "store_failed", "timed_out", "closed",  "banned"};
constexpr const char* kVerdictNames[kVerdicts] = {"accepted",         "name_unterminated",
                                                  "name_empty",       "name_too_long",
                                                  "name_control",     "name_not_cp949",
                                                  "stage_below_one",  "combo_negative",
                                                  "seconds_negative", "not_above_threshold",
                                                  "check_code_wrong"};

constexpr const char* kRefusalNames[kUploadRefusals] = {"taken",    "timed_out", "closed",     "not_a_submission",
                                                        "too_long", "no_room",   "queue_full", "address_full"};

constexpr const char* kFetchEndNames[kFetchEnds] = {"sent",   "none",      "malformed", "no_room",
                                                    "failed", "timed_out", "closed",    "not_taken"};

void Family(std::string& out, const char* name, const char* type, const char* help) {
  out += "# HELP ";
  out += name;
  out += ' ';
  out += help;
  out += "\n# TYPE ";
  out += name;
  out += ' ';
  out += type;
  out += '\n';
}

void Sample(std::string& out, const char* name, const char* labels, uint64_t value) {
  char line[160];
  std::snprintf(line, sizeof line, "%s%s %" PRIu64 "\n", name, labels, value);
  out += line;
}

void Counter(std::string& out, const char* name, const char* help, const std::atomic<uint64_t>& value) {
  Family(out, name, "counter", help);
  Sample(out, name, "", value.load(std::memory_order_relaxed));
}

}  // namespace

void Histogram::Observe(double seconds) {
  size_t at = 0;
  while (at < kBounds && seconds > bounds_[at]) ++at;
  buckets_[at].fetch_add(1, std::memory_order_relaxed);
  sumMicroseconds_.fetch_add(static_cast<uint64_t>(std::llround(std::max(seconds, 0.0) * 1e6)),
                             std::memory_order_relaxed);
}

void Histogram::Render(const char* name, const char* help, std::string& out) const {
  Family(out, name, "histogram", help);
  uint64_t below = 0;
  char line[160];
  for (size_t i = 0; i <= kBounds; ++i) {
    below += buckets_[i].load(std::memory_order_relaxed);
    if (i < kBounds) {
      std::snprintf(line, sizeof line, "%s_bucket{le=\"%g\"} %" PRIu64 "\n", name, bounds_[i], below);
    } else {
      std::snprintf(line, sizeof line, "%s_bucket{le=\"+Inf\"} %" PRIu64 "\n", name, below);
    }
    out += line;
  }
  std::snprintf(line, sizeof line, "%s_sum %.6f\n%s_count %" PRIu64 "\n", name,
                static_cast<double>(sumMicroseconds_.load(std::memory_order_relaxed)) / 1e6, name, below);
  out += line;
}

void StoreHealth::Set(Trouble trouble, const std::string& reason) {
  // One short line, whatever the database's message was.
  std::string line = reason.substr(0, 300);
  for (char& c : line) {
    if (c == '\n' || c == '\t' || c == '\r') c = ' ';
  }
  std::lock_guard lock(mutex_);
  reason_ = std::move(line);
  trouble_.store(trouble, std::memory_order_relaxed);
}

bool StoreHealth::Working(std::string& reason) const {
  if (trouble() == Trouble::None) return true;
  std::lock_guard lock(mutex_);
  reason = reason_;
  return trouble() == Trouble::None;
}

Metrics::Metrics() : exchangeSeconds(kExchangeBounds), commitSeconds(kCommitBounds) {}

void Metrics::CountExchange(ExchangeEnd end, Verdict verdict, double seconds) {
  exchanges[static_cast<size_t>(end)].fetch_add(1, std::memory_order_relaxed);
  if (end == ExchangeEnd::Refused) refusals[static_cast<size_t>(verdict)].fetch_add(1, std::memory_order_relaxed);
  exchangeSeconds.Observe(seconds);
}

void Metrics::CountUpload(UploadRefusal refusal) {
  uploads[static_cast<size_t>(refusal)].fetch_add(1, std::memory_order_relaxed);
}

void Metrics::CountCheck(ReplayFinding finding, size_t frames, double seconds) {
  checks[static_cast<size_t>(finding)].fetch_add(1, std::memory_order_relaxed);
  framesPlayed.fetch_add(frames, std::memory_order_relaxed);
  checkMicroseconds.fetch_add(static_cast<uint64_t>(std::llround(std::max(seconds, 0.0) * 1e6)),
                              std::memory_order_relaxed);
}

namespace {

void Gauge(std::string& out, const char* name, const char* help, const std::atomic<int64_t>& value) {
  Family(out, name, "gauge", help);
  Sample(out, name, "", static_cast<uint64_t>(std::max<int64_t>(0, value.load(std::memory_order_relaxed))));
}

void RenderReplays(const Metrics& m, std::string& out) {
  char labels[64];
  Family(out, "rankd_replay_uploads_total", "counter",
         "Replay uploads: taken for a check, or why refused (queue_full, address_full and no_room: the server "
         "was busy, the score is left unmarked).");
  for (size_t i = 0; i < kUploadRefusals; ++i) {
    std::snprintf(labels, sizeof labels, "{outcome=\"%s\"}", kRefusalNames[i]);
    Sample(out, "rankd_replay_uploads_total", labels, m.uploads[i].load(std::memory_order_relaxed));
  }
  Family(out, "rankd_replay_checks_total", "counter",
         "Replays played again: verified, or what made their score suspect.");
  for (size_t i = 0; i + 1 < kReplayFindings; ++i) {  // the last, not_checked, is never played
    std::snprintf(labels, sizeof labels, "{result=\"%s\"}", ReplayFindingName(static_cast<ReplayFinding>(i)));
    Sample(out, "rankd_replay_checks_total", labels, m.checks[i].load(std::memory_order_relaxed));
  }
  Family(out, "rankd_replay_check_seconds_total", "counter", "Time the checking threads spent on replays.");
  char line[96];
  std::snprintf(line, sizeof line, "rankd_replay_check_seconds_total %.6f\n",
                static_cast<double>(m.checkMicroseconds.load(std::memory_order_relaxed)) / 1e6);
  out += line;
  Counter(out, "rankd_replay_frames_played_total", "Stage frames the checks played again.", m.framesPlayed);
  Gauge(out, "rankd_replay_bytes_held", "Bytes held for replays being received or waiting for a check.",
        m.replayBytesHeld);
  Gauge(out, "rankd_replays_waiting", "Replays waiting for a checking thread.", m.replaysWaiting);
  Family(out, "rankd_replay_fetches_total", "counter",
         "Kept replays asked for on the game port: sent, none kept at that place, or why nothing was sent.");
  for (size_t i = 0; i < kFetchEnds; ++i) {
    std::snprintf(labels, sizeof labels, "{outcome=\"%s\"}", kFetchEndNames[i]);
    Sample(out, "rankd_replay_fetches_total", labels, m.fetches[i].load(std::memory_order_relaxed));
  }
}

}  // namespace

std::string Metrics::Render() const {
  std::string out;
  out.reserve(8192);
  Family(out, "rankd_exchanges_total", "counter",
         "Ranking exchanges ended, by what came of them (timed_out and closed: ended before that).");
  char labels[64];
  for (size_t i = 0; i < kExchangeEnds; ++i) {
    std::snprintf(labels, sizeof labels, "{outcome=\"%s\"}", kEndNames[i]);
    Sample(out, "rankd_exchanges_total", labels, exchanges[i].load(std::memory_order_relaxed));
  }
  Family(out, "rankd_refusals_total", "counter", "Submissions refused, by the rule they broke.");
  for (size_t i = 1; i < kVerdicts; ++i) {  // 0 is "accepted"
    std::snprintf(labels, sizeof labels, "{reason=\"%s\"}", kVerdictNames[i]);
    Sample(out, "rankd_refusals_total", labels, refusals[i].load(std::memory_order_relaxed));
  }
  exchangeSeconds.Render("rankd_exchange_duration_seconds", "Time from a connection's acceptance to its close.", out);
  Family(out, "rankd_connections_open", "gauge", "Game connections held now.");
  Sample(out, "rankd_connections_open", "",
         static_cast<uint64_t>(std::max<int64_t>(0, connectionsOpen.load(std::memory_order_relaxed))));
  Family(out, "rankd_connections_refused_total", "counter", "Game connections closed at once by a limit.");
  Sample(out, "rankd_connections_refused_total", "{limit=\"max_connections\"}",
         refusedServerFull.load(std::memory_order_relaxed));
  Sample(out, "rankd_connections_refused_total", "{limit=\"max_per_address\"}",
         refusedPerAddress.load(std::memory_order_relaxed));
  commitSeconds.Render("rankd_store_commit_duration_seconds", "Time the database took to commit a batch of scores.",
                       out);
  Counter(out, "rankd_store_commit_failures_total", "Batches of scores the database did not commit.", commitsFailed);
  Family(out, "rankd_store_up", "gauge",
         "1 while the database answers and commits, 0 while it fails (/healthz says why).");
  Sample(out, "rankd_store_up", "", storeHealth.trouble() == StoreHealth::Trouble::None ? 1 : 0);
  Counter(out, "rankd_scores_verified_total", "Scores a replay of their game confirmed.", scoresVerified);
  Counter(out, "rankd_scores_suspect_total", "Scores a replay of their game did not confirm.", scoresSuspect);
  RenderReplays(*this, out);
  return out;
}

}  // namespace rankd
