#pragma once
// The game's data files in the working directory: opening one for reading, and replacing
// one as a whole so that a failed or interrupted write never leaves it half written.
#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string>

namespace platform {

enum class FileProbe {
  Missing,     // no file of that name
  Readable,    // a regular file that opened for reading
  Unreadable,  // something is there, but not a regular file that can be read
};

// Opens an existing regular file for reading in binary mode. Returns null when the name
// is missing, names a folder, a device or a pipe, or cannot be read; `probe` says which.
// Never waits on a pipe.
std::FILE* OpenDataFile(const char* name, FileProbe& probe);

// Replaces the file's contents by `size` bytes: they go to a new file in the same folder,
// which is synced to disk and then renamed over the old one, and the folder is synced.
// A name that is a link to a regular file replaces that file; an existing name that is
// not a regular file is refused. On failure the old file stays whole, no temporary file
// is left, and `error` (if given) gets the errno value. Returns true on success.
bool ReplaceFileContents(const char* name, const void* data, size_t size, int* error = nullptr);

// The writing under ReplaceFileContents: `size` bytes go to a new file beside `path` with the
// permission bits `mode`, which is synced and renamed to `path` (whatever stands there, a
// link included, is replaced, never followed), and the folder is synced. On failure no
// temporary file is left and `error` (if given) gets the errno value. True on success.
bool WriteFileInPlace(const char* path, const void* data, size_t size, unsigned mode, int* error = nullptr);

// Makes `path` a folder, with each missing folder on the way, created for the owner alone
// (mode 0700). True when `path` is a folder at the end; else `error` (if given) gets the errno
// value (ENOTDIR when something else stands there).
bool MakeFolders(const char* path, int* error = nullptr);

// Removes from `folder` what saves cut short (a kill, a power cut) left behind: the hidden
// temporary files ".NAME.XXXXXX" of the given names, regular files only, and only those
// untouched for kStaleSaveSeconds, so a save that another game in the same folder is making
// right now keeps its file. Everything else is left alone. Returns how many were removed.
inline constexpr long kStaleSaveSeconds = 600;
int RemoveStaleSaves(const char* folder, std::span<const char* const> names);

// Whether `entry` is a temporary name WriteFileInPlace makes for one of `names`: "." + name +
// "." + six letters or digits.
bool IsSaveTemporaryName(const char* entry, std::span<const char* const> names);

// What stands at `path`, links followed: a regular file, a folder.
bool IsRegularFile(const std::string& path);
bool IsFolder(const std::string& path);
// Whether `a` and `b` name the same existing folder (false when `b` is empty).
bool SameFolder(const std::string& a, const std::string& b);
// Makes `path` the working directory; on failure `error` gets the errno value.
bool EnterFolder(const std::string& path, int& error);
// Whether `path` is absolute on this system ("/..." on Linux; "C:/...", "C:\\..." or a
// "\\\\server" share on Windows).
bool IsAbsolutePath(const std::string& path);

// Names given to the file functions are UTF-8; on Windows they go to the system as UTF-16.

// A UTF-8 name as a std::filesystem path, and a path's name in UTF-8: on Windows a path made
// from a plain std::string, or its string(), goes through the ANSI code page, which loses a
// Korean name (or throws on it).
std::filesystem::path PathOf(const std::string& utf8);
std::string Utf8Of(const std::filesystem::path& path);

}  // namespace platform
