#include "cli/Terminal.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "protocol/Errors.h"

namespace eklz::cli {

namespace {

volatile sig_atomic_t interrupted = 0;

// The first Ctrl-C asks the dump to stop after the page in progress; a
// second one ends the program at once.
void OnInterrupt(int) {
  interrupted = 1;
  signal(SIGINT, SIG_DFL);
}

// The dump's progress: closing it is Ctrl-C. Draws a bar on standard error
// when that is a terminal.
class TerminalProgress : public DumpProgress {
 public:
  TerminalProgress() : bar_(::isatty(STDERR_FILENO) != 0) {
    interrupted = 0;
    struct sigaction sa {};
    sa.sa_handler = OnInterrupt;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;  // no SA_RESTART: a read in progress simply waits on
    sigaction(SIGINT, &sa, &previous_);
  }
  ~TerminalProgress() override {
    sigaction(SIGINT, &previous_, nullptr);
    if (bar_ && shown_) std::fputs("\n", stderr);
  }

  void Show() override {
    shown_ = true;
    Draw(0);
  }
  void SetPercent(int percent) override { Draw(percent); }
  bool Visible() const override { return interrupted == 0; }

 private:
  void Draw(int percent) {
    if (!bar_ || percent == last_) return;
    last_ = percent;
    constexpr int kWidth = 40;
    const int filled = percent * kWidth / 100;
    std::fprintf(stderr, "\rЗапрос дампа архива [%s%s] %3d%%", std::string(filled, '#').c_str(),
                 std::string(kWidth - filled, ' ').c_str(), percent);
    std::fflush(stderr);
  }

  bool bar_;
  bool shown_ = false;
  int last_ = -1;
  struct sigaction previous_ {};
};

}  // namespace

bool DumpInterrupted() { return interrupted != 0; }

TerminalSink::TerminalSink(const std::string& protocolPath) {
  static char buffer[1 << 16];
  std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
  if (!protocolPath.empty()) {
    protocol_ = std::fopen(protocolPath.c_str(), "w");
    if (!protocol_) {
      throw EInOutError("Невозможно создать файл протокола \"" + protocolPath +
                        "\": " + std::strerror(errno));
    }
  }
}

TerminalSink::~TerminalSink() {
  Flush();
  if (protocol_) std::fclose(protocol_);
}

void TerminalSink::ResultLine(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
}

void TerminalSink::ProtocolLine(const std::string& line) {
  if (!protocol_) return;
  std::fwrite(line.data(), 1, line.size(), protocol_);
  std::fputc('\n', protocol_);
}

std::unique_ptr<DumpProgress> TerminalSink::CreateDumpProgress() {
  return std::make_unique<TerminalProgress>();
}

void TerminalSink::Flush() {
  std::fflush(stdout);
  if (protocol_) std::fflush(protocol_);
}

}  // namespace eklz::cli
