// The game programs' options and the remembered settings file: what is read, what is
// refused, and what is written back after a run.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/settings.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

struct OptionsCase {
  std::vector<const char*> args;  // after the program's name
  CommandLineAction action;
  GameOptions options;  // what Run and Watch read
};

TEST(CommandLine, ReadsEveryOptionAndRefusesAnythingElse) {
  const GameOptions none;
  const std::vector<OptionsCase> cases = {
      {{}, CommandLineAction::Run, none},
      {{"--fullscreen", "--scale", "3", "--mute"}, CommandLineAction::Run, {3, true, true}},
      {{"--scale=8", "--fullscreen", "--window"}, CommandLineAction::Run, {8, false, {}}},
      {{"--window", "--scale", "1", "--scale=2"}, CommandLineAction::Run, {2, false, {}}},
      {{"--help", "--no-such-option"}, CommandLineAction::Help, none},
      {{"--scale", "4", "--version", "--scale", "0"}, CommandLineAction::Version, none},
      {{"--no-such-option"}, CommandLineAction::Bad, none},
      {{"-h"}, CommandLineAction::Bad, none},
      {{"--no\nsuch"}, CommandLineAction::Bad, none},
      {{"--scale", "2\n3"}, CommandLineAction::Bad, none},
      {{"play"}, CommandLineAction::Bad, none},
      {{"--scale"}, CommandLineAction::Bad, none},
      {{"--scale="}, CommandLineAction::Bad, none},
      {{"--scale", "0"}, CommandLineAction::Bad, none},
      {{"--scale", "9"}, CommandLineAction::Bad, none},
      {{"--scale", "-1"}, CommandLineAction::Bad, none},
      {{"--scale", "3x"}, CommandLineAction::Bad, none},
      {{"--scale", " 3"}, CommandLineAction::Bad, none},
      {{"--scale", "99999999999999999999"}, CommandLineAction::Bad, none},
      {{"--mute=yes"}, CommandLineAction::Bad, none},
      {{"--fullscreen", "--help=1"}, CommandLineAction::Bad, none},
      // --watch DIFFICULTY:PLACE takes the window options beside it; the last one counts.
      {{"--watch", "normal:3", "--scale", "2"},
       CommandLineAction::Watch,
       {.scale = 2, .watchMode = 1, .watchPlace = 3}},
      {{"--watch=hardcore:20", "--window", "--watch=easy:1"},
       CommandLineAction::Watch,
       {.fullscreen = false, .watchMode = 0, .watchPlace = 1}},
      {{"--watch", "normal:0"}, CommandLineAction::Bad, none},
      {{"--watch", "normal:21"}, CommandLineAction::Bad, none},
      {{"--watch", "normal:3x"}, CommandLineAction::Bad, none},
      {{"--watch", "normal: 3"}, CommandLineAction::Bad, none},
      {{"--watch", "Normal:3"}, CommandLineAction::Bad, none},
      {{"--watch", "hard:3"}, CommandLineAction::Bad, none},
      {{"--watch", "normal3"}, CommandLineAction::Bad, none},
      {{"--watch", ":3"}, CommandLineAction::Bad, none},
      {{"--watch=normal:"}, CommandLineAction::Bad, none},
      {{"--watch"}, CommandLineAction::Bad, none},
      {{"--watch=easy:1", "--replay", "game.replay"}, CommandLineAction::Bad, none},
  };
  for (const OptionsCase& c : cases) {
    std::vector<const char*> argv = {"soloplay"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    std::string label;
    for (const char* arg : c.args) label += std::string(arg) + " ";
    SCOPED_TRACE(label);
    GameOptions options;
    std::string error;
    EXPECT_EQ(ReadCommandLine(static_cast<int>(argv.size()), argv.data(), options, error), c.action);
    // Every refusal gives one line that says why; nothing else does.
    EXPECT_EQ(error.empty(), c.action != CommandLineAction::Bad) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos);
    if (c.action != CommandLineAction::Run && c.action != CommandLineAction::Watch) continue;
    EXPECT_EQ(options.scale, c.options.scale);
    EXPECT_EQ(options.fullscreen, c.options.fullscreen);
    EXPECT_EQ(options.mute, c.options.mute);
    EXPECT_EQ(options.watchMode, c.options.watchMode);
    EXPECT_EQ(options.watchPlace, c.options.watchPlace);
  }
}

