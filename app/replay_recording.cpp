// Recording the game being played, and keeping its replay files.
#include "app/replay_recording.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <system_error>
#include <vector>

#include "game/replay_run.h"
#include "platform/clock.h"
#include "platform/complain.h"
#include "platform/files.h"

namespace fs = std::filesystem;

void GameRecording::Begin(const char* program, const char* version, uint32_t seed, const World& world,
                          const FieldView& view) {
  on = true;
  cutShort = false;
  replay.program = program;
  replay.version = version;
  replay.rules = world.rules.version;
  replay.mode = ModeNumber(world.counters.gameMode);
  replay.seed = seed;
  replay.startClock = view.startClock;
  replay.ranked = false;
  replay.result = {};
  replay.inputs.clear();
  replay.clocks.clear();
  CaptureGameStart(world, view, replay.start);
}

void GameRecording::ReadyStage() {
  if (!on) return;
  const size_t wanted = std::min(replay.inputs.size() + kStageFramesBound, kReplayMostFrames);
  replay.inputs.reserve(wanted);
  replay.clocks.reserve(wanted);
}

void GameRecording::Frame(const StageInput& input, uint32_t now) {
  if (!on || cutShort) return;
  // Never grown here: a frame that finds no room made ready ends the recording instead.
  if (replay.inputs.size() == replay.inputs.capacity() || replay.clocks.size() == replay.clocks.capacity()) {
    cutShort = true;
    return;
  }
  replay.inputs.push_back(PackStageInput(input));
  replay.clocks.push_back(now);
}

void GameRecording::End(const ReplayResult& result, bool ranked) {
  replay.result = result;
  replay.ranked = ranked;
  on = false;
}

std::string ReplayFileName(std::time_t when, int32_t mode) {
  const std::tm local = platform::LocalTime(when);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  return std::string(stamp) + "-" + ReplayModeName(mode) + ".replay";
}

namespace {

// A replay's name: date and time, mode, and the number given when the same second was taken.
const std::regex kReplayName(R"((\d{8}-\d{6})-(easy|normal|hardcore)(?:-(\d{1,6}))?\.replay)");

// The whole file, or nothing for one that cannot be read or is far larger than a replay.
bool ReadWhole(const fs::path& path, std::vector<uint8_t>& bytes) {
  constexpr uintmax_t kLargest = 64u << 20;
  std::error_code ec;
  const uintmax_t size = fs::file_size(path, ec);
  if (ec || size > kLargest) return false;
  std::ifstream in(path, std::ios::binary);
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return in.good() || in.eof();
}

}  // namespace

bool SaveReplay(const std::vector<uint8_t>& encoded, int32_t mode, const char* folder, std::time_t when,
                std::string* savedAs) {
  int error = 0;
  if (!platform::MakeFolders(folder, &error)) {
    platform::Complain("the replay is not kept: cannot make %s (%s)", folder, std::strerror(error));
    return false;
  }
  const std::string name = ReplayFileName(when, mode);
  const std::string stem = name.substr(0, name.size() - std::strlen(".replay"));
  std::string path = std::string(folder) + "/" + name;
  std::error_code ec;
  for (int n = 2; fs::exists(fs::symlink_status(platform::PathOf(path), ec)) && n < 1000; ++n)
    path = std::string(folder) + "/" + stem + "-" + std::to_string(n) + ".replay";
  if (!platform::ReplaceFileContents(path.c_str(), encoded.data(), encoded.size(), &error)) {
    platform::Complain("the replay is not kept: cannot write %s (%s)", path.c_str(), std::strerror(error));
    return false;
  }
  if (savedAs) *savedAs = path;
  KeepReplays(folder);
  return true;
}

size_t KeepReplays(const char* folder, size_t keepOthers) {
  struct Other {
    std::string stamp;
    int number;
    fs::path path;
  };
  std::vector<Other> others;
  std::error_code ec;
  for (fs::directory_iterator it(platform::PathOf(folder), ec), end; !ec && it != end; it.increment(ec)) {
    // Any name may lie there, a Korean one too: on Windows string() would throw on it.
    const std::string name = platform::Utf8Of(it->path().filename());
    std::smatch match;
    if (!std::regex_match(name, match, kReplayName) || !it->is_regular_file(ec)) continue;
    std::vector<uint8_t> bytes;
    Replay replay;
    std::string why;
    if (!ReadWhole(it->path(), bytes) || DecodeReplay(bytes, replay, why) != ReplayRead::Ok) continue;
    if (replay.ranked) continue;
    others.push_back({match[1].str(), match[3].matched ? std::stoi(match[3].str()) : 1, it->path()});
  }
  if (others.size() <= keepOthers) return 0;
  std::sort(others.begin(), others.end(),
            [](const Other& a, const Other& b) { return std::tie(a.stamp, a.number) < std::tie(b.stamp, b.number); });
  size_t removed = 0;
  for (size_t i = 0; i + keepOthers < others.size(); ++i) removed += fs::remove(others[i].path, ec) ? 1 : 0;
  return removed;
}
