// Where a command-line run sends the session's output: result lines to
// standard output as they come, protocol lines to an optional file, dump
// progress on standard error when that is a terminal. And how a run stops:
// SIGINT, SIGTERM, SIGHUP or a closed standard output end it between two
// exchanges, like the closing of the dump's progress display.
#pragma once

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "protocol/Session.h"

namespace eklz::cli {

// Installs the stop handlers for SIGINT, SIGTERM and SIGHUP and ignores
// SIGPIPE (a closed standard output shows as EPIPE instead). The handler
// only records the signal. A second signal cancels the session given to
// CancelOnSecondSignal at once (a wait for a silent device ends, a reply
// that is flowing is still read whole); without one it ends the program.
// A dump that stopped for a signal also ends the rest of that session's run.
// On Windows the console's control events stand for the signals: Ctrl+C
// for SIGINT, Ctrl+Break for SIGBREAK, closing the console window (and
// logging off, shutting down) for SIGTERM.
void InstallStopSignals();
void CancelOnSecondSignal(EklzSession* session);

// Takes a stop request of `signal`: the first asks the run to stop between
// two exchanges; a later one cancels the exchange in progress of the session
// given to CancelOnSecondSignal. Returns false when a later one finds no
// session to cancel: the caller ends the program as the signal would.
// Lock-free, so a signal handler may call it.
bool TakeStopRequest(int signal);

// The start of the program on this system: the console reads UTF-8 (on
// Windows its output code page is set to it, and standard output and error
// pass bytes unchanged, also into a file), and the arguments come as UTF-8.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// The full path of the running program.
std::string ExecutablePath();

// Whether standard error is a terminal: the progress line is drawn there.
bool ProgressTerminal();

// Whether that terminal understands control sequences (on Windows: whether
// the console took the virtual terminal mode).
bool ControlSequences();

// The signal that asked the run to stop (SIGPIPE for a closed standard
// output), 0 while none did.
int StopSignal();

// Takes the progress line off the terminal (before a message goes there).
void ClearProgressLine();

// "SIGINT" and the like.
std::string SignalName(int signal);

// Raised before the next request once a stop was asked: the run ends
// between two exchanges.
class RunStopped : public std::runtime_error {
 public:
  RunStopped() : std::runtime_error("Операция прервана") {}
};

class TerminalSink : public OutputSink {
 public:
  // `protocolPath` empty: protocol lines are dropped. Raises EInOutError
  // when the protocol file cannot be created.
  explicit TerminalSink(const std::string& protocolPath);
  ~TerminalSink() override;

  void ResultLine(const std::string& line) override;
  void ProtocolLine(const std::string& line) override;
  void BeforeRequest() override;
  void StepProgress(const std::string& what, int step, int steps) override;
  std::unique_ptr<DumpProgress> CreateDumpProgress() override;

  bool WritesProtocol() const { return protocol_ != nullptr; }
  // Flushes standard output and closes the protocol file; raises
  // EInOutError when either could not be written whole (a reader that went
  // away is no failure: it stops the run instead).
  void Close();

  // What the run had done when it stopped, for the operator.
  std::string StopReport() const;

 private:
  friend class TerminalProgress;

  std::string protocolPath_;
  FILE* protocol_ = nullptr;
  int protocolError_ = 0;    // errno of the first failed write
  bool stdoutClosed_ = false;
  int stdoutError_ = 0;       // errno of a failed write other than EPIPE
  bool stopHandled_ = false;  // the stop was taken up (by a dump or by RunStopped)
  int dumps_ = 0;             // dump progress displays alive
  int requests_ = 0;          // requests sent
  int pagesDone_ = -1, pagesTotal_ = 0;  // of the last dump; -1: no dump
  int pagesHeld_ = 0;                    // its file's pages before it
};

}  // namespace eklz::cli
