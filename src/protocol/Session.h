// EklzSession: everything one tester window (or one command-line run) owns
// for talking to an EKLZ: the port, the output views, the settings, the last
// decoded answer and the values kept for the repair request.
#pragma once

#include <memory>
#include <string>

#include "protocol/AnswerCodes.h"
#include "protocol/Regional.h"
#include "serial/Port.h"
#include "settings/Settings.h"

namespace eklz {

// Progress display of an archive dump. Closing it (by the operator) asks the
// dump to stop after the page in progress.
class DumpProgress {
 public:
  virtual ~DumpProgress() = default;
  virtual void Show() {}
  virtual void SetPercent(int /*percent*/) {}
  // Pages received so far out of the pages asked for; set when the display
  // is shown and after every page.
  virtual void SetPages(int /*done*/, int /*total*/) {}
  virtual bool Visible() const { return true; }
};

// Where the session's output goes. The GUI shows it in its views and status
// bar, the command-line tool prints it, tests record it.
class OutputSink {
 public:
  virtual ~OutputSink() = default;
  // One line of the result view (never contains a line break).
  virtual void ResultLine(const std::string& line) = 0;
  // One line of the protocol view.
  virtual void ProtocolLine(const std::string& line) = 0;
  // Caption of the exchange status pane.
  virtual void ExchangeStatus(const std::string& /*text*/) {}
  // Caption of the connection status pane.
  virtual void ConnectionStatus(const std::string& /*text*/) {}
  // Called before every request frame goes out. A sink may raise here to
  // end a run between two exchanges, never inside one.
  virtual void BeforeRequest() {}
  // Lets the window system run pending events; called once at the start of
  // every reply read.
  virtual void ProcessMessages() {}
  // A new, not yet shown progress display for one dump call.
  virtual std::unique_ptr<DumpProgress> CreateDumpProgress() {
    return std::make_unique<DumpProgress>();
  }
};

class EklzSession {
 public:
  explicit EklzSession(OutputSink& output, Settings settings = {});

  OutputSink& Output() { return *output_; }

  // The open port; raises TEKLZException "Нет соединения" while the link is closed.
  TRSPort& Port();
  bool LinkOpen() const { return port_ != nullptr; }

  // Releases the port: the link counts as closed.
  void ClosePort() { port_.reset(); }

  // Releases the old port, then creates a port on `name` at the rate
  // `rateText` (a decimal number) with the standard line settings and the
  // time-out pattern built from `timeout`. A rate that is not a number raises
  // EConvertError; a port that cannot be opened ESystemError. Either way the
  // link is closed afterwards.
  void OpenPort(const std::string& name, const std::string& rateText, int timeout);

  // Adds `text` to the result view unless `quiet`; a text holding CR LF fills
  // several lines (a text ending in CR LF ends with an empty line).
  void AppendResultLine(const std::string& text, bool quiet);
  void AppendProtocolLine(const std::string& text) { output_->ProtocolLine(text); }
  void SetExchangeStatus(const std::string& text) { output_->ExchangeStatus(text); }
  void ProcessMessages() { output_->ProcessMessages(); }

  Settings settings;
  TAnswerInfo LastAnswer;

  // Values last decoded from the EKLZ, printed on the repair request.
  CalendarDate RepairActivationDate;
  std::string RepairKkmModel;
  std::string RepairKkmSerial;

 private:
  OutputSink* output_;
  std::unique_ptr<TRSPort> port_;
};

}  // namespace eklz
