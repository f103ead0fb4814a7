// soloplay's ranking files, the table they load into, and the listing written from it.
#include "ranking/local_ranking.h"

#include <cstring>

#include "app/played_game.h"
#include "game/course.h"
#include "platform/clock.h"
#include "platform/complain.h"
#include "platform/files.h"
#include "platform/game_folder.h"
#include "ranking/dialogs.h"

ScoreTable LocalScoreTable;

namespace {

const char* const kScoreFileNames[3] = {"easy.dat", "normal.dat", "hardcore.dat"};

void TellNotWritten(const char* name, int error) {
  platform::Complain("could not write %s (%s); any earlier one is kept as it was", name, std::strerror(error));
}

// One ranking file: a header drawn anew, then the table. The draw is made for every
// write attempted, so the game's random sequence does not depend on the disk.
bool WriteScoreFile(const char* name) {
  uint8_t bytes[kScoreFileBytes];
  std::memcpy(bytes, kScoreFileHeaders[CurrentGame().world.random.Next() % kScoreHeaderCount], kScoreHeaderBytes);
  ScoreTableToBytes(LocalScoreTable, bytes + kScoreHeaderBytes);
  int error = 0;
  // Written beside the old file and renamed over it: a full disk or a crash keeps the old.
  if (!platform::ReplaceFileContents(name, bytes, sizeof bytes, &error)) {
    TellNotWritten(name, error);
    return false;
  }
  return true;
}

}  // namespace

const char* ScoreFileName(int32_t mode) {
  // An unknown mode plays and ranks as easy, as the HUD shows it.
  return mode >= 0 && mode < 3 ? kScoreFileNames[mode] : kScoreFileNames[0];
}

bool EnsureScoreFile(int32_t mode) {
  const char* name = ScoreFileName(mode);
  platform::FileProbe probe;
  if (std::FILE* file = platform::OpenDataFile(name, probe)) {
    std::fclose(file);
    return true;
  }
  LocalScoreTable = ScoreTable{};
  if (probe == platform::FileProbe::Unreadable) {
    // A folder or an unreadable file of that name is left alone; this difficulty then
    // starts from an empty table rather than from the one played before.
    // The header it would have been written with is still drawn, as for any write that
    // fails, so the game's random sequence does not depend on what lies in the folder.
    CurrentGame().world.random.Next();
    platform::Complain("%s is not a readable ranking file; it is left as it is", name);
    return false;
  }
  return WriteScoreFile(name);
}

void LoadScoreTableFromStream(std::FILE* file) {
  uint8_t bytes[kScoreFileBytes];
  size_t got = 0;
  while (got < sizeof bytes) {
    const size_t n = std::fread(bytes + got, 1, sizeof bytes - got, file);
    if (n == 0) break;
    got += n;
  }
  if (got <= kScoreHeaderBytes) return;
  // A short file replaces only the leading bytes of the table that it holds.
  uint8_t table[kScoreTableBytes];
  ScoreTableToBytes(LocalScoreTable, table);
  std::memcpy(table, bytes + kScoreHeaderBytes, got - kScoreHeaderBytes);
  ScoreTableFromBytes(table, LocalScoreTable);
}

bool LoadScoreTable(int32_t mode) {
  platform::FileProbe probe;
  std::FILE* file = platform::OpenDataFile(ScoreFileName(mode), probe);
  if (!file) return false;
  LoadScoreTableFromStream(file);
  std::fclose(file);
  return true;
}

int32_t FindRankSlot(uint32_t score) { return FindRankSlot(LocalScoreTable, score); }

void InsertScore(int32_t place, int32_t stage) {
  PlayedGame& game = CurrentGame();
  GameCounters& counters = game.world.counters;
  const uint32_t seconds = PlaySeconds(game.view.startClock, platform::Ticks());
  counters.playSeconds = seconds;  // what the game's replay records as ranked
  InsertScoreRow(LocalScoreTable, place, PlayerName, stage, static_cast<uint32_t>(counters.score), counters.bestCombo,
                 seconds);
}

bool SaveScoreTable(int32_t mode) {
  const char* name = ScoreFileName(mode);
  platform::FileProbe probe;
  if (std::FILE* file = platform::OpenDataFile(name, probe)) std::fclose(file);
  if (probe == platform::FileProbe::Unreadable) {
    CurrentGame().world.random.Next();  // the header draw of the write that is not made
    // What the game could not read it must not replace: it may be someone's ranking.
    platform::Complain("%s is not a readable ranking file; it is not replaced", name);
    return false;
  }
  return WriteScoreFile(name);
}

bool WriteRankText() {
  char text[kRankTextCap];
  const size_t len = FormatRankText(LocalScoreTable, text);
  int error = 0;
  if (!platform::ReplaceFileContents(kRankTextFileName, text, len, &error)) {
    TellNotWritten(kRankTextFileName, error);
    return false;
  }
  return true;
}

void RemoveInterruptedSaves() {
  const char* const ranking[] = {kScoreFileNames[0], kScoreFileNames[1], kScoreFileNames[2], kRankTextFileName};
  // A save's temporary file is never renamed once the game is killed mid-save.
  platform::RemoveStaleSaves(".", ranking);
  platform::RemoveStaleSaves(".", platform::kGameDataFiles);
}
