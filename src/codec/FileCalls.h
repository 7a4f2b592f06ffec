// The few low-level file calls the program makes, with UTF-8 file names on
// every system: POSIX calls on Linux, their wide-character counterparts on
// Windows. Files are opened in binary mode (no line-end translation) and
// are not inherited by child processes.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

#include <fcntl.h>
#include <sys/types.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace eklz {

// What separates the folders of a path on this system.
#ifdef _WIN32
inline constexpr const char* kPathSeparators = "/\\";
#else
inline constexpr const char* kPathSeparators = "/";
#endif

// The path of a UTF-8 file name (std::filesystem reads a plain string in
// the system's ANSI code page on Windows).
inline std::filesystem::path PathOf(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// open(2) for writing with the program's flags added (O_CLOEXEC; on Windows
// O_BINARY and O_NOINHERIT); -1 with errno set on failure.
int OpenFile(const std::string& path, int flags, int mode = 0644);
// fopen(3) in binary mode; nullptr with errno set on failure.
FILE* OpenStream(const std::string& path, const char* mode);
// Flushes the file's data to the disk; 0 on success.
int SyncFile(int fd);
// Puts `from` in the place of `to`, replacing it in one step; false with
// errno set on failure.
bool MoveFileOver(const std::string& from, const std::string& to);
bool RemoveFile(const std::string& path);
// Creates one folder (its parent must exist); false when it did not.
bool MakeFolder(const std::string& path);
// access(2): F_OK, W_OK.
bool FileAccess(const std::string& path, int mode);

}  // namespace eklz
