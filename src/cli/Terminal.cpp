#include "cli/Terminal.h"

#include <signal.h>
#include <string.h>
#ifndef _WIN32
#include <climits>
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "codec/Regional.h"
#include "commands/ArchiveDump.h"
#include "codec/CodePage.h"
#include "codec/Errors.h"
#include "codec/FileCalls.h"
#include "serial/SystemErrors.h"

namespace eklz::cli {

namespace {

// Lock-free atomics: set by a signal handler, or on Windows by the console
// event handler's own thread.
std::atomic<int> stopSignal{0};
std::atomic<EklzSession*> cancelTarget{nullptr};

#ifndef _WIN32
void OnStopSignal(int signal) {
  if (!TakeStopRequest(signal)) {
    ::signal(signal, SIG_DFL);
    ::raise(signal);
  }
}
#endif

// A reader that went away stops the run like SIGPIPE (which Windows lacks).
#ifdef SIGPIPE
constexpr int kClosedOutput = SIGPIPE;
#else
constexpr int kClosedOutput = 13;
#endif

void RequestStop(int signal) {
  int none = 0;
  stopSignal.compare_exchange_strong(none, signal);
}

// The progress line on standard error, when that is a terminal. Result
// lines clear it before they are written and it is drawn again after them.
// A carriage return takes it back to its start; a terminal that knows no
// control sequences has a shorter text padded with spaces instead of the
// erase to the end of the line.
class ProgressLine {
 public:
  static ProgressLine& Instance() {
    static ProgressLine line;
    return line;
  }
  bool Enabled() const { return enabled_; }
  void Show(const std::string& text) {
    if (!enabled_) return;
    text_ = text;
    const size_t width = Utf8Length(text);
    std::string line = erase_ ? "\r\033[K" + text : "\r" + text;
    if (!erase_ && width < shown_) line += std::string(shown_ - width, ' ');
    shown_ = std::max(shown_, width);
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
  }
  void Hide() {
    if (!enabled_ || text_.empty()) return;
    std::fputs(erase_ ? "\r\033[K" : ("\r" + std::string(shown_, ' ') + "\r").c_str(), stderr);
    std::fflush(stderr);
    shown_ = 0;
  }
  void Restore() {
    if (!text_.empty()) Show(text_);
  }
  void End() {
    Hide();
    text_.clear();
  }

 private:
  ProgressLine() : enabled_(ProgressTerminal()), erase_(ControlSequences()) {}
  bool enabled_;
  bool erase_;
  size_t shown_ = 0;  // the widest text drawn since the line was last cleared
  std::string text_;
};

}  // namespace

// The dump's progress: it counts the pages for the stop report, draws
// "page n of m" with the rate and the time left, and reads as closed once
// a stop was asked, which ends the dump after the page in progress.
class TerminalProgress : public DumpProgress {
 public:
  explicit TerminalProgress(TerminalSink& sink) : sink_(sink) { ++sink_.dumps_; }
  ~TerminalProgress() override {
    --sink_.dumps_;
    // A stop during the dump ended it after its page. The rest of the run
    // ends before its next request through the session's cancel request,
    // which lets the clean-up after a dump (setting the speed back) go on.
    if (StopSignal() != 0) {
      sink_.stopHandled_ = true;
      if (EklzSession* session = cancelTarget.load()) session->RequestCancel();
    }
    ProgressLine::Instance().End();
  }

  void SetPages(int done, int total) override {
    // The stop report tells of the dump that took the stop up, not of one
    // that the stopped run then refused to start.
    if (sink_.stopHandled_) return;
    sink_.pagesDone_ = done;
    sink_.pagesTotal_ = total;
    if (done == 0) started_ = std::chrono::steady_clock::now();
    Draw();
  }
  void SetLineRate(uint32_t baud) override { baud_ = baud; }
  void SetPagesHeld(int held) override {
    if (!sink_.stopHandled_) sink_.pagesHeld_ = held;
  }
  bool Visible() const override {
    if (StopSignal() == 0) return true;
    sink_.stopHandled_ = true;
    return false;
  }

 private:
  void Draw() {
    if (!ProgressLine::Instance().Enabled()) return;
    const int done = sink_.pagesDone_, total = sink_.pagesTotal_, held = sink_.pagesHeld_;
    // The pages of the archive; the pace is of the pages this run fetched.
    std::string text =
        "Дамп архива: страница " + std::to_string(held + done) + " из " + std::to_string(held + total);
    if (baud_ != 0) text += ", " + std::to_string(baud_) + " бод";
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    if (done > 0 && seconds > 0) {
      text += ", " + std::to_string(static_cast<long long>(done / seconds * kArchivePageSize)) +
              " байт/с";
    }
    if (const long long left = DumpSecondsLeft(done, total, seconds, baud_); left >= 0) {
      text += ", осталось " + DurationText(left);
    }
    ProgressLine::Instance().Show(text);
  }

