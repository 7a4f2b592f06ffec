// Exchanges off the GUI thread: one worker thread runs each job (one core
// operation on the session); what the session writes is collected on the
// worker side and taken by the window in batches.
#pragma once

#include <QObject>
#include <QString>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "protocol/Session.h"

namespace eklz::app {

// How a job ended. A failure carries the exception's message as it stands
// (the message box adds the full stop).
struct JobOutcome {
  bool failed = false;
  bool cancelled = false;
  QString message;
  int systemCode = 0;       // the error number of a system failure (ESystemError)
  bool conversion = false;  // a text that is no number (EConvertError)
};

// Runs one job at a time on its own thread.
class Worker : public QObject {
  Q_OBJECT
 public:
  using Job = std::function<void()>;
  using Done = std::function<void(const JobOutcome&)>;

  explicit Worker(QObject* parent = nullptr);
  ~Worker() override;

  bool Busy() const { return busy_; }
  // Queues `job` on the worker thread. `done` runs on the GUI thread after
  // it, then busyChanged(false) is emitted. Only one job at a time.
  void Run(Job job, Done done);
  // Blocks until the job in flight has left the worker thread or `ms` passed;
  // true when no job runs any more. Its `done` still comes as an event.
  bool WaitJob(int ms);

 signals:
  void busyChanged(bool busy);

 private:
  QThread thread_;
  QObject* executor_;  // lives on thread_
  bool busy_ = false;  // GUI side: from Run until `done` has run
  std::mutex mutex_;
  std::condition_variable finished_;
  bool running_ = false;  // worker side: the job is executing
};

// The state of one dump progress display shared between the worker (which
// reads whether it is still open) and the dialog on the GUI thread.
struct DumpProgressState {
  std::atomic<bool> closed{false};
  std::atomic<int> percent{0};
  std::atomic<int> done{0};         // pages received so far ...
  std::atomic<int> total{0};        // ... of the pages asked for
  std::atomic<uint32_t> baud{0};    // the line rate of the dump; 0: not known
  std::atomic<int> held{0};         // pages the file held before the dump
  std::atomic<bool> updatePosted{false};  // an update of the dialog is on its way
};

// The GUI side that shows the progress dialog of a dump.
class ProgressHost {
 public:
  virtual ~ProgressHost() = default;
  virtual void ShowDumpProgress(std::shared_ptr<DumpProgressState> state) = 0;
  virtual void UpdateDumpProgress(std::shared_ptr<DumpProgressState> state) = 0;
  virtual void CloseDumpProgress(std::shared_ptr<DumpProgressState> state) = 0;
};

// The session's output on the worker side: lines and status texts are kept
// until the window takes them (TakeBatch, on the GUI thread).
class WindowSink : public OutputSink {
 public:
  // `context` is a GUI-thread object that the progress calls are posted to.
  WindowSink(QObject* context, ProgressHost& host) : context_(context), host_(host) {}

  struct Batch {
    QString result;  // lines joined by '\n'
    int resultLines = 0;
    QString protocol;
    int protocolLines = 0;
    std::optional<QString> exchangeStatus;
    std::optional<QString> connectionStatus;
    bool Empty() const {
      return resultLines == 0 && protocolLines == 0 && !exchangeStatus && !connectionStatus;
    }
  };
  Batch TakeBatch();

  // Makes every progress display report itself closed (a cancelled job).
  void CloseProgress() { cancelled_ = true; }
  // A new job: nothing cancelled, no lines written, no dump seen.
  void ResetProgress();
  bool ProgressCancelled() const { return cancelled_; }
  // Result lines the job has written so far.
  int JobResultLines() const { return jobResultLines_; }
  // The pages of the job's last dump: done and asked for (-1, 0: no dump),
  // and those its file held before it.
  void NotePages(int done, int total) {
    pagesDone_ = done;
    pagesTotal_ = total;
  }
  void NotePagesHeld(int held) { pagesHeld_ = held; }
  int PagesDone() const { return pagesDone_; }
  int PagesTotal() const { return pagesTotal_; }
  int PagesHeld() const { return pagesHeld_; }

  void ResultLine(const std::string& line) override;
  void ProtocolLine(const std::string& line) override;
  void ExchangeStatus(const std::string& text) override;
  void ConnectionStatus(const std::string& text) override;
  void ParticularsLearned(const KkmParticulars& kkm) override;
  std::unique_ptr<DumpProgress> CreateDumpProgress() override;

  // The cash register's particulars the EKLZ told last (each value on its
  // own), for the repair request.
  KkmParticulars Particulars();

 private:
  QObject* context_;
  ProgressHost& host_;
  std::mutex mutex_;
  Batch pending_;
  KkmParticulars particulars_;
  std::atomic<bool> cancelled_{false};
  std::atomic<int> jobResultLines_{0};
  std::atomic<int> pagesDone_{-1};
  std::atomic<int> pagesTotal_{0};
  std::atomic<int> pagesHeld_{0};
};

}  // namespace eklz::app
