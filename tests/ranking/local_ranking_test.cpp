// soloplay's ranking files and listing, each test in a fresh folder of its own.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "app/played_game.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "ranking/dialogs.h"
#include "ranking/local_ranking.h"
#include "support/files.h"
#include "support/temp_folder.h"
#include "test_support.h"
#include "text/cp949.h"

namespace {

namespace fs = std::filesystem;

void WriteAll(const char* name, const std::string& bytes) { std::ofstream(name, std::ios::binary) << bytes; }

// Which of the ten headers a ranking file starts with, or -1.
int HeaderOf(const std::string& file) {
  for (int i = 0; i < kScoreHeaderCount; ++i) {
    if (file.compare(0, kScoreHeaderBytes, kScoreFileHeaders[i]) == 0) return i;
  }
  return -1;
}

std::string TableBytes(const ScoreTable& table) {
  uint8_t bytes[kScoreTableBytes];
  ScoreTableToBytes(table, bytes);
  return std::string(reinterpret_cast<char*>(bytes), sizeof bytes);
}

std::string Listing(const ScoreTable& table) {
  char text[kRankTextCap];
  return std::string(text, FormatRankText(table, text));
}

ino_t Inode(const char* name) {
  struct stat st {};
  stat(name, &st);
  return st.st_ino;
}

class LocalRanking : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_.emplace("brakkel-rank");
    folder_->Enter();
    LocalScoreTable = ScoreTable{};
    CurrentGame() = PlayedGame{};
    std::memset(PlayerName, 0, sizeof PlayerName);
    generator.Seed(7);
    platform::UseFakeClock(5000);
  }
  void TearDown() override {
    platform::UseRealClock();
    folder_.reset();
  }
  // Plays one result into the table as a game of `seconds` would.
  void Result(const char* name, int32_t score, int32_t stage, int32_t combo, uint32_t seconds) {
    std::strcpy(PlayerName, name);
    counters.score = score;
    counters.bestCombo = combo;
    view.startClock = platform::Ticks() - seconds * 1000 - 999;
    InsertScore(FindRankSlot(static_cast<uint32_t>(score)), stage);
  }
  std::optional<TempFolder> folder_;
  // The ranking steps read the player's game: its counters, its clock and its generator.
  GameCounters& counters = CurrentGame().world.counters;
  FieldView& view = CurrentGame().view;
  GameRandom& generator = CurrentGame().world.random;
};

TEST_F(LocalRanking, AMissingFileIsCreatedEmptyAndAnExistingOneIsLeftAlone) {
  LocalScoreTable.row[3].score = 77;  // left from a game of another difficulty
  GameRandom before = generator;
  const int expectedHeader = generator.Next() % 10;
  generator = before;
  EXPECT_TRUE(EnsureScoreFile(ModeNumber(GameMode::Normal)));
  const std::string file = ReadFileText("normal.dat");
  ASSERT_EQ(file.size(), kScoreFileBytes);
  EXPECT_EQ(HeaderOf(file), expectedHeader);
  EXPECT_EQ(file.substr(kScoreHeaderBytes), std::string(kScoreTableBytes, '\0'));
  EXPECT_EQ(TableBytes(LocalScoreTable), std::string(kScoreTableBytes, '\0'));
  EXPECT_FALSE(fs::exists("easy.dat"));
  EXPECT_FALSE(fs::exists("hardcore.dat"));

  LocalScoreTable.row[0].score = 5;
  before = generator;
  const ino_t inode = Inode("normal.dat");
  EXPECT_TRUE(EnsureScoreFile(ModeNumber(GameMode::Normal)));
  EXPECT_EQ(Inode("normal.dat"), inode);
  EXPECT_EQ(ReadFileText("normal.dat"), file);
  EXPECT_EQ(LocalScoreTable.row[0].score, 5u);  // an existing file does not empty the table
  EXPECT_EQ(generator.state, before.state);     // and draws nothing

  EXPECT_STREQ(ScoreFileName(ModeNumber(GameMode::Hardcore)), "hardcore.dat");
  EXPECT_STREQ(ScoreFileName(3), "easy.dat");
  EXPECT_STREQ(ScoreFileName(-1), "easy.dat");
}

