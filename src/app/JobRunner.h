// The job runner: the session, the worker thread that runs each exchange, the
// batches of output on their way to the views, the dump progress dialog and
// the link. The window shows what it reports; dialogs that run jobs (the
// options dialog's probe and search) get the runner, not the window.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

#include "app/Worker.h"
#include "protocol/Session.h"

class QTimer;
class QWidget;

namespace eklz::app {

class TfmProgressDUMP;

class JobRunner : public QObject, private ProgressHost {
  Q_OBJECT
 public:
  // `dialogParent` is the window the dump progress dialog belongs to.
  explicit JobRunner(QWidget* dialogParent);
  ~JobRunner() override;

  // The session; touch it only while no job runs.
  EklzSession& Session() { return *session_; }
  bool Busy() const { return worker_ && worker_->Busy(); }

  // Runs `operation` on the worker thread (one job at a time); `done` comes
  // on the GUI thread after the job's output has been handed on.
  void Start(std::function<void(EklzSession&)> operation, Worker::Done done);
  // Asks the job in flight to stop: every port wait ends at once, and a dump
  // ends after the page in progress as if its progress dialog were closed.
  void Cancel();
  // Hands what the job has written since the last time on (output()).
  void Flush();

  // While the window closes, the ends of jobs are not delivered.
  void SetClosing(bool closing) { closing_ = closing; }
  // Stops the job in flight for the window's close and waits for it (the
  // port time-out bounds the wait), so that the runner is idle after it.
  void StopForClose();
  // Stops the worker thread for good, before the session and its output go.
  void Shutdown();

  // What the last job did: its result lines, and the pages of its last dump
  // (done and asked for; -1, 0: no dump).
  int JobResultLines() const { return sink_->JobResultLines(); }
  int PagesDone() const { return sink_->PagesDone(); }
  int PagesTotal() const { return sink_->PagesTotal(); }
  int PagesHeld() const { return sink_->PagesHeld(); }
  // The cash register's particulars the last queries learned.
  KkmParticulars Particulars() const { return sink_->Particulars(); }

  // The link. Opening it from the settings is a job; its end comes as
  // linkOpened() or linkFailed(); `tell` when the operator is to be told of
  // a failure in a message too (he has just asked for this link).
  void OpenLinkFromSettings(bool tell = false);
  // Puts the link back as the settings say after the options dialog tried
  // other ports: `open` reopens it from the settings, otherwise it is closed
  // (linkClosed()).
  void RestoreLink(bool open, bool tell = false);
  // The link the options dialog found is the one the settings now name.
  void KeepLink() { emit linkOpened(); }
  // A probe or search found an EKLZ on `port` at `rate`.
  void ShowLinkFound(const QString& port, const QString& rate) { emit linkFound(port, rate); }
  // The exchange pane shows `text` (a dialog's job that ended early).
  void ShowExchangeStatus(const QString& text);

 signals:
  void busyChanged(bool busy);
  // What a job has written, in order, on the GUI thread.
  void output(const eklz::app::WindowSink::Batch& batch);
  void linkOpened();
  void linkFailed(const eklz::app::JobOutcome& outcome, bool tell);
  // The link is down; `wasOpen` when it was up until now.
  void linkClosed(bool wasOpen);
  void linkFound(const QString& port, const QString& rate);

 private:
  static void ReturnFreedMemory();

  // ProgressHost
  void ShowDumpProgress(std::shared_ptr<DumpProgressState> state) override;
  void UpdateDumpProgress(std::shared_ptr<DumpProgressState> state) override;
  void CloseDumpProgress(std::shared_ptr<DumpProgressState> state) override;

  QWidget* dialogParent_;
  std::unique_ptr<WindowSink> sink_;
  std::unique_ptr<EklzSession> session_;
  Worker* worker_;
  QTimer* flushTimer_;
  bool closing_ = false;
  QPointer<TfmProgressDUMP> progressDialog_;
  std::shared_ptr<DumpProgressState> progressState_;
};

}  // namespace eklz::app
