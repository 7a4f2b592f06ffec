// Numeric and date entry fields of the parameter panels.
#pragma once

#include <QDateEdit>
#include <QLineEdit>

#include "commands/Limits.h"

namespace eklz::app {

// A whole number within a range, shown with digit grouping ("1 000") unless
// told otherwise. Typing is limited to digits (and the group separator), and
// a keystroke that would take the number above the maximum is refused; an
// entry below the minimum (or none) becomes the minimum when editing ends.
class IntegerEdit : public QLineEdit {
  Q_OBJECT
 public:
  IntegerEdit(long long minimum, long long maximum, long long value, bool grouping,
              QWidget* parent = nullptr);
  // A field for a value of the shared ranges; `range.message` is its refusal.
  IntegerEdit(const IntegerRange& range, long long value, bool grouping, QWidget* parent = nullptr);

  long long Minimum() const { return minimum_; }
  long long Maximum() const { return maximum_; }
  // As wide as the largest number of the range needs.
  QSize sizeHint() const override;
  // What a value outside the range is refused with.
  QString RangeMessage() const;
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
  QString rangeMessage_;
};

// A decimal fraction (a quantity or a sum) shown with its fixed number of
// places and the decimal comma; a typed "." becomes ",". Typing is limited to
// what the amount's limit allows: no more decimals than its places and no
// more whole digits than its largest value has, so the field cannot show
// anything that would be rounded or refused when it is sent. An empty field
// stays empty.
class DecimalEdit : public QLineEdit {
  Q_OBJECT
 public:
  DecimalEdit(const AmountLimit& limit, bool withDefault, QWidget* parent = nullptr);

  int Places() const { return limit_.places; }
  // As wide as the largest amount needs.
  QSize sizeHint() const override;
  const AmountLimit& Limit() const { return limit_; }

 private:
  void Normalize();

  const AmountLimit& limit_;
};

// A date picker "dd.MM.yyyy" that also takes a date typed over the whole
// field: "01.03.2024", "1.3.2024" or "01032024".
class DateEdit : public QDateEdit {
  Q_OBJECT
 public:
  explicit DateEdit(const QDate& date, QWidget* parent = nullptr);

  // As wide as a date of the widest digits needs beside the drop-down
  // button, in the style in use; never narrower.
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  bool typing_ = false;    // a date is being typed over the whole field
  bool advanced_ = false;  // the last digit filled its section and moved on
  QString typed_;          // what has been typed since
};

// Group separator of the Russian number format (a no-break space).
inline constexpr char16_t kGroupSeparator = u'\u00A0';

// "1234567" -> "1 234 567" with no-break spaces.
QString GroupDigits(long long value);

}  // namespace eklz::app
