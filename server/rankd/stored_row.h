#pragma once
// A kept score as PostgreSQL's text results give it back: the one place where the
// database's bytes become a Score, so that a row no server wrote (a hand's INSERT, a damaged
// restore) is refused rather than read into a score it cannot be.
#include <string_view>

#include "server/rankd/score.h"

namespace rankd {

// The columns mode, name, stage, score, best_combo and play_seconds, in that order, as text:
// numbers in decimal, the name in bytea's hex form ("\x" and two hex digits a byte). False
// when a column is not a number in its field's range (the mode 0 to 2, the score and the
// play seconds 0 to 2^32 - 1, the stage and the combo a 32-bit integer) or the name is not
// 1 to kLongestName bytes; `score` is then left as it was.
bool ScoreFromColumns(const std::string_view (&columns)[6], Score& score);

}  // namespace rankd