TEST(ServerAddress, HostAndPortAreReadAndAnythingElseRefused) {
  const std::vector<std::pair<std::string, ServerAddress>> good = {
      {"rank.example.org", {"rank.example.org", 20}},
      {"rank.example.org.:2020", {"rank.example.org.", 2020}},
      {"localhost:65535", {"localhost", 65535}},
      {"192.0.2.7:1", {"192.0.2.7", 1}},
      {"[::1]", {"::1", 20}},
      {"[::1]:2020", {"::1", 2020}},
      {"[2001:db8::7]:80", {"2001:db8::7", 80}},
      {"[::ffff:192.0.2.7]:20", {"::ffff:192.0.2.7", 20}},
      {"[fe80::1%eth0]:20", {"fe80::1%eth0", 20}},
      {"a_b-c.d1", {"a_b-c.d1", 20}},
      {std::string(253, 'a').replace(63, 1, ".").replace(127, 1, ".").replace(191, 1, "."),
       {std::string(253, 'a').replace(63, 1, ".").replace(127, 1, ".").replace(191, 1, "."), 20}},
  };
  for (const auto& [text, expected] : good) {
    SCOPED_TRACE(text);
    ServerAddress read{"untouched", 9};
    std::string error;
    ASSERT_TRUE(ParseServerAddress(text, read, error)) << error;
    EXPECT_EQ(read, expected);
    // Written back, it reads the same.
    ServerAddress again;
    ASSERT_TRUE(ParseServerAddress(FormatServerAddress(read), again, error)) << error;
    EXPECT_EQ(again, read);
  }
  const auto expectRefused = [](const std::string& text) {
    SCOPED_TRACE(text);
    ServerAddress read{"untouched", 9};
    std::string error;
    EXPECT_FALSE(ParseServerAddress(text, read, error));
    EXPECT_EQ(read, (ServerAddress{"untouched", 9}));
    EXPECT_FALSE(error.empty());
  };
  // Refused, one after another between the bars (the second is the empty text).
  const std::string_view bad =
      ":20||[]|[]:20|[::1|[::1]20|[::1]:|[::1]:0|[::1]:65536|[::1]x:20|::1|2001:db8::7:20|host:|host:0|host:-1|"
      "host:+20|host:99999999999|host:2 0|host: 20| host|ho st|host/x|host@x|a..b|.host|-host|host-|[host]|[1.2.3.4]|"
      "[::1%]";
  for (size_t at = 0, bar = 0; bar != std::string_view::npos; at = bar + 1) {
    bar = bad.find('|', at);
    expectRefused(std::string(bad.substr(at, bar - at)));  // to the end after the last bar
  }
  for (const char* text : {"host\n", "ho\x01st", "ho\x7fst", "h\xc3\xa9"}) expectRefused(text);  // raw bytes: UTF-8
  // A host or a label too long, a zero byte.
  for (const std::string& text : {std::string(254, 'a'), std::string(64, 'a'), std::string("ho\0st", 5)})
    expectRefused(text);

  // The command line reads it the same, as --server HOST[:PORT] or --server=...; a bad one
  // is refused with one line that names it.
  GameOptions options;
  std::string error;
  const char* const spaced[] = {"netplay", "--server", "[::1]:2020", "--server=rank.example.org"};
  ASSERT_EQ(ReadCommandLine(4, spaced, options, error), CommandLineAction::Run);
  EXPECT_EQ(options.server, (ServerAddress{"rank.example.org", 20}));
  for (const char* value : {"--server=[::1", "--server=", "--server=a\tb"}) {
    const char* const refused[] = {"netplay", value};
    EXPECT_EQ(ReadCommandLine(2, refused, options, error), CommandLineAction::Bad) << value;
    EXPECT_NE(error.find("--server"), std::string::npos) << error;
    EXPECT_EQ(error.find_first_of("\t\n"), std::string::npos) << error;
  }
  const char* const missing[] = {"netplay", "--server"};
  EXPECT_EQ(ReadCommandLine(2, missing, options, error), CommandLineAction::Bad);
}

