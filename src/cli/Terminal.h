// Where a command-line run sends the session's output: result lines to
// standard output, protocol lines to an optional file, dump progress as a
// bar on standard error when that is a terminal.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "protocol/Session.h"

namespace eklz::cli {

class TerminalSink : public OutputSink {
 public:
  // `protocolPath` empty: protocol lines are dropped. Raises EInOutError
  // when the protocol file cannot be created.
  explicit TerminalSink(const std::string& protocolPath);
  ~TerminalSink() override;

  void ResultLine(const std::string& line) override;
  void ProtocolLine(const std::string& line) override;
  std::unique_ptr<DumpProgress> CreateDumpProgress() override;

  bool WritesProtocol() const { return protocol_ != nullptr; }
  void Flush();

 private:
  FILE* protocol_ = nullptr;
};

// True once the operator pressed Ctrl-C during a dump.
bool DumpInterrupted();

}  // namespace eklz::cli
