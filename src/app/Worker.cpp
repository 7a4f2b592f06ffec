#include "app/Worker.h"

#include <QMetaObject>

#include "codec/Errors.h"

namespace eklz::app {

Worker::Worker(QObject* parent) : QObject(parent), executor_(new QObject) {
  executor_->moveToThread(&thread_);
  connect(&thread_, &QThread::finished, executor_, &QObject::deleteLater);
  thread_.setObjectName("eklz-worker");
  thread_.start();
}

Worker::~Worker() {
  thread_.quit();
  thread_.wait();
}

void Worker::Run(Job job, Done done) {
  busy_ = true;
  {
    std::lock_guard lock(mutex_);
    running_ = true;
  }
  emit busyChanged(true);
  QMetaObject::invokeMethod(
      executor_,
      [this, job = std::move(job), done = std::move(done)]() mutable {
        JobOutcome outcome;
        try {
          job();
        } catch (const EOperationCancelled& e) {
          outcome.failed = true;
          outcome.cancelled = true;
          outcome.message = QString::fromStdString(e.what());
        } catch (const ESystemError& e) {
          outcome.failed = true;
          outcome.systemCode = e.Code();
          outcome.message = QString::fromStdString(e.what());
        } catch (const EConvertError& e) {
          outcome.failed = true;
          outcome.conversion = true;
          outcome.message = QString::fromStdString(e.what());
        } catch (const std::exception& e) {
          outcome.failed = true;
          outcome.message = QString::fromStdString(e.what());
        }
        {
          std::lock_guard lock(mutex_);
          running_ = false;
        }
        finished_.notify_all();
        QMetaObject::invokeMethod(
            this,
            [this, outcome, done = std::move(done)] {
              busy_ = false;
              done(outcome);
              emit busyChanged(false);
            },
            Qt::QueuedConnection);
      },
      Qt::QueuedConnection);
}

bool Worker::WaitJob(int ms) {
  std::unique_lock lock(mutex_);
  return finished_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return !running_; });
}

WindowSink::Batch WindowSink::TakeBatch() {
  std::lock_guard lock(mutex_);
  Batch b = std::move(pending_);
  pending_ = Batch();
  return b;
}

namespace {
void AppendLine(QString& text, int& count, const std::string& line) {
  if (count++ > 0) text += '\n';
  text += QString::fromStdString(line);
}
}  // namespace

void WindowSink::ResetProgress() {
  cancelled_ = false;
  jobResultLines_ = 0;
  pagesDone_ = -1;
  pagesTotal_ = 0;
  pagesHeld_ = 0;
}

void WindowSink::ResultLine(const std::string& line) {
  ++jobResultLines_;
  std::lock_guard lock(mutex_);
  AppendLine(pending_.result, pending_.resultLines, line);
}

void WindowSink::ProtocolLine(const std::string& line) {
  std::lock_guard lock(mutex_);
  AppendLine(pending_.protocol, pending_.protocolLines, line);
}

void WindowSink::ExchangeStatus(const std::string& text) {
  std::lock_guard lock(mutex_);
  pending_.exchangeStatus = QString::fromStdString(text);
}

void WindowSink::ConnectionStatus(const std::string& text) {
  std::lock_guard lock(mutex_);
  pending_.connectionStatus = QString::fromStdString(text);
}

namespace {

// The worker-side handle of one progress dialog; every call on the dialog is
// posted to the GUI thread, only the closed flag is read directly.
class PostedDumpProgress : public DumpProgress {
 public:
  PostedDumpProgress(QObject* context, ProgressHost& host, WindowSink& sink,
                     const std::atomic<bool>& cancelled)
      : context_(context), host_(host), sink_(sink), cancelled_(cancelled),
        state_(std::make_shared<DumpProgressState>()) {}
  ~PostedDumpProgress() override {
    if (!shown_) return;
    QMetaObject::invokeMethod(context_, [h = &host_, s = state_] { h->CloseDumpProgress(s); },
                              Qt::QueuedConnection);
  }
  void Show() override {
    shown_ = true;
    QMetaObject::invokeMethod(context_, [h = &host_, s = state_] { h->ShowDumpProgress(s); },
                              Qt::QueuedConnection);
  }
  void SetPercent(int percent) override {
    if (state_->percent.exchange(percent) == percent) return;
    PostUpdate();
  }
  void SetPages(int done, int total) override {
    sink_.NotePages(done, total);
    state_->done = done;
    state_->total = total;
    PostUpdate();
  }
  void SetLineRate(uint32_t baud) override { state_->baud = baud; }
  void SetPagesHeld(int held) override {
    sink_.NotePagesHeld(held);
    state_->held = held;
  }
  bool Visible() const override { return !state_->closed && !cancelled_; }

 private:
  // One update of the dialog waits in the GUI thread's queue at most: it
  // shows the state as it is when it runs, so a fast dump (thousands of pages
  // a second from a quick line) does not flood the event loop with one
  // repaint per page.
  void PostUpdate() {
    if (state_->updatePosted.exchange(true)) return;
    QMetaObject::invokeMethod(context_, [h = &host_, s = state_] {
      s->updatePosted = false;
      h->UpdateDumpProgress(s);
    }, Qt::QueuedConnection);
  }

  QObject* context_;
  ProgressHost& host_;
  WindowSink& sink_;
  const std::atomic<bool>& cancelled_;
  std::shared_ptr<DumpProgressState> state_;
  bool shown_ = false;
};

}  // namespace

void WindowSink::ParticularsLearned(const KkmParticulars& kkm) {
  std::lock_guard lock(mutex_);
  particulars_.Update(kkm);
}

KkmParticulars WindowSink::Particulars() {
  std::lock_guard lock(mutex_);
  return particulars_;
}

std::unique_ptr<DumpProgress> WindowSink::CreateDumpProgress() {
  return std::make_unique<PostedDumpProgress>(context_, host_, *this, cancelled_);
}

}  // namespace eklz::app