TEST_F(LocalRanking, ResultsTakeTheirPlacesWithTheirPlaySeconds) {
  ASSERT_TRUE(EnsureScoreFile(ModeNumber(GameMode::Easy)));
  ASSERT_TRUE(LoadScoreTable(ModeNumber(GameMode::Easy)));
  EXPECT_EQ(FindRankSlot(0u), 20);  // 0 never enters, even an empty table
  Result("PlommX", 500, 3, 7, 65);
  const ScoreEntry& first = LocalScoreTable.row[0];
  EXPECT_STREQ(first.name, "PlommX");
  EXPECT_EQ(first.score, 500u);
  EXPECT_EQ(first.stage, 3);
  EXPECT_EQ(first.bestCombo, 7);
  EXPECT_EQ(first.playSeconds, 65u);

  Result("Same", 500, 2, 1, 1);  // an equal score stays above
  EXPECT_STREQ(LocalScoreTable.row[0].name, "PlommX");
  EXPECT_STREQ(LocalScoreTable.row[1].name, "Same");
  for (int i = 2; i < kScoreRows; ++i) Result("Fill", 400 - 2 * i, 1, 0, 0);
  EXPECT_EQ(LocalScoreTable.row[19].score, 362u);
  EXPECT_EQ(FindRankSlot(362u), 20);  // equal to the 20th: no place
  Result("Last", 363, 1, 0, 0);       // place 20 replaces only the last row
  EXPECT_STREQ(LocalScoreTable.row[19].name, "Last");
  EXPECT_EQ(LocalScoreTable.row[18].score, 364u);
  Result("Top", 9000, 9, 0, 0);  // place 1 moves everyone down, the old 20th is gone
  EXPECT_STREQ(LocalScoreTable.row[0].name, "Top");
  EXPECT_STREQ(LocalScoreTable.row[1].name, "PlommX");
  EXPECT_EQ(LocalScoreTable.row[19].score, 364u);

  // The clock wraps between the start and the end of a game; an unterminated name is cut.
  platform::UseFakeClock(0x1000);
  view.startClock = 0xFFFFF000u;
  counters.score = 100000;
  std::memset(PlayerName, 'x', sizeof PlayerName);
  InsertScore(0, 1);
  EXPECT_EQ(LocalScoreTable.row[0].playSeconds, 8u);
  EXPECT_EQ(strnlen(LocalScoreTable.row[0].name, kScoreNameBytes), kScoreNameBytes - 1);
}

TEST_F(LocalRanking, SavedFilesAndTheListingHoldTheTable) {
  ASSERT_TRUE(EnsureScoreFile(ModeNumber(GameMode::Hardcore)));
  ASSERT_TRUE(WriteRankText());
  // "     1등                   0점   0판   0콤보          0초", the empty row
  const char* emptyUtf8 = "     1등                   0점   0판   0콤보          0초";
  char emptyRow[kRankLineCap];
  Utf8ToCp949(emptyUtf8, std::strlen(emptyUtf8), emptyRow, sizeof emptyRow);
  ASSERT_EQ(std::strlen(emptyRow), 57u);
  const std::string listing = ReadFileText(kRankTextFileName);
  EXPECT_EQ(listing.substr(59 * 2, 59), std::string(emptyRow) + "\r\n");
  EXPECT_EQ(listing, Listing(ScoreTable{}));

  Result("Kim", 1234, 4, 7, 95);
  const ScoreTable played = LocalScoreTable;
  EXPECT_TRUE(SaveScoreTable(ModeNumber(GameMode::Hardcore)));
  EXPECT_TRUE(WriteRankText());
  const std::string file = ReadFileText("hardcore.dat");
  ASSERT_EQ(file.size(), kScoreFileBytes);
  EXPECT_GE(HeaderOf(file), 0);
  EXPECT_EQ(file.substr(kScoreHeaderBytes), TableBytes(played));
  EXPECT_EQ(ReadFileText(kRankTextFileName), Listing(played));
  LocalScoreTable = ScoreTable{};
  EXPECT_TRUE(LoadScoreTable(ModeNumber(GameMode::Hardcore)));
  EXPECT_EQ(TableBytes(LocalScoreTable), TableBytes(played));

  // A result that does not enter rewrites only the listing.
  const ino_t inode = Inode("hardcore.dat");
  EXPECT_EQ(FindRankSlot(0u), 20);
  EXPECT_TRUE(WriteRankText());
  EXPECT_EQ(Inode("hardcore.dat"), inode);
  EXPECT_EQ(ReadFileText("hardcore.dat"), file);
}

