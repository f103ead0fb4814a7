// The report: throughput, latency, errors and the server's memory, and the checks that
// every acknowledged submission is kept.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "server/rankd/store.h"
#include "server/rankload/load_impl.h"
#include "server/rankload/process_status.h"

namespace rankload {

namespace {

// One listing row as the server prints it: rank, name right-aligned in 10 bytes, score.
struct Row {
  std::string name;
  uint32_t score = 0;
};
std::vector<Row> ParseListing(const std::string& text) {
  std::vector<Row> rows;
  size_t at = 0;
  for (int line = 0; at < text.size(); ++line) {
    size_t end = text.find("\r\n", at);
    if (end == std::string::npos) end = text.size();
    const std::string l = text.substr(at, end - at);
    at = end + 2;
    if (line < 2 || l.size() < 28) continue;
    std::string name = l.substr(8, 10);
    name.erase(0, name.find_first_not_of(' '));
    const auto score = static_cast<uint32_t>(std::strtoll(l.substr(18, 10).c_str(), nullptr, 10));
    if (!name.empty() || score != 0) rows.push_back({name, score});
  }
  return rows;
}

}  // namespace

int Load::Report() {
  const long hwm = o_.pid > 0 ? StatusKb(o_.pid, "VmHWM") : -1;
  for (auto* list : {&latencyUs_, &declineUs_, &submitUs_}) std::sort(list->begin(), list->end());
  auto percentile = [](const std::vector<uint32_t>& list, double p) {
    if (list.empty()) return 0.0;
    const size_t i = std::min(list.size() - 1, static_cast<size_t>(p * static_cast<double>(list.size())));
    return list[i] / 1000.0;
  };
  const long exchanges = declines_ + submissions_;
  if (o_.rate > 0) {
    std::printf(
        "rankload: %.0f exchanges a second offered for %.1f s (open loop, at most %d in flight), "
        "%d idle connections, %d%% submissions, %zu source addresses\n",
        o_.rate, o_.seconds, o_.maxInFlight, o_.idle, o_.submitPercent, sources_.size());
  } else {
    std::printf("rankload: %d clients for %.1f s, %d idle connections, %d%% submissions, %zu source addresses\n",
                o_.clients, o_.seconds, o_.idle, o_.submitPercent, sources_.size());
  }
  std::printf("exchanges: %ld complete (%ld declines, %ld submissions) in %.2f s = %.0f per second\n", exchanges,
              declines_, submissions_, elapsed_, exchanges / std::max(elapsed_, 1e-9));
  if (o_.rate > 0) ReportSchedule();
  std::printf(
      "latency: p50 %.2f ms, p90 %.2f ms, p99 %.2f ms, p99.9 %.2f ms, max %.2f ms (declines p50 %.2f, p99 %.2f; "
      "submissions p50 %.2f, p99 %.2f)\n",
      percentile(latencyUs_, 0.50), percentile(latencyUs_, 0.90), percentile(latencyUs_, 0.99),
      percentile(latencyUs_, 0.999), latencyUs_.empty() ? 0.0 : latencyUs_.back() / 1000.0, percentile(declineUs_, 0.5),
      percentile(declineUs_, 0.99), percentile(submitUs_, 0.5), percentile(submitUs_, 0.99));
  std::printf("machine: a thread sleeping 1 ms at a time woke up to %.1f ms late, %ld times over %lld ms late%s\n",
              std::chrono::duration<double, std::milli>(pauses_.longest()).count(), pauses_.longPauses(),
              static_cast<long long>(PauseWatch::kLong.count()),
              pauses_.longPauses() > 0 ? " (pauses of the whole machine, which every exchange under way waited out)"
                                       : "");
  std::printf("errors: %ld exchanges; idle connections: %ld held, %ld answered at the end, %ld failed\n", errors_,
              idleHeld_, idleAnswered_, idleFailed_);
  if (o_.pid > 0)
    std::printf("server peak memory (VmHWM): %ld kB (%ld kB before the clients began)\n", hwm, hwmBefore_);
  ReportServer(exchanges);
  bool good = errors_ == 0 && idleFailed_ == 0 && listingsOk_;
  good = CheckThroughServer() && good;
  if (!o_.db.empty()) good = CheckDatabase() && good;
  std::printf("%s\n", good ? "result: good" : "result: FAILED");
  return good ? 0 : 1;
}

// How well the load program itself kept to its schedule. Its own delays count in the
// latencies (they run from the scheduled start), so a late schedule makes the figures worse
// than the server is, never better; the line says so whenever more than 1 % were late.
void Load::ReportSchedule() const {
  const double latestMs = std::chrono::duration<double, std::milli>(latest_).count();
  std::printf(
      "schedule: %ld exchanges started, %ld of them late by more than 1 ms (the latest %.2f ms), "
      "%ld waited for a free connection (at most %ld in flight)\n",
      offered_, late_, latestMs, waited_, mostInFlight_);
  if (late_ * 100 > offered_) {
    std::printf("schedule: BEHIND: rankload fell behind its schedule, so the latencies include its own delay\n");
  }
}

// The server's processor time while the clients played, per exchange complete: its every
// thread, user and system (the kernel's work on its sockets that is counted to it).
void Load::ReportServer(long exchanges) const {
  if (!cpuRead_ || exchanges <= 0) return;
  const auto per = [&](std::chrono::microseconds t) { return static_cast<double>(t.count()) / exchanges; };
  const auto user = cpuAfter_.user - cpuBefore_.user;
  const auto system = cpuAfter_.system - cpuBefore_.system;
  std::printf("server processor time: %.1f us per exchange (user %.1f, system %.1f; %.2f s in all)\n",
              per(user + system), per(user), per(system), static_cast<double>((user + system).count()) / 1e6);
}

bool Load::CheckThroughServer() {
  if (!listingsOk_) {
    std::printf("check through the server: the listings could not be read\n");
    return false;
  }
  std::map<std::string, const rankd::Score*> sent;
  for (const auto* list : {&acked_, &unacked_}) {
    for (const rankd::Score& s : *list) sent.emplace(s.name, &s);
  }
  size_t belong = 0;
  size_t missing = 0;
  size_t strangers = 0;
  size_t twice = 0;
  for (int mode = 0; mode < rankd::kModes; ++mode) {
    const std::vector<Row> rows = ParseListing(after_[mode]);
    std::map<std::string, uint32_t> known;
    for (const Row& r : ParseListing(before_[mode])) known.emplace(r.name, r.score);
    std::map<std::string, int> seen;
    for (const Row& r : rows) {
      if (++seen[r.name] > 1 && r.name.starts_with(prefix_)) ++twice;
      const auto it = sent.find(r.name);
      const bool ours = it != sent.end() && it->second->mode == mode && it->second->score == r.score;
      const bool old = known.contains(r.name) && known[r.name] == r.score;
      if (!ours && !old) ++strangers;
    }
    const uint32_t lowest = rows.size() < 20 ? 0 : rows.back().score;
    for (const rankd::Score& s : acked_) {
      if (s.mode != mode || s.score <= lowest) continue;
      ++belong;
      if (!seen.contains(s.name)) ++missing;
    }
  }
  std::printf(
      "check through the server: %zu acknowledged submissions (%zu sent without an answer); "
      "%zu of them belong in the final listings: %zu missing, %zu unknown rows, %zu twice\n",
      acked_.size(), unacked_.size(), belong, missing, strangers, twice);
  return missing == 0 && strangers == 0 && twice == 0;
}

bool Load::CheckDatabase() {
  std::string error;
  auto store = rankd::OpenRankStore(o_.db, error);
  std::vector<rankd::Score> kept;
  if (!store || !store->LoadAll(kept, error)) {
    std::printf("check of the database: cannot read it: %s\n", error.c_str());
    return false;
  }
  std::map<std::string, int> count;
  std::map<std::string, const rankd::Score*> byName;
  for (const rankd::Score& s : kept) {
    if (!s.name.starts_with(prefix_)) continue;
    ++count[s.name];
    byName[s.name] = &s;
  }
  size_t missing = 0;
  size_t wrong = 0;
  size_t twice = 0;
  for (const auto& [name, n] : count) twice += n > 1 ? 1 : 0;
  for (const rankd::Score& s : acked_) {
    const auto it = byName.find(s.name);
    if (it == byName.end()) {
      ++missing;
    } else if (!(*it->second == s)) {
      ++wrong;
    }
  }
  std::printf(
      "check of the database: %zu rows of this run kept; of %zu acknowledged: %zu missing, %zu different, "
      "%zu kept twice\n",
      count.size(), acked_.size(), missing, wrong, twice);
  return missing == 0 && wrong == 0 && twice == 0;
}

}  // namespace rankload
