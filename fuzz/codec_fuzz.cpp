// The hex-text codec, the code pages and the field encoders with operator
// text of any bytes: every input either converts or is refused with the
// codec's own error, and what converts survives the way back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "FuzzSupport.h"
#include "codec/Errors.h"
#include "codec/HexFrame.h"

using namespace eklz;

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const uint8_t selector = in.Byte();
  const uint8_t width = in.Byte();
  const std::string text = in.RestText();
  const CodePage page = (selector & 1) ? CodePage::Cp1251 : CodePage::Cp866;

  // Bytes to text and back.
  const Bytes raw(in.Rest(), in.Rest() + in.RestSize());
  Check(HexToBytes(BytesToHex(raw)) == raw);
  const std::string utf8 = ToUtf8(text, page);
  Check(IsValidUtf8(utf8));
  Check(Utf8Length(utf8) == text.size());

  // Typed frames and operator text.
  try {
    const Bytes frame = HexToBytes(text);
    Check(HexToBytes(BytesToHex(frame)) == frame);
  } catch (const EConvertError&) {
  }
  try {
    const std::string field = TextField(text, width, page);
    const Bytes bytes = HexToBytes(field);
    Check(bytes.size() >= width);
    Check(ToUtf8(std::string(bytes.begin(), bytes.end()), page).compare(0, text.size(), text) == 0);
  } catch (const TEKLZException&) {
    // Refused: a character the code page lacks, or malformed UTF-8.
  }
  if (IsValidUtf8(text)) {
    Check(Utf8Left(text, width).size() <= text.size());
    Check(Utf8Offset(text, width) <= text.size());
  }

  // Number, date and time fields as the operator types them.
  try { ParseInt(text); } catch (const EConvertError&) {}
  try {
    const long double v = ParseFloat(text);
    if (v == v && v < 1e15L && v > -1e15L) FormatGeneral(RoundHalfEven(v));
  } catch (const EConvertError&) {}
  try {
    const CalendarDate d = ParseShortDate(text);
    Check(IsValidDate(d.year, d.month, d.day));
    DateField(d);
  } catch (const EConvertError&) {}
  try { ParseShortDateYY(text); } catch (const EConvertError&) {}
  try { TimeField(ParseTime(text)); } catch (const EConvertError&) {}

  // Digit strings as BCD pairs and the frame helpers.
  DecimalToBcdHex(text, width);
  FrameChecksum(BytesToHex(raw));
  RemoveBlanks(BytesToHex(raw));
  return 0;
}
