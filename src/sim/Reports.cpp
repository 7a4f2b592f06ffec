#include "sim/Reports.h"

#include <cstdio>

#include "codec/CodePage.h"

namespace eklz::sim {

namespace {

const char* KindName(uint8_t kind) {
  switch (kind) {
    case cmd::kSale: return "ПРОДАЖА";
    case cmd::kPurchase: return "ПОКУПКА";
    case cmd::kSaleReturn: return "ВОЗВР.ПРОДАЖИ";
    case cmd::kPurchaseReturn: return "ВОЗВР.ПОКУПКИ";
    case cmd::kDiscount: return "СКИДКИ";
    case cmd::kMarkup: return "НАЦЕНКИ";
    default: return "";
  }
}

std::string TrimRight(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
  return s;
}

std::string Two(int v) {
  char t[8];
  std::snprintf(t, sizeof t, "%02d", v % 100);
  return t;
}

}  // namespace

ReportBuilder::ReportBuilder(const Archive& archive, const Identity& identity)
    : archive_(archive),
      identity_(identity),
      width_(archive.activation ? archive.activation->lineWidth : 16) {}

std::string ReportBuilder::Fit(const std::string& labelUtf8, const std::string& value) const {
  std::string line = Utf8ToCp866(labelUtf8);
  const size_t used = line.size() + value.size();
  line.append(used + 1 <= width_ ? width_ - used : (line.empty() || value.empty() ? 0 : 1), ' ');
  return line + value;
}

Piece ReportBuilder::KpkLine(uint32_t kpk, uint32_t value) const {
  Piece p;
  p.fragment.push_back(frag::kKpkLine);
  const Bytes data = KpkData(kpk, value);
  p.fragment.insert(p.fragment.end(), data.begin(), data.end());
  p.lines.push_back(KpkText(kpk, value));
  return p;
}

Piece ReportBuilder::ShiftHeader(const Shift& shift) const {
  const Stamp at = shift.HeaderStamp();
  Piece p;
  p.fragment.push_back(frag::kShiftHeader);
  AppendWord(p.fragment, shift.number);
  AppendDate(p.fragment, at.date);
  AppendTime(p.fragment, at.time);
  p.fragment.push_back(shift.HeaderOperator());
  p.lines = {Fit("СМЕНА", std::to_string(shift.number)),
             Fit("", ShortDate(at.date) + " " + ShortTime(at.time)),
             Fit("ОПЕРАТОР", Two(shift.HeaderOperator()))};
  return p;
}

Piece ReportBuilder::Closing(uint8_t code, const Totals& totals, const char* title) const {
  Piece p;
  p.fragment.push_back(code);
  for (Money sum : totals.sums) AppendBcd(p.fragment, static_cast<uint64_t>(sum), 12);
  p.lines.push_back(Utf8ToCp866(title));
  for (int k = 0; k < 4; ++k) {
    p.lines.push_back(Fit(KindName(static_cast<uint8_t>(cmd::kSale + k)), MoneyText(totals.sums[k])));
  }
  return p;
}

Pieces ReportBuilder::ActivationResult() const {
  const Activation& a = *archive_.activation;
  Piece header;
  header.fragment.push_back(frag::kKkmHeader);
  header.fragment.insert(header.fragment.end(), a.serial.begin(), a.serial.end());
  AppendBcdDigits(header.fragment, identity_.eklzNumber);
  AppendBcdDigits(header.fragment, a.inn);
  header.lines = {Fit("ККМ", a.serial), Fit("ЭКЛЗ", identity_.eklzNumber), Fit("ИНН", a.inn)};

  Piece type;
  type.fragment.push_back(frag::kKkmType);
  type.fragment.insert(type.fragment.end(), a.name.begin(), a.name.end());
  type.lines = {TrimRight(a.name)};

  Piece act;
  act.fragment.push_back(frag::kActivation);
  AppendDate(act.fragment, a.stamp.date);
  AppendTime(act.fragment, a.stamp.time);
  AppendBcdDigits(act.fragment, a.regNumber);
  AppendWord(act.fragment, a.lastShift);
  act.lines = {Utf8ToCp866("АКТИВИЗАЦИЯ"), Fit("", ShortDate(a.stamp.date) + " " + ShortTime(a.stamp.time)),
               Fit("РН ККМ", a.regNumber), Fit("СМЕНА", std::to_string(a.lastShift))};
  return {header, type, act};
}

Pieces ReportBuilder::DocumentReport(const Document& d) const {
  Pieces out;
  Piece head;
  head.fragment = {frag::kDocumentHeader, d.kind};
  AppendDate(head.fragment, d.stamp.date);
  AppendTime(head.fragment, d.stamp.time);
  head.fragment.push_back(d.operatorCode);
  head.lines = {Fit(KindName(d.kind), Utf8ToCp866("ОП") + Two(d.operatorCode)),
                Fit("", ShortDate(d.stamp.date) + " " + ShortTime(d.stamp.time))};
  out.push_back(head);

  for (const FreeText& t : d.texts) out.push_back(Piece{{}, {TrimRight(t.bytes)}});
  for (const Operation& op : d.operations) {
    Piece p;
    switch (op.code) {
      case cmd::kDiscount:
      case cmd::kMarkup:
        p.fragment.push_back(op.code == cmd::kDiscount ? frag::kDiscount : frag::kMarkup);
        AppendBcd(p.fragment, static_cast<uint64_t>(op.sum), 10);
        p.lines = {Fit(op.code == cmd::kDiscount ? "СКИДКА" : "НАЦЕНКА", MoneyText(op.sum))};
        break;
      case cmd::kStorno:
        // The numeric form has no storno fragment; the total shows its effect.
        p.lines = {Fit(std::string("СТОРНО ") + KindName(op.reversed), MoneyText(op.sum))};
        break;
      default:
        p.fragment = {frag::kDepartment, op.department};
        AppendBcd(p.fragment, static_cast<uint64_t>(op.quantity), 8);
        AppendBcd(p.fragment, static_cast<uint64_t>(op.sum), 10);
        p.lines = {Fit("ОТДЕЛ " + Two(op.department), QuantityText(op.quantity)),
                   Fit("СУММА", MoneyText(op.sum))};
        break;
    }
    out.push_back(p);
  }

  Piece total;
  total.fragment.push_back(frag::kDocumentTotal);
  AppendBcd(total.fragment, static_cast<uint64_t>(d.Total()), 10);
  total.lines = {Fit("ИТОГ", MoneyText(d.Total()))};
  out.push_back(total);
  out.push_back(KpkLine(d.kpk, d.kpkValue));
  return out;
}

Pieces ReportBuilder::ShiftClosingReport(const Shift& shift) const {
  return {ShiftHeader(shift), Closing(frag::kClosingTotals, shift.totals, "ИТОГИ СМЕНЫ"),
          KpkLine(shift.closeKpk, shift.closeKpkValue)};
}

Pieces ReportBuilder::ControlTape(const Shift& shift) const {
  Pieces out{ShiftHeader(shift)};
  for (const Document& d : shift.documents) {
    const Pieces doc = DocumentReport(d);
    out.insert(out.end(), doc.begin(), doc.end());
  }
  if (shift.closed) {
    out.push_back(Closing(frag::kShiftClosing, shift.totals, "ЗАКРЫТИЕ СМЕНЫ"));
    out.push_back(KpkLine(shift.closeKpk, shift.closeKpkValue));
  } else {
    // An open shift ends with its running totals, as an X report.
    Piece x;
    x.fragment.push_back(frag::kXReport);
    AppendWord(x.fragment, shift.number);
    for (Money sum : shift.totals.sums) AppendBcd(x.fragment, static_cast<uint64_t>(sum), 12);
    x.lines = {Utf8ToCp866("Х-ОТЧЕТ"), Fit("СМЕНА", std::to_string(shift.number))};
    for (int k = 0; k < 4; ++k) {
      x.lines.push_back(Fit(KindName(static_cast<uint8_t>(cmd::kSale + k)), MoneyText(shift.totals.sums[k])));
    }
    out.push_back(x);
  }
  return out;
}

Pieces ReportBuilder::ShiftTotals(const Shift& shift) const {
  if (shift.closed) return ShiftClosingReport(shift);
  Pieces tape = ControlTape(shift);
  return {tape.front(), tape.back()};
}

Pieces ReportBuilder::RangeReport(const std::vector<const Shift*>& shifts, bool full) const {
  Pieces out{ActivationResult().front()};
  Totals range;
  for (const Shift* s : shifts) {
    out.push_back(ShiftHeader(*s));
    if (full) {
      Piece kinds;
      kinds.fragment.push_back(frag::kKindTotals);
      kinds.lines.push_back(Utf8ToCp866("ПО ВИДАМ"));
      for (int k = 0; k < 4; ++k) {
        AppendBcd(kinds.fragment, static_cast<uint64_t>(s->totals.quantities[k]), 10);
        AppendBcd(kinds.fragment, static_cast<uint64_t>(s->totals.sums[k]), 12);
        kinds.lines.push_back(Fit(KindName(static_cast<uint8_t>(cmd::kSale + k)),
                                  QuantityText(s->totals.quantities[k])));
        kinds.lines.push_back(Fit("СУММА", MoneyText(s->totals.sums[k])));
      }
      out.push_back(kinds);
    }
    out.push_back(Closing(frag::kClosingTotals, s->totals, "ИТОГИ СМЕНЫ"));
    for (int k = 0; k < 4; ++k) {
      range.sums[k] += s->totals.sums[k];
      range.quantities[k] += s->totals.quantities[k];
    }
  }
  out.push_back(Closing(frag::kShiftClosing, range, "ИТОГИ ЗА ПЕРИОД"));
  return out;
}

std::vector<Bytes> ReportBuilder::AllRecords() const {
  std::vector<Bytes> out;
  if (!archive_.activation) return out;
  Pieces all = ActivationResult();
  all.push_back(KpkLine(archive_.activation->kpk, archive_.activation->kpkValue));
  for (const Shift& s : archive_.shifts) {
    const Pieces tape = ControlTape(s);
    all.insert(all.end(), tape.begin(), tape.end());
  }
  return NumericForm(all);
}

std::vector<Bytes> NumericForm(const Pieces& pieces) {
  std::vector<Bytes> out;
  for (const Piece& p : pieces) {
    if (!p.fragment.empty()) out.push_back(p.fragment);
  }
  return out;
}

std::vector<Bytes> TextForm(const Pieces& pieces) {
  std::vector<Bytes> out;
  for (const Piece& p : pieces) {
    for (const std::string& line : p.lines) {
      // A reply without data would read as the end of the report: a blank
      // line (an empty free text, a blank name) goes out as one blank.
      if (line.empty()) {
        out.push_back({' '});
      } else {
        out.emplace_back(line.begin(), line.end());
      }
    }
  }
  return out;
}

Bytes KpkData(uint32_t kpk, uint32_t value) {
  Bytes out;
  AppendBcd(out, kpk, 8);
  out.push_back(static_cast<uint8_t>(value >> 16));
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value));
  return out;
}

std::string KpkText(uint32_t kpk, uint32_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "%08u #%06X", static_cast<unsigned>(kpk),
                static_cast<unsigned>(value & 0xFFFFFF));
  return text;
}

}  // namespace eklz::sim
