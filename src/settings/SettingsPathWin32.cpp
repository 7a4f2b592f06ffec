// Where the settings file lies on Windows: beside the program when its
// folder takes files (a copy unpacked anywhere), else in the user's roaming
// application data (a copy installed under Program Files).
#include <windows.h>

#include "protocol/CodePage.h"
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
  if (Writable(beside)) return beside;
  const std::string appData = Environment(L"APPDATA");
  if (appData.empty()) return beside;
  return appData + "\\eklz-tester\\" + kTesterSettingsName;
}

}  // namespace eklz
