#include "app/Fields.h"

#include <QRegularExpressionValidator>

#include "protocol/Errors.h"
#include "protocol/Regional.h"

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

IntegerEdit::IntegerEdit(long long minimum, long long maximum, long long value, bool grouping,
                         QWidget* parent)
    : QLineEdit(parent), minimum_(minimum), maximum_(maximum), grouping_(grouping) {
  setValidator(new QRegularExpressionValidator(
      QRegularExpression(minimum < 0 ? "-?[0-9 \u00A0]*" : "[0-9 \u00A0]*"), this));
  setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  SetValue(value);
  connect(this, &QLineEdit::editingFinished, this, &IntegerEdit::Normalize);
}

QString IntegerEdit::Digits() const {
  QString t = text();
  t.remove(QChar(kGroupSeparator));
  t.remove(' ');
  return t;
}

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

DecimalEdit::DecimalEdit(int places, bool withDefault, QWidget* parent)
    : QLineEdit(parent), places_(places) {
  setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  if (withDefault) setText("0," + QString(places, '0'));
  connect(this, &QLineEdit::textEdited, this, &DecimalEdit::OnEdited);
  connect(this, &QLineEdit::editingFinished, this, &DecimalEdit::Normalize);
}

void DecimalEdit::OnEdited(const QString& text) {
  if (!text.contains('.')) return;
  const int cursor = cursorPosition();
  QString t = text;
  t.replace('.', ',');
  setText(t);
  setCursorPosition(cursor);
}

// A number is shown again with its fixed places; anything else stays as typed
// so that running the command names it in its message.
void DecimalEdit::Normalize() {
  if (text().trimmed().isEmpty()) return;
  try {
    const long double v = ParseFloat(text().toStdString());
    setText(QString::number(static_cast<double>(v), 'f', places_).replace('.', ','));
  } catch (const EConvertError&) {
  }
}

}  // namespace eklz::app
