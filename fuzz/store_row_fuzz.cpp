// Any bytes as a kept score's row as PostgreSQL gives it back: the input, cut at its zero
// bytes, is the six text columns (mode, name, stage, score, best combo, play seconds). A row
// is read into a score within its fields' ranges, or refused; a score read, written back in
// the same form, reads the same.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "server/rankd/stored_row.h"

namespace {

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

// The columns as the database writes them for `s`.
void Columns(const rankd::Score& s, std::string (&text)[6]) {
  text[0] = std::to_string(s.mode);
  text[1] = "\\x";
  for (const char c : s.name) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02x", static_cast<unsigned char>(c));
    text[1] += pair;
  }
  text[2] = std::to_string(s.stage);
  text[3] = std::to_string(s.score);
  text[4] = std::to_string(s.bestCombo);
  text[5] = std::to_string(s.playSeconds);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string_view columns[6];
  size_t from = 0;
  for (int c = 0; c < 6 && from <= input.size(); ++c) {
    const size_t end = std::min(input.find('\0', from), input.size());
    columns[c] = input.substr(from, end - from);
    from = end + 1;
  }
  rankd::Score score;
  if (!rankd::ScoreFromColumns(columns, score)) {
    Require(score == rankd::Score{});  // a refused row leaves the score alone
    return 0;
  }
  Require(score.mode >= 0 && score.mode < rankd::kModes);
  Require(!score.name.empty() && score.name.size() <= rankd::kLongestName);
  std::string text[6];
  Columns(score, text);
  const std::string_view again[6] = {text[0], text[1], text[2], text[3], text[4], text[5]};
  rankd::Score reread;
  Require(rankd::ScoreFromColumns(again, reread) && reread == score);
  return 0;
}
