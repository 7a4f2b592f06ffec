#include "protocol/Fragments.h"

#include "codec/CodePage.h"
#include "codec/HexFrame.h"

namespace eklz {

namespace {

const char* const kCrLf = "\r\n";

// Reads the fields of one fragment by byte position (byte 1 is the code).
class FragmentReader {
 public:
  explicit FragmentReader(const std::string& hex) : hex_(hex) {}

  std::string Digits(size_t firstByte, size_t count) const {
    return hex_.substr(2 * firstByte - 2, 2 * count);
  }
  int Byte(size_t n) const { return HexByteAt(hex_, 2 * n - 1); }
  int Word(size_t n) const { return Byte(n) * 256 + Byte(n + 1); }
  std::string Date(size_t n) const { return BcdDateText(Digits(n, 3)); }
  std::string Time(size_t n) const { return BcdTimeText(Digits(n, 2)); }
  // BCD amount of `count` bytes whose last `fraction` digits follow the point.
  std::string Amount(size_t n, size_t count, size_t fraction) const {
    const std::string d = Digits(n, count);
    return StripLeadingZeros(d.substr(0, d.size() - fraction) + "." + d.substr(d.size() - fraction));
  }
  std::string Money(size_t n, size_t count) const { return Amount(n, count, 2); }
  std::string Quantity(size_t n, size_t count) const { return Amount(n, count, 3); }
  std::string Text(size_t n, size_t count) const { return HexDigitsToText(Digits(n, count)); }
  std::string Bytes(size_t n, size_t count) const {
    std::string out;
    for (size_t i = n; i < n + count; ++i) out += static_cast<char>(Byte(i));
    return out;
  }
  size_t Size() const { return hex_.size() / 2; }

