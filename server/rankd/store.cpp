// The memory engine and the choice of engine by the --db value.
#include "server/rankd/store.h"

#include <algorithm>

namespace rankd {
namespace {

// Each mode's rows in ranking order; a new row goes below every row with its score.
class MemoryStore final : public RankStore {
 public:
  const char* Engine() const override { return "memory"; }

  bool Store(const std::vector<Score>& scores, std::string& error) override {
    for (const Score& s : scores) {
      if (s.mode < 0 || s.mode >= kModes) {
        error = "mode outside 0..2";
        return false;
      }
    }
    for (const Score& s : scores) {
      auto& rows = modes_[s.mode];
      const auto below = std::upper_bound(rows.begin(), rows.end(), s.score,
                                          [](uint32_t score, const Score& row) { return score > row.score; });
      rows.insert(below, s);
    }
    return true;
  }

  bool LoadTop(ScoreTable tables[kModes], std::string&) override {
    for (int mode = 0; mode < kModes; ++mode) {
      tables[mode] = ScoreTable{};
      const auto& rows = modes_[mode];
      for (size_t i = 0; i < rows.size() && i < static_cast<size_t>(kScoreRows); ++i) {
        tables[mode].row[i] = EntryFromScore(rows[i]);
      }
    }
    return true;
  }

  bool LoadAll(std::vector<Score>& scores, std::string&) override {
    scores.clear();
    for (const auto& rows : modes_) scores.insert(scores.end(), rows.begin(), rows.end());
    return true;
  }

 private:
  std::vector<Score> modes_[kModes];
};

}  // namespace

std::unique_ptr<RankStore> OpenMemoryStore() { return std::make_unique<MemoryStore>(); }

bool IsPostgresUri(const std::string& where) {
  return where.starts_with("postgresql://") || where.starts_with("postgres://");
}

bool RankStore::LoadListing(int, std::vector<ListedScore>& rows, std::string& error) {
  rows.clear();
  error = std::string(Engine()) + " keeps no times";
  return false;
}

bool RankStore::StoreFrom(const std::vector<Score>& scores, const std::vector<std::string>&, std::vector<bool>& banned,
                          std::string& error) {
  banned.assign(scores.size(), false);
  return Store(scores, error);
}

bool RankStore::MarkReplay(const ReplayClaim&, ReplayMark& written, std::string& error) {
  written = ReplayMark::None;
  error = std::string(Engine()) + " keeps no replay marks";
  return false;
}

bool RankStore::BeginChecks(bool, std::string&) { return true; }

bool RankStore::ReadReplay(long long, int&, std::string& bytes, bool& found, std::string& error) {
  bytes.clear();
  found = false;
  error = std::string(Engine()) + " keeps no replays";
  return false;
}

// The listing decides: a replay whose row left it meanwhile (a prune not yet run) is not served.
bool RankStore::ListedReplay(long long id, KeptReplay& kept, bool& found, std::string& error) {
  found = false;
  int mode = -1;
  bool held = false;
  std::vector<ListedScore> rows;
  if (!ReadReplay(id, mode, kept.bytes, held, error)) return false;
  if (!held || !LoadListing(mode, rows, error)) {
    kept.bytes.clear();
    return !held;
  }
  for (size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].id != id || !rows[i].replay) continue;
    kept.score = rows[i].score;
    kept.id = id;
    kept.place = static_cast<int>(i) + 1;
    found = true;
  }
  if (!found) kept.bytes.clear();
  return true;
}

bool RankStore::PlacedReplay(int mode, int place, KeptReplay& kept, bool& found, std::string& error) {
  found = false;
  std::vector<ListedScore> rows;
  if (mode < 0 || mode >= kModes) return true;
  if (!LoadListing(mode, rows, error)) return false;
  if (place < 1 || place > static_cast<int>(rows.size()) || !rows[place - 1].replay) return true;
  const ListedScore& row = rows[place - 1];
  int rowMode = -1;
  if (!ReadReplay(row.id, rowMode, kept.bytes, found, error)) return false;
  kept.score = row.score;
  kept.id = row.id;
  kept.place = place;
  return true;
}

bool RankStore::ExpireUnmarked(int, int& marked, std::string& error) {
  marked = 0;
  error = std::string(Engine()) + " keeps no replay marks";
  return false;
}

std::unique_ptr<RankStore> OpenRankStore(const std::string& where, std::string& error, StoreUse use) {
  if (IsPostgresUri(where)) return OpenPostgresStore(where, error, use);
  return OpenSqliteStore(where, error);
}

}  // namespace rankd
