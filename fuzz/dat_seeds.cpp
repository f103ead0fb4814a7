// Writes ranking files for the ranking-file fuzzer to start from, with the game's own
// code: a full table with Korean and Latin names, one with a few rows, an empty one.
// Usage: dat_seeds <folder>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "game/random.h"
#include "ranking/local_ranking.h"

int main(int argc, char** argv) {
  if (argc != 2 || chdir(argv[1]) != 0) {
    std::fprintf(stderr, "usage: dat_seeds <existing folder>\n");
    return 1;
  }
  GameSrand(1);
  const char* names[] = {"PlommX", "\xb4\xdf\xb4\xd9\xb8\xae", "Kim", "", "ABCDEFGHIJK"};  // 닭다리
  for (int i = 0; i < kScoreRows; ++i) {
    InsertScoreRow(LocalScoreTable, i, names[i % 5], i + 1, 99999u - 997u * static_cast<uint32_t>(i),
                   i * 3, 60u * static_cast<uint32_t>(i));
  }
  int ok = SaveScoreTable(0);
  LocalScoreTable = ScoreTable{};
  InsertScoreRow(LocalScoreTable, 0, "PlommX", 4, 1234, 7, 95);
  InsertScoreRow(LocalScoreTable, 1, "\xb4\xdf", 1, 12, 0, 4000000000u);  // 닭
  ok &= SaveScoreTable(1);
  LocalScoreTable = ScoreTable{};
  ok &= SaveScoreTable(2);
  return ok ? 0 : 1;
}
