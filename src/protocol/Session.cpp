#include "protocol/Session.h"

#include <algorithm>
#include <chrono>

#include "codec/Errors.h"
#include "codec/Regional.h"

namespace eklz {

EklzSession::EklzSession(OutputSink& output, Settings s) : settings(std::move(s)), output_(&output) {}

namespace {
const char* const kBusy = "Выполняется другая операция с ЭКЛЗ; дождитесь её окончания";
}  // namespace

TRSPort& EklzSession::Port() {
  RequireRunnerThread();
  if (!port_) throw TEKLZException("Нет соединения");
  return *port_;
}

void EklzSession::RequireRunnerThread() const {
  if (running_.load() && runner_.load() != std::this_thread::get_id()) {
    throw TEKLZException(kBusy);
  }
}

void EklzSession::ClosePort() {
  RequireRunnerThread();
  port_.reset();
}

std::optional<uint32_t> LineRateValue(const std::string& text) {
  if (text.empty() || text.size() > 9 || !std::all_of(text.begin(), text.end(), [](char c) {
        return c >= '0' && c <= '9';
      })) {
    return std::nullopt;
  }
  const auto rate = static_cast<uint32_t>(std::stoul(text));
  if (rate == 0) return std::nullopt;
  return rate;
}

std::string LinkEstablishedText(const Settings& settings) {
  return "Соединение установлено: " + settings.ComPort + ", " + settings.BoundRate;
}

void EklzSession::OpenPort(const std::string& name, const std::string& rateText, int timeout) {
  RequireRunnerThread();
  port_.reset();
  if (timeout < kMinPortTimeout || timeout > kMaxPortTimeout) {
    throw TEKLZException("Значение TimeOuts (тайм-аут порта) должно быть в пределах от " +
                         std::to_string(kMinPortTimeout) + " до " +
                         std::to_string(kMaxPortTimeout) + " мс");
  }
  const std::optional<uint32_t> rate = LineRateValue(rateText);
  if (!rate) {
    // Text that is no integer is refused as every conversion is; a number
    // of no bauds says what a rate must be.
    ParseInt(rateText);
    throw EConvertError("Скорость обмена должна быть целым числом больше нуля, а не " + rateText);
  }
  AttachPort(OpenSerialPort(name, *rate, 8, 0, 0,
                            StandardTimeouts(static_cast<uint32_t>(timeout)), kStandardFlagWord));
}

void EklzSession::AttachPort(std::unique_ptr<TRSPort> port) {
  RequireRunnerThread();
  port_ = std::move(port);
  if (port_) port_->SetCancelFlag(&cancel_);
}

void EklzSession::ThrowIfCancelled() const {
  if (CancelRequested()) throw EOperationCancelled();
}

void EklzSession::Pause(int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    ThrowIfCancelled();
    const auto now = std::chrono::steady_clock::now();
    if (now >= end) return;
    std::this_thread::sleep_for(
        std::min<std::chrono::steady_clock::duration>(end - now, std::chrono::milliseconds(kCancelCheckMs)));
  }
}

EklzSession::RunScope::RunScope(EklzSession& session) : session_(session) {
  bool idle = false;
  if (!session.running_.compare_exchange_strong(idle, true)) throw TEKLZException(kBusy);
  session.runner_.store(std::this_thread::get_id());
}

EklzSession::RunScope::~RunScope() {
  session_.runner_.store(std::thread::id());
  session_.ClearCancel();
  session_.running_.store(false);
}

EklzSession::CleanupScope::CleanupScope(EklzSession& session)
    : session_(session), wasCancelled_(session.cancel_.exchange(false)) {}

EklzSession::CleanupScope::~CleanupScope() {
  if (wasCancelled_) session_.RequestCancel();
}

namespace {

// A line as a text control shows it: device text ends at a NUL byte, and
// any other control character (a lone CR or LF among them) shows as a
// blank, so no raw control byte reaches a view or a terminal.
std::string ShownLine(std::string line) {
  if (const size_t nul = line.find('\0'); nul != std::string::npos) line.resize(nul);
  for (char& c : line) {
    const unsigned char b = static_cast<unsigned char>(c);
    if ((b < 0x20 && c != '\t') || b == 0x7F) c = ' ';
  }
  return line;
}

}  // namespace

std::vector<std::string> ShownLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(ShownLine(text.substr(start)));
      return lines;
    }
    lines.push_back(ShownLine(text.substr(start, end - start)));
    start = end + 2;
  }
}

void EklzSession::AppendResultLine(const std::string& text, bool quiet) {
  if (quiet) return;
  for (const std::string& line : ShownLines(text)) output_->ResultLine(line);
}

}  // namespace eklz