TEST_F(LocalRanking, DifficultiesKeepTheirOwnFiles) {
  EnsureScoreFile(ModeNumber(GameMode::Easy));
  LoadScoreTable(ModeNumber(GameMode::Easy));
  Result("Easy", 300, 2, 1, 10);
  SaveScoreTable(ModeNumber(GameMode::Easy));
  EnsureScoreFile(ModeNumber(GameMode::Hardcore));  // created: the easy rows do not follow
  LoadScoreTable(ModeNumber(GameMode::Hardcore));
  EXPECT_EQ(LocalScoreTable.row[0].score, 0u);
  Result("Hard", 50, 1, 0, 3);
  SaveScoreTable(ModeNumber(GameMode::Hardcore));
  WriteRankText();
  EXPECT_EQ(ReadFileText(kRankTextFileName), Listing(LocalScoreTable));
  EnsureScoreFile(ModeNumber(GameMode::Easy));
  LoadScoreTable(ModeNumber(GameMode::Easy));
  EXPECT_STREQ(LocalScoreTable.row[0].name, "Easy");
  EXPECT_EQ(LocalScoreTable.row[1].score, 0u);
  EXPECT_FALSE(fs::exists("normal.dat"));
}

TEST_F(LocalRanking, ShortAndHandEditedFilesAreReadAsFarAsTheyGo) {
  for (int i = 0; i < kScoreRows; ++i) {
    std::strcpy(LocalScoreTable.row[i].name, "Old");
    LocalScoreTable.row[i].score = 1000;
  }
  const ScoreTable before = LocalScoreTable;
  WriteAll("easy.dat", std::string(30, 'h'));  // not even a whole header
  EXPECT_TRUE(LoadScoreTable(ModeNumber(GameMode::Easy)));
  EXPECT_EQ(TableBytes(LocalScoreTable), TableBytes(before));

  // Row 0 whole, with a name of 100 bytes and no terminator, Hangul and bytes that are
  // no character; then the first 50 name bytes of row 1, then the file ends.
  std::string name = Cp949("닭닭") + std::string("\xff\xfe\x80", 3);  // raw bytes: no character
  for (int i = 0; i < 46; ++i) name += Cp949("닭");
  name += 'N';
  ASSERT_EQ(name.size(), kScoreNameBytes);
  std::string row0 = name + std::string("\x05\0\0\0\xff\xff\xff\xff\x02\0\0\0\x10\0\0\0", 16);  // raw bytes: integers
  WriteAll("easy.dat", std::string(kScoreHeaderBytes, 'h') + row0 + std::string(50, 'M'));
  EXPECT_TRUE(LoadScoreTable(ModeNumber(GameMode::Easy)));
  EXPECT_EQ(std::memcmp(LocalScoreTable.row[0].name, name.data(), kScoreNameBytes), 0);
  EXPECT_EQ(LocalScoreTable.row[0].score, 0xFFFFFFFFu);
  EXPECT_EQ(LocalScoreTable.row[0].playSeconds, 16u);
  EXPECT_EQ(std::string(LocalScoreTable.row[1].name, 51),
            std::string(50, 'M') + '\0');  // "Old\0" overwritten up to byte 50
  EXPECT_EQ(LocalScoreTable.row[1].score, 1000u);
  EXPECT_EQ(TableBytes(LocalScoreTable).substr(2 * kScoreEntryBytes), TableBytes(before).substr(2 * kScoreEntryBytes));

  // The listing stays 22 lines of at most 99 bytes; the odd bytes show as stored.
  ASSERT_TRUE(WriteRankText());
  const std::string listing = ReadFileText(kRankTextFileName);
  size_t lines = 0, start = 0;
  for (size_t at; (at = listing.find("\r\n", start)) != std::string::npos; start = at + 2, ++lines) {
    EXPECT_LE(at - start, 99u);
  }
  EXPECT_EQ(lines, 22u);
  EXPECT_NE(listing.find(std::string("\xff\xfe\x80", 3)), std::string::npos);  // raw bytes: as stored
  char utf8[4 * kRankTextCap];
  const size_t n = Cp949ToUtf8(listing.data(), listing.size(), utf8, sizeof utf8);
  EXPECT_NE(std::string(utf8, n).find("\xEF\xBF\xBD"), std::string::npos);  // raw bytes: U+FFFD in UTF-8

  WriteAll("easy.dat", std::string(kScoreFileBytes + 100, '\x01'));  // bytes past the table are ignored
  EXPECT_TRUE(LoadScoreTable(ModeNumber(GameMode::Easy)));
  EXPECT_EQ(LocalScoreTable.row[19].playSeconds, 0x01010101u);
}

