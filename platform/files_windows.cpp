// Data files on Windows: names in UTF-8 go to the system as UTF-16 ("순위.txt" must not pass
// through the ANSI code page), and a file is replaced as a whole through a flushed temporary
// file and MoveFileExW, so a crash or a full disk cannot cost the old contents.
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <random>

#include "platform/files.h"
#include "platform/wide_text.h"

namespace platform {
namespace {

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  return wide;
}

// The errno value nearest to a Windows error.
int ErrnoOf(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return EACCES;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS: return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_WRITE_PROTECT: return EROFS;
    case ERROR_DIRECTORY: return ENOTDIR;
    default: return EIO;
  }
}

bool Fail(int* error, int code) {
  if (error) *error = code;
  return false;
}

DWORD Attributes(const std::string& path) { return GetFileAttributesW(Wide(path).c_str()); }

// "." + the name + "." + six letters or digits, as RemoveStaleSaves expects them.
std::string TemporaryName(const std::string& folderPart, const std::string& base) {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  static std::minstd_rand random(static_cast<unsigned>(GetTickCount()) ^ GetCurrentProcessId());
  std::string name = folderPart + "." + base + ".";
  for (int i = 0; i < 6; ++i) name += kLetters[random() % (sizeof kLetters - 1)];
  return name;
}

bool WriteAll(HANDLE file, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(file, p, chunk, &written, nullptr) || written == 0) return false;
    p += written;
    size -= written;
  }
  return true;
}

}  // namespace

std::FILE* OpenDataFile(const char* name, FileProbe& probe) {
  const DWORD attributes = Attributes(name);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const int code = ErrnoOf(GetLastError());
    probe = code == ENOENT ? FileProbe::Missing : FileProbe::Unreadable;
    return nullptr;
  }
  if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) {
    probe = FileProbe::Unreadable;
    return nullptr;
  }
  std::FILE* file = _wfopen(Wide(name).c_str(), L"rb");
  probe = file ? FileProbe::Readable : FileProbe::Unreadable;
  return file;
}

bool ReplaceFileContents(const char* name, const void* data, size_t size, int* error) {
  const DWORD attributes = Attributes(name);
  // Never put a regular file in place of a folder.
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return Fail(error, EISDIR);
  return WriteFileInPlace(name, data, size, 0644, error);
}

bool WriteFileInPlace(const char* path, const void* data, size_t size, unsigned /*mode*/, int* error) {
  const std::string target = path;
  const size_t slash = target.find_last_of("/\\");
  const std::string folderPart = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  std::wstring temp;
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
    temp = Wide(TemporaryName(folderPart, base));
    file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (file == INVALID_HANDLE_VALUE) return Fail(error, ErrnoOf(GetLastError()));
  DWORD code = 0;
  if (!WriteAll(file, data, size) || !FlushFileBuffers(file)) code = GetLastError();
  CloseHandle(file);
  if (code == 0 && !MoveFileExW(temp.c_str(), Wide(target).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    code = GetLastError();
  if (code != 0) {
    DeleteFileW(temp.c_str());
    return Fail(error, ErrnoOf(code));
  }
  if (error) *error = 0;
  return true;
}

bool MakeFolders(const char* path, int* error) {
  const std::string whole = path;
  // Each folder on the way; a drive ("C:") or a share's root refuses, and only the end counts.
  DWORD last = 0;
  for (size_t at = 1; at <= whole.size(); ++at) {
    if (at != whole.size() && whole[at] != '/' && whole[at] != '\\') continue;
    if (!CreateDirectoryW(Wide(whole.substr(0, at)).c_str(), nullptr)) last = GetLastError();
  }
  if (IsFolder(whole)) return true;
  if (error) *error = Attributes(whole) != INVALID_FILE_ATTRIBUTES ? ENOTDIR : ErrnoOf(last);
  return false;
}

int RemoveStaleSaves(const char* folder, std::span<const char* const> names) {
  WIN32_FIND_DATAW entry;
  const std::string prefix = std::string(folder) + "/";
  HANDLE search = FindFirstFileW(Wide(prefix + "*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return 0;
  FILETIME nowFile;
  GetSystemTimeAsFileTime(&nowFile);
  const auto ticks = [](const FILETIME& t) {
    return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  };
  const uint64_t now = ticks(nowFile);
  int removed = 0;
  do {
    const std::string name = Utf8FromWide(entry.cFileName);
    if (!IsSaveTemporaryName(name.c_str(), names)) continue;
    if (entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) continue;
    // A file written in the last minutes may belong to a save still going on in another game
    // (file times count 100-nanosecond steps).
    const uint64_t written = ticks(entry.ftLastWriteTime);
    if (now < written || now - written < static_cast<uint64_t>(kStaleSaveSeconds) * 10'000'000) continue;
    if (DeleteFileW(Wide(prefix + name).c_str())) ++removed;
  } while (FindNextFileW(search, &entry));
  FindClose(search);
  return removed;
}

bool IsRegularFile(const std::string& path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE));
}

bool IsFolder(const std::string& path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool SameFolder(const std::string& a, const std::string& b) {
  if (b.empty()) return false;
  wchar_t one[MAX_PATH * 4], other[MAX_PATH * 4];
  const DWORD n = GetFullPathNameW(Wide(a).c_str(), MAX_PATH * 4, one, nullptr);
  const DWORD m = GetFullPathNameW(Wide(b).c_str(), MAX_PATH * 4, other, nullptr);
  if (n == 0 || m == 0 || n >= MAX_PATH * 4 || m >= MAX_PATH * 4 || !IsFolder(a) || !IsFolder(b)) return false;
  for (wchar_t* p : {one, other}) {
    for (; *p; ++p) {
      if (*p == L'/') *p = L'\\';
    }
  }
  // Windows' names are compared without regard to case; a last separator does not count.
  std::wstring x = one, y = other;
  while (x.size() > 3 && x.back() == L'\\') x.pop_back();
  while (y.size() > 3 && y.back() == L'\\') y.pop_back();
  return CompareStringOrdinal(x.c_str(), -1, y.c_str(), -1, TRUE) == CSTR_EQUAL;
}

bool EnterFolder(const std::string& path, int& error) {
  if (SetCurrentDirectoryW(Wide(path).c_str())) return true;
  error = ErrnoOf(GetLastError());
  return false;
}

bool IsAbsolutePath(const std::string& path) {
  const auto separator = [](char c) { return c == '/' || c == '\\'; };
  if (path.size() >= 3 && path[1] == ':' && separator(path[2])) return true;
  return path.size() >= 2 && separator(path[0]) && separator(path[1]);
}

std::string Utf8FromWide(const wchar_t* wide) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return {};
  std::string utf8(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8.data(), n, nullptr, nullptr);
  utf8.pop_back();
  return utf8;
}

}  // namespace platform
