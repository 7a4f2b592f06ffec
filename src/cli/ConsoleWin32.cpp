// The console on Windows: control events stop a run as signals do on Linux,
// the output is UTF-8, the arguments are read as UTF-8.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "cli/Terminal.h"
#include "codec/CodePage.h"

namespace eklz::cli {

namespace {

// The signal each console event stands for.
constexpr int kSigInt = 2;
constexpr int kSigTerm = 15;
constexpr int kSigBreak = 21;

BOOL WINAPI OnConsoleEvent(DWORD event) {
  const int signal = event == CTRL_C_EVENT       ? kSigInt
                     : event == CTRL_BREAK_EVENT ? kSigBreak
                                                 : kSigTerm;
  if (!TakeStopRequest(signal)) return FALSE;  // the system's default: the program ends
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
    // The program ends as soon as this handler returns: hold it while the
    // run winds down (the system allows some seconds); the program's own end
    // ends this wait.
    Sleep(INFINITE);
  }
  return TRUE;
}

bool virtualTerminal = false;
UINT consoleCodePage = 0;  // the console's output code page before ours

// The console keeps its code page after the program: give its own back.
void RestoreConsoleCodePage() {
  if (consoleCodePage != 0) SetConsoleOutputCP(consoleCodePage);
}

}  // namespace

void InstallStopSignals() {
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

std::string SignalName(int signal) {
  switch (signal) {
    case kSigInt: return "SIGINT";
    case kSigTerm: return "SIGTERM";
    case kSigBreak: return "SIGBREAK";
    case 13: return "SIGPIPE";
    default: return "сигнал " + std::to_string(signal);
  }
}

std::vector<std::string> ProgramArguments(int, char**) {
  // Bytes out as they are: no LF to CR LF, the same output as on Linux also
  // in a file; the console shows UTF-8 from its output code page.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  // Standard error has no buffer: the C runtime would hand the console one
  // byte at a time, and a console reading UTF-8 then shows each byte of a
  // Cyrillic letter as a box of its own. With a buffer, and flushed only at
  // the end of a message (std::endl, the progress line's own flush), each
  // message reaches the console whole.
  static char errorBuffer[4096];
  std::setvbuf(stderr, errorBuffer, _IOFBF, sizeof errorBuffer);
  std::cerr.unsetf(std::ios::unitbuf);
  consoleCodePage = GetConsoleOutputCP();
  if (consoleCodePage != 0 && consoleCodePage != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) {
    std::atexit(RestoreConsoleCodePage);
  }
  HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (GetConsoleMode(err, &mode)) {
    virtualTerminal =
        (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
        SetConsoleMode(err, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
  }

  // The arguments as typed, whatever the ANSI code page.
  std::vector<std::string> args;
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  for (int i = 1; wide != nullptr && i < count; ++i) args.push_back(WideToUtf8(wide[i]));
  if (wide != nullptr) LocalFree(wide);
  return args;
}

std::string ExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return "eklz.exe";
    if (n < path.size()) {
      path.resize(n);
      return WideToUtf8(path);
    }
    path.resize(path.size() * 2);
  }
}

bool ProgressTerminal() { return _isatty(_fileno(stderr)) != 0; }

bool ControlSequences() { return virtualTerminal; }

}  // namespace eklz::cli
