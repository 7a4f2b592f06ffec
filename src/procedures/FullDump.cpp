#include "procedures/FullDump.h"

#include <chrono>
#include <iterator>

#include "codec/CommandCodes.h"
#include "codec/Errors.h"
#include "commands/Activation.h"
#include "commands/ArchiveDump.h"
#include "commands/Status.h"
#include "settings/Settings.h"

namespace eklz {

namespace {

// A line rate and the device's time-out at it.
struct LineRate {
  std::string rate;
  int timeout = 0;
  bool operator==(const LineRate&) const = default;
};

LineRate RateInForce(const EklzSession& s) { return {s.settings.BoundRate, s.settings.TimeOuts}; }

// The settings file's record of the rate the device is at: kept while that
// is not the rate the run started with, so that a program ended without its
// clean-up (kill -9, power loss) still finds the device at its next start.
class RateRecord {
 public:
  RateRecord(EklzSession& s, LineRate original) : s_(s), original_(std::move(original)) {}

  void DeviceAt(const LineRate& r) {
    if (s_.settingsFile.empty()) return;
    if (r == original_) {
      ClearRaisedRate(s_.settingsFile);
    } else {
      RecordRaisedRate(s_.settingsFile, {r.rate, r.timeout});
    }
  }

 private:
  EklzSession& s_;
  LineRate original_;
};

// Switches the EKLZ and the port to `r` through the exchange-parameters
// command, sent at the rate in force.
void SwitchTo(EklzSession& s, const LineRate& r, bool quiet, bool logExchange) {
  DoSetExchangeParams(s, s.settings.ComPort, ExchangeRateIndex(r.rate), r.timeout, r.rate, quiet,
                      logExchange);
}

// Whether the device answers at the rate in force. The check is a status
// query: it only reads the device's state, changes nothing on it and has a
// short reply. A reply with any answer code shows that the link works.
bool LinkAnswers(EklzSession& s, bool logExchange) {
  s.LastAnswer = {};
  try {
    AskStatus(s, true, logExchange);
    return true;
  } catch (const TEKLZException&) {
    return !s.LastAnswer.Message.empty();
  }
}

// After a switch to `to` whose reply did not come: whether the device took
// it all the same (a line that fails at the old rate may lose only the
// reply) and answers at `to`. The port and the settings follow the device
// when it does, and stay at the rate in force when it does not.
bool AnswersAfterLostReply(EklzSession& s, const LineRate& to, bool logExchange) {
  const LineRate from = RateInForce(s);
  const std::string port = s.settings.ComPort;
  s.OpenPort(port, to.rate, to.timeout);
  if (LinkAnswers(s, logExchange)) {
    s.settings.BoundRate = to.rate;
    s.settings.TimeOuts = to.timeout;
    s.ShowLinkEstablished();
    return true;
  }
  s.OpenPort(port, from.rate, from.timeout);
  return false;
}

// Raises the line rate to the first of `rates` that the device takes and,
// with `checkLink`, answers a status query at. A rate left behind is left
// through the exchange-parameters command at the rate in force. Without
// `checkLink` the first rate is taken as it is and its failure ends the run.
// When no rate passes, the device is set back to `original`.
void RaiseSpeed(EklzSession& s, RateRecord& record, const LineRate& original,
                const std::vector<std::string>& rates, bool checkLink, bool quiet,
                bool logExchange) {
  for (const std::string& rate : rates) {
    const LineRate to{rate, kRaisedTimeout};
    const bool stepDown = RateInForce(s) != original;
    // Recorded first: a program killed from here on still finds the device.
    record.DeviceAt(to);
    s.LastAnswer = {};
    try {
      SwitchTo(s, to, quiet, logExchange);
    } catch (const TEKLZException&) {
      // The switch did not happen: the port and the settings stay at the
      // rate in force. A device that answered with a refusal is at that
      // rate; one that did not answer most likely did not take the command,
      // unless the link at a rate being left behind lost only its reply.
      const bool refused = !s.LastAnswer.Message.empty();
      if (checkLink && !refused && stepDown && AnswersAfterLostReply(s, to, logExchange)) {
        s.AppendResultLine("Связь на скорости " + rate + " проверена", quiet);
        return;
      }
      record.DeviceAt(RateInForce(s));
      if (!checkLink || !refused) throw;
      s.AppendResultLine("ЭКЛЗ не приняла скорость " + rate, quiet);
      continue;
    } catch (...) {
      record.DeviceAt(RateInForce(s));
      throw;
    }
    if (!checkLink) return;
    if (LinkAnswers(s, logExchange)) {
      s.AppendResultLine("Связь на скорости " + rate + " проверена", quiet);
      return;
    }
    s.AppendResultLine("ЭКЛЗ не отвечает на скорости " + rate, quiet);
  }
  s.AppendResultLine("Повышенная скорость не установлена, дамп на скорости " + original.rate,
                     quiet);
  if (RateInForce(s) != original) {
    SwitchTo(s, original, quiet, logExchange);
    record.DeviceAt(original);
  }
}

// Sets the EKLZ and the port back to the rate and time-out they had before
// the dump raised the speed.
void RestoreSpeed(EklzSession& s, RateRecord& record, const LineRate& original, bool quiet,
                  bool logExchange) {
  if (RateInForce(s) == original) {
    record.DeviceAt(original);
    return;
  }
  if (ExchangeRateIndex(original.rate) < 0) {
    throw TEKLZException("Скорость " + original.rate +
                         " не входит в список скоростей обмена ЭКЛЗ, прежняя скорость не "
                         "восстановлена: ЭКЛЗ и порт остаются на скорости " + s.settings.BoundRate);
  }
  SwitchTo(s, original, quiet, logExchange);
  record.DeviceAt(original);
}

// After a failure the speed is set back when the device still answers; the
// failure stays what the run reports, with its answer.
void TryRestoreSpeed(EklzSession& s, RateRecord& record, const LineRate& original, bool quiet,
                     bool logExchange) {
  const TAnswerInfo failedAnswer = s.LastAnswer;
  EklzSession::CleanupScope cleanup(s);
  try {
    RestoreSpeed(s, record, original, quiet, logExchange);
  } catch (const std::exception& e) {
    s.AppendResultLine(std::string("Скорость обмена не восстановлена: ") + e.what(), false);
  }
  s.LastAnswer = failedAnswer;
}

}  // namespace

std::vector<std::string> FullDumpRaiseRates(int raiseTo) {
  // The fastest: every fixed rate of the list, from the highest down.
  if (raiseTo == kFullDumpFastest) {
    return {std::make_reverse_iterator(kFullDumpRates + kFullDumpFastest),
            std::make_reverse_iterator(kFullDumpRates + 0)};
  }
  if (raiseTo < 0 || raiseTo >= kFullDumpFastest) return {};
  return {kFullDumpRates[raiseTo]};
}

void RunFullDump(EklzSession& s, const std::string& fileName, bool raiseSpeed, bool quiet,
                 bool logExchange, const FullDumpOptions& options) {
  // Everything that can refuse the run does so before the device changes.
  int firstPage = 0;
  if (options.resume) {
    firstPage = DumpFilePages(fileName);
    if (firstPage >= kArchivePages) {
      s.AppendResultLine("Файл дампа \"" + fileName + "\" уже содержит все " +
                             std::to_string(kArchivePages) + " страниц архива",
                         quiet);
      return;
    }
    if (firstPage > 0) {
      s.AppendResultLine("Дамп продолжается со страницы " + std::to_string(firstPage), quiet);
    }
  }
  const std::vector<std::string> rates =
      raiseSpeed ? FullDumpRaiseRates(options.raiseTo) : std::vector<std::string>{};
  if (raiseSpeed && rates.empty()) throw TEKLZException("Не выбрана скорость дампа");

  const LineRate original = RateInForce(s);
  RateRecord record(s, original);
  const auto started = std::chrono::steady_clock::now();
  std::string dumpRate = original.rate;
  bool cancelled = false;
  try {
    if (raiseSpeed) {
      RaiseSpeed(s, record, original, rates, options.raiseTo == kFullDumpFastest, quiet,
                 logExchange);
      dumpRate = s.settings.BoundRate;
    }
    if (options.resume) {
      AppendArchiveDump(s, fileName, firstPage, kArchivePages - 1, quiet, logExchange);
    } else {
      AskArchiveDump(s, true, fileName, 0, kArchivePages - 1, false, quiet, logExchange);
    }
  } catch (const EOperationCancelled&) {
    // The operator stopped the run in a wait; the device did not fail.
    if (!raiseSpeed) throw;
    cancelled = true;
  } catch (...) {
    if (raiseSpeed) TryRestoreSpeed(s, record, original, quiet, logExchange);
    throw;
  }
  if (raiseSpeed) {
    // Also after a cancel (in a wait or between pages) the raised speed is set
    // back: the EKLZ must not be left at a rate the settings do not name.
    EklzSession::CleanupScope cleanup(s);
    RestoreSpeed(s, record, original, quiet, logExchange);
  }
  if (cancelled) throw EOperationCancelled();
  // A dump whose file now holds the whole archive ends with what it did.
  if (DumpFilePages(fileName) == kArchivePages) {
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started).count();
    const int fetched = kArchivePages - firstPage;
    s.AppendResultLine("Дамп архива завершён: " + PagesWrittenText(firstPage, fetched, fetched) + ", файл \"" +
                           fileName + "\", скорость " + dumpRate + ", время " + DurationText(seconds),
                       false);
  }
}

}  // namespace eklz
