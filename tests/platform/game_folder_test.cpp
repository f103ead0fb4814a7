// The folder the game plays in: a folder of the player's own data, or the per-user folder
// (where it is, how the data gets there, what is left alone).
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "platform/game_folder.h"
#include "support/files.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

void Put(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

// Small stand-ins for the seven data files, each with its own content.
void PutData(const fs::path& folder, const std::string& version = "1") {
  for (const char* name : platform::kGameDataFiles) Put(folder / name, std::string(name) + " v" + version);
}

std::set<std::string> Names(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

// Each test gets a fresh folder, its own environment and its working directory back.
class GameFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    start_ = fs::current_path();
    for (const char* name : {"XDG_DATA_HOME", "HOME"}) {
      const char* v = std::getenv(name);
      saved_.push_back({name, v ? v : "", v != nullptr});
    }
  }
  void TearDown() override {
    fs::current_path(start_);
    for (const Saved& s : saved_) s.set ? setenv(s.name, s.value.c_str(), 1) : unsetenv(s.name);
  }
  struct Saved {
    const char* name;
    std::string value;
    bool set;
  };
  TempFolder folder_{"brakkel_game_folder"};
  const fs::path root_ = folder_.path();
  fs::path start_;
  std::vector<Saved> saved_;
};

}  // namespace

// XDG_DATA_HOME counts only as an absolute path; otherwise the home folder's
// .local/share, from HOME or, without it, from the user database.
TEST_F(GameFolder, TheFolderFollowsTheDataHomeOrTheHomeFolder) {
  setenv("HOME", "/home/player", 1);
  setenv("XDG_DATA_HOME", "/srv/games/data", 1);
  EXPECT_EQ(platform::UserGameFolder(), "/srv/games/data/brakkel");
  for (const char* ignored : {"relative/data", ""}) {
    setenv("XDG_DATA_HOME", ignored, 1);
    EXPECT_EQ(platform::UserGameFolder(), "/home/player/.local/share/brakkel") << ignored;
  }
  unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(platform::UserGameFolder(), "/home/player/.local/share/brakkel");
  unsetenv("HOME");
  const passwd* user = getpwuid(getuid());
  ASSERT_NE(user, nullptr);
  EXPECT_EQ(platform::UserGameFolder(), std::string(user->pw_dir) + "/.local/share/brakkel");
}