TEST(Settings, OptionsHoldForTheirRunAndOnlyWhatThePlayerChangedIsKept) {
  const Settings file{2, true, false};
  // The options replace what they name, for the run.
  EXPECT_EQ(SettingsForRun(file, {}), file);
  EXPECT_EQ(SettingsForRun(file, {5, false, true}), (Settings{5, false, true}));
  EXPECT_EQ(SettingsForRun(file, {{}, {}, true}), (Settings{2, true, true}));

  // Started with --scale 5 --mute: nothing changed in play keeps the file as it was.
  const Settings started{5, true, true};
  EXPECT_EQ(SettingsAfterRun(file, started, started), file);
  // The player left full screen and turned the music back on: those two are kept, and the
  // option's scale is not.
  EXPECT_EQ(SettingsAfterRun(file, started, {5, false, false}), (Settings{2, false, false}));
  EXPECT_EQ(SettingsAfterRun(file, started, {3, true, true}), (Settings{3, true, false}));

  // --server holds for its run; the file's server line is what stays.
  const Settings withServer{2, true, false, ServerAddress{"kept.example.org", 20}};
  GameOptions server;
  server.server = ServerAddress{"::1", 2020};
  const Settings run = SettingsForRun(withServer, server);
  EXPECT_EQ(run.server, server.server);
  EXPECT_EQ(SettingsAfterRun(withServer, run, {3, true, false, run.server}).server, withServer.server);
}

TEST(Settings, KeptInAFileTheyAreReadBackAndAHandWrittenOneIsRead) {
  TempFolder folder("brakkel_settings");
  const std::string path = (folder.path() / "config/brakkel/settings.ini").string();
  // A missing file: the defaults, without a word.
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(LoadSettings(path), Settings{});
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");

  for (const Settings& kept : {Settings{7, true, true}, Settings{0, false, false}, Settings{1, false, true},
                               Settings{0, false, true, ServerAddress{"::1", 2020}},
                               Settings{3, true, false, ServerAddress{"rank.example.org", 20}}}) {
    ASSERT_TRUE(SaveSettings(path, kept));
    EXPECT_EQ(LoadSettings(path), kept);
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(path).parent_path()), fs::directory_iterator()), 1)
      << "a temporary file was left";

  Settings read;
  std::string error;
  EXPECT_TRUE(ParseSettings("# mine\r\n\r\n  scale = 4 \r\nmute\t=\ttrue\nfullscreen=true\nserver = [::1]:2020 \r\n",
                            read, error))
      << error;
  EXPECT_EQ(read, (Settings{4, true, true, ServerAddress{"::1", 2020}}));

  // A file where the folder should be cannot be written, and says so.
  const std::string blocked = (folder.path() / "file/settings.ini").string();
  std::ofstream(folder.path() / "file") << "x";
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(SaveSettings(blocked, Settings{}));
  EXPECT_NE(::testing::internal::GetCapturedStderr(), "");
}

TEST(Settings, ADamagedFileIsIgnoredWithOneLineOnStandardError) {
  TempFolder folder("brakkel_settings");
  const fs::path path = folder.path() / "settings.ini";
  std::string garbage;
  for (int i = 0; i < 600; ++i) garbage += static_cast<char>((i * 151 + 7) % 256);
  const std::vector<std::string> damaged = {
      garbage,
      std::string("scale=2\0mute=true\n", 19),
      "scale=2\n# " + std::string(kSettingsLineCap, 'x') + "\n",
      std::string(kSettingsFileCap + 1, '\n'),
      "scale=9\n",
      "scale=-1\n",
      "scale=2.5\n",
      "scale=\n",
      "fullscreen=yes\n",
      "mute=TRUE\n",
      "volume=3\n",
      "[brakkel]\nscale=2\n",
      "scale=2\nmute=true\nfullscreen",
      "server=\n",
      "server=[::1\n",
      "server=rank.example.org:0\n",
      "server=rank example.org\n",
      "server=" + std::string(kLongestHostName + 1, 'a') + "\n",
  };
  for (const std::string& text : damaged) {
    SCOPED_TRACE(text.substr(0, 40));
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    ::testing::internal::CaptureStderr();
    // The good lines before a fault count for nothing: the whole file is ignored.
    EXPECT_EQ(LoadSettings(path.string()), Settings{});
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_NE(said.find(path.string()), std::string::npos) << said;
  }

  // Something that is not a file under the name is met the same way.
  fs::remove(path);
  fs::create_directory(path);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(LoadSettings(path.string()), Settings{});
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
}

}  // namespace
