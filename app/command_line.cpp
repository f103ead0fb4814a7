// The game programs' options: --name or --name=value, no short forms.
#include "app/command_line.h"

#include <charconv>
#include <string_view>

#include "platform/game_folder.h"
#include "replay/replay.h"
#include "wire/protocol.h"

namespace {

// A whole decimal number from `least` to `most`, nothing before or after it.
bool ReadNumber(std::string_view text, int least, int most, int& number) {
  int value = 0;
  const auto [end, fault] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (fault != std::errc() || end != text.data() + text.size() || value < least || value > most) return false;
  number = value;
  return true;
}

// DIFFICULTY:PLACE, the difficulty by the name the replays' files use.
bool ReadWatch(std::string_view text, GameOptions& options) {
  const size_t colon = text.find(':');
  if (colon == std::string_view::npos) return false;
  int32_t mode = -1;
  for (int32_t m = 0; m < 3; ++m)
    if (text.substr(0, colon) == ReplayModeName(m)) mode = m;
  int place = 0;
  if (mode < 0 || !ReadNumber(text.substr(colon + 1), 1, kReplayFetchMostPlace, place)) return false;
  options.watchMode = mode;
  options.watchPlace = place;
  return true;
}

// An argument as the one-line reason quotes it: control characters shown as '?'.
std::string Shown(std::string_view text) {
  std::string shown(text);
  for (char& c : shown)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  return shown;
}

// --server's value into `options`; false with the reason in `error`.
bool ReadServer(std::string_view value, GameOptions& options, std::string& error) {
  ServerAddress server;
  std::string why;
  if (!ParseServerAddress(value, server, why)) {
    error = "bad value for --server: '" + Shown(value) + "' (" + why + ")";
    return false;
  }
  options.server = server;
  return true;
}

// One option that takes a value: false with the reason in `error` when the value is missing
// or bad.
bool ReadValueOption(std::string_view name, std::string_view value, GameOptions& options, std::string& error) {
  if (value.empty() && name != "--replay" && name != "--verify") {
    error = std::string(name) + (name == "--scale"    ? " needs a value (1 to 8)"
                                 : name == "--server" ? " needs a value (HOST[:PORT])"
                                                      : " needs DIFFICULTY:PLACE, e.g. normal:3");
    return false;
  }
  if (name == "--server") return ReadServer(value, options, error);
  if (name == "--scale") {
    int scale = 0;
    if (ReadNumber(value, 1, kLargestScale, scale)) {
      options.scale = scale;
      return true;
    }
    error = "bad value for --scale: '" + Shown(value) + "' (1 to 8)";
    return false;
  }
  if (name == "--watch") {
    if (ReadWatch(value, options)) return true;
    error = "bad value for --watch: '" + Shown(value) + "' (easy, normal or hardcore, a colon, a place from 1 to 20)";
    return false;
  }
  if (value.empty()) {
    error = std::string(name) + " needs a replay file";
    return false;
  }
  (name == "--verify" ? options.verifyFile : options.replayFile) = value;
  return true;
}

// What a command line without --help, --version or --verify asks for.
CommandLineAction ActionOf(const GameOptions& options, std::string& error) {
  if (options.watchMode >= 0 && !options.replayFile.empty()) {
    error = "--replay and --watch cannot go together";
    return CommandLineAction::Bad;
  }
  if (options.watchMode >= 0) return CommandLineAction::Watch;
  return options.replayFile.empty() ? CommandLineAction::Run : CommandLineAction::Replay;
}

}  // namespace

CommandLineAction ReadCommandLine(int argc, const char* const* argv, GameOptions& options, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    std::string_view name = argv[i];
    std::string_view value;
    bool hasValue = false;
    if (const size_t eq = name.find('='); name.starts_with("--") && eq != std::string_view::npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
      hasValue = true;
    }
    if (name == "--verify" || name == "--replay" || name == "--scale" || name == "--watch" || name == "--server") {
      if (!hasValue && i + 1 < argc) value = argv[++i];
      if (!ReadValueOption(name, value, options, error)) return CommandLineAction::Bad;
      if (name == "--verify") return CommandLineAction::Verify;
      continue;
    }
    const bool flag = name == "--help" || name == "--version" || name == "--fullscreen" || name == "--window" ||
                      name == "--mute";
    if (!flag) {
      error = name.starts_with("-") ? "unknown option " + Shown(name) : "unexpected argument '" + Shown(name) + "'";
      return CommandLineAction::Bad;
    }
    if (hasValue) {
      error = Shown(name) + " takes no value";
      return CommandLineAction::Bad;
    }
    if (name == "--help") return CommandLineAction::Help;
    if (name == "--version") return CommandLineAction::Version;
    if (name == "--mute") {
      options.mute = true;
    } else {
      options.fullscreen = name == "--fullscreen";
    }
  }
  return ActionOf(options, error);
}

std::string UsageText(const char* program, bool online) {
  const std::string name = program;
  const std::string server = online ? "  --server HOST[:PORT]  the ranking server: a name, an IPv4 address or an IPv6\n"
                                      "                 address in brackets ([::1]:2020); the port 20 when left out\n"
                                    : "";
  const std::string watch = online
                                ? "  --watch DIFFICULTY:PLACE\n"
                                  "                 show the game listed at PLACE (1 to 20) of DIFFICULTY (easy,\n"
                                  "                 normal or hardcore), its replay fetched from the ranking server,\n"
                                  "                 as --replay shows a file\n"
                                : "";
  return "Usage: " + name +
         " [options]\n"
         "Brakkel, a small arcade game: a chicken against mobs by the hundred.\n"
         "\n"
         "  --fullscreen   play on the whole screen\n"
         "  --window       play in a window\n"
         "  --scale N      show each pixel of the game as an N x N block, N from 1 to 8\n"
         "                 (without it: the largest that fits the screen)\n"
         "  --mute         no music\n" +
         server +
         "  --verify FILE  play the recorded game FILE again without a window; print\n"
         "                 'mode=M stage=S score=N combo=C seconds=T' and exit 0 when the\n"
         "                 result is the recorded one, 1 when it differs, 2 for a bad file\n"
         "  --replay FILE  show the recorded game FILE in the window at its own pace; keys\n"
         "                 1, 2, 4 and 8 set the speed, Escape or closing the window ends it\n" +
         watch +
         "  --help         this text\n"
         "  --version      the program's name and version\n"
         "\n"
         "Without options the game starts as it was left: scale, full screen and mute are\n"
         "remembered in\n" +
         platform::kSettingsFileShown +
         "An option holds for its run only; what is changed during a run is remembered.\n" +
         std::string(online ? "The ranking server is kept as a line 'server = HOST[:PORT]' of that file,\n"
                              "written by hand; --server replaces it for one run.\n"
                            : "") +
         "\n"
         "Started in a folder that holds the game's data, the game plays there; else in its\n"
         "own folder\n" +
         platform::kGameFolderShown + "which keeps the rankings and, in replays/, a recording of every game.\n" +
         platform::MoreAboutShown(name);
}