// A first start from elsewhere makes the folder and its missing parents for the player
// alone, copies the seven files, leaves nothing else behind and moves into the folder. A
// later start, even from inside that folder, replaces what changed or went missing, keeps
// files that are already right as they are, never touches the rankings or anything else
// the player keeps there, and writes no file through a link in a data file's place.
TEST_F(GameFolder, ThePlayersFolderIsMadeThenRefreshedAroundTheRankings) {
  const fs::path share = root_ / "share", game = root_ / "home" / "data" / "brakkel";
  PutData(share, "1");
  fs::create_directories(root_ / "elsewhere");
  fs::current_path(root_ / "elsewhere");
  platform::EnterGameFolder(share.string(), game.string());
  EXPECT_EQ(fs::current_path(), game);
  for (const fs::path& made : {root_ / "home", root_ / "home" / "data", game}) {
    struct stat info;
    ASSERT_EQ(stat(made.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u) << made;
  }
  std::set<std::string> expected(std::begin(platform::kGameDataFiles), std::end(platform::kGameDataFiles));
  EXPECT_EQ(Names(game), expected);
  for (const char* name : platform::kGameDataFiles) {
    EXPECT_EQ(ReadFileText(game / name), ReadFileText(share / name)) << name;
    EXPECT_EQ(fs::status(game / name).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
  }

  PutData(share, "2");
  Put(game / "back.pcx", "back.pcx v2");  // already up to date
  fs::remove(game / "bgm.mp3");
  fs::remove(game / "foot.ani");
  Put(root_ / "elsewhere.txt", "not game data");
  fs::create_symlink(root_ / "elsewhere.txt", game / "foot.ani");
  fs::remove(game / "mop.ani");
  ASSERT_EQ(mkfifo((game / "mop.ani").c_str(), 0600), 0);  // read, it would wait for ever
  const char* kept[] = {"easy.dat", "normal.dat", "hardcore.dat", "순위.txt", "notes"};
  for (const char* name : kept) Put(game / name, std::string("player's ") + name);
  struct stat before[5], backBefore;
  for (int i = 0; i < 5; ++i) ASSERT_EQ(stat((game / kept[i]).c_str(), &before[i]), 0);
  ASSERT_EQ(stat((game / "back.pcx").c_str(), &backBefore), 0);

  platform::EnterGameFolder(share.string(), game.string());  // started in the folder itself
  EXPECT_EQ(fs::current_path(), game);
  EXPECT_FALSE(fs::is_symlink(game / "foot.ani"));
  ASSERT_TRUE(fs::is_regular_file(game / "mop.ani"));  // else reading it below would wait
  for (const char* name : platform::kGameDataFiles)
    EXPECT_EQ(ReadFileText(game / name), ReadFileText(share / name)) << name;
  EXPECT_EQ(ReadFileText(root_ / "elsewhere.txt"), "not game data");
  struct stat after;
  ASSERT_EQ(stat((game / "back.pcx").c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, backBefore.st_ino);
  for (int i = 0; i < 5; ++i) {
    ASSERT_EQ(stat((game / kept[i]).c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before[i].st_ino) << kept[i];
    EXPECT_EQ(after.st_mtim.tv_nsec, before[i].st_mtim.tv_nsec) << kept[i];
    EXPECT_EQ(ReadFileText(game / kept[i]), std::string("player's ") + kept[i]);
  }
  EXPECT_EQ(Names(game).size(), 7u + 5u);  // no temporary file is left
}

// What goes wrong is said on standard error and the game plays on with what it finds:
// damaged shipped data copies nothing but the folder is still entered; a folder that
// cannot be made, or no home folder, leaves the game in the working directory.
TEST_F(GameFolder, FailuresAreReportedAndTheGamePlaysOn) {
  const fs::path share = root_ / "share", game = root_ / "brakkel";
  PutData(share, "2");
  PutData(game, "1");
  fs::remove(share / "mop.ani");
  ::testing::internal::CaptureStderr();
  platform::EnterGameFolder(share.string(), game.string());
  std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("mop.ani"), std::string::npos) << said;
  EXPECT_EQ(fs::current_path(), game);
  for (const char* name : platform::kGameDataFiles) EXPECT_EQ(ReadFileText(game / name), std::string(name) + " v1");

  fs::current_path(start_);
  platform::EnterGameFolder("", (root_ / "new").string());  // no shipped data known
  EXPECT_EQ(fs::current_path(), root_ / "new");
  EXPECT_TRUE(Names(root_ / "new").empty());

  fs::current_path(start_);
  Put(root_ / "a-file", "");
  ::testing::internal::CaptureStderr();
  platform::EnterGameFolder(share.string(), (root_ / "a-file" / "brakkel").string());
  said = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("cannot make the game folder"), std::string::npos) << said;
  EXPECT_EQ(fs::current_path(), start_);

  ::testing::internal::CaptureStderr();
  platform::EnterGameFolder(share.string(), "");
  platform::EnterGameFolder(share.string(), "relative/brakkel");
  said = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("no home folder"), std::string::npos) << said;
  EXPECT_EQ(fs::current_path(), start_);
  EXPECT_FALSE(fs::exists(start_ / "relative"));
}

// The data is looked for beside the program: installed, then in the build tree; a
// folder that lacks any of the seven files does not count.
TEST_F(GameFolder, DataIsFoundBesideTheProgram) {
  const fs::path installed = root_ / "usr" / "bin" / "soloplay";
  PutData(root_ / "usr" / "bin" / platform::kInstalledDataFromPrograms);
  EXPECT_EQ(fs::weakly_canonical(platform::FindGameData(installed.string())), root_ / "usr" / "share" / "brakkel");

  const fs::path built = root_ / "build" / "bin" / "soloplay";
  fs::create_directories(built.parent_path());
  PutData(root_ / "build" / "data");
  EXPECT_EQ(fs::weakly_canonical(platform::FindGameData(built.string())), root_ / "build" / "data");

  fs::remove(root_ / "build" / "data" / "bgm.mp3");
  EXPECT_EQ(platform::FindGameData(built.string()), "");
  EXPECT_EQ(platform::FindGameData(""), "");
}

// A real program copied into a made-up install tree finds its data through its own path.
// Started in a folder of the player's own data (here only a "logo.pcx") it plays there,
// copies nothing and makes no folder of its own; started anywhere else it plays in the
// player's folder; without its shipped data it still plays there, saying what it missed.
TEST_F(GameFolder, AnInstalledProgramPlaysInAFolderOfDataOrInThePlayersFolder) {
  const fs::path probe = fs::path(platform::ProgramPath()).parent_path() / "game_folder_probe";
  ASSERT_TRUE(fs::exists(probe)) << probe;
  const fs::path prefix = root_ / "prefix";
  fs::create_directories(prefix / "bin");
  fs::copy_file(probe, prefix / "bin" / "game_folder_probe");
  PutData(prefix / "bin" / platform::kInstalledDataFromPrograms);
  Put(root_ / "xdg" / "brakkel" / "easy.dat", "rankings");

  auto run = [&](const fs::path& from, const std::string& environment, std::string& out) {
    const std::string command = "cd '" + from.string() + "' && " + environment + " '" +
                                (prefix / "bin" / "game_folder_probe").string() + "' 2>&1";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return -1;
    char buffer[4096];
    out.assign(buffer, std::fread(buffer, 1, sizeof buffer, pipe));
    return pclose(pipe);
  };
  const std::string xdg = "XDG_DATA_HOME='" + (root_ / "xdg").string() + "'";
  std::string out;
  const fs::path own = root_ / "my game";
  Put(own / "logo.pcx", "the player's own title picture");
  EXPECT_EQ(run(own, "XDG_DATA_HOME='" + (root_ / "unused").string() + "'", out), 0) << out;
  EXPECT_EQ(out, own.string() + "\n");
  EXPECT_EQ(Names(own), std::set<std::string>{"logo.pcx"});
  EXPECT_EQ(ReadFileText(own / "logo.pcx"), "the player's own title picture");
  EXPECT_FALSE(fs::exists(root_ / "unused"));

  EXPECT_EQ(run("/", xdg, out), 0) << out;
  EXPECT_EQ(out, (root_ / "xdg" / "brakkel").string() + "\n");
  for (const char* name : platform::kGameDataFiles)
    EXPECT_EQ(ReadFileText(root_ / "xdg" / "brakkel" / name), ReadFileText(prefix / "share" / "brakkel" / name))
        << name;
  EXPECT_EQ(ReadFileText(root_ / "xdg" / "brakkel" / "easy.dat"), "rankings");

  EXPECT_EQ(run("/", "env -u XDG_DATA_HOME HOME='" + (root_ / "home").string() + "'", out), 0) << out;
  EXPECT_EQ(out, (root_ / "home" / ".local" / "share" / "brakkel").string() + "\n");

  fs::remove_all(prefix / "share");
  fs::remove(root_ / "xdg" / "brakkel" / "mop.ani");
  EXPECT_EQ(run("/", xdg, out), 0) << out;
  EXPECT_NE(out.find("game_folder_probe: the game data was not found"), std::string::npos) << out;
  EXPECT_NE(out.find((root_ / "xdg" / "brakkel").string() + "\n"), std::string::npos) << out;
  EXPECT_FALSE(fs::exists(root_ / "xdg" / "brakkel" / "mop.ani"));
  EXPECT_EQ(ReadFileText(root_ / "xdg" / "brakkel" / "easy.dat"), "rankings");
  // A folder of the player's own data needs no shipped data: not a word about it.
  EXPECT_EQ(run(own, xdg, out), 0) << out;
  EXPECT_EQ(out, own.string() + "\n");
}
