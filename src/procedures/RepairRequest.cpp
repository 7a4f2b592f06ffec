#include "procedures/RepairRequest.h"

#include <strings.h>

#include <functional>
#include <vector>

#include "commands/ArchiveDump.h"
#include "commands/Documents.h"
#include "commands/Information.h"
#include "commands/Status.h"
#include "codec/CodePage.h"
#include "codec/Errors.h"

namespace eklz {

namespace {
const char* const kSequenceBVersion = "ver 3.0 01.2002 ";
}

void RepairRequestPanel::ClearForRun() { detectFailure.clear(); }

std::string RepairFormVariable(const KkmParticulars& kkm, const RepairOrganisation& organisation,
                               const RepairRequestPanel& panel, const std::string& name) {
  const auto is = [&](const char* n) { return ::strcasecmp(name.c_str(), n) == 0; };
  if (is("NumRequest")) return panel.numRequest;
  if (is("FactoryNum")) return panel.serialNumEklz;
  if (is("DateOfActivate")) return FormatShortDate(kkm.activationDate.value_or(CalendarDate{}));
  if (is("ModelOfKKT")) return kkm.model.value_or("");
  if (is("FacoryNumOfKKT")) return kkm.serial.value_or("");
  if (is("NameOfCTO")) return organisation.name;
  if (is("DateOfBroken")) return FormatShortDate(panel.dateOfBroken);
  if (is("DateRequest")) return FormatShortDate(panel.dateOfCheck);
  if (is("FIOBOSS")) return organisation.head;
  if (is("ArhivNotSend")) {
    return panel.archiveTransferred ? "перенесены"
                                    : "не перенесены по причине: " + panel.failureToCarryOut;
  }
  if (is("M1")) return panel.developmentFailure;
  if (is("M2")) return panel.detectFailure;
  return "";
}

std::string RepairVersionText(const std::string& version) {
  const size_t nul = version.find('\0');
  if (nul == std::string::npos) return version;
  // Five characters go: the NUL and the four after it.
  const std::string tail = version.substr(nul);
  return version.substr(0, nul) + tail.substr(Utf8Offset(tail, 5));
}

KkmParticulars RunRepairRequest(EklzSession& s, bool textForm, bool quiet, bool logExchange,
                                RepairRequestPanel& panel, const KkmParticulars& known) {
  panel.ClearForRun();
  KkmParticulars kkm = known;

  std::string version;
  try {
    s.Output().StepProgress("Шаг", 1, 0);
    version = RepairVersionText(AskVersion(s, textForm, quiet, logExchange));
  } catch (const TEKLZException& e) {
    panel.detectFailure = e.what();
    version.clear();
  }

  const auto page = [&](int n) {
    return [&, n] { AskArchiveDump(s, false, "", n, n, true, quiet, logExchange); };
  };
  const std::function<void()> abort = [&] { DoAbort(s, quiet, logExchange); };
  const std::function<void()> crypto = [&] { AskCryptoSerial(s, quiet, logExchange); };
  const std::function<void()> status = [&] { AskStatus(s, quiet, logExchange); };
  const std::function<void()> shift = [&] { AskShiftStatus(s, quiet, logExchange); };
  const std::function<void()> archive = [&] { DoArchiveTest(s, quiet, logExchange); };
  const std::function<void()> processor = [&] {
    kkm.Update(AskProcessorDump(s, quiet, logExchange).kkm);
  };
  const std::function<void()> kpk = [&] { AskCurrentKpk(s, quiet, logExchange); };
  const std::function<void()> activation = [&] {
    kkm.Update(AskActivationResult(s, false, quiet, logExchange).kkm);
  };

  const std::vector<std::function<void()>> steps =
      version == kSequenceBVersion
          ? std::vector<std::function<void()>>{abort, page(0), page(8191), crypto, status, kpk,
                                               shift, archive, page(2), page(70), page(8191),
                                               page(8190), activation}
          : std::vector<std::function<void()>>{abort, page(0), page(8191), crypto, status, shift,
                                               archive, page(2), processor, page(486), page(8191)};
  const int stepCount = static_cast<int>(steps.size()) + 1;  // the version query first
  for (size_t i = 0; i < steps.size(); ++i) {
    s.Output().StepProgress("Шаг", static_cast<int>(i) + 2, stepCount);
    try {
      steps[i]();
    } catch (const TEKLZException& e) {
      panel.detectFailure += std::string("\r\n") + e.what();
    }
  }

  panel.dateOfActivate = kkm.activationDate.value_or(CalendarDate{});
  panel.dateOfCheck = Today();
  panel.dateOfBroken = Today();
  panel.nameKkm = kkm.model.value_or("");
  panel.serialNumKkm = kkm.serial.value_or("");
  return kkm;
}

}  // namespace eklz
