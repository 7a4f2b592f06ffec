#include "cli/Files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "protocol/Errors.h"

namespace eklz::cli {

void RequireCreatableFile(const std::string& path) {
  const bool existed = ::access(path.c_str(), F_OK) == 0;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    throw EInOutError("Невозможно создать файл дампа \"" + path + "\": " + std::strerror(errno));
  }
  ::close(fd);
  if (!existed) ::unlink(path.c_str());
}

void RequireWritableSettings(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const std::string dir = slash == std::string::npos ? std::string(".")
                         : slash == 0                ? std::string("/")
                                                     : path.substr(0, slash);
  std::error_code ignored;
  std::filesystem::create_directories(dir, ignored);
  std::string probe = dir + "/.eklz-settings-XXXXXX";
  int err = 0;
  const int fd = ::mkstemp(probe.data());
  if (fd < 0) {
    err = errno;
  } else {
    ::close(fd);
    ::unlink(probe.c_str());
    if (::access(path.c_str(), F_OK) == 0 && ::access(path.c_str(), W_OK) != 0) err = errno;
  }
  if (err != 0) {
    throw EInOutError("Невозможно записать файл настроек \"" + path + "\": " + std::strerror(err));
  }
}

}  // namespace eklz::cli
