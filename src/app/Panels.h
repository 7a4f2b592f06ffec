// The parameter panels of the tab "Параметры", each declared by its page
// (app/pages): title, code label, separator and fields, each field under the
// component name the page reads it by.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "commands/Limits.h"

class QWidget;

namespace eklz::app {

enum class FieldKind {
  Integer,  // IntegerEdit
  Decimal,  // DecimalEdit
  Date,     // DateEdit, "dd.MM.yyyy"
  Time,     // time picker "H:mm"
  List,     // drop-down list accepting only its items
  Text,     // line of text, limited length
  Digits,   // a fixed number of digits
  Spin,     // spinner
  Check,    // check box
  Radio,    // radio button; consecutive radios form one exclusive group
  Button,   // push button (or a small browse button when `beside`)
  Memo,     // multi-line text
  Grid,     // the command grid of the arbitrary command
  Caption,  // a label of its own (no field)
};

struct FieldSpec {
  FieldKind kind = FieldKind::Text;
  const char* name = "";   // objectName
  const char* label = "";  // label text, or the caption of a check box, radio or button
  long long minimum = 0;
  long long maximum = 0;
  long long value = 0;     // default of a number, checked state, selected list item (-1: none)
  const IntegerRange* range = nullptr;  // an integer's shared range (else minimum..maximum)
  const AmountLimit* amount = nullptr;  // a decimal's quantity or sum limit
  int places = 0;          // decimal places, text length, digit count
  bool grouping = true;    // integers shown with digit grouping
  bool withDefault = true; // a decimal field starts at zero (else empty)
  bool enabled = true;
  bool beside = false;     // placed in the row of the field before it
  const char* text = "";   // initial text of a text field
  const char* accessibleName = "";  // for a field without a label, or one whose label is ambiguous
  std::vector<const char*> items;

  FieldSpec& Beside() { beside = true; return *this; }
  FieldSpec& Disabled() { enabled = false; return *this; }
  FieldSpec& NoGrouping() { grouping = false; return *this; }
  FieldSpec& Checked() { value = 1; return *this; }
  FieldSpec& Empty() { withDefault = false; return *this; }
  FieldSpec& Named(const char* a) { accessibleName = a; return *this; }
};

// A radio pair that switches a command between its numeric and text form.
struct FormChoice {
  const char* digits;  // "В числовой форме"
  const char* text;    // "В текстовой форме"
  uint8_t code = 0;    // the numeric-form code (the page's); the text form is code + 0x80
};

struct PanelSpec {
  const char* name;
  const char* title;
  const char* codeLabel;  // nullptr: the panel shows no code
  std::vector<FieldSpec> fields;
  std::optional<FormChoice> formChoice = std::nullopt;
};

// The panels of every page, each once, in task-list order.
const std::vector<PanelSpec>& PanelTable();

// The fields of the page files.
namespace field {
FieldSpec Int(const char* name, const char* label, const IntegerRange& range, long long def);
FieldSpec Dec(const char* name, const char* label, const AmountLimit& limit);
FieldSpec Date(const char* name, const char* label);
FieldSpec Time(const char* name, const char* label);
FieldSpec List(const char* name, const char* label, std::vector<const char*> items, int def);
FieldSpec Text(const char* name, const char* label, int maxLength, const char* text = "");
FieldSpec Digits(const char* name, const char* label, int count);
FieldSpec Spin(const char* name, const char* label, int min, int max, int def, int step);
FieldSpec Check(const char* name, const char* caption);
FieldSpec Radio(const char* name, const char* caption);
FieldSpec Button(const char* name, const char* caption);
FieldSpec Browse(const char* name);  // the small "..." button beside the field before it
FieldSpec Memo(const char* name, const char* label);
FieldSpec Grid(const char* name);
FieldSpec Caption(const char* text);
}  // namespace field

// The window's "Выполнить" button sits over the top right corner of the
// parameter tab, `kExecButtonMargin` from its edges; a panel keeps its title
// and code label clear of it.
inline constexpr int kExecButtonWidth = 160;
inline constexpr int kExecButtonHeight = 35;
inline constexpr int kExecButtonMargin = 8;

// Builds the panel widget: title in bold, code label, separator line, then
// the fields, each label the buddy of its field. The panel's accessible name
// is its title.
QWidget* BuildPanel(const PanelSpec& def, QWidget* parent);

}  // namespace eklz::app
