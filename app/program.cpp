// A game program from its command line to its exit status.
#include "app/program.h"

#include <cstdio>
#include <string>

#include "app/command_line.h"
#include "app/edition.h"
#include "app/game_flow.h"
#include "app/replay_playback.h"
#include "app/replay_verify.h"
#include "app/settings.h"
#include "platform/complain.h"
#include "platform/display.h"
#include "platform/game_folder.h"
#include "platform/music.h"

// BRAKKEL_VERSION comes from the build (the CMake project's version).

namespace {
// The ranking server a run talks to: --server, else the settings' server line, else the
// program's own.
void UseServerOfRun(const GameOptions& options) {
  const std::string settingsFile = platform::UserSettingsFile();
  const Settings settings = SettingsForRun(settingsFile.empty() ? Settings{} : LoadSettings(settingsFile), options);
  if (settings.server && Edition.useServer) Edition.useServer(*settings.server);
}
}  // namespace

int RunGameProgram(const char* name, const std::vector<std::string>& arguments, void (*enterFolder)()) {
  platform::ConnectStandardStreams();
  std::vector<const char*> argv;
  for (const std::string& argument : arguments) argv.push_back(argument.c_str());
  GameOptions options;
  std::string error;
  switch (ReadCommandLine(static_cast<int>(argv.size()), argv.data(), options, error)) {
    case CommandLineAction::Help: std::fputs(UsageText(name, Edition.onlineRanking).c_str(), stdout); return 0;
    case CommandLineAction::Version: std::printf("%s %s\n", name, BRAKKEL_VERSION); return 0;
    case CommandLineAction::Verify: return VerifyReplayFile(options.verifyFile.c_str());
    case CommandLineAction::Replay: return PlayReplayFile(options);
    case CommandLineAction::Watch:
      if (Edition.listedReplayFetch != nullptr) {
        UseServerOfRun(options);
        return WatchListedReplay(options);
      }
      platform::Complain(
          "--watch needs a ranking server to fetch the game from: netplay has one, %s has none; see "
          "%s --help",
          name, name);
      return 2;
    case CommandLineAction::Bad: platform::Complain("%s; see %s --help", error.c_str(), name); return 2;
    case CommandLineAction::Run: break;
  }
  if (options.server && !Edition.useServer) {
    platform::Complain("--server is netplay's: %s has no ranking server; see %s --help", name, name);
    return 2;
  }

  // The options hold for this run; the file keeps what the player chose before, and takes
  // only what the player changes while playing (the full-screen key, the mute key).
  const std::string settingsFile = platform::UserSettingsFile();
  const Settings remembered = settingsFile.empty() ? Settings{} : LoadSettings(settingsFile);
  const Settings started = SettingsForRun(remembered, options);
  platform::ChooseWindow({started.scale, started.fullscreen});
  platform::MuteMusic(started.mute);
  if (started.server && Edition.useServer) Edition.useServer(*started.server);

  enterFolder();
  const int status = RunProgram();

  const platform::WindowChoice window = platform::ChosenWindow();
  const Settings ended{window.scale, window.fullscreen, platform::MusicMuted(), started.server};
  // Nothing changed in play: the file is left as it was (and never made).
  if (ended != started && !settingsFile.empty())
    SaveSettings(settingsFile, SettingsAfterRun(remembered, started, ended));
  return status;
}
