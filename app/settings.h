#pragma once
// The player's remembered choices of scale, full screen and mute, and netplay's ranking server,
// kept between runs in a small text file of "name=value" lines.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "app/command_line.h"

struct Settings {
  int scale = 0;  // 0: the largest that fits the screen; else 1 to kLargestScale
  bool fullscreen = false;
  bool mute = false;
  // netplay's ranking server ("server = HOST[:PORT]", written by hand); none: the built-in one.
  // soloplay reads it and keeps it as it was.
  std::optional<ServerAddress> server = {};
  bool operator==(const Settings&) const = default;
};

// A settings file is a few short lines; anything longer is not one.
inline constexpr size_t kSettingsFileCap = 4096;
inline constexpr size_t kSettingsLineCap = 300;  // a server line of the longest host fits

// Reads "scale=N" (0 to 8), "fullscreen=true|false", "mute=true|false" and "server=HOST[:PORT]"
// (ParseServerAddress) lines; blank lines
// and lines starting with '#' are skipped, spaces around names and values allowed. Anything
// else (another name, a bad value, a control character, a line over kSettingsLineCap bytes,
// a text over kSettingsFileCap bytes) makes the whole text damaged: false, `settings`
// untouched, and a short reason with its line number in `error`.
bool ParseSettings(std::string_view text, Settings& settings, std::string& error);
std::string FormatSettings(const Settings& settings);

// The file at `path`: the defaults when it is missing; the defaults and one line on standard
// error when it cannot be read or is damaged.
Settings LoadSettings(const std::string& path);
// Writes the file whole (its folders made when missing) through a temporary file and a
// rename, so a failed write leaves the old file. False, with one line on standard error, on
// failure.
bool SaveSettings(const std::string& path, const Settings& settings);

// What a run plays with: the file's settings, each one the command line gives replaced.
Settings SettingsForRun(const Settings& remembered, const GameOptions& options);
// What to remember after a run: the file's settings, with each one the player changed during
// the run (it ended unlike it started) taken from the run's end. An option of the command
// line alone is never remembered, and the server is always the file's.
Settings SettingsAfterRun(const Settings& remembered, const Settings& started, const Settings& ended);
