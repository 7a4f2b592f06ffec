// Where the settings file lies on Windows: beside the program when a file
// there can be read or its folder takes files (a copy unpacked anywhere),
// else in the user's roaming application data (a copy installed under
// Program Files).
#include <windows.h>

#include "codec/CodePage.h"
#include "settings/Settings.h"

namespace eklz {

namespace {

// Whether a file can be written at `path`: an existing one opened for
// writing, or a new one created there (and removed at once).
bool Writable(const std::string& path) {
  const std::wstring wide = Utf8ToWide(path);
  HANDLE h = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    CloseHandle(h);
    return true;
  }
  if (GetLastError() != ERROR_FILE_NOT_FOUND) return false;
  h = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

bool Readable(const std::string& path) {
  HANDLE h = CreateFileW(Utf8ToWide(path).c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

std::string Environment(const wchar_t* name) {
  wchar_t value[32768];
  const DWORD n = GetEnvironmentVariableW(name, value, 32768);
  return n > 0 && n < 32768 ? WideToUtf8(std::wstring(value, n)) : std::string();
}

}  // namespace

std::string TesterSettingsPath(const std::string& executablePath) {
  const size_t slash = executablePath.find_last_of(kPathSeparators);
  const std::string beside =
      (slash == std::string::npos ? "" : executablePath.substr(0, slash + 1)) + kTesterSettingsName;
  // A file beside the program that can be read is the program's settings,
  // even when it cannot be written (the front ends say so when they save).
  if (Readable(beside) || Writable(beside)) return beside;
  const std::string appData = Environment(L"APPDATA");
  if (appData.empty()) return beside;
  return appData + "\\eklz-tester\\" + kTesterSettingsName;
}

}  // namespace eklz
