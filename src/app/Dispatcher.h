// What "Выполнить" runs: a page (app/pages) reads its own panel's fields and
// prepares one core operation. Fields are read and converted on the GUI
// thread; the operation runs later on the worker thread with the values
// captured.
#pragma once

#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "codec/Regional.h"
#include "protocol/Session.h"

namespace eklz {
class RandomSource;
}

namespace eklz::app {

class MessagePresenter;

// The converted values of one panel's fields, found by component name within
// that panel only; a name the panel does not hold is a logic_error.
// Conversions fail with EConvertError and the messages of the number parsers
// ("'%s' is not a valid integer value", "... floating point value").
class PanelFields {
 public:
  explicit PanelFields(const QWidget& root) : root_(root) {}

  int32_t Int(const char* name) const;           // int(F)
  long double Float(const char* name) const;     // float(F)
  uint8_t Nearest(const char* name) const;       // nearest(F), as one byte
  double Value(const char* name) const;          // value(F)
  bool State(const char* name) const;            // state(F)
  bool Enabled(const char* name) const;
  int Index(const char* name) const;             // index(F)
  std::string ItemText(const char* name) const;  // itemtext(F)
  CalendarDate Date(const char* name) const;     // date(F)
  ClockTime Time(const char* name) const;        // time(F)
  std::string Text(const char* name) const;      // text(F)

  QWidget& Root() const { return const_cast<QWidget&>(root_); }
  template <typename T>
  T* Find(const char* name) const;

 private:
  QWidget* Widget(const char* name) const;
  const QWidget& root_;
};

// What a page sees besides its fields.
struct DispatchContext {
  const PanelFields& fields;
  bool quiet;
  bool logExchange;
  std::shared_ptr<RandomSource> random;  // mass documents
  std::string commandGrid;               // the arbitrary command's frame
  MessagePresenter* presenter = nullptr;  // asks the operator before a run; none: nothing asked
  KkmParticulars kkm;                    // the particulars learned so far (repair request)
};

// One run: the operation for the worker thread and, optionally, what to do on
// the GUI thread after it succeeded or after it failed.
struct PreparedRun {
  std::function<void(EklzSession&)> operation;
  std::function<void()> afterSuccess;
  std::function<void()> afterFailure;
};

}  // namespace eklz::app
