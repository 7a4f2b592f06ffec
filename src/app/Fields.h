// Numeric entry fields of the parameter panels.
#pragma once

#include <QLineEdit>

namespace eklz::app {

// A whole number within a range, shown with digit grouping ("1 000") unless
// told otherwise. Typing is limited to digits (and the group separator); the
// range is enforced when editing ends.
class IntegerEdit : public QLineEdit {
  Q_OBJECT
 public:
  IntegerEdit(long long minimum, long long maximum, long long value, bool grouping,
              QWidget* parent = nullptr);

  long long Minimum() const { return minimum_; }
  long long Maximum() const { return maximum_; }
  // The text without group separators: what the number reads as.
  QString Digits() const;
  void SetValue(long long value);
  // The number as the field settles it when editing ends: within the range,
  // the minimum (or 0) for an empty entry.
  long long Value() const;

 private:
  void Normalize();

  long long minimum_;
  long long maximum_;
  bool grouping_;
};

// A decimal fraction shown with a fixed number of places and the decimal
// comma; a typed "." becomes ",". The text is kept as typed until editing
// ends, so a field can hold something that is not a number.
class DecimalEdit : public QLineEdit {
  Q_OBJECT
 public:
  DecimalEdit(int places, bool withDefault, QWidget* parent = nullptr);

  int Places() const { return places_; }

 private:
  void OnEdited(const QString& text);
  void Normalize();

  int places_;
};

// Group separator of the Russian number format (a no-break space).
inline constexpr char16_t kGroupSeparator = u'\u00A0';

// "1234567" -> "1 234 567" with no-break spaces.
QString GroupDigits(long long value);

}  // namespace eklz::app