TEST_F(LocalRanking, AFailedWriteKeepsTheOldFilesAndTheTable) {
  EnsureScoreFile(ModeNumber(GameMode::Normal));
  Result("Before", 700, 5, 2, 30);
  ASSERT_TRUE(SaveScoreTable(ModeNumber(GameMode::Normal)));
  ASSERT_TRUE(WriteRankText());
  const std::string file = ReadFileText("normal.dat");
  const std::string listing = ReadFileText(kRankTextFileName);
  Result("After", 800, 6, 3, 40);
  const ScoreTable played = LocalScoreTable;

  // A disk that fills up after 1000 bytes: both writes fail part way.
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = 1000;
  signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  testing::internal::CaptureStderr();
  const bool saved = SaveScoreTable(ModeNumber(GameMode::Normal));
  const bool listed = WriteRankText();
  const std::string told = testing::internal::GetCapturedStderr();
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, SIG_DFL);
  EXPECT_FALSE(saved);
  EXPECT_FALSE(listed);
  EXPECT_EQ(ReadFileText("normal.dat"), file);
  EXPECT_EQ(ReadFileText(kRankTextFileName), listing);
  EXPECT_EQ(TableBytes(LocalScoreTable), TableBytes(played));
  EXPECT_NE(told.find("normal.dat"), std::string::npos);
  EXPECT_EQ(std::count(told.begin(), told.end(), '\n'), 2);  // told once per file
  int entries = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(".")) ++entries;
  EXPECT_EQ(entries, 2);                                      // no temporary file is left behind
  EXPECT_TRUE(SaveScoreTable(ModeNumber(GameMode::Normal)));  // once there is room again
  EXPECT_EQ(ReadFileText("normal.dat").substr(kScoreHeaderBytes), TableBytes(played));

  // No folder to write into, or a file where the folder should be.
  int error = 0;
  EXPECT_FALSE(platform::ReplaceFileContents("missing/x.dat", "a", 1, &error));
  EXPECT_EQ(error, ENOENT);
  EXPECT_FALSE(platform::ReplaceFileContents("normal.dat/x.dat", "a", 1, &error));
  EXPECT_EQ(error, ENOTDIR);
  // A working folder that was removed: nothing can be created, the table is emptied.
  fs::create_directory("gone");
  fs::current_path("gone");
  fs::remove(folder_->path() / "gone");
  testing::internal::CaptureStderr();
  EXPECT_FALSE(EnsureScoreFile(ModeNumber(GameMode::Normal)));
  EXPECT_FALSE(WriteRankText());
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(LocalScoreTable.row[0].score, 0u);
  fs::current_path(folder_->path());
}

