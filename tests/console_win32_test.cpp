// eklz.exe's standard error as the console or a program reading it receives
// it: each message in one piece. Standard error is unbuffered in the C
// runtime, which would otherwise pass a message on a byte at a time; a
// console reading UTF-8 shows each byte of a Cyrillic letter as a box. A
// message-mode pipe as standard error receives every write as one message,
// so the writes can be counted.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "codec/CodePage.h"

namespace eklz {
namespace {

std::wstring BesideThisProgram(const std::wstring& name) {
  std::wstring path(MAX_PATH, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return path.substr(0, path.find_last_of(L"\\/") + 1) + name;
}

// Runs eklz.exe with `arguments`; each write to its standard error.
std::vector<std::string> ErrorWrites(const std::wstring& arguments) {
  const std::wstring pipeName = L"\\\\.\\pipe\\eklz-stderr-" + std::to_wstring(GetCurrentProcessId());
  HANDLE server = CreateNamedPipeW(pipeName.c_str(), PIPE_ACCESS_INBOUND,
                                   PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 0, 65536, 0, nullptr);
  EXPECT_NE(server, INVALID_HANDLE_VALUE);
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE client = CreateFileW(pipeName.c_str(), GENERIC_WRITE, 0, &inherit, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(client, INVALID_HANDLE_VALUE);
  HANDLE nul = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                           OPEN_EXISTING, 0, nullptr);

  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = nul;
  si.hStdOutput = nul;
  si.hStdError = client;
  PROCESS_INFORMATION pi{};
  const std::wstring program = BesideThisProgram(L"eklz.exe");
  std::wstring line = L"\"" + program + L"\" " + arguments;
  const bool started =
      CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
  EXPECT_TRUE(started) << GetLastError();
  CloseHandle(client);
  CloseHandle(nul);

  std::vector<std::string> writes;
  std::string buffer(65536, '\0');
  DWORD n = 0;
  while (started && ReadFile(server, buffer.data(), static_cast<DWORD>(buffer.size()), &n, nullptr)) {
    writes.emplace_back(buffer.data(), n);
  }
  if (started) {
    WaitForSingleObject(pi.hProcess, 30000);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
  }
  CloseHandle(server);
  return writes;
}

// A port that does not open, and an option the program does not know: one
// write per message, each a whole line of UTF-8, with its Cyrillic letters.
TEST(ConsoleStandardError, EachMessageArrivesWholeInOneWrite) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring settings = std::wstring(temp) + L"eklz-console-test.ini";
  for (const std::wstring& arguments :
       {L"--settings \"" + settings + L"\" --port COM99 --timeout 10 status", std::wstring(L"--нет-такого")}) {
    SCOPED_TRACE(WideToUtf8(arguments));
    const std::vector<std::string> writes = ErrorWrites(arguments);
    ASSERT_FALSE(writes.empty());
    bool cyrillic = false;
    for (const std::string& w : writes) {
      EXPECT_TRUE(IsValidUtf8(w)) << w;
      ASSERT_FALSE(w.empty());
      EXPECT_EQ(w.back(), '\n') << "a message in pieces: " << w;
      cyrillic = cyrillic || Utf8Length(w) < w.size();
    }
    EXPECT_TRUE(cyrillic) << writes.front();
  }
  DeleteFileW(settings.c_str());
}

}  // namespace
}  // namespace eklz
