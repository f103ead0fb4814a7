// Writes ranking files for the ranking-file fuzzer to start from, with the game's own
// code: a full table with Korean and Latin names, one with a few rows, an empty one.
// Usage: dat_seeds <folder>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "ranking/local_ranking.h"
#include "text/cp949.h"

int main(int argc, char** argv) {
  if (argc != 2 || chdir(argv[1]) != 0) {
    std::fprintf(stderr, "usage: dat_seeds <existing folder>\n");
    return 1;
  }
  char drumstick[16], chicken[16];  // Korean names, in code page 949 as the game keeps them
  Utf8ToCp949("닭다리", std::strlen("닭다리"), drumstick, sizeof drumstick);
  Utf8ToCp949("닭", std::strlen("닭"), chicken, sizeof chicken);
  const char* names[] = {"PlommX", drumstick, "Kim", "", "ABCDEFGHIJK"};
  for (int i = 0; i < kScoreRows; ++i) {
    InsertScoreRow(LocalScoreTable, i, names[i % 5], i + 1, 99999u - 997u * static_cast<uint32_t>(i), i * 3,
                   60u * static_cast<uint32_t>(i));
  }
  int ok = SaveScoreTable(0);
  LocalScoreTable = ScoreTable{};
  InsertScoreRow(LocalScoreTable, 0, "PlommX", 4, 1234, 7, 95);
  InsertScoreRow(LocalScoreTable, 1, chicken, 1, 12, 0, 4000000000u);
  ok &= SaveScoreTable(1);
  LocalScoreTable = ScoreTable{};
  ok &= SaveScoreTable(2);
  return ok ? 0 : 1;
}