TEST_F(LocalRanking, WhatIsNoRegularFileIsNeverReplaced) {
  fs::create_directory("normal.dat");
  fs::create_directory(kRankTextFileName);
  ASSERT_EQ(mkfifo("hardcore.dat", 0600), 0);
  LocalScoreTable.row[0].score = 9;
  testing::internal::CaptureStderr();
  GameRandom oneDraw = generator;
  generator.Next();
  std::swap(oneDraw, generator);
  EXPECT_FALSE(EnsureScoreFile(ModeNumber(GameMode::Normal)));
  EXPECT_EQ(generator.state, oneDraw.state);    // its header is drawn as for any write
  EXPECT_EQ(LocalScoreTable.row[0].score, 0u);  // not the table played before
  EXPECT_FALSE(LoadScoreTable(ModeNumber(GameMode::Normal)));
  Result("Kim", 10, 1, 0, 0);
  EXPECT_FALSE(SaveScoreTable(ModeNumber(GameMode::Normal)));
  EXPECT_FALSE(WriteRankText());
  EXPECT_FALSE(EnsureScoreFile(ModeNumber(GameMode::Hardcore)));  // a pipe: no wait for a writer
  EXPECT_FALSE(SaveScoreTable(ModeNumber(GameMode::Hardcore)));
  testing::internal::GetCapturedStderr();
  EXPECT_TRUE(fs::is_directory("normal.dat"));
  EXPECT_TRUE(fs::is_directory(kRankTextFileName));
  EXPECT_TRUE(fs::is_fifo("hardcore.dat"));

  // A link to a ranking kept elsewhere stays a link; the file it names is replaced.
  fs::create_directory("kept");
  WriteAll("kept/easy.dat", std::string(kScoreFileBytes, '\0'));
  fs::create_symlink("kept/easy.dat", "easy.dat");
  chmod("kept/easy.dat", 0640);
  EXPECT_TRUE(SaveScoreTable(ModeNumber(GameMode::Easy)));
  EXPECT_TRUE(fs::is_symlink("easy.dat"));
  struct stat st {};
  stat("kept/easy.dat", &st);
  EXPECT_EQ(st.st_mode & 0777, 0640u);  // a replaced file keeps its permissions
  const mode_t mask = umask(022);
  umask(mask);
  ASSERT_TRUE(platform::ReplaceFileContents("fresh.dat", "x", 1));
  stat("fresh.dat", &st);
  EXPECT_EQ(st.st_mode & 0777, 0666u & ~mask);  // a new one gets what the umask allows
  EXPECT_EQ(ReadFileText("kept/easy.dat").substr(kScoreHeaderBytes), TableBytes(LocalScoreTable));
}

// A child process that saves `table` one step at a time: for each byte the parent sends ('f'
// the ranking file, 'l' the listing) it makes that save and answers with a byte. Between
// steps it waits, so a kill after an answer finds the step done, and a kill after a request
// falls somewhere in the save.
class Saver {
 public:
  explicit Saver(const ScoreTable& table) {
    int toChild[2], toParent[2];
    if (pipe(toChild) != 0 || pipe(toParent) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(toChild[1]);
      close(toParent[0]);
      LocalScoreTable = table;
      char step;
      while (read(toChild[0], &step, 1) == 1) {
        if (step == 'f') SaveScoreTable(ModeNumber(GameMode::Easy));
        if (step == 'l') WriteRankText();
        if (write(toParent[1], &step, 1) != 1) break;
      }
      _exit(0);
    }
    close(toChild[0]);
    close(toParent[1]);
    request_ = toChild[1];
    answer_ = toParent[0];
  }
  ~Saver() {
    Kill();
    close(request_);
    close(answer_);
  }
  bool started() const { return pid_ > 0; }
  void Request(char step) { ASSERT_EQ(write(request_, &step, 1), 1); }
  // Waits until the step requested last is done; false if the child is gone.
  bool AwaitDone() {
    char step;
    return read(answer_, &step, 1) == 1;
  }
  void Kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  int request_ = -1, answer_ = -1;
};

