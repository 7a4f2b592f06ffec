#include "app/Dispatcher.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDateEdit>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTimeEdit>

#include "app/Fields.h"
#include "commands/Limits.h"
#include "codec/Errors.h"

namespace eklz::app {

// --- Field conversions --------------------------------------------------------

QWidget* PanelFields::Widget(const char* name) const {
  QWidget* w = root_.findChild<QWidget*>(name);
  if (!w) throw std::logic_error(std::string("no panel field ") + name);
  return w;
}

template <typename T>
T* PanelFields::Find(const char* name) const {
  T* w = qobject_cast<T*>(Widget(name));
  if (!w) throw std::logic_error(std::string("panel field of another kind: ") + name);
  return w;
}

namespace {

// The number an integer field shows, read by its value so that a grouped
// "1 000" counts as 1000. An empty field reads as zero.
long long IntegerValue(const QWidget* w) {
  if (auto* spin = qobject_cast<const QSpinBox*>(w)) return spin->value();
  if (auto* edit = qobject_cast<const IntegerEdit*>(w)) return edit->Digits().toLongLong();
  return qobject_cast<const QLineEdit*>(w)->text().toLongLong();
}

// A number field holds only what its range allows; a value outside it (set
// other than by typing) is refused with the field's message, nothing sent.
void RequireFieldRange(const QWidget* w, long long value) {
  if (auto* edit = qobject_cast<const IntegerEdit*>(w)) {
    if (value < edit->Minimum() || value > edit->Maximum()) {
      throw TEKLZException(edit->RangeMessage().toStdString());
    }
  }
}

// A quantity or a sum within its limit, refused with the limit's message.
long double RequireAmount(const QWidget* w, long double value) {
  if (auto* edit = qobject_cast<const DecimalEdit*>(w)) AmountUnits(edit->Limit(), value);
  return value;
}

}  // namespace

int32_t PanelFields::Int(const char* name) const {
  QWidget* w = Widget(name);
  if (auto* spin = qobject_cast<QSpinBox*>(w)) return spin->value();
  const QString shown = Find<QLineEdit>(name)->text();
  const QString digits = qobject_cast<IntegerEdit*>(w) ? static_cast<IntegerEdit*>(w)->Digits() : shown;
  int32_t value = 0;
  try {
    value = ParseInt(digits.toStdString());
  } catch (const EConvertError&) {
    throw InvalidInteger(shown.toStdString());
  }
  RequireFieldRange(w, value);
  return value;
}

long double PanelFields::Float(const char* name) const {
  QWidget* w = Widget(name);
  return RequireAmount(w, ParseFloat(Find<QLineEdit>(name)->text().toStdString()));
}

uint8_t PanelFields::Nearest(const char* name) const {
  QWidget* w = Widget(name);
  const long long value = IntegerValue(w);
  RequireFieldRange(w, value);
  return static_cast<uint8_t>(value);
}

double PanelFields::Value(const char* name) const {
  QWidget* w = Widget(name);
  if (qobject_cast<DecimalEdit*>(w)) {
    const QString text = static_cast<DecimalEdit*>(w)->text();
    if (text.trimmed().isEmpty()) return 0;
    return static_cast<double>(RequireAmount(w, ParseFloat(text.toStdString())));
  }
  const long long value = IntegerValue(w);
  RequireFieldRange(w, value);
  return static_cast<double>(value);
}

bool PanelFields::State(const char* name) const { return Find<QAbstractButton>(name)->isChecked(); }

bool PanelFields::Enabled(const char* name) const { return Widget(name)->isEnabled(); }

int PanelFields::Index(const char* name) const { return Find<QComboBox>(name)->currentIndex(); }

std::string PanelFields::ItemText(const char* name) const {
  auto* list = Find<QComboBox>(name);
  return list->currentIndex() < 0 ? std::string() : list->currentText().toStdString();
}

CalendarDate PanelFields::Date(const char* name) const {
  const QDate d = Find<QDateTimeEdit>(name)->date();
  return {d.year(), d.month(), d.day()};
}

ClockTime PanelFields::Time(const char* name) const {
  const QTime t = Find<QDateTimeEdit>(name)->time();
  return {t.hour(), t.minute(), t.second()};
}

std::string PanelFields::Text(const char* name) const {
  QWidget* w = Widget(name);
  if (auto* memo = qobject_cast<QPlainTextEdit*>(w)) return memo->toPlainText().toStdString();
  return Find<QLineEdit>(name)->text().toStdString();
}

}  // namespace eklz::app
