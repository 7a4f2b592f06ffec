#include "sim/Demo.h"

#include <stdexcept>

#include "codec/CodePage.h"

namespace eklz::sim::request {

namespace {
void AppendStamp(Bytes& b, const Stamp& at) {
  AppendDate(b, at.date);
  AppendTime(b, at.time);
}
}  // namespace

Bytes Activate(const Stamp& at, const std::string& serial, const std::string& inn,
               const std::string& regNumber, uint16_t lastShift, uint8_t lineWidth,
               const std::string& nameBytes, bool text) {
  Bytes d;
  AppendStamp(d, at);
  d.insert(d.end(), serial.begin(), serial.end());
  AppendBcdDigits(d, inn);
  AppendBcdDigits(d, regNumber);
  AppendWord(d, lastShift);
  d.push_back(lineWidth);
  std::string name = nameBytes;
  if (name.size() < lineWidth) name.resize(lineWidth, ' ');
  d.insert(d.end(), name.begin(), name.end());
  return RequestFrame(text ? cmd::kActivate | cmd::kTextForm : cmd::kActivate, d);
}

Bytes Item(uint8_t kind, uint8_t department, Quantity quantity, Money sum) {
  Bytes d{department};
  AppendBcd(d, static_cast<uint64_t>(quantity), 8);
  AppendBcd(d, static_cast<uint64_t>(sum), 10);
  return RequestFrame(kind, d);
}

Bytes Discount(Money sum) {
  Bytes d;
  AppendBcd(d, static_cast<uint64_t>(sum), 10);
  return RequestFrame(cmd::kDiscount, d);
}

Bytes Markup(Money sum) {
  Bytes d;
  AppendBcd(d, static_cast<uint64_t>(sum), 10);
  return RequestFrame(cmd::kMarkup, d);
}

Bytes Storno(uint8_t reversed, uint8_t department, Quantity quantity, Money sum) {
  Bytes d{reversed};
  if (reversed < 0x14) {
    d.push_back(department);
    AppendBcd(d, static_cast<uint64_t>(quantity), 8);
  }
  AppendBcd(d, static_cast<uint64_t>(sum), 10);
  return RequestFrame(cmd::kStorno, d);
}

Bytes Complete(const Stamp& at, uint8_t op, bool text) {
  Bytes d;
  AppendStamp(d, at);
  d.push_back(op);
  return RequestFrame(text ? cmd::kComplete | cmd::kTextForm : cmd::kComplete, d);
}

Bytes CloseShift(const Stamp& at, uint8_t op) {
  Bytes d;
  AppendStamp(d, at);
  d.push_back(op);
  return RequestFrame(cmd::kCloseShift, d);
}

Bytes FreeText(uint8_t binding, uint8_t department, const std::string& cp866, size_t length) {
  Bytes d{binding, department};
  std::string text = cp866.substr(0, length);
  text.resize(length, ' ');
  d.insert(d.end(), text.begin(), text.end());
  return RequestFrame(cmd::kFreeText, d);
}

}  // namespace eklz::sim::request

namespace eklz::sim {

void BuildDemo(Device& device) {
  using request::Activate, request::Item, request::Discount, request::Markup, request::Storno,
      request::Complete, request::CloseShift;
  auto at = [](int day, int hour, int minute) {
    return Stamp{CalendarDate{2024, 3, day}, ClockTime{hour, minute, 0}};
  };
  const Bytes script[] = {
      // The name in Windows-1251, the tester's default code page for texts
      // it exchanges with the EKLZ.
      Activate(at(11, 8, 30), "000000123456", "771234567890", "000000654321", 0, 40,
               Utf8ToCp1251("КАССА-ДЕМО")),
      // Shift 1: a sale with a discount, a purchase, a sale return with a note.
      Item(cmd::kSale, 1, 1000, 10000), Item(cmd::kSale, 2, 2500, 25000), Discount(1000),
      Complete(at(11, 9, 15), 1),
      Item(cmd::kPurchase, 1, 1000, 5000), Complete(at(11, 10, 0), 1),
      request::FreeText(cmd::kSaleReturn, 1, Utf8ToCp866("ВОЗВРАТ ПО ЧЕКУ 2"), 16),
      Item(cmd::kSaleReturn, 1, 1000, 10000), Complete(at(11, 11, 0), 2),
      CloseShift(at(11, 20, 0), 1),
      // Shift 2: a sale with a mark-up and a storno, a purchase return.
      Item(cmd::kSale, 3, 3000, 3000), Markup(500), Storno(cmd::kSale, 3, 1000, 1000),
      Complete(at(12, 9, 5), 1),
      Item(cmd::kPurchaseReturn, 1, 1000, 2000), Complete(at(12, 12, 30), 1),
      CloseShift(at(12, 19, 45), 1),
      // Shift 3: one large sale.
      Item(cmd::kSale, 1, 1500, 150000), Complete(at(13, 10, 10), 3),
      CloseShift(at(13, 21, 0), 1),
  };
  for (const Bytes& frame : script) {
    const Response r = device.Handle(frame);
    if (r.bytes.size() < 4 || r.bytes[3] != answer::kOk) {
      throw std::logic_error("the demo script was refused by the device");
    }
  }
}

}  // namespace eklz::sim
