// The game programs' options: --name or --name=value, no short forms.
#include "app/command_line.h"

#include <charconv>
#include <string_view>

#include "platform/game_folder.h"

namespace {

// A whole decimal number from 1 to kLargestScale, nothing before or after it.
bool ReadScale(std::string_view text, int& scale) {
  int value = 0;
  const auto [end, fault] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (fault != std::errc() || end != text.data() + text.size() || value < 1 || value > kLargestScale) return false;
  scale = value;
  return true;
}

// An argument as the one-line reason quotes it: control characters shown as '?'.
std::string Shown(std::string_view text) {
  std::string shown(text);
  for (char& c : shown)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  return shown;
}

// The value of option `name`: after its '=' when it had one, else the next argument.
bool TakeValue(std::string_view name, bool hasValue, int argc, const char* const* argv, int& i, std::string_view& value,
               std::string& error) {
  if (hasValue) return true;
  if (i + 1 >= argc) {
    error = std::string(name) + (name == "--scale" ? " needs a value (1 to 8)" : " needs a value (HOST[:PORT])");
    return false;
  }
  value = argv[++i];
  return true;
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
    if (name == "--verify" || name == "--replay") {
      if (!hasValue && i + 1 < argc) value = argv[++i];
      if (value.empty()) {
        error = std::string(name) + " needs a replay file";
        return CommandLineAction::Bad;
      }
      if (name == "--verify") {
        options.verifyFile = value;
        return CommandLineAction::Verify;
      }
      options.replayFile = value;
      continue;
    }
    if (name == "--server") {
      if (!TakeValue(name, hasValue, argc, argv, i, value, error) || !ReadServer(value, options, error))
        return CommandLineAction::Bad;
      continue;
    }
    if (name == "--scale") {
      if (!TakeValue(name, hasValue, argc, argv, i, value, error)) return CommandLineAction::Bad;
      int scale = 0;
      if (!ReadScale(value, scale)) {
        error = "bad value for --scale: '" + Shown(value) + "' (1 to 8)";
        return CommandLineAction::Bad;
      }
      options.scale = scale;
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
  return options.replayFile.empty() ? CommandLineAction::Run : CommandLineAction::Replay;
}

std::string UsageText(const char* program, bool online) {
  const std::string name = program;
  const std::string server = online ? "  --server HOST[:PORT]  the ranking server: a name, an IPv4 address or an IPv6\n"
                                      "                 address in brackets ([::1]:2020); the port 20 when left out\n"
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
         "                 1, 2, 4 and 8 set the speed, Escape or closing the window ends it\n"
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
         platform::kGameFolderShown +
         "which keeps the rankings and, in replays/, a recording of every game.\n"
         "See " +
         name + "(6).\n";
}