// A save killed at any moment leaves each file as it was before or after, whole; a save
// that finished is there; and the next start clears the temporary files the kills left.
TEST_F(LocalRanking, AKillDuringASaveLeavesTheOldOrTheNewFileWhole) {
  ScoreTable a, b;
  for (int i = 0; i < kScoreRows; ++i) {
    std::strcpy(a.row[i].name, "Alpha");
    a.row[i].score = 2000u - static_cast<uint32_t>(i);
    std::strcpy(b.row[i].name, "Beta");
    b.row[i].score = 9000u - static_cast<uint32_t>(i);
    b.row[i].playSeconds = 99;
  }
  const std::string tableA = TableBytes(a), tableB = TableBytes(b);
  const std::string listA = Listing(a), listB = Listing(b);
  auto saveOld = [&] {
    LocalScoreTable = a;
    ASSERT_TRUE(SaveScoreTable(ModeNumber(GameMode::Easy)));
    ASSERT_TRUE(WriteRankText());
  };

  // How long each step takes here, in this build, measured by the child itself making it:
  // the kills below fall over the whole of a step and a little after, however slow the machine.
  int64_t stepMicros[2] = {};
  {
    saveOld();
    Saver saver(b);
    ASSERT_TRUE(saver.started());
    for (int step = 0; step < 2; ++step) {
      const auto start = std::chrono::steady_clock::now();
      saver.Request(step == 0 ? 'f' : 'l');
      ASSERT_TRUE(saver.AwaitDone());
      stepMicros[step] =
          std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start).count();
    }
  }
  std::mt19937 random(20240611);
  int newFile = 0, newListing = 0;
  for (int kill = 0; kill < 100; ++kill) {
    saveOld();
    Saver saver(b);
    ASSERT_TRUE(saver.started());
    const int step = kill % 2;  // the ranking file's save, then the listing's
    if (step == 1) {
      saver.Request('f');
      ASSERT_TRUE(saver.AwaitDone());
    }
    saver.Request(step == 0 ? 'f' : 'l');
    std::uniform_int_distribution<int64_t> delay(0, stepMicros[step] * 3 / 2);
    usleep(static_cast<useconds_t>(delay(random)));
    saver.Kill();
    const std::string file = ReadFileText("easy.dat");
    const std::string listing = ReadFileText(kRankTextFileName);
    ASSERT_EQ(file.size(), kScoreFileBytes) << "kill " << kill;
    ASSERT_GE(HeaderOf(file), 0) << "kill " << kill;
    const std::string table = file.substr(kScoreHeaderBytes);
    ASSERT_TRUE(table == tableA || table == tableB) << "kill " << kill;
    ASSERT_TRUE(listing == listA || listing == listB) << "kill " << kill;
    if (step == 1) {
      ASSERT_EQ(table, tableB) << "kill " << kill << ": a finished save is kept";
      newListing += listing == listB;
    } else {
      ASSERT_EQ(listing, listA) << "kill " << kill << ": the listing was not begun";
      newFile += table == tableB;
    }
  }
  // Both saves finished, then the kill: both files are the new ones.
  {
    saveOld();
    Saver saver(b);
    ASSERT_TRUE(saver.started());
    for (char step : {'f', 'l'}) {
      saver.Request(step);
      ASSERT_TRUE(saver.AwaitDone());
    }
    saver.Kill();
    EXPECT_EQ(ReadFileText("easy.dat").substr(kScoreHeaderBytes), tableB);
    EXPECT_EQ(ReadFileText(kRankTextFileName), listB);
  }

  // What the kills left are hidden temporary files; the next start removes those of them
  // that are old enough, and nothing else.
  std::vector<std::string> left;
  for (const auto& e : fs::directory_iterator(".")) {
    const std::string name = e.path().filename().string();
    if (name == "easy.dat" || name == kRankTextFileName) continue;
    EXPECT_EQ(name[0], '.') << name;
    left.push_back(name);
  }
  std::printf(
      "100 kills over steps of %lld and %lld us: ranking file new %d of 50 times, listing new %d of 50, "
      "%zu temporary files left\n",
      static_cast<long long>(stepMicros[0]), static_cast<long long>(stepMicros[1]), newFile, newListing, left.size());
  const auto old = fs::file_time_type::clock::now() - std::chrono::seconds(platform::kStaleSaveSeconds + 60);
  for (const std::string& name : left) fs::last_write_time(name, old);
  WriteAll(".easy.dat.Fresh1", "a save going on in another game");
  const char* const keep[] = {".easy.dat.Mine12x", ".notes.txt.Abc123", ".normal.dat.ab-d12"};
  for (const char* name : keep) {
    WriteAll(name, "not the game's");
    fs::last_write_time(name, old);
  }
  fs::create_directory(".hardcore.dat.Dir123");
  fs::last_write_time(".hardcore.dat.Dir123", old);
  RemoveInterruptedSaves();
  for (const std::string& name : left) EXPECT_FALSE(fs::exists(name)) << name;
  EXPECT_TRUE(fs::exists(".easy.dat.Fresh1"));
  for (const char* name : keep) EXPECT_TRUE(fs::exists(name)) << name;
  EXPECT_TRUE(fs::is_directory(".hardcore.dat.Dir123"));
  EXPECT_EQ(ReadFileText(kRankTextFileName), listB);
}

}  // namespace
