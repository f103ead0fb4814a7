#pragma once
// The rankings as the server answers them: every mode's best rows and the bytes of its
// listing, held ready so that answering never waits on the database.
#include <cstdint>
#include <memory>
#include <vector>

#include "server/rankd/score.h"
#include "wire/rank_text.h"

namespace rankd {

// The answers of every mode as they stand: the best rows, the score to beat and the header
// and listing bytes, ready to send.
class RankCache {
 public:
  RankCache();
  void Set(int mode, const ScoreTable& table);
  // Places scores just committed into the tables held, for when the store cannot be read
  // back after the commit.
  void Place(const std::vector<Score>& scores);
  const ScoreTable& Table(int mode) const { return modes_[mode].table; }
  // The 20th best score, 0 while fewer than 20 are kept (an empty row scores 0).
  uint32_t Threshold(int mode) const { return modes_[mode].table.row[kScoreRows - 1].score; }
  // Shared, so a send under way keeps its bytes when the table changes meanwhile.
  std::shared_ptr<const std::vector<uint8_t>> Text(int mode) const { return modes_[mode].text; }

 private:
  struct Mode {
    ScoreTable table;
    std::shared_ptr<const std::vector<uint8_t>> text;
  };
  Mode modes_[kModes];
};

// The header and listing bytes the server sends for a table.
std::vector<uint8_t> RankTextMessage(const ScoreTable& table);

// Places scores into tables as the listing orders them: a later equal score ranks below.
void PlaceScores(const std::vector<Score>& scores, ScoreTable tables[kModes]);

}  // namespace rankd
