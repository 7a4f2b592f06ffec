// EklzSession: everything one tester window (or one command-line run) owns
// for talking to an EKLZ: the port, the output views, the settings and the
// last decoded answer.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "protocol/AnswerCodes.h"
#include "codec/Regional.h"
#include "protocol/Particulars.h"
#include "serial/Port.h"
#include "settings/SettingsRecord.h"

namespace eklz {

// Progress display of an archive dump. Closing it (by the operator) asks the
// dump to stop after the page in progress; so does the session's cancel
// request.
class DumpProgress {
 public:
  virtual ~DumpProgress() = default;
  virtual void Show() {}
  virtual void SetPercent(int /*percent*/) {}
  // Pages received so far out of the pages asked for; set when the display
  // is shown and after every page.
  virtual void SetPages(int /*done*/, int /*total*/) {}
  // The line rate the pages come at (the port's), set when the display is
  // shown, before the first SetPages.
  virtual void SetLineRate(uint32_t /*baud*/) {}
  // The pages the dump file held before this dump (a continued dump), set
  // before the first SetPages: a display counts the archive's pages, `held`
  // + done of `held` + total, and paces by the pages of this dump.
  virtual void SetPagesHeld(int /*held*/) {}
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
  // Progress of a long run: step `step` of `steps` (0: not known ahead)
  // of what `what` names ("Документ", "Фрагмент отчёта"). Front ends may
  // show it; it is never a result line.
  virtual void StepProgress(const std::string& /*what*/, int /*step*/, int /*steps*/) {}
  // The cash register's particulars a reply carried (a processor dump, a
  // decoded fragment 05H, 07H or 08H), as soon as they are decoded. A front
  // end that prints the repair request keeps the latest of each.
  virtual void ParticularsLearned(const KkmParticulars& /*kkm*/) {}
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

// The line rate `text` names: a whole number of bauds above zero; nothing
// for any other text ("abc", "-5", "0").
std::optional<uint32_t> LineRateValue(const std::string& text);

// The connection pane's text for the link `settings` name:
// "Соединение установлено: COM1, 9600".
std::string LinkEstablishedText(const Settings& settings);

// The port time-out T in milliseconds that a port may be opened with (the
// range of the options dialog).
inline constexpr int kMinPortTimeout = 2;
inline constexpr int kMaxPortTimeout = 32000;

// A result text as the views show it: one line per CR LF, each cut at a NUL
// byte, other control characters as blanks.
std::vector<std::string> ShownLines(const std::string& text);

class EklzSession {
 public:
  explicit EklzSession(OutputSink& output, Settings settings = {});

  OutputSink& Output() { return *output_; }

  // The open port; raises TEKLZException "Нет соединения" while the link is
  // closed, and refuses a thread other than the one running the current run.
  TRSPort& Port();
  bool LinkOpen() const { return port_ != nullptr; }

  // Takes over a port that is already open (another backend, an in-memory
  // byte source): the link counts as open. Refused like OpenPort.
  void AttachPort(std::unique_ptr<TRSPort> port);

  // Releases the port: the link counts as closed. Refused while another
  // thread's run is in flight.
  void ClosePort();

  // Releases the old port, then creates a port on `name` at the rate
  // `rateText` (a decimal number) with the standard line settings and the
  // time-out pattern built from `timeout`. A rate that is not a number of
  // bauds above zero (LineRateValue) raises EConvertError; a port that cannot be opened ESystemError. Either way the
  // link is closed afterwards. Refused while another thread's run is in flight.
  // A time-out outside kMinPortTimeout..kMaxPortTimeout (a settings file may
  // hold anything) raises TEKLZException naming the key TimeOuts: a wild
  // value would wait days for one byte.
  void OpenPort(const std::string& name, const std::string& rateText, int timeout);

  // Adds `text` to the result view unless `quiet`; a text holding CR LF fills
  // several lines (a text ending in CR LF ends with an empty line). A line
  // ends at a NUL byte; other control characters show as blanks.
  void AppendResultLine(const std::string& text, bool quiet);
  void AppendProtocolLine(const std::string& text) { output_->ProtocolLine(text); }
  void SetExchangeStatus(const std::string& text) { output_->ExchangeStatus(text); }
  // The connection pane names the port and rate of the settings.
  void ShowLinkEstablished() { output_->ConnectionStatus(LinkEstablishedText(settings)); }
  void ProcessMessages() { output_->ProcessMessages(); }

  // The cancel request. Any thread (or a signal handler: it is one lock-free
  // store) may ask; the run ends at its next wait for a silent line (within
  // about 20 ms) or before its next request, with EOperationCancelled. Bytes
  // that are flowing are read to the end of their reply first, so a dump
  // completes the page in progress and never writes part of one. The request
  // stays until the run in flight ends (RunScope) or ClearCancel().
  void RequestCancel() { cancel_.store(true); }
  bool CancelRequested() const { return cancel_.load(std::memory_order_relaxed); }
  void ClearCancel() { cancel_.store(false); }
  // Raises EOperationCancelled when a cancel has been requested.
  void ThrowIfCancelled() const;
  // Sleeps `ms` milliseconds; a cancel ends the sleep with EOperationCancelled.
  void Pause(int ms);

  // The run guard: one run (one operation or procedure of a front end) at a
  // time. Constructing a second scope while one is alive raises
  // TEKLZException; while a run is in flight, the port, OpenPort and
  // ClosePort refuse every other thread. A guard, not a lock: nothing waits.
  // The cancel request is cleared when the run ends.
  class RunScope {
   public:
    explicit RunScope(EklzSession& session);
    ~RunScope();
    RunScope(const RunScope&) = delete;
    RunScope& operator=(const RunScope&) = delete;

   private:
    EklzSession& session_;
  };
  bool Running() const { return running_.load(); }

  // Lets the clean-up exchanges of a run (setting a raised line speed back)
  // go on after a cancel: the request is set aside while the scope lives and
  // comes back when it ends. A new cancel inside the scope still counts.
  class CleanupScope {
   public:
    explicit CleanupScope(EklzSession& session);
    ~CleanupScope();
    CleanupScope(const CleanupScope&) = delete;
    CleanupScope& operator=(const CleanupScope&) = delete;

   private:
    EklzSession& session_;
    bool wasCancelled_;
  };

  Settings settings;
  // The settings file that records a raised line rate while a run has the
  // device switched to it (settings/Settings.h, RaisedRate); empty: none.
  std::string settingsFile;
  TAnswerInfo LastAnswer;

 private:
  // Refuses a thread other than the runner while a run is in flight.
  void RequireRunnerThread() const;

  OutputSink* output_;
  std::unique_ptr<TRSPort> port_;
  std::atomic<bool> cancel_{false};
  std::atomic<bool> running_{false};
  std::atomic<std::thread::id> runner_{};
};

}  // namespace eklz
