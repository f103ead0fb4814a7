// The rankings held ready to answer, and the bytes of a listing.
#include "server/rankd/rank_cache.h"

#include <cstring>

namespace rankd {

std::vector<uint8_t> RankTextMessage(const ScoreTable& table) {
  char text[kRankTextCap];
  const size_t length = FormatRankText(table, text);
  std::vector<uint8_t> message(kRankTextHeaderBytes + length);
  EncodeRankTextHeader(static_cast<uint32_t>(length), message.data());
  std::memcpy(message.data() + kRankTextHeaderBytes, text, length);
  return message;
}

RankCache::RankCache() {
  for (int mode = 0; mode < kModes; ++mode) Set(mode, ScoreTable{});
}

void RankCache::Set(int mode, const ScoreTable& table) {
  // The rows hold no padding, so equal bytes are equal tables: an unchanged table keeps its text.
  static_assert(sizeof(ScoreTable) == kScoreRows * kScoreEntryBytes);
  if (modes_[mode].text && std::memcmp(&modes_[mode].table, &table, sizeof table) == 0) return;
  modes_[mode].table = table;
  modes_[mode].text = std::make_shared<const std::vector<uint8_t>>(RankTextMessage(table));
}

void RankCache::Place(const std::vector<Score>& scores) {
  ScoreTable tables[kModes];
  for (int mode = 0; mode < kModes; ++mode) tables[mode] = Table(mode);
  PlaceScores(scores, tables);
  for (int mode = 0; mode < kModes; ++mode) Set(mode, tables[mode]);
}

void PlaceScores(const std::vector<Score>& scores, ScoreTable tables[kModes]) {
  for (const Score& s : scores) {
    if (s.mode < 0 || s.mode >= kModes) continue;
    const int32_t place = FindRankSlot(tables[s.mode], s.score);
    if (place < kScoreRows) {
      InsertScoreRow(tables[s.mode], place, s.name.c_str(), s.stage, s.score, s.bestCombo, s.playSeconds);
    }
  }
}

}  // namespace rankd
