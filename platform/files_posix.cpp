// Data files on POSIX systems: reading only regular files, and whole-file replacement through a synced
// temporary file and a rename, so a crash or a full disk cannot cost the old contents.
#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace platform {
namespace {

// The permission bits a newly created file gets, as fopen would give it.
mode_t NewFileMode() {
  const mode_t mask = umask(022);
  umask(mask);
  return 0666 & ~mask;
}

bool WriteAll(int fd, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = write(fd, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) {
      errno = ENOSPC;
      return false;
    }
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool Fail(int* error, int code) {
  if (error) *error = code;
  return false;
}

void SyncFolder(const std::string& folder) {
  // Makes the rename itself durable. Some file systems cannot sync a folder; the new
  // contents are in place either way, so a failure here is not reported.
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

}  // namespace

std::FILE* OpenDataFile(const char* name, FileProbe& probe) {
  // O_NONBLOCK: opening a pipe of that name must not wait for a writer.
  const int fd = open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    probe = errno == ENOENT ? FileProbe::Missing : FileProbe::Unreadable;
    return nullptr;
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    probe = FileProbe::Unreadable;
    return nullptr;
  }
  std::FILE* file = fdopen(fd, "rb");
  if (!file) {
    close(fd);
    probe = FileProbe::Unreadable;
    return nullptr;
  }
  probe = FileProbe::Readable;
  return file;
}

bool ReplaceFileContents(const char* name, const void* data, size_t size, int* error) {
  std::string target = name;
  mode_t mode = 0;
  struct stat st;
  if (stat(name, &st) != 0) {
    mode = NewFileMode();
  } else {
    // Never put a regular file in place of a folder, a device or a pipe.
    if (!S_ISREG(st.st_mode)) return Fail(error, S_ISDIR(st.st_mode) ? EISDIR : EPERM);
    mode = st.st_mode & 07777;
    struct stat link;
    if (lstat(name, &link) == 0 && S_ISLNK(link.st_mode)) {
      // Replace the file the link points to, and keep the link.
      char* real = realpath(name, nullptr);
      if (!real) return Fail(error, errno);
      target = real;
      std::free(real);
    }
  }
  return WriteFileInPlace(target.c_str(), data, size, mode, error);
}

bool WriteFileInPlace(const char* path, const void* data, size_t size, unsigned mode, int* error) {
  const std::string target = path;
  const size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  // A hidden name of its own in the same folder, so the rename stays within one file system.
  std::string temp = (slash == std::string::npos ? "" : target.substr(0, slash + 1)) + "." + base + ".XXXXXX";
  const int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return Fail(error, errno);
  int code = 0;
  if (fchmod(fd, static_cast<mode_t>(mode)) != 0 || !WriteAll(fd, data, size) || fsync(fd) != 0) code = errno;
  if (close(fd) != 0 && code == 0) code = errno;
  if (code == 0 && rename(temp.c_str(), target.c_str()) != 0) code = errno;
  if (code != 0) {
    unlink(temp.c_str());
    return Fail(error, code);
  }
  SyncFolder(folder);
  if (error) *error = 0;
  return true;
}

bool MakeFolders(const char* path, int* error) {
  const std::string whole = path;
  for (size_t at = 1; at <= whole.size(); ++at) {
    if (at != whole.size() && whole[at] != '/') continue;
    if (mkdir(whole.substr(0, at).c_str(), 0700) != 0 && errno != EEXIST) {
      if (error) *error = errno;
      return false;
    }
  }
  struct stat info;
  if (stat(path, &info) != 0 || !S_ISDIR(info.st_mode)) {
    if (error) *error = ENOTDIR;
    return false;
  }
  return true;
}

int RemoveStaleSaves(const char* folder, std::span<const char* const> names) {
  DIR* dir = opendir(folder);
  if (!dir) return 0;
  const int dirFd = dirfd(dir);
  const time_t now = std::time(nullptr);
  int removed = 0;
  while (const dirent* e = readdir(dir)) {
    if (!IsSaveTemporaryName(e->d_name, names)) continue;
    struct stat st;
    if (fstatat(dirFd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) continue;
    // A file written in the last minutes may belong to a save still going on in another game.
    if (now - st.st_mtime < kStaleSaveSeconds) continue;
    if (unlinkat(dirFd, e->d_name, 0) == 0) ++removed;
  }
  closedir(dir);
  return removed;
}

bool IsRegularFile(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool IsFolder(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool SameFolder(const std::string& a, const std::string& b) {
  struct stat one, other;
  return !b.empty() && stat(a.c_str(), &one) == 0 && stat(b.c_str(), &other) == 0 && one.st_dev == other.st_dev &&
         one.st_ino == other.st_ino;
}

bool EnterFolder(const std::string& path, int& error) {
  if (chdir(path.c_str()) == 0) return true;
  error = errno;
  return false;
}

bool IsAbsolutePath(const std::string& path) { return !path.empty() && path[0] == '/'; }

}  // namespace platform