 private:
  const std::string& hex_;
};

std::string Field(const std::string& label, const std::string& value) {
  return "    " + label + ":" + value + kCrLf;
}

std::string CommandName(int code) {
  switch (code) {
    case 0x10: return "продажи";
    case 0x11: return "покупки";
    case 0x12: return "возврата продажи";
    case 0x13: return "возврата покупки";
    case 0x16: return "скидки";
    case 0x17: return "наценки";
    default: return "НЕ РАСПОЗНАНА";
  }
}

// The four shift sums shared by 09H, 0AH and 10H, starting at byte `n`.
std::string ShiftSums(const FragmentReader& f, size_t n) {
  return Field("Сумма продажи", f.Money(n, 6)) + Field("Сумма покупки", f.Money(n + 6, 6)) +
         Field("Сумма возврата продажи", f.Money(n + 12, 6)) +
         Field("Сумма возврата покупки", f.Money(n + 18, 6));
}

// The least number of bytes each known fragment code needs.
size_t LayoutSize(int code) {
  switch (code) {
    case 0x01: return 8;
    case 0x02: return 11;
    case 0x03:
    case 0x04:
    case 0x06: return 6;
    case 0x05: return 1;
    case 0x07: return 24;
    case 0x08: return 14;
    case 0x09:
    case 0x0A: return 25;
    case 0x0B: return 8;
    case 0x0C: return 45;
    case 0x0E: return 9;
    case 0x10: return 27;
    default: return 0;
  }
}

bool IsHexText(const std::string& hex) {
  if (hex.size() % 2 != 0) return false;
  for (char c : hex) {
    if (HexDigitValue(c) < 0) return false;
  }
  return true;
}

}  // namespace

int HexByteAt(const std::string& hexDigits, size_t position) {
  return HexDigitValue(hexDigits[position - 1]) * 16 + HexDigitValue(hexDigits[position]);
}

std::string HexDigitsToText(const std::string& hexDigits) {
  std::string bytes;
  bytes.reserve(hexDigits.size() / 2);
  for (size_t i = 0; i + 1 < hexDigits.size(); i += 2) {
    bytes += static_cast<char>(HexByteAt(hexDigits, i + 1));
  }
  return Cp1251ToUtf8(bytes);
}

std::string BcdDateText(const std::string& d) {
  return d.substr(4, 2) + "." + d.substr(2, 2) + "." + d.substr(0, 2);
}

std::string BcdTimeText(const std::string& d) { return d.substr(0, 2) + ":" + d.substr(2, 2); }

std::string StripLeadingZeros(const std::string& text) {
  size_t i = 0;
  while (i + 1 < text.size() && text[i] == '0' && text[i + 1] != '.') ++i;
  return text.substr(i);
}

DecodedReply DecodeFragments(EklzSession& session, const std::string& hexDigits) {
  return DecodeFragments(session.settings.Win1251, hexDigits);
}

DecodedReply DecodeFragments(bool win1251, const std::string& hexDigits) {
  // Anything that is not a whole fragment of a known code is shown as it came.
  const int code = hexDigits.size() >= 2 && IsHexText(hexDigits) ? HexByteAt(hexDigits, 1) : -1;
  const size_t need = code < 0 ? 0 : LayoutSize(code);
  if (need == 0 || hexDigits.size() / 2 < need) return {hexDigits + kCrLf, {}};

  const FragmentReader f(hexDigits);
  std::string text;
  KkmParticulars kkm;
  switch (code) {
    case 0x01:
      text = "Заголовок документа. Код фрагмента 01H\r\n" +
             Field("Команда", CommandName(f.Byte(2)) + " код команды:" + std::to_string(f.Byte(2))) +
             Field("Дата", f.Date(3)) + Field("Время", f.Time(6)) +
             Field("Код оператора", std::to_string(f.Byte(8)));
      break;
    case 0x02:
      text = "Отдел. Код фрагмента 02H\r\n" + Field("Код отдела", std::to_string(f.Byte(2))) +
             Field("Количество", f.Quantity(3, 4)) + Field("Сумма", f.Money(7, 5));
      break;
    case 0x03:
      text = "Скидка. Код фрагмента 03H\r\n" + Field("Сумма скидки", f.Money(2, 5));
      break;
    case 0x04:
      text = "Наценка. Код фрагмента 04H\r\n" + Field("Сумма наценки", f.Money(2, 5));
      break;
    case 0x05: {
      // The type text is stored in the code page chosen for the exchange.
      const std::string shown =
          win1251 ? f.Text(2, f.Size() - 1) : Cp866ToUtf8(f.Bytes(2, f.Size() - 1));
      kkm.model = shown;
      text = "Тип ККМ, Текст. Код фрагмента 05H\r\n" +
             Field(std::string("Тип ККМ, Текст (16 или 40 символов)") + (win1251 ? "Win1251" : "PC866"),
                   shown);
      break;
    }
    case 0x06:
      text = "Итог документа. Код фрагмента 06H\r\n" + Field("Сумма", f.Money(2, 5));
      break;
    case 0x07: {
      const std::string serial = f.Text(2, 12);
      kkm.serial = serial;
      text = "Заголовок ККМ. Код фрагмента 07H\r\n" + Field("Заводской номер ККМ", serial) +
             Field("Регистрационный номер ЭКЛЗ", f.Digits(14, 5)) + Field("ИНН", f.Digits(19, 6));
      break;
    }
    case 0x08: {
      const std::string date = f.Date(2);
      kkm.activationDate = ParseShortDateYY(date);
      text = "Активизация. Код фрагмента 08H\r\n" + Field("Дата", date) + Field("Время", f.Time(5)) +
             "    Регистрационный номер ККМ:" + f.Digits(7, 6) + "    Смена:" +
             std::to_string(f.Word(13)) + kCrLf + kCrLf;
      return {text, kkm};
    }
    case 0x09:
      text = "Закрытие смены. Код фрагмента 09H\r\n" + ShiftSums(f, 2);
      break;
    case 0x0A:
      text = "Итог закрытия смены. Код фрагмента 0AH\r\n" + ShiftSums(f, 2);
      break;
    case 0x0B:
      text = "Строка КПК. Код фрагмента 0BH\r\n" + Field("Номер КПК", f.Digits(2, 4)) +
             Field("Значение КПК", f.Digits(6, 3));
      break;
    case 0x0C:
      text = "Итог отдела. Код фрагмента 0CH\r\n" + Field("Количество продажи", f.Quantity(2, 5)) +
             Field("Сумма продажи", f.Money(7, 6)) + Field("Количество покупки", f.Quantity(13, 5)) +
             Field("Сумма покупки", f.Money(18, 6)) +
             Field("Количество возврата продажи", f.Quantity(24, 5)) +
             Field("Сумма возврата продажи", f.Money(29, 6)) +
             Field("Количество возврата покупки", f.Quantity(35, 5)) +
             Field("Сумма возврата покупки", f.Money(40, 6));
      break;
    case 0x0E:
      text = "Заголовок смены. Код фрагмента 0EH\r\n" + Field("Смена", std::to_string(f.Word(2))) +
             Field("Дата", f.Date(4)) + Field("Время", f.Time(7)) +
             Field("Код оператора", std::to_string(f.Byte(9)));
      break;
    case 0x10:
      text = "Х-Отчет. Код фрагмента 10H\r\n" + Field("Смена", std::to_string(f.Word(2))) +
             ShiftSums(f, 4);
      break;
  }
  return {text, kkm};
}

}  // namespace eklz
