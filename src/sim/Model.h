// What the simulated EKLZ keeps: its identity, the activation record, the
// shifts with their documents, the document being registered and the KPK
// counter. Plain data; Device changes it, Reports reads it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "codec/CommandCodes.h"
#include "sim/Fields.h"

namespace eklz::sim {

using Money = int64_t;     // hundredths
using Quantity = int64_t;  // thousandths

// Command codes of the EKLZ line, shared with the tester.
namespace cmd = ::eklz::code;

// Index 0..3 of a document kind (sale, purchase, sale return, purchase
// return), which is also the value of the status flags t.
inline int KindIndex(uint8_t kind) { return kind - cmd::kSale; }

// One registered line of a document.
struct Operation {
  uint8_t code = 0;      // 0x10..0x13 item, 0x16 discount, 0x17 mark-up, 0x18 storno
  uint8_t reversed = 0;  // storno only: the code of the reversed operation
  uint8_t department = 0;
  Quantity quantity = 0;
  Money sum = 0;
};

// A free text line (command 0x04), kept with the document it was entered for.
struct FreeText {
  uint8_t binding = 0;
  uint8_t department = 0;
  std::string bytes;  // 16 or 40 bytes as received
};

struct Document {
  uint8_t kind = cmd::kSale;
  std::vector<Operation> operations;
  std::vector<FreeText> texts;
  Money items = 0;          // item sums less item stornos
  Quantity quantity = 0;    // item quantities less item stornos
  Money discounts = 0;      // discounts less discount stornos
  Money markups = 0;        // mark-ups less mark-up stornos
  Money Total() const { return items - discounts + markups; }
  // Set on completion.
  Stamp stamp;
  uint8_t operatorCode = 0;
  uint32_t kpk = 0;
  uint32_t kpkValue = 0;
};

// Running totals by document kind.
struct Totals {
  std::array<Money, 4> sums{};
  std::array<Quantity, 4> quantities{};
};

struct Shift {
  uint16_t number = 0;
  std::vector<Document> documents;
  Totals totals;
  bool closed = false;
  Stamp closedAt;
  uint8_t closeOperator = 0;
  uint32_t closeKpk = 0;
  uint32_t closeKpkValue = 0;
  // The shift header shows the first document's date, time and operator, or
  // those of the closing when the shift has no document.
  Stamp HeaderStamp() const { return documents.empty() ? closedAt : documents.front().stamp; }
  uint8_t HeaderOperator() const {
    return documents.empty() ? closeOperator : documents.front().operatorCode;
  }
};

struct Activation {
  Stamp stamp;
  std::string serial;     // 12 bytes as received
  std::string inn;        // 12 digits
  std::string regNumber;  // 12 digits
  uint16_t lastShift = 0;
  uint8_t lineWidth = 16;
  std::string name;       // 16 or 40 bytes as received
  uint32_t kpk = 0;
  uint32_t kpkValue = 0;
};

// Everything archive initialisation wipes.
struct Archive {
  std::optional<Activation> activation;
  bool closed = false;                    // archive closing (0x0A) done
  std::vector<Shift> shifts;              // oldest first; only the last may be open
  std::optional<Document> openDocument;
  std::vector<FreeText> pendingTexts;     // entered before the next document completes
  uint32_t lastKpk = 0;
  Stamp last;                             // date and time of the last record
  Money lastTotal = 0;                    // total of the last completed document

  Shift* OpenShift() {
    return !shifts.empty() && !shifts.back().closed ? &shifts.back() : nullptr;
  }
  const Shift* OpenShift() const {
    return !shifts.empty() && !shifts.back().closed ? &shifts.back() : nullptr;
  }
  const Shift* FindShift(uint16_t number) const {
    for (const Shift& s : shifts) {
      if (s.number == number) return &s;
    }
    return nullptr;
  }
};

// What stays with the device through archive initialisation.
struct Identity {
  std::string eklzNumber = "0000054321";  // 10 digits
  uint32_t processorSerial = 0x1A2B3C4D;
  std::string version;                    // CP866 bytes; empty: the default
};

// "ver 3.0 01.2002 ", a NUL and four characters, in CP866.
std::string DefaultVersion();

}  // namespace eklz::sim
