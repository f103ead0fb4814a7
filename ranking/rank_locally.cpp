// soloplay's ranking step after every game: the difficulty's file, the place the score
// earns, the name, the saved file, and the listing shown in the ranking dialog.
#include "ranking/rank_locally.h"

#include <cstring>

#include "app/played_game.h"
#include "ranking/dialogs.h"
#include "ranking/local_ranking.h"

namespace {

// When a write failed, the dialog shows the table as it stands in memory (the listing file
// may be an old one, or none) with a short note under it.
void PrepareUnsavedText() {
  char text[kRankTextCap];
  const size_t len = FormatRankText(LocalScoreTable, text);
  const size_t notice = std::strlen(kRankNotSavedNotice);
  std::memset(RankTextBuffer, 0, sizeof RankTextBuffer);
  std::memcpy(RankTextBuffer, text, len);
  std::memcpy(RankTextBuffer + len, "\r\n", 2);
  std::memcpy(RankTextBuffer + len + 2, kRankNotSavedNotice, notice);
  RankTextPrepared = 1;
}

}  // namespace

bool RankLocally(int32_t mode, int32_t stage) {
  EnsureScoreFile(mode);
  LoadScoreTable(mode);
  const int32_t place = FindRankSlot(static_cast<uint32_t>(CurrentGame().world.counters.score));
  bool saved = true;
  if (place < kScoreRows) {
    ShowNameDialog();
    InsertScore(place, stage);
    saved = WriteRankText();
    saved = SaveScoreTable(mode) && saved;
  } else {
    saved = WriteRankText();
  }
  // A failed save is told in the ranking dialog too, not only on standard error.
  if (!saved) PrepareUnsavedText();
  ShowRankDialog();
  return place < kScoreRows;
}
