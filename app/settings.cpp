// Reading, checking and writing the remembered settings.
#include "app/settings.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "platform/complain.h"
#include "platform/files.h"

namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

bool ReadFlag(std::string_view value, bool& flag) {
  if (value != "true" && value != "false") return false;
  flag = value == "true";
  return true;
}

bool ReadScaleSetting(std::string_view value, int& scale) {
  int number = 0;
  const auto [end, fault] = std::from_chars(value.data(), value.data() + value.size(), number);
  if (value.empty() || fault != std::errc() || end != value.data() + value.size() || number < 0 ||
      number > kLargestScale)
    return false;
  scale = number;
  return true;
}

// One line's verdict: empty when the line is good (and applied to `settings`).
std::string ReadLine(std::string_view line, Settings& settings) {
  if (line.size() > kSettingsLineCap) return "a line too long";
  for (const char c : line)
    if ((static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\r') || c == 0x7f) return "a control character";
  line = Trim(line);
  if (line.empty() || line.front() == '#') return "";
  const size_t eq = line.find('=');
  if (eq == std::string_view::npos) return "no name=value";
  const std::string_view name = Trim(line.substr(0, eq));
  const std::string_view value = Trim(line.substr(eq + 1));
  bool good = false;
  if (name == "scale") {
    good = ReadScaleSetting(value, settings.scale);
  } else if (name == "fullscreen") {
    good = ReadFlag(value, settings.fullscreen);
  } else if (name == "mute") {
    good = ReadFlag(value, settings.mute);
  } else if (name == "server") {
    ServerAddress server;
    std::string why;
    good = ParseServerAddress(value, server, why);
    if (!good) return "bad value for server (" + why + ")";
    settings.server = server;
  } else {
    return "unknown name '" + std::string(name) + "'";
  }
  return good ? "" : "bad value for " + std::string(name);
}

}  // namespace

bool ParseSettings(std::string_view text, Settings& settings, std::string& error) {
  if (text.size() > kSettingsFileCap) {
    error = "longer than " + std::to_string(kSettingsFileCap) + " bytes";
    return false;
  }
  Settings read = settings;
  int number = 0;
  while (!text.empty()) {
    ++number;
    const size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (std::string fault = ReadLine(line, read); !fault.empty()) {
      error = "line " + std::to_string(number) + ": " + fault;
      return false;
    }
  }
  settings = read;
  return true;
}

std::string FormatSettings(const Settings& settings) {
  return "# Brakkel's remembered choices (scale 0: the largest that fits the screen)\n"
         "scale=" +
         std::to_string(settings.scale) + "\nfullscreen=" + (settings.fullscreen ? "true" : "false") +
         "\nmute=" + (settings.mute ? "true" : "false") + "\n" +
         (settings.server ? "server=" + FormatServerAddress(*settings.server) + "\n" : "");
}

Settings LoadSettings(const std::string& path) {
  Settings settings;
  platform::FileProbe probe;
  errno = 0;
  std::FILE* file = platform::OpenDataFile(path.c_str(), probe);
  if (probe == platform::FileProbe::Missing) return settings;
  if (!file) {
    platform::Complain("the settings file %s cannot be read (%s); using the defaults", path.c_str(),
                       std::strerror(errno ? errno : EIO));
    return settings;
  }
  // One byte past the cap tells a file that is too long.
  std::string text(kSettingsFileCap + 1, '\0');
  text.resize(std::fread(text.data(), 1, text.size(), file));
  const bool readFault = std::ferror(file) != 0;
  std::fclose(file);
  std::string error;
  if (readFault) {
    error = "a read error";
  } else if (ParseSettings(text, settings, error)) {
    return settings;
  }
  platform::Complain("the settings file %s is damaged (%s) and is ignored", path.c_str(), error.c_str());
  return Settings{};
}

bool SaveSettings(const std::string& path, const Settings& settings) {
  const size_t slash = path.rfind('/');
  int error = 0;
  if (slash != std::string::npos && slash > 0 && !platform::MakeFolders(path.substr(0, slash).c_str(), &error)) {
    platform::Complain("the settings cannot be kept: cannot make the folder of %s: %s", path.c_str(),
                       std::strerror(error));
    return false;
  }
  const std::string text = FormatSettings(settings);
  if (!platform::ReplaceFileContents(path.c_str(), text.data(), text.size(), &error)) {
    platform::Complain("the settings cannot be kept in %s: %s", path.c_str(), std::strerror(error));
    return false;
  }
  return true;
}

Settings SettingsForRun(const Settings& remembered, const GameOptions& options) {
  Settings run = remembered;
  if (options.scale) run.scale = *options.scale;
  if (options.fullscreen) run.fullscreen = *options.fullscreen;
  if (options.mute) run.mute = *options.mute;
  if (options.server) run.server = options.server;
  return run;
}

Settings SettingsAfterRun(const Settings& remembered, const Settings& started, const Settings& ended) {
  Settings kept = remembered;
  if (ended.scale != started.scale) kept.scale = ended.scale;
  if (ended.fullscreen != started.fullscreen) kept.fullscreen = ended.fullscreen;
  if (ended.mute != started.mute) kept.mute = ended.mute;
  return kept;
}
