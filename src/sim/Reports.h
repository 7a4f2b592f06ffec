// Reports as the EKLZ hands them out: numeric fragments (a fragment code and
// its fields) and, for the text form of a query, printed lines in CP866.
// Each piece of a report carries both forms, so the two forms of a report
// always tell the same story.
#pragma once

#include <string>
#include <vector>

#include "sim/Model.h"

namespace eklz::sim {

// Fragment codes of the numeric form.
namespace frag {
inline constexpr uint8_t kDocumentHeader = 0x01, kDepartment = 0x02, kDiscount = 0x03,
                         kMarkup = 0x04, kKkmType = 0x05, kDocumentTotal = 0x06,
                         kKkmHeader = 0x07, kActivation = 0x08, kShiftClosing = 0x09,
                         kClosingTotals = 0x0A, kKpkLine = 0x0B, kKindTotals = 0x0C,
                         kShiftHeader = 0x0E, kXReport = 0x10;
}  // namespace frag

// One piece of a report: a numeric fragment (empty for what the numeric form
// does not show, such as a storno or a free text line) and its printed lines.
struct Piece {
  Bytes fragment;
  std::vector<std::string> lines;  // CP866
};
using Pieces = std::vector<Piece>;

class ReportBuilder {
 public:
  ReportBuilder(const Archive& archive, const Identity& identity);

  Pieces ActivationResult() const;                      // 07 05 08
  Pieces DocumentReport(const Document& document) const;  // 01, lines, 06, 0B
  Pieces ShiftClosingReport(const Shift& shift) const;  // 0E 0A 0B
  Pieces ControlTape(const Shift& shift) const;         // 0E, documents, 09 0B or 10
  Pieces ShiftTotals(const Shift& shift) const;         // 0E, then 0A 0B or 10
  // Report over closed shifts: 07, per shift 0E (0C when full) 0A, then 09
  // with the totals of the range.
  Pieces RangeReport(const std::vector<const Shift*>& shifts, bool full) const;

  // Everything the archive holds, oldest first, in numeric form: the
  // activation with its KPK line and the control tape of every shift.
  std::vector<Bytes> AllRecords() const;

 private:
  Piece KpkLine(uint32_t kpk, uint32_t value) const;
  Piece ShiftHeader(const Shift& shift) const;
  Piece Closing(uint8_t code, const Totals& totals, const char* title) const;
  std::string Fit(const std::string& labelUtf8, const std::string& value) const;

  const Archive& archive_;
  const Identity& identity_;
  size_t width_;
};

// The numeric fragments of a report (pieces without one are left out) and
// its text lines.
std::vector<Bytes> NumericForm(const Pieces& pieces);
std::vector<Bytes> TextForm(const Pieces& pieces);

// The reply data of completion and activation: KPK number (4 BCD bytes)
// and KPK value (3 bytes); and the same as a printed line.
Bytes KpkData(uint32_t kpk, uint32_t value);
std::string KpkText(uint32_t kpk, uint32_t value);

}  // namespace eklz::sim
