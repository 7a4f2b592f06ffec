#include "protocol/Session.h"

#include "protocol/Errors.h"

namespace eklz {

EklzSession::EklzSession(OutputSink& output, Settings s) : settings(std::move(s)), output_(&output) {}

TRSPort& EklzSession::Port() {
  if (!port_) throw TEKLZException("Нет соединения");
  return *port_;
}

void EklzSession::OpenPort(const std::string& name, const std::string& rateText, int timeout) {
  port_.reset();
  const int32_t rate = ParseInt(rateText);
  port_ = std::make_unique<TRSPort>(name, static_cast<uint32_t>(rate), 8, 0, 0,
                                    StandardTimeouts(static_cast<uint32_t>(timeout)),
                                    kStandardFlagWord);
}

void EklzSession::AppendResultLine(const std::string& text, bool quiet) {
  if (quiet) return;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      output_->ResultLine(text.substr(start));
      return;
    }
    output_->ResultLine(text.substr(start, end - start));
    start = end + 2;
  }
}

}  // namespace eklz
