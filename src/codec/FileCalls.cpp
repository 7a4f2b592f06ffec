#include "codec/FileCalls.h"

#include <cerrno>
#include <sys/stat.h>

#ifdef _WIN32
#include <windows.h>

#include "codec/CodePage.h"
#endif

namespace eklz {

#ifdef _WIN32

int OpenFile(const std::string& path, int flags, int mode) {
  return ::_wopen(Utf8ToWide(path).c_str(), flags | O_BINARY | O_NOINHERIT,
                  (mode & 0200) ? (_S_IREAD | _S_IWRITE) : _S_IREAD);
}

FILE* OpenStream(const std::string& path, const char* mode) {
  std::wstring wideMode = Utf8ToWide(mode);
  if (wideMode.find(L'b') == std::wstring::npos) wideMode += L'b';
  return ::_wfopen(Utf8ToWide(path).c_str(), wideMode.c_str());
}

int SyncFile(int fd) { return ::_commit(fd); }

bool MoveFileOver(const std::string& from, const std::string& to) {
  if (MoveFileExW(Utf8ToWide(from).c_str(), Utf8ToWide(to).c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
  return false;
}

bool RemoveFile(const std::string& path) { return ::_wunlink(Utf8ToWide(path).c_str()) == 0; }

bool MakeFolder(const std::string& path) { return ::_wmkdir(Utf8ToWide(path).c_str()) == 0; }

bool FileAccess(const std::string& path, int mode) {
  return ::_waccess(Utf8ToWide(path).c_str(), mode) == 0;
}

#else

int OpenFile(const std::string& path, int flags, int mode) {
  return ::open(path.c_str(), flags | O_CLOEXEC, mode);
}

FILE* OpenStream(const std::string& path, const char* mode) {
  return std::fopen(path.c_str(), (std::string(mode) + "e").c_str());
}

int SyncFile(int fd) { return ::fsync(fd); }

bool MoveFileOver(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool MakeFolder(const std::string& path) { return ::mkdir(path.c_str(), 0755) == 0; }

bool FileAccess(const std::string& path, int mode) { return ::access(path.c_str(), mode) == 0; }

#endif

}  // namespace eklz