  TerminalSink& sink_;
  uint32_t baud_ = 0;
  std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
};

// The first request asks the run to stop between two exchanges; a later one
// cancels the exchange in progress (one lock-free store).
bool TakeStopRequest(int signal) {
  int none = 0;
  if (stopSignal.compare_exchange_strong(none, signal)) return true;
  if (EklzSession* session = cancelTarget.load()) {
    session->RequestCancel();
    return true;
  }
  return false;
}

#ifndef _WIN32
void InstallStopSignals() {
  struct sigaction sa {};
  sa.sa_handler = OnStopSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;  // a wait in progress goes on: the exchange completes
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &sa, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
}

#endif

void ClearProgressLine() { ProgressLine::Instance().End(); }

void CancelOnSecondSignal(EklzSession* session) { cancelTarget.store(session); }

int StopSignal() { return stopSignal.load(); }

#ifndef _WIN32
std::string SignalName(int signal) {
  const char* name = ::sigabbrev_np(signal);
  return name ? std::string("SIG") + name : "сигнал " + std::to_string(signal);
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

std::string ExecutablePath() {
  char buf[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string("eklz");
}

bool ProgressTerminal() { return ::isatty(STDERR_FILENO) != 0; }

bool ControlSequences() { return true; }
#endif

TerminalSink::TerminalSink(const std::string& protocolPath) : protocolPath_(protocolPath) {
  // Each result line reaches the reader (a terminal or a pipe) as it is made.
  std::setvbuf(stdout, nullptr, _IOLBF, 1 << 16);
  if (!protocolPath.empty()) {
    protocol_ = OpenStream(protocolPath, "w");
    if (!protocol_) {
      throw EInOutError("Невозможно создать файл протокола \"" + protocolPath +
                        "\": " + SystemErrorMessage(errno));
    }
  }
}

TerminalSink::~TerminalSink() {
  if (protocol_) std::fclose(protocol_);
}

void TerminalSink::ResultLine(const std::string& line) {
  if (stdoutClosed_) return;
  ProgressLine::Instance().Hide();
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
#ifdef _WIN32
  // Windows' C library buffers a line-buffered stream fully.
  std::fflush(stdout);
#endif
  if (std::ferror(stdout)) {
    // Nothing more goes there. A reader that went away (EPIPE) stops the
    // run as an interruption would; any other failure fails it at the end.
    stdoutClosed_ = true;
    if (errno == EPIPE) {
      RequestStop(kClosedOutput);
    } else {
      stdoutError_ = errno;
    }
    return;
  }
  ProgressLine::Instance().Restore();
}

void TerminalSink::ProtocolLine(const std::string& line) {
  if (!protocol_ || protocolError_ != 0) return;
  std::fwrite(line.data(), 1, line.size(), protocol_);
  std::fputc('\n', protocol_);
  if (std::fflush(protocol_) != 0) protocolError_ = errno;
}

void TerminalSink::BeforeRequest() {
  // A dump in progress stops through its progress display, after its page.
  if (StopSignal() != 0 && !stopHandled_ && dumps_ == 0) {
    stopHandled_ = true;
    throw RunStopped();
  }
  ++requests_;
}

void TerminalSink::StepProgress(const std::string& what, int step, int steps) {
  if (!ProgressLine::Instance().Enabled()) return;
  ProgressLine::Instance().Show(what + " " + std::to_string(step) +
                                (steps > 0 ? " из " + std::to_string(steps) : ""));
}

std::unique_ptr<DumpProgress> TerminalSink::CreateDumpProgress() {
  return std::make_unique<TerminalProgress>(*this);
}

void TerminalSink::Close() {
  ClearProgressLine();
  if (std::fflush(stdout) != 0 && errno != EPIPE && stdoutError_ == 0) stdoutError_ = errno;
  if (protocol_) {
    if (std::fclose(protocol_) != 0 && protocolError_ == 0) protocolError_ = errno;
    protocol_ = nullptr;
  }
  if (stdoutError_ != 0) {
    throw EInOutError(std::string("Ошибка записи в стандартный вывод: ") +
                      SystemErrorMessage(stdoutError_));
  }
  if (protocolError_ != 0) {
    throw EInOutError("Ошибка записи в файл протокола \"" + protocolPath_ +
                      "\": " + SystemErrorMessage(protocolError_));
  }
}

std::string TerminalSink::StopReport() const {
  if (pagesDone_ >= 0) {
    return PagesWrittenText(pagesHeld_, pagesDone_, pagesTotal_);
  }
  return "отправлено " + Counted(requests_, "запрос", "запроса", "запросов");
}

}  // namespace eklz::cli
