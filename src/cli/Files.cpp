#include "cli/Files.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#ifdef _WIN32
#include <process.h>
#endif

#include "codec/Errors.h"
#include "codec/FileCalls.h"
#include "serial/SystemErrors.h"

namespace eklz::cli {

void RequireCreatableFile(const std::string& path) {
  const bool existed = FileAccess(path, F_OK);
  const int fd = OpenFile(path, O_WRONLY | O_CREAT);
  if (fd < 0) {
    throw EInOutError("Невозможно создать файл дампа \"" + path + "\": " + SystemErrorMessage(errno));
  }
  ::close(fd);
  if (!existed) RemoveFile(path);
}

void RequireWritableSettings(const std::string& path) {
  const size_t slash = path.find_last_of(kPathSeparators);
  const std::string dir = slash == std::string::npos ? std::string(".")
                         : slash == 0                ? std::string("/")
                                                     : path.substr(0, slash);
  std::error_code ignored;
  std::filesystem::create_directories(PathOf(dir), ignored);
#ifdef _WIN32
  const std::string probe = dir + "\\.eklz-settings-" + std::to_string(::_getpid());
  const int fd = OpenFile(probe, O_WRONLY | O_CREAT | O_EXCL);
#else
  std::string probe = dir + "/.eklz-settings-XXXXXX";
  const int fd = ::mkstemp(probe.data());
#endif
  int err = 0;
  if (fd < 0) {
    err = errno;
  } else {
    ::close(fd);
    RemoveFile(probe);
    if (FileAccess(path, F_OK) && !FileAccess(path, W_OK)) err = errno;
  }
  if (err != 0) {
    throw EInOutError("Невозможно записать файл настроек \"" + path + "\": " + SystemErrorMessage(err));
  }
}

}  // namespace eklz::cli
