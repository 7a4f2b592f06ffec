#include "sim/Device.h"

#include <algorithm>

#include "codec/CodePage.h"
#include "sim/Reports.h"

namespace eklz::sim {

namespace {

constexpr Money kMaxDocumentSum = 9999999999;     // 10 BCD digits
constexpr Money kMaxShiftSum = 999999999999;      // 12 BCD digits
constexpr Quantity kMaxShiftQuantity = 9999999999;  // 10 BCD digits
constexpr uint32_t kMaxKpk = 99999999;              // 8 BCD digits

bool IsItemKind(uint8_t code) { return code >= cmd::kSale && code <= cmd::kPurchaseReturn; }

bool IsTextBinding(uint8_t code) {
  return IsItemKind(code) || code == cmd::kDiscount || code == cmd::kMarkup ||
         code == cmd::kComplete || code == (cmd::kComplete | cmd::kTextForm);
}

// Data length of each request the device knows; -1 for a length that
// depends on the data, which the handler checks.
int ExpectedLength(uint8_t command) {
  switch (command) {
    case cmd::kExchangeParams:
    case cmd::kDump:
    case cmd::kControlTape:
    case cmd::kControlTape | cmd::kTextForm:
    case cmd::kShiftTotals:
    case cmd::kShiftTotals | cmd::kTextForm:
      return 2;
    case cmd::kStatus:
    case cmd::kArchiveTest:
      return 1;
    case cmd::kCloseShift:
    case cmd::kComplete:
    case cmd::kComplete | cmd::kTextForm:
      return 6;
    case cmd::kSale:
    case cmd::kPurchase:
    case cmd::kSaleReturn:
    case cmd::kPurchaseReturn:
      return 10;
    case cmd::kDiscount:
    case cmd::kMarkup:
      return 5;
    case cmd::kDocument:
    case cmd::kDocument | cmd::kTextForm:
      return 4;
    case cmd::kReportData:
    case cmd::kAbort:
    case cmd::kCloseArchive:
    case cmd::kRegNumber:
    case cmd::kRegNumber | cmd::kTextForm:
    case cmd::kActivationResult:
    case cmd::kActivationResult | cmd::kTextForm:
    case cmd::kInitArchive:
    case cmd::kVersion:
    case cmd::kVersion | cmd::kTextForm:
    case cmd::kCryptoSerial:
    case cmd::kCurrentKpk:
    case cmd::kProcessorDump:
    case cmd::kLiftArchiveClosed:
      return 0;
    default:
      return -1;
  }
}

bool IsKnown(uint8_t command) {
  if (ExpectedLength(command) >= 0) return true;
  switch (command) {
    case cmd::kActivate:
    case cmd::kActivate | cmd::kTextForm:
    case cmd::kFreeText:
    case cmd::kStorno:
    case cmd::kReport:
    case cmd::kReport | cmd::kTextForm:
      return true;
    default:
      return false;
  }
}

uint8_t FieldCode(FieldError e) {
  return e == FieldError::Malformed ? answer::kBadFormat : answer::kBadDateTime;
}

}  // namespace

std::string DefaultVersion() {
  return std::string("ver 3.0 01.2002 ") + '\0' + Utf8ToCp866("ЭКЛЗ");
}

Bytes RequestFrame(uint8_t command, const Bytes& data) { return FrameBytes(command, data); }

Bytes ReplyBytes(uint8_t answerByte, const Bytes& data) {
  Bytes r{kAck};
  const Bytes frame = FrameBytes(answerByte, data);
  r.insert(r.end(), frame.begin(), frame.end());
  return r;
}

Device::Device(Identity identity) : identity_(std::move(identity)) {
  if (identity_.version.empty()) identity_.version = DefaultVersion();
}

uint32_t Device::RateOfCode(int code) { return ExchangeRateOfIndex(code); }

int Device::CodeOfRate(uint32_t baud) { return ExchangeRateIndex(baud); }

Response Device::Handle(const Bytes& frame) {
  Response response;
  if (frame.size() < 3 || frame[0] != kStx || frame.size() != size_t{frame[1]} + 3u ||
      XorBytes(frame.data() + 1, frame.size() - 2) != frame.back()) {
    response.bytes = {kNak};
    return response;
  }
  if (frame[1] == 0) {  // no command byte at all
    response.bytes = ReplyBytes(answer::kBadFormat);
    return response;
  }
  const uint8_t command = frame[2];
  response.command = command;
  const Result result = Dispatch(command, frame.data() + 3, frame[1] - 1u);
  response.bytes = ReplyBytes(result.code, result.data);
  if (result.code == answer::kOk && result.changed) {
    ++revision_;
    if (command == cmd::kInitArchive) {
      journal_.clear();
    } else {
      journal_.push_back(frame);
    }
  }
  if (command == cmd::kInitArchive) {
    response.holdAt = 1;  // the ACK at once, the rest when the work is done
    response.holdMs = initDelayMs_;
  }
  return response;
}

Device::Result Device::Dispatch(uint8_t command, const uint8_t* d, size_t n) {
  if (!IsKnown(command)) return Code(answer::kBadFormat);
  const int expected = ExpectedLength(command);
  if (expected >= 0 && n != static_cast<size_t>(expected)) return Code(answer::kBadFormat);

  switch (command) {
    case cmd::kActivate:
    case cmd::kActivate | cmd::kTextForm:
      return Activate(command & cmd::kTextForm, d, n);
    case cmd::kExchangeParams: return ExchangeParams(d);
    case cmd::kDump: return Dump(d);
    case cmd::kFreeText: return FreeTextLine(d, n);
    case cmd::kReportData: return ReportData();
    case cmd::kAbort: return Abort();
    case cmd::kStatus: return Status(d[0]);
    case cmd::kArchiveTest: return Code(answer::kOk);
    case cmd::kCloseShift: return CloseShift(d);
    case cmd::kCloseArchive: return CloseArchive();
    case cmd::kLiftArchiveClosed: return LiftArchiveClosed();
    case cmd::kSale:
    case cmd::kPurchase:
    case cmd::kSaleReturn:
    case cmd::kPurchaseReturn:
      return Item(command, d);
    case cmd::kDiscount:
    case cmd::kMarkup:
      return DiscountOrMarkup(command, d);
    case cmd::kStorno: return Storno(d, n);
    case cmd::kComplete:
    case cmd::kComplete | cmd::kTextForm:
      return Complete(command & cmd::kTextForm, d);
    case cmd::kRegNumber: {
      Result r;
      AppendBcdDigits(r.data, identity_.eklzNumber);
      return r;
    }
    case cmd::kRegNumber | cmd::kTextForm:
      return Result{answer::kOk, Bytes(identity_.eklzNumber.begin(), identity_.eklzNumber.end()), false};
    case cmd::kVersion:
    case cmd::kVersion | cmd::kTextForm:
      return Result{answer::kOk, Bytes(identity_.version.begin(), identity_.version.end()), false};
    case cmd::kCryptoSerial: {
      const uint32_t s = identity_.processorSerial;
      return Result{answer::kOk,
                    {static_cast<uint8_t>(s >> 24), static_cast<uint8_t>(s >> 16),
                     static_cast<uint8_t>(s >> 8), static_cast<uint8_t>(s)},
                    false};
    }
    case cmd::kCurrentKpk: {
      const uint32_t k = archive_.lastKpk;
      return Result{answer::kOk,
                    {static_cast<uint8_t>(k >> 24), static_cast<uint8_t>(k >> 16),
                     static_cast<uint8_t>(k >> 8), static_cast<uint8_t>(k)},
                    false};
    }
    case cmd::kProcessorDump: return ProcessorDump();
    case cmd::kInitArchive: return InitArchive();
    default: return StartReport(command, d, n);
  }
}

uint8_t Device::StatusFlags() const {
  uint8_t f = 0;
  if (archive_.openDocument) {
    f |= flag::kDocument | static_cast<uint8_t>(KindIndex(archive_.openDocument->kind));
  }
  if (archive_.activation) {
    f |= flag::kActivated;
    if (!archive_.closed) f |= flag::kArchiveOpen;
  }
  if (reportPending_) f |= flag::kReport;
  if (archive_.OpenShift()) f |= flag::kShift;
  return f;
}

// Activation: once per archive; a second one is code 2. The data are 48
// bytes with a 16-character name or 72 with a 40-character one, and the
// line width byte must agree (code 1 otherwise, also for INN and
// registration numbers that are not BCD).
Device::Result Device::Activate(bool text, const uint8_t* d, size_t n) {
  if (n != 48 && n != 72) return Code(answer::kBadFormat);
  if (archive_.activation) return Code(answer::kBadState);
  Activation a;
  if (FieldError e = ReadDate(d, a.stamp.date); e != FieldError::None) return Code(FieldCode(e));
  if (FieldError e = ReadTime(d + 3, a.stamp.time); e != FieldError::None) return Code(FieldCode(e));
  a.serial.assign(reinterpret_cast<const char*>(d + 5), 12);
  const auto inn = ReadBcdDigits(d + 17, 6);
  const auto reg = ReadBcdDigits(d + 23, 6);
  if (!inn || !reg) return Code(answer::kBadFormat);
  a.inn = *inn;
  a.regNumber = *reg;
  a.lastShift = ReadWord(d + 29);
  a.lineWidth = d[31];
  if (a.lineWidth != (n == 48 ? 16 : 40)) return Code(answer::kBadFormat);
  a.name.assign(reinterpret_cast<const char*>(d + 32), n - 32);

  a.kpk = archive_.lastKpk + 1;
  a.kpkValue = KpkValue(a.kpk, a.stamp, 0, cmd::kActivate);
  archive_.lastKpk = a.kpk;
  archive_.last = a.stamp;
  archive_.activation = a;
  report_.clear();
  reportPending_ = false;
  Result r{answer::kOk, {}, true};
  if (text) {
    const std::string t = KpkText(a.kpk, a.kpkValue);
    r.data.assign(t.begin(), t.end());
  } else {
    r.data = KpkData(a.kpk, a.kpkValue);
  }
  return r;
}

Device::Result Device::ExchangeParams(const uint8_t* d) {
  if (RateOfCode(d[0]) == 0) return Code(answer::kBadFormat);
  // The reply goes out at the old rate; the server switches after it.
  rateCode_ = d[0];
  timeout_ = d[1];
  return Code(answer::kOk);
}

Device::Result Device::Dump(const uint8_t* d) const {
  const int page = ReadWord(d);
  if (page >= kArchivePages) return Code(answer::kBadFormat);
  return Result{answer::kOk, ArchivePage(page), false};
}

// Free text: 16 or 40 characters bound to a document command; kept with the
// open document, or with the next one when none is open.
Device::Result Device::FreeTextLine(const uint8_t* d, size_t n) {
  if ((n != 18 && n != 42) || !IsTextBinding(d[0])) return Code(answer::kBadFormat);
  if (const uint8_t s = DocumentState(); s != answer::kOk) return Code(s);
  FreeText t{d[0], d[1], std::string(reinterpret_cast<const char*>(d + 2), n - 2)};
  if (archive_.openDocument) {
    archive_.openDocument->texts.push_back(std::move(t));
  } else {
    archive_.pendingTexts.push_back(std::move(t));
  }
  return Result{answer::kOk, {}, true};
}

// The next fragment of the report being read; code 8 when nothing is left
// (also when no report was asked for), which ends the report.
Device::Result Device::ReportData() {
  if (report_.empty()) {
    reportPending_ = false;
    return Code(answer::kNoData);
  }
  Result r{answer::kOk, std::move(report_.front()), false};
  report_.pop_front();
  return r;
}

// Abort drops the open document (with its free texts) and the report being
// read. It always succeeds, also with nothing to drop.
Device::Result Device::Abort() {
  report_.clear();
  reportPending_ = false;
  const bool dropped = archive_.openDocument.has_value() || !archive_.pendingTexts.empty();
  archive_.openDocument.reset();
  archive_.pendingTexts.clear();
  return Result{answer::kOk, {}, dropped};
}

Device::Result Device::Status(uint8_t selector) const {
  Result r;
  if (selector == 1) {
    const Money total = archive_.openDocument ? archive_.openDocument->Total() : archive_.lastTotal;
    AppendBcd(r.data, static_cast<uint64_t>(total), 10);
    if (archive_.activation) {
      AppendDate(r.data, archive_.last.date);
      AppendTime(r.data, archive_.last.time);
    } else {
      r.data.insert(r.data.end(), 5, 0);
    }
    AppendBcd(r.data, archive_.lastKpk, 8);
    AppendBcdDigits(r.data, identity_.eklzNumber);
    r.data.push_back(StatusFlags());
  } else if (selector == 2) {
    const Shift* open = archive_.OpenShift();
    const uint16_t number = open ? open->number : static_cast<uint16_t>(NextShiftNumber() - 1);
    AppendWord(r.data, archive_.activation ? number : 0);
    const Totals totals = open ? open->totals : Totals{};
    for (Money sum : totals.sums) AppendBcd(r.data, static_cast<uint64_t>(sum), 12);
  } else {
    return Code(answer::kBadFormat);
  }
  return r;
}

uint8_t Device::DocumentState() const {
  if (!archive_.activation || archive_.closed || reportPending_) return answer::kBadState;
  return answer::kOk;
}

uint8_t Device::ReadStampAndOperator(const uint8_t* d, Stamp& stamp, uint8_t& op) const {
  if (FieldError e = ReadDate(d, stamp.date); e != FieldError::None) return FieldCode(e);
  if (FieldError e = ReadTime(d + 3, stamp.time); e != FieldError::None) return FieldCode(e);
  op = d[5];
  if (stamp.Key() < archive_.last.Key()) return answer::kBadDateTime;
  return answer::kOk;
}

uint16_t Device::NextShiftNumber() const {
  if (!archive_.shifts.empty()) return static_cast<uint16_t>(archive_.shifts.back().number + 1);
  return static_cast<uint16_t>((archive_.activation ? archive_.activation->lastShift : 0) + 1);
}

// Shift closing: code 2 with a document open; closing without an open
// shift records an empty shift (a closing report with zero totals).
Device::Result Device::CloseShift(const uint8_t* d) {
  if (const uint8_t s = DocumentState(); s != answer::kOk) return Code(s);
  Stamp stamp;
  uint8_t op = 0;
  if (const uint8_t c = ReadStampAndOperator(d, stamp, op); c != answer::kOk) return Code(c);
  if (archive_.openDocument) return Code(answer::kBadState);
  if (archive_.lastKpk >= kMaxKpk) return Code(answer::kOverflow);
  if (!archive_.OpenShift()) {
    if (NextShiftNumber() == 0) return Code(answer::kOverflow);
    Shift s;
    s.number = NextShiftNumber();
    archive_.shifts.push_back(s);
  }
  Shift& shift = *archive_.OpenShift();
  shift.closed = true;
  shift.closedAt = stamp;
  shift.closeOperator = op;
  shift.closeKpk = ++archive_.lastKpk;
  Money all = 0;
  for (Money s : shift.totals.sums) all += s;
  shift.closeKpkValue = KpkValue(shift.closeKpk, stamp, all, cmd::kCloseShift);
  archive_.last = stamp;
  return Result{answer::kOk, {}, true};
}

// Archive closing: needs an activated, open archive without an open shift
// or document (code 2 otherwise). Lifting the flag needs a closed archive.
Device::Result Device::CloseArchive() {
  if (DocumentState() != answer::kOk || archive_.OpenShift() || archive_.openDocument) {
    return Code(answer::kBadState);
  }
  archive_.closed = true;
  return Result{answer::kOk, {}, true};
}

Device::Result Device::LiftArchiveClosed() {
  if (!archive_.closed) return Code(answer::kBadState);
  archive_.closed = false;
  return Result{answer::kOk, {}, true};
}

// Sale, purchase and the returns: the first one opens a document of its kind
// (and a shift when none is open); a line of another kind in an open
// document is code 2; a document total beyond 10 digits is code 9.
Device::Result Device::Item(uint8_t kind, const uint8_t* d) {
  const auto quantity = ReadBcd(d + 1, 4);
  const auto sum = ReadBcd(d + 5, 5);
  if (!quantity || !sum) return Code(answer::kBadFormat);
  if (const uint8_t s = DocumentState(); s != answer::kOk) return Code(s);
  if (archive_.openDocument && archive_.openDocument->kind != kind) return Code(answer::kBadState);
  if (!archive_.openDocument && !archive_.OpenShift() && NextShiftNumber() == 0) {
    return Code(answer::kOverflow);
  }
  Document fresh;
  fresh.kind = kind;
  Document doc = archive_.openDocument.value_or(fresh);
  doc.items += static_cast<Money>(*sum);
  doc.quantity += static_cast<Quantity>(*quantity);
  if (doc.Total() > kMaxDocumentSum) return Code(answer::kOverflow);
  doc.operations.push_back(
      Operation{kind, 0, d[0], static_cast<Quantity>(*quantity), static_cast<Money>(*sum)});
  if (!archive_.OpenShift()) {
    Shift s;
    s.number = NextShiftNumber();
    archive_.shifts.push_back(s);
  }
  archive_.openDocument = std::move(doc);
  return Result{answer::kOk, {}, true};
}

// Discount and mark-up need an open document (code 2); a discount beyond the
// total is code 9.
Device::Result Device::DiscountOrMarkup(uint8_t code, const uint8_t* d) {
  const auto sum = ReadBcd(d, 5);
  if (!sum) return Code(answer::kBadFormat);
  if (const uint8_t s = DocumentState(); s != answer::kOk) return Code(s);
  if (!archive_.openDocument) return Code(answer::kBadState);
  Document& doc = *archive_.openDocument;
  const Money value = static_cast<Money>(*sum);
  const Money total = doc.Total() + (code == cmd::kDiscount ? -value : value);
  if (total < 0 || total > kMaxDocumentSum) return Code(answer::kOverflow);
  (code == cmd::kDiscount ? doc.discounts : doc.markups) += value;
  doc.operations.push_back(Operation{code, 0, 0, 0, value});
  return Result{answer::kOk, {}, true};
}

// Storno reverses part of an earlier line of the open document: an item of
// the document's own kind (11 data bytes; another kind is code 2), or a
// discount or mark-up (6 data bytes). Reversing more than was registered,
// or leaving a negative total, is code 9.
Device::Result Device::Storno(const uint8_t* d, size_t n) {
  if (n == 0) return Code(answer::kBadFormat);
  const uint8_t reversed = d[0];
  const bool item = IsItemKind(reversed);
  if (!item && reversed != cmd::kDiscount && reversed != cmd::kMarkup) return Code(answer::kBadFormat);
  if (n != (item ? 11u : 6u)) return Code(answer::kBadFormat);
  const auto quantity = item ? ReadBcd(d + 2, 4) : std::optional<uint64_t>(0);
  const auto sum = ReadBcd(d + (item ? 6 : 1), 5);
  if (!quantity || !sum) return Code(answer::kBadFormat);
  if (const uint8_t s = DocumentState(); s != answer::kOk) return Code(s);
  if (!archive_.openDocument) return Code(answer::kBadState);
  Document doc = *archive_.openDocument;
  if (item && reversed != doc.kind) return Code(answer::kBadState);
  const Money value = static_cast<Money>(*sum);
  if (item) {
    doc.items -= value;
    doc.quantity -= static_cast<Quantity>(*quantity);
    if (doc.items < 0 || doc.quantity < 0) return Code(answer::kOverflow);
  } else if (reversed == cmd::kDiscount) {
    doc.discounts -= value;
    if (doc.discounts < 0) return Code(answer::kOverflow);
  } else {
    doc.markups -= value;
    if (doc.markups < 0) return Code(answer::kOverflow);
  }
  if (doc.Total() < 0 || doc.Total() > kMaxDocumentSum) return Code(answer::kOverflow);
  doc.operations.push_back(Operation{cmd::kStorno, reversed, item ? d[1] : uint8_t{0},
                                     static_cast<Quantity>(*quantity), value});
  archive_.openDocument = std::move(doc);
  return Result{answer::kOk, {}, true};
}

// Completion closes the open document (code 2 without one), gives it the
// next KPK and adds it to the shift totals (code 9 when they would
// overflow). A date and time before the last record is code 7.
Device::Result Device::Complete(bool text, const uint8_t* d) {
  if (const uint8_t s = DocumentState(); s != answer::kOk) return Code(s);
  Stamp stamp;
  uint8_t op = 0;
  if (const uint8_t c = ReadStampAndOperator(d, stamp, op); c != answer::kOk) return Code(c);
  if (!archive_.openDocument) return Code(answer::kBadState);
  if (archive_.lastKpk >= kMaxKpk) return Code(answer::kOverflow);
  Shift& shift = *archive_.OpenShift();
  Document doc = std::move(*archive_.openDocument);
  const int k = KindIndex(doc.kind);
  if (shift.totals.sums[k] + doc.Total() > kMaxShiftSum ||
      shift.totals.quantities[k] + doc.quantity > kMaxShiftQuantity) {
    archive_.openDocument = std::move(doc);
    return Code(answer::kOverflow);
  }
  archive_.openDocument.reset();
  doc.stamp = stamp;
  doc.operatorCode = op;
  doc.texts.insert(doc.texts.begin(), archive_.pendingTexts.begin(), archive_.pendingTexts.end());
  archive_.pendingTexts.clear();
  doc.kpk = ++archive_.lastKpk;
  doc.kpkValue = KpkValue(doc.kpk, stamp, doc.Total(), doc.kind);
  shift.totals.sums[k] += doc.Total();
  shift.totals.quantities[k] += doc.quantity;
  archive_.last = stamp;
  archive_.lastTotal = doc.Total();

  Result r{answer::kOk, {}, true};
  if (text) {
    const std::string t = KpkText(doc.kpk, doc.kpkValue);
    r.data.assign(t.begin(), t.end());
  } else {
    r.data = KpkData(doc.kpk, doc.kpkValue);
  }
  shift.documents.push_back(std::move(doc));
  return r;
}

// Report queries (0x20..0x24 and their text forms): code 2 before
// activation or with a document open; code 1 for report types 0..3 and
// above 7; code 8 when there is nothing to report. A new query replaces a
// report that was not read to its end.
Device::Result Device::StartReport(uint8_t command, const uint8_t* d, size_t n) {
  const bool text = command & cmd::kTextForm;
  const uint8_t base = command & ~cmd::kTextForm;
  if (base == cmd::kReport) {
    if (n == 0 || d[0] < 4 || d[0] > 7) return Code(answer::kBadFormat);
    if (n != (d[0] < 6 ? 7u : 5u)) return Code(answer::kBadFormat);
  }
  if (!archive_.activation || archive_.openDocument) return Code(answer::kBadState);

  const ReportBuilder builder(archive_, identity_);
  Pieces pieces;
  switch (base) {
    case cmd::kControlTape:
    case cmd::kShiftTotals: {
      const Shift* shift = archive_.FindShift(ReadWord(d));
      if (shift && (shift->closed || !shift->documents.empty())) {
        pieces = base == cmd::kControlTape ? builder.ControlTape(*shift) : builder.ShiftTotals(*shift);
      }
      break;
    }
    case cmd::kDocument: {
      const auto kpk = ReadBcd(d, 4);
      if (!kpk) return Code(answer::kBadFormat);
      if (archive_.activation->kpk == *kpk) {
        pieces = builder.ActivationResult();
        break;
      }
      for (const Shift& s : archive_.shifts) {
        for (const Document& doc : s.documents) {
          if (doc.kpk == *kpk) pieces = builder.DocumentReport(doc);
        }
        if (s.closed && s.closeKpk == *kpk) pieces = builder.ShiftClosingReport(s);
      }
      break;
    }
    case cmd::kReport: {
      std::vector<const Shift*> shifts;
      if (d[0] < 6) {
        CalendarDate from, to;
        if (FieldError e = ReadDate(d + 1, from); e != FieldError::None) return Code(FieldCode(e));
        if (FieldError e = ReadDate(d + 4, to); e != FieldError::None) return Code(FieldCode(e));
        const int64_t lo = Stamp{from, {0, 0, 0}}.Key(), hi = Stamp{to, {23, 59, 0}}.Key();
        for (const Shift& s : archive_.shifts) {
          if (s.closed && s.closedAt.Key() >= lo && s.closedAt.Key() <= hi) shifts.push_back(&s);
        }
      } else {
        const uint16_t from = ReadWord(d + 1), to = ReadWord(d + 3);
        for (const Shift& s : archive_.shifts) {
          if (s.closed && s.number >= from && s.number <= to) shifts.push_back(&s);
        }
      }
      if (!shifts.empty()) pieces = builder.RangeReport(shifts, d[0] == 4 || d[0] == 6);
      break;
    }
    case cmd::kActivationResult:
      pieces = builder.ActivationResult();
      break;
    default:
      return Code(answer::kBadFormat);
  }

  const std::vector<Bytes> parts = text ? TextForm(pieces) : NumericForm(pieces);
  report_.clear();
  reportPending_ = false;
  if (parts.empty()) return Code(answer::kNoData);
  report_.assign(parts.begin() + 1, parts.end());
  reportPending_ = true;
  return Result{answer::kOk, parts.front(), false};
}

// Initialisation wipes the archive and returns the device to its factory
// state; identity and exchange parameters stay.
Device::Result Device::InitArchive() {
  archive_ = Archive{};
  report_.clear();
  reportPending_ = false;
  return Result{answer::kOk, {}, true};
}

// A block of processor memory holding the activation data (zeros on a
// device that was never activated).
Device::Result Device::ProcessorDump() const {
  Result r;
  Bytes& b = r.data;
  b.push_back(0);
  if (const auto& a = archive_.activation) {
    AppendDate(b, a->stamp.date);
    b.push_back(static_cast<uint8_t>(a->stamp.time.hour));
    b.push_back(static_cast<uint8_t>(a->stamp.time.minute));
    b.insert(b.end(), a->serial.begin(), a->serial.end());
    AppendBcdDigits(b, a->inn);
    AppendBcdDigits(b, a->regNumber);
    AppendWord(b, a->lastShift);
    b.push_back(0);
    std::string name = a->name;
    name.resize(40, ' ');
    b.insert(b.end(), name.begin(), name.end());
  } else {
    b.insert(b.end(), 72, 0);
  }
  b.insert(b.end(), 4, 0);
  const uint32_t s = identity_.processorSerial;
  for (int shift = 24; shift >= 0; shift -= 8) b.push_back(static_cast<uint8_t>(s >> shift));
  b.insert(b.end(), 4, 0);
  AppendBcdDigits(b, identity_.eklzNumber);
  return r;
}

uint32_t Device::KpkValue(uint32_t kpk, const Stamp& stamp, Money total, uint8_t kind) const {
  // A stand-in for the cryptographic check value: a 24-bit FNV-1a hash of
  // what the record says and of the device's own numbers.
  uint32_t h = 2166136261u;
  auto mix = [&h](uint64_t v) {
    for (int i = 0; i < 8; ++i) {
      h ^= static_cast<uint8_t>(v >> (8 * i));
      h *= 16777619u;
    }
  };
  mix(kpk);
  mix(static_cast<uint64_t>(stamp.Key()));
  mix(static_cast<uint64_t>(total));
  mix(kind);
  mix(identity_.processorSerial);
  for (char c : identity_.eklzNumber) mix(static_cast<uint8_t>(c));
  return (h ^ (h >> 24)) & 0xFFFFFF;
}

const Bytes& Device::ArchiveImage() const {
  if (imageRevision_ != revision_) {
    // Header: EKLZ number and processor serial; then every record as a
    // length byte and the fragment; a zero length ends the records.
    image_.clear();
    AppendBcdDigits(image_, identity_.eklzNumber);
    for (int shift = 24; shift >= 0; shift -= 8) {
      image_.push_back(static_cast<uint8_t>(identity_.processorSerial >> shift));
    }
    for (const Bytes& rec : ReportBuilder(archive_, identity_).AllRecords()) {
      image_.push_back(static_cast<uint8_t>(rec.size()));
      image_.insert(image_.end(), rec.begin(), rec.end());
    }
    image_.push_back(0);
    imageRevision_ = revision_;
  }
  return image_;
}

Bytes Device::ArchivePage(int page) const {
  Bytes out(kArchivePageSize, 0xFF);
  const Bytes& image = ArchiveImage();
  const size_t start = static_cast<size_t>(page) * kArchivePageSize;
  if (start < image.size()) {
    const size_t count = std::min<size_t>(kArchivePageSize, image.size() - start);
    std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(start), count, out.begin());
  }
  return out;
}

}  // namespace eklz::sim
