#include "app/Fields.h"

#include <QKeyEvent>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QStyleOptionFrame>
#include <QValidator>

#include "codec/Errors.h"
#include "codec/Regional.h"

namespace eklz::app {

QString GroupDigits(long long value) {
  const QString digits = QString::number(value < 0 ? -value : value);
  QString out;
  for (qsizetype i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += QChar(kGroupSeparator);
    out += digits[i];
  }
  return value < 0 ? "-" + out : out;
}

namespace {

QString WithoutGroups(QString text) {
  text.remove(QChar(kGroupSeparator));
  text.remove(' ');
  return text;
}

// Digits (and group separators) of a number within [minimum, maximum]: a text
// above the maximum cannot be typed, one below the minimum is left to be
// completed and is raised to the minimum when editing ends.
class IntegerValidator : public QValidator {
 public:
  explicit IntegerValidator(const IntegerEdit& edit) : QValidator(const_cast<IntegerEdit*>(&edit)), edit_(edit) {}

  State validate(QString& input, int&) const override {
    static const QRegularExpression kShape("^-?[0-9]*$");
    const QString digits = WithoutGroups(input);
    if (!kShape.match(digits).hasMatch()) return Invalid;
    if (digits.startsWith('-') && edit_.Minimum() >= 0) return Invalid;
    bool ok = false;
    const long long v = digits.toLongLong(&ok);
    if (!ok) return digits.isEmpty() || digits == "-" ? Intermediate : Invalid;
    if (v > edit_.Maximum()) return Invalid;
    return v < edit_.Minimum() ? Intermediate : Acceptable;
  }

  void fixup(QString& input) const override {
    bool ok = false;
    const long long v = WithoutGroups(input).toLongLong(&ok);
    if (!ok || v < edit_.Minimum()) input = QString::number(edit_.Minimum());
  }

 private:
  const IntegerEdit& edit_;
};

// Whole digits and decimals of an amount as its limit allows them; a typed
// "." becomes the decimal comma.
class AmountValidator : public QValidator {
 public:
  AmountValidator(const AmountLimit& limit, QObject* parent)
      : QValidator(parent),
        shape_(QString("^[0-9]{0,%1}(,[0-9]{0,%2})?$").arg(limit.IntegerDigits()).arg(limit.places)) {}

  State validate(QString& input, int&) const override {
    input.replace('.', ',');
    if (!shape_.match(input).hasMatch()) return Invalid;
    if (!input.isEmpty() && !input.contains(QRegularExpression("[0-9]"))) return Intermediate;
    return Acceptable;
  }

 private:
  QRegularExpression shape_;
};

// A line edit's size for `widest` and a digit more (the cursor's room).
QSize FieldSizeFor(const QLineEdit& edit, const QString& widest) {
  QStyleOptionFrame option;
  option.initFrom(&edit);
  option.lineWidth = edit.hasFrame() ? edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth) : 0;
  const QMargins margins = edit.textMargins();
  const int width = edit.fontMetrics().horizontalAdvance(widest + "0") + margins.left() +
                    margins.right() + 2 * 2;  // the line edit's own inner margins
  const QSize contents(width, edit.QLineEdit::sizeHint().height());
  return edit.style()->sizeFromContents(QStyle::CT_LineEdit, &option, contents, &edit).expandedTo(
      QSize(0, edit.QLineEdit::sizeHint().height()));
}

}  // namespace

IntegerEdit::IntegerEdit(long long minimum, long long maximum, long long value, bool grouping,
                         QWidget* parent)
    : QLineEdit(parent), minimum_(minimum), maximum_(maximum), grouping_(grouping) {
  setValidator(new IntegerValidator(*this));
  setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  SetValue(value);
  connect(this, &QLineEdit::editingFinished, this, &IntegerEdit::Normalize);
}

IntegerEdit::IntegerEdit(const IntegerRange& range, long long value, bool grouping, QWidget* parent)
    : IntegerEdit(range.min, range.max, value, grouping, parent) {
  rangeMessage_ = QString::fromUtf8(range.message);
}

QString IntegerEdit::RangeMessage() const {
  if (!rangeMessage_.isEmpty()) return rangeMessage_;
  return QString("Значение должно быть в пределах от %1 до %2").arg(minimum_).arg(maximum_);
}

QString IntegerEdit::Digits() const { return WithoutGroups(text()); }

void IntegerEdit::SetValue(long long value) {
  setText(grouping_ ? GroupDigits(value) : QString::number(value));
}

// An empty or out-of-range entry is brought into the range, as a numeric
// field does when it loses the focus.
long long IntegerEdit::Value() const {
  bool ok = false;
  long long v = Digits().toLongLong(&ok);
  if (!ok) v = minimum_ > 0 ? minimum_ : 0;
  if (v < minimum_) v = minimum_;
  if (v > maximum_) v = maximum_;
  return v;
}

void IntegerEdit::Normalize() { SetValue(Value()); }

QSize IntegerEdit::sizeHint() const {
  const QString widest = grouping_ ? GroupDigits(maximum_) : QString::number(maximum_);
  QSize size = FieldSizeFor(*this, widest);
  size.setHeight(QLineEdit::sizeHint().height());
  return size;
}

