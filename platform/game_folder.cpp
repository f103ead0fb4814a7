#include "platform/game_folder.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/complain.h"
#include "platform/files.h"

namespace platform {

#ifndef BRAKKEL_INSTALLED_DATA
#define BRAKKEL_INSTALLED_DATA "../share/brakkel"
#endif
const char* const kInstalledDataFromPrograms = BRAKKEL_INSTALLED_DATA;

namespace {

void Report(const std::string& what, int error) { Complain("%s: %s", what.c_str(), std::strerror(error)); }

std::string Folder(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// The whole file, or false when it cannot be read. Only a regular file is read: a pipe
// left under a data file's name must not hold the game's start for ever.
bool ReadAll(const std::string& path, std::vector<char>& bytes) {
  bytes.clear();
  FileProbe probe;
  std::FILE* file = OpenDataFile(path.c_str(), probe);
  if (!file) return false;
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
  bool ok = !std::ferror(file);
  std::fclose(file);
  return ok;
}

bool MakeGameFolder(const std::string& path) {
  int error = 0;
  if (MakeFolders(path.c_str(), &error)) return true;
  const bool standsThere = IsRegularFile(path);
  Report(standsThere ? "the game folder " + path + " is not a folder" : "cannot make the game folder " + path, error);
  return false;
}

// Copies each data file whose copy in 'gameFolder' is missing or differs. Every data file
// is read before anything is written, so a damaged installation changes nothing.
void RefreshData(const std::string& dataFolder, const std::string& gameFolder) {
  std::vector<std::vector<char>> data;
  for (const char* name : kGameDataFiles) {
    data.emplace_back();
    errno = 0;
    if (!ReadAll(dataFolder + "/" + name, data.back())) {
      Report("the game data " + dataFolder + "/" + name + " cannot be read", errno ? errno : EIO);
      return;
    }
  }
  std::vector<char> present;
  for (size_t i = 0; i < data.size(); ++i) {
    const std::string target = gameFolder + "/" + kGameDataFiles[i];
    if (ReadAll(target, present) && present == data[i]) continue;
    int error = 0;
    if (!WriteFileInPlace(target.c_str(), data[i].data(), data[i].size(), 0644, &error))
      Report("cannot write " + target, error);
  }
}

}  // namespace

std::string FindGameData(const std::string& programPath) {
  if (programPath.empty()) return "";
  const std::string programs = Folder(programPath);
  for (const std::string& candidate : {programs + "/" + kInstalledDataFromPrograms, programs + "/../data"}) {
    bool all = true;
    for (const char* name : kGameDataFiles) all = all && IsRegularFile(candidate + "/" + name);
    if (all) return candidate;
  }
  return "";
}

bool HoldsGameData(const std::string& folder) {
  for (const char* name : kGameDataFiles)
    if (IsRegularFile(folder + "/" + name)) return true;
  return false;
}

void EnterGameFolder(const std::string& dataFolder, const std::string& gameFolder) {
  // A folder of the player's own data is played as it is: copying the shipped data over
  // it would replace the player's pictures, sprites or music at every start. The per-user
  // folder stays the game's own, refreshed wherever the program starts.
  if (HoldsGameData(".") && !SameFolder(".", gameFolder)) return;
  if (!IsAbsolutePath(gameFolder)) {
    Complain("no home folder is known to keep the game in; playing in the working directory");
    return;
  }
  if (!MakeGameFolder(gameFolder)) return;
  if (!dataFolder.empty()) RefreshData(dataFolder, gameFolder);
  int error = 0;
  if (!EnterFolder(gameFolder, error)) Report("cannot enter the game folder " + gameFolder, error);
}

void EnterGameFolder() {
  const std::string gameFolder = UserGameFolder();
  // A folder of the player's own data is played as it is, without looking for the shipped data.
  if (HoldsGameData(".") && !SameFolder(".", gameFolder)) return;
  const std::string program = ProgramPath();
  const std::string data = FindGameData(program);
  // Without the shipped data the game still plays in the player's folder, with what it
  // holds from earlier starts: a missing file then meets the game's own answer (the
  // sprite loader's box, the previous picture, silence), not a program that will not start.
  if (data.empty())
    Complain("the game data was not found beside %s (looked in %s/%s and %s/../data)",
             program.empty() ? "the program" : program.c_str(), Folder(program).c_str(), kInstalledDataFromPrograms,
             Folder(program).c_str());
  EnterGameFolder(data, gameFolder);
}

}  // namespace platform
