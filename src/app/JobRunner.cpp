#include "app/JobRunner.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <tuple>

#include "app/ProgressDUMP.h"
#include "commands/Link.h"

namespace eklz::app {

JobRunner::JobRunner(QWidget* dialogParent) : QObject(dialogParent), dialogParent_(dialogParent) {
#if defined(__GLIBC__)
  // A dump's text is large blocks (its batches, the views' texts on their
  // way to the histories) allocated on several threads. The C library maps
  // such a block on its own and returns it when freed, but after the first
  // one is freed it raises that threshold and keeps later blocks in its
  // heaps, where they are not given back: a fixed threshold keeps them mapped.
  static const bool mappedAlone = ::mallopt(M_MMAP_THRESHOLD, 128 * 1024) != 0;
  std::ignore = mappedAlone;
#endif
  sink_ = std::make_unique<WindowSink>(this, static_cast<ProgressHost&>(*this));
  session_ = std::make_unique<EklzSession>(*sink_);
  worker_ = new Worker(this);
  flushTimer_ = new QTimer(this);
  flushTimer_->setInterval(50);
  connect(flushTimer_, &QTimer::timeout, this, &JobRunner::Flush);
  connect(worker_, &Worker::busyChanged, this, [this](bool busy) {
    if (busy) {
      flushTimer_->start();
    } else {
      flushTimer_->stop();
    }
    emit busyChanged(busy);
  });
}

JobRunner::~JobRunner() { Shutdown(); }

void JobRunner::Shutdown() {
  if (!worker_) return;
  Cancel();
  delete worker_;
  worker_ = nullptr;
}

void JobRunner::Start(std::function<void(EklzSession&)> operation, Worker::Done done) {
  sink_->ResetProgress();
  worker_->Run(
      [this, operation = std::move(operation)] {
        EklzSession::RunScope run(*session_);
        operation(*session_);
      },
      [this, done = std::move(done)](const JobOutcome& outcome) {
        Flush();
        ReturnFreedMemory();
        JobOutcome shown = outcome;
        if (sink_->ProgressCancelled()) shown.cancelled = true;
        if (closing_) return;
        done(shown);
      });
}

// The blocks a job's text went through on its way to the views (the
// worker's batches) and the views' previous documents are free by now; the C
// library keeps freed memory for reuse unless asked to return it.
void JobRunner::ReturnFreedMemory() {
#if defined(__GLIBC__)
  ::malloc_trim(0);
#endif
}

void JobRunner::Cancel() {
  session_->RequestCancel();
  sink_->CloseProgress();
}

// A view takes a large text far faster than many small ones, since every
// append lays out its last screen again: the output goes on in batches.
void JobRunner::Flush() {
  const WindowSink::Batch b = sink_->TakeBatch();
  if (!b.Empty()) emit output(b);
}

void JobRunner::StopForClose() {
  if (Busy()) {
    // The job's outcome is not shown; the close goes on.
    closing_ = true;
    Cancel();
    if (worker_->WaitJob(10000)) {
      // Deliver the job's end now, so that the runner is idle from here on.
      // The worker posts it just after it has left the job.
      QElapsedTimer posted;
      posted.start();
      for (;;) {
        QCoreApplication::sendPostedEvents(worker_, QEvent::MetaCall);
        if (!Busy() || posted.elapsed() >= 1000) break;
        QThread::msleep(1);
      }
    }
  }
  Flush();
}

// --- The link ----------------------------------------------------------------------

void JobRunner::OpenLinkFromSettings(bool tell) {
  Start(
      [](EklzSession& s) {
        try {
          OpenLink(s);
        } catch (...) {
          s.ClosePort();
          throw;
        }
      },
      [this, tell](const JobOutcome& outcome) {
        if (outcome.failed) {
          emit linkFailed(outcome, tell);
        } else {
          emit linkOpened();
        }
      });
}

void JobRunner::RestoreLink(bool open, bool tell) {
  if (Busy()) return;
  if (open) {
    OpenLinkFromSettings(tell);
    return;
  }
  const bool wasOpen = session_->LinkOpen();
  if (wasOpen) session_->ClosePort();
  emit linkClosed(wasOpen);
}

void JobRunner::ShowExchangeStatus(const QString& text) {
  WindowSink::Batch b;
  b.exchangeStatus = text;
  emit output(b);
}

// --- Dump progress --------------------------------------------------------------------

void JobRunner::ShowDumpProgress(std::shared_ptr<DumpProgressState> state) {
  delete progressDialog_;
  progressState_ = state;
  progressDialog_ = new TfmProgressDUMP(dialogParent_);
  // Closing the dialog is the session's cancel request like every other stop:
  // the dump ends after the page in progress, a silent wait ends at once.
  connect(progressDialog_, &TfmProgressDUMP::closedByOperator, this, [this, state] {
    state->closed = true;
    session_->RequestCancel();
  });
  progressDialog_->Update(*state);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame(QPoint(0, 0), progressDialog_->size());
    frame.moveCenter(screen->availableGeometry().center());
    progressDialog_->move(frame.topLeft());
  }
  progressDialog_->show();
}

void JobRunner::UpdateDumpProgress(std::shared_ptr<DumpProgressState> state) {
  if (progressDialog_ && progressState_ == state) progressDialog_->Update(*state);
}

void JobRunner::CloseDumpProgress(std::shared_ptr<DumpProgressState> state) {
  if (progressState_ != state) return;
  delete progressDialog_;
  progressState_.reset();
}

}  // namespace eklz::app
