// The ranges of the values an operator enters, in one place for the window
// and the command line: both accept the same values, and refuse any other
// with the same message before anything is sent.
#pragma once

#include <cstdint>

namespace eklz {

// A whole number from `min` to `max`.
struct IntegerRange {
  long long min;
  long long max;
  const char* message;  // the refusal of a value outside the range

  bool Contains(long long value) const { return value >= min && value <= max; }
};

// Refuses with TEKLZException(range.message) a value outside the range.
void RequireInRange(const IntegerRange& range, long long value);

inline constexpr IntegerRange kDepartmentRange{1, 16, "Номер отдела должен быть в пределах от 1 до 16"};
inline constexpr IntegerRange kFreeTextDepartmentRange{
    1, 99, "Номер отдела должен быть в пределах от 1 до 99"};
inline constexpr IntegerRange kOperatorRange{1, 255,
                                             "Код оператора должен быть в пределах от 1 до 255"};
// The shift of a control tape or of shift totals; a shift number travels as
// a 16-bit signed integer.
inline constexpr IntegerRange kShiftRange{1, 32767,
                                          "Номер смены должен быть в пределах от 1 до 32767"};
// The ends of a report's shift range.
inline constexpr IntegerRange kReportShiftRange{
    0, 32767, "Номер смены должен быть в пределах от 0 до 32767"};
inline constexpr IntegerRange kKpkRange{0, 99999999,
                                        "Номер КПК должен быть в пределах от 0 до 99999999"};
// Archive pages 0 to 8191 (8192 pages of 512 bytes).
inline constexpr IntegerRange kPageRange{
    0, 8191, "Номер страницы дампа архива должен быть в пределах от 0 до 8191"};
inline constexpr IntegerRange kExchangeTimeoutRange{
    2, 255, "Тайм-аут должен быть в пределах от 2 до 255"};
// The counts of the mass document creation.
inline constexpr IntegerRange kDocumentCountRange{
    1, 10000, "Количество документов должно быть в пределах от 1 до 10000"};
inline constexpr IntegerRange kRepetitionRange{
    1, 10000, "Количество повтора операции должно быть в пределах от 1 до 10000"};
inline constexpr IntegerRange kDiscountCountRange{
    1, 10000, "Количество скидок должно быть в пределах от 1 до 10000"};
inline constexpr IntegerRange kMarginCountRange{
    1, 10000, "Количество наценок должно быть в пределах от 1 до 10000"};

// A quantity or a sum: a decimal fraction with at most `places` digits after
// the separator, sent as a whole number of its smallest units (thousandths,
// hundredths) up to `maxUnits`.
struct AmountLimit {
  int places;
  int64_t maxUnits;
  const char* tooLarge;  // the refusal of a value above the limit
  const char* negative;  // the refusal of a value below zero

  // The most digits before the separator (5 for a quantity, 8 for a sum).
  int IntegerDigits() const;
};

// The value in units, rounded to the nearest unit (ties to even); refused
// with TEKLZException when negative or above the limit.
int64_t AmountUnits(const AmountLimit& limit, long double value);

inline constexpr AmountLimit kQuantityLimit{3, 99999999, "Слишком большая величина количества товара",
                                            "Количество товара не может быть отрицательным"};
inline constexpr AmountLimit kSumLimit{2, 9999999999, "Слишком большая величина суммы",
                                       "Сумма не может быть отрицательной"};
inline constexpr AmountLimit kDiscountLimit{2, 9999999999, "Слишком большая величина скидки",
                                            "Сумма скидки не может быть отрицательной"};
inline constexpr AmountLimit kMarginLimit{2, 9999999999, "Слишком большая величина наценки",
                                          "Сумма наценки не может быть отрицательной"};

}  // namespace eklz