DecimalEdit::DecimalEdit(const AmountLimit& limit, bool withDefault, QWidget* parent)
    : QLineEdit(parent), limit_(limit) {
  setValidator(new AmountValidator(limit, this));
  setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  if (withDefault) setText("0," + QString(limit.places, '0'));
  connect(this, &QLineEdit::editingFinished, this, &DecimalEdit::Normalize);
}

// A number is shown again with its fixed places; anything else stays as typed
// so that running the command names it in its message.
void DecimalEdit::Normalize() {
  if (text().trimmed().isEmpty()) return;
  try {
    const long double v = ParseFloat(text().toStdString());
    setText(QString::number(static_cast<double>(v), 'f', limit_.places).replace('.', ','));
  } catch (const EConvertError&) {
  }
}

QSize DecimalEdit::sizeHint() const {
  const QString widest =
      QString::number(limit_.maxUnits).insert(QString::number(limit_.maxUnits).size() - limit_.places, ',');
  QSize size = FieldSizeFor(*this, widest);
  size.setHeight(QLineEdit::sizeHint().height());
  return size;
}

DateEdit::DateEdit(const QDate& date, QWidget* parent) : QDateEdit(date, parent) {
  setDisplayFormat("dd.MM.yyyy");
  setCalendarPopup(true);
}

// The picker with its calendar button is laid out as an editable combo box
// (its text in the combo's edit field, the button beside it), not as the spin
// box its own size hint assumes; under some styles the combo's button takes
// more room and the year's last digit went under it.
QSize DateEdit::sizeHint() const {
  ensurePolished();
  const QFontMetrics metrics = lineEdit()->fontMetrics();
  QChar widestDigit = '0';
  for (char d = '1'; d <= '9'; ++d) {
    if (metrics.horizontalAdvance(QChar(d)) > metrics.horizontalAdvance(widestDigit)) widestDigit = QChar(d);
  }
  QString widest = text();
  for (QChar& c : widest) {
    if (c.isDigit()) c = widestDigit;
  }
  const QMargins margins = lineEdit()->textMargins();
  // The line edit's own inner margins (2 on each side) and the cursor.
  const QSize contents(metrics.horizontalAdvance(widest) + margins.left() + margins.right() + 2 * 2 + 2,
                       QDateEdit::sizeHint().height());
  QStyleOptionComboBox option;
  option.initFrom(this);
  option.editable = true;
  option.frame = hasFrame();
  QSize size = style()->sizeFromContents(QStyle::CT_ComboBox, &option, contents, this);
  // The edit field the combo's layout leaves for the text at that size;
  // whatever the style's own size leaves short of the text is added.
  option.rect = QRect(QPoint(0, 0), size);
  const QRect laid = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
  if (laid.width() < contents.width()) size.rwidth() += contents.width() - laid.width();
  size.setHeight(QDateEdit::sizeHint().height());
  return size;
}

namespace {

// A whole date as typed: day, month and four-digit year with any of the
// separators between them, or eight digits in a row.
QDate TypedDate(QString text) {
  static const QRegularExpression kSeparators("[.,/ -]");
  text.replace(kSeparators, ".");
  if (QRegularExpression("^[0-9]{8}$").match(text).hasMatch()) {
    return QDate::fromString(text, "ddMMyyyy");
  }
  if (!QRegularExpression("^[0-9]{1,2}\\.[0-9]{1,2}\\.[0-9]{4}$").match(text).hasMatch()) return {};
  return QDate::fromString(text, "d.M.yyyy");
}

}  // namespace

// The picker edits one section at a time, and a date typed over the selected
// whole field would land in the day section alone. Typing over the whole
// field therefore starts at the day; a separator right after a section that
// filled itself (and so moved on) is not taken as a second move; and once
// the typed text is a whole date, that date is taken, also one that the
// section-wise editing would have cut (29.02 while the year is not yet a
// leap year).
void DateEdit::keyPressEvent(QKeyEvent* event) {
  const QString key = event->text();
  const bool digit = key.size() == 1 && key[0].isDigit();
  const bool separator = key.size() == 1 && QString(".,/- ").contains(key[0]);
  QLineEdit* line = lineEdit();
  if (digit && line->hasSelectedText() && line->selectedText() == line->text()) {
    setCurrentSectionIndex(0);
    setSelectedSection(sectionAt(0));
    typing_ = true;
    advanced_ = false;
    typed_.clear();
  } else if (!digit && !separator) {
    typing_ = false;
    advanced_ = false;
  }
  if (typing_) typed_ += key;
  if (separator && advanced_) {
    advanced_ = false;
    event->accept();
    return;
  }
  const int section = currentSectionIndex();
  QDateEdit::keyPressEvent(event);
  advanced_ = digit && currentSectionIndex() != section;
  if (typing_) {
    if (const QDate date = TypedDate(typed_); date.isValid()) {
      setDate(date);
      typing_ = false;
    }
  }
}

void DateEdit::focusOutEvent(QFocusEvent* event) {
  typing_ = false;
  advanced_ = false;
  QDateEdit::focusOutEvent(event);
}

}  // namespace eklz::app
