#include "app/Panels.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTableWidget>
#include <QTimeEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

#include "app/Fields.h"

namespace eklz::app {

namespace field {

namespace {
FieldSpec Field(FieldKind kind, const char* name, const char* label) {
  FieldSpec f;
  f.kind = kind;
  f.name = name;
  f.label = label;
  return f;
}
}  // namespace

FieldSpec Int(const char* name, const char* label, const IntegerRange& range, long long def) {
  FieldSpec f = Field(FieldKind::Integer, name, label);
  f.minimum = range.min;
  f.maximum = range.max;
  f.range = &range;
  f.value = def;
  return f;
}
FieldSpec Dec(const char* name, const char* label, const AmountLimit& limit) {
  FieldSpec f = Field(FieldKind::Decimal, name, label);
  f.places = limit.places;
  f.amount = &limit;
  return f;
}
FieldSpec Date(const char* name, const char* label) { return Field(FieldKind::Date, name, label); }
FieldSpec Time(const char* name, const char* label) { return Field(FieldKind::Time, name, label); }
FieldSpec List(const char* name, const char* label, std::vector<const char*> items, int def) {
  FieldSpec f = Field(FieldKind::List, name, label);
  f.items = std::move(items);
  f.value = def;
  return f;
}
FieldSpec Text(const char* name, const char* label, int maxLength, const char* text) {
  FieldSpec f = Field(FieldKind::Text, name, label);
  f.places = maxLength;
  f.text = text;
  return f;
}
FieldSpec Digits(const char* name, const char* label, int count) {
  FieldSpec f = Field(FieldKind::Digits, name, label);
  f.places = count;
  return f;
}
FieldSpec Spin(const char* name, const char* label, int min, int max, int def, int step) {
  FieldSpec f = Field(FieldKind::Spin, name, label);
  f.minimum = min;
  f.maximum = max;
  f.value = def;
  f.places = step;
  return f;
}
FieldSpec Check(const char* name, const char* caption) { return Field(FieldKind::Check, name, caption); }
FieldSpec Radio(const char* name, const char* caption) { return Field(FieldKind::Radio, name, caption); }
FieldSpec Button(const char* name, const char* caption) { return Field(FieldKind::Button, name, caption); }
FieldSpec Browse(const char* name) { return Field(FieldKind::Button, name, "...").Beside(); }
FieldSpec Memo(const char* name, const char* label) { return Field(FieldKind::Memo, name, label); }
FieldSpec Grid(const char* name) { return Field(FieldKind::Grid, name, ""); }
FieldSpec Caption(const char* text) { return Field(FieldKind::Caption, "", text); }

}  // namespace field

namespace {

// A check box or radio button whose caption wraps onto more lines when the
// panel is narrower than the caption, instead of being cut off.
template <typename Base, QStyle::PrimitiveElement kIndicator, QStyle::SubElement kIndicatorRect,
          QStyle::SubElement kContentsRect>
class WrappingButton : public Base {
 public:
  WrappingButton(const QString& text, QWidget* parent) : Base(text, parent) {
    // A button keeps the width of its caption by default; this one may be
    // narrower and taller.
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred, this->sizePolicy().controlType());
    policy.setHeightForWidth(true);
    this->setSizePolicy(policy);
  }

  // As narrow as the caption's longest word allows.
  QSize minimumSizeHint() const override {
    int word = 0;
    for (const QString& w : this->text().split(' ', Qt::SkipEmptyParts)) {
      word = std::max(word, this->fontMetrics().horizontalAdvance(w));
    }
    // One line high: the height at a given width is heightForWidth's, and a
    // minimum as tall as the narrowest wrapping would make the panel scroll
    // for nothing.
    return {TextLeft() + word + 2, Base::sizeHint().height()};
  }
  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override {
    const QRect text = this->fontMetrics().boundingRect(
        QRect(0, 0, std::max(1, width - TextLeft()), 100000), Qt::TextWordWrap, this->text());
    return std::max(Base::sizeHint().height(), text.height() + 4);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QStylePainter painter(this);
    QStyleOptionButton option;
    this->initStyleOption(&option);
    // The indicator beside the first line of the caption.
    QStyleOptionButton indicator = option;
    indicator.rect = this->style()->subElementRect(kIndicatorRect, &option, this);
    const int lineHeight = std::max(indicator.rect.height(), this->fontMetrics().height() + 4);
    indicator.rect.moveTop((lineHeight - indicator.rect.height()) / 2);
    painter.drawPrimitive(kIndicator, indicator);
    const QRect text(TextLeft(), 2, this->width() - TextLeft(), this->height() - 4);
    this->style()->drawItemText(&painter, text, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                                option.palette, this->isEnabled(), this->text(),
                                QPalette::WindowText);
    if (this->hasFocus()) {
      QStyleOptionFocusRect focus;
      focus.QStyleOption::operator=(option);
      focus.rect = this->fontMetrics()
                       .boundingRect(text, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                                     this->text())
                       .adjusted(-1, -1, 1, 1);
      painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
  }
  // The whole caption is clickable, on every line.
  bool hitButton(const QPoint& pos) const override { return this->rect().contains(pos); }

 private:
  int TextLeft() const {
    QStyleOptionButton option;
    this->initStyleOption(&option);
    return this->style()->subElementRect(kContentsRect, &option, this).left();
  }
};

using WrappingCheckBox = WrappingButton<QCheckBox, QStyle::PE_IndicatorCheckBox,
                                        QStyle::SE_CheckBoxIndicator, QStyle::SE_CheckBoxContents>;
using WrappingRadioButton =
    WrappingButton<QRadioButton, QStyle::PE_IndicatorRadioButton, QStyle::SE_RadioButtonIndicator,
                   QStyle::SE_RadioButtonContents>;

QWidget* CreateField(const FieldSpec& f, QWidget* panel) {
  const QString label = QString::fromUtf8(f.label);
  switch (f.kind) {
    case FieldKind::Integer:
      if (f.range) return new IntegerEdit(*f.range, f.value, f.grouping, panel);
      return new IntegerEdit(f.minimum, f.maximum, f.value, f.grouping, panel);
    case FieldKind::Decimal:
      return new DecimalEdit(*f.amount, f.withDefault, panel);
    case FieldKind::Date:
      return new DateEdit(QDate::currentDate(), panel);
    case FieldKind::Time: {
      auto* w = new QTimeEdit(QTime::currentTime(), panel);
      w->setDisplayFormat("H:mm");
      return w;
    }
    case FieldKind::List: {
      // As wide as its longest item in the style in use: an item cut short
      // would not tell the report types apart.
      auto* w = new QComboBox(panel);
      w->setSizeAdjustPolicy(QComboBox::AdjustToContents);
      for (const char* item : f.items) w->addItem(QString::fromUtf8(item));
      w->setCurrentIndex(static_cast<int>(f.value));
      return w;
    }
    case FieldKind::Text: {
      auto* w = new QLineEdit(QString::fromUtf8(f.text), panel);
      if (f.places > 0) w->setMaxLength(f.places);
      return w;
    }
    case FieldKind::Digits: {
      auto* w = new QLineEdit(panel);
      w->setInputMask(QString(f.places, '9'));
      return w;
    }
    case FieldKind::Spin: {
      auto* w = new QSpinBox(panel);
      w->setRange(static_cast<int>(f.minimum), static_cast<int>(f.maximum));
      w->setSingleStep(f.places);
      w->setValue(static_cast<int>(f.value));
      return w;
    }
    case FieldKind::Check: {
      auto* w = new WrappingCheckBox(label, panel);
      w->setChecked(f.value != 0);
      return w;
    }
    case FieldKind::Radio: {
      auto* w = new WrappingRadioButton(label, panel);
      w->setChecked(f.value != 0);
      return w;
    }
    case FieldKind::Button: {
      if (f.beside) {
        auto* w = new QToolButton(panel);
        w->setText(label);
        w->setToolTip("Выбрать файл");
        w->setAccessibleName("Выбрать файл");
        return w;
      }
      return new QPushButton(label, panel);
    }
    case FieldKind::Memo: {
      auto* w = new QPlainTextEdit(panel);
      w->setMinimumHeight(48);
      return w;
    }
    case FieldKind::Grid: {
      auto* w = new QTableWidget(2, 4, panel);
      w->horizontalHeader()->hide();
      w->verticalHeader()->hide();
      w->setFixedHeight(w->rowHeight(0) * 2 + 2 * w->frameWidth() + 2);
      // The window shows the command grid's model; editing it comes with its
      // editing rules.
      w->setEditTriggers(QAbstractItemView::NoEditTriggers);
      return w;
    }
    case FieldKind::Caption:
      return new QLabel(label, panel);
  }
  return nullptr;
}

bool IsButtonLike(FieldKind kind) {
  return kind == FieldKind::Check || kind == FieldKind::Radio || kind == FieldKind::Button ||
         kind == FieldKind::Caption;
}

void AddRadioPair(QWidget* panel, QVBoxLayout* rows, const FormChoice& choice) {
  auto* group = new QButtonGroup(panel);
  auto* digits = new QRadioButton("В числовой форме", panel);
  digits->setObjectName(choice.digits);
  digits->setChecked(true);
  auto* text = new QRadioButton("В текстовой форме", panel);
  text->setObjectName(choice.text);
  group->addButton(digits);
  group->addButton(text);
  auto* line = new QHBoxLayout;
  line->addWidget(digits);
  line->addWidget(text);
  line->addStretch(1);
  rows->addLayout(line);
}

}  // namespace

QWidget* BuildPanel(const PanelSpec& def, QWidget* parent) {
  auto* panel = new QWidget(parent);
  panel->setObjectName(def.name);
  panel->setAccessibleName(QString::fromUtf8(def.title));
  auto* column = new QVBoxLayout(panel);

  // The title and code label share the top band with the button: the band
  // is as tall as the button and ends short of it.
  auto* band = new QWidget(panel);
  band->setMinimumHeight(kExecButtonHeight);
  column->addWidget(band);
  auto* header = new QVBoxLayout(band);
  header->setContentsMargins(0, 0, kExecButtonWidth + 2 * kExecButtonMargin, 0);
  auto* title = new QLabel(QString::fromUtf8(def.title), band);
  QFont bold = title->font();
  bold.setBold(true);
  title->setFont(bold);
  title->setWordWrap(true);
  header->addWidget(title);
  if (def.codeLabel) header->addWidget(new QLabel(QString::fromUtf8(def.codeLabel), band));
  auto* separator = new QFrame(panel);
  separator->setFrameShape(QFrame::HLine);
  separator->setFrameShadow(QFrame::Sunken);
  column->addWidget(separator);

  // The fields scroll below the band, so that a small window still shows
  // them all and none of them passes under the button.
  auto* scroll = new QScrollArea(panel);
  scroll->setObjectName(QString(def.name) + "Fields");
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setWidgetResizable(true);
  scroll->setFocusPolicy(Qt::NoFocus);
  column->addWidget(scroll, 1);
  auto* body = new QWidget(scroll);
  auto* fields = new QVBoxLayout(body);
  fields->setContentsMargins(0, 0, 0, 0);
  scroll->setWidget(body);
  // The fields lie on the panel's own background.
  scroll->viewport()->setAutoFillBackground(false);
  body->setAutoFillBackground(false);

  if (def.formChoice) AddRadioPair(body, fields, *def.formChoice);

  auto* grid = new QGridLayout;
  grid->setColumnStretch(2, 1);
  fields->addLayout(grid);
  int row = -1;
  QHBoxLayout* line = nullptr;
  bool stretchLine = true;
  auto closeLine = [&] {
    if (line && stretchLine) line->addStretch(1);
  };
  QButtonGroup* radios = nullptr;
  QString lastCaption;
  for (const FieldSpec& f : def.fields) {
    QWidget* w = CreateField(f, body);
    if (*f.name) w->setObjectName(f.name);
    w->setEnabled(f.enabled);
    if (f.kind == FieldKind::Radio) {
      if (!radios) radios = new QButtonGroup(body);
      radios->addButton(static_cast<QRadioButton*>(w));
    } else {
      radios = nullptr;
    }
    const QString labelText = QString::fromUtf8(f.label);
    QLabel* label = nullptr;
    if (IsButtonLike(f.kind)) {
      lastCaption = labelText;
    } else if (!labelText.isEmpty()) {
      label = new QLabel(labelText, body);
      label->setBuddy(w);
      // A long label may take two lines when the panel is narrow.
      label->setWordWrap(labelText.size() > 30);
      w->setAccessibleName(labelText);
    } else if (!lastCaption.isEmpty() && f.kind != FieldKind::Grid) {
      // A count beside its check box ("Выполнить скидку, в количестве:").
      w->setAccessibleName(lastCaption);
    }
    // A name of its own where the label or caption would not tell which
    // field it is (two "на сумму:", three "Случайным образом").
    if (*f.accessibleName) w->setAccessibleName(QString::fromUtf8(f.accessibleName));
    if (f.beside && line) {
      if (label) line->addWidget(label);
      line->addWidget(w);
      continue;
    }
    closeLine();
    ++row;
    line = new QHBoxLayout;
    // Memos, the grid and the long lists (report types, text bindings, whose
    // items are long) take the panel's width.
    stretchLine = f.kind != FieldKind::Memo && f.kind != FieldKind::Grid &&
                  !(f.kind == FieldKind::List && f.items.size() > 6);
    line->addWidget(w, stretchLine ? 0 : 1);
    if (label) {
      grid->addWidget(label, row, 0);
      grid->addLayout(line, row, 1, 1, 2);
    } else {
      grid->addLayout(line, row, 0, 1, 3);
    }
  }
  closeLine();
  fields->addStretch(1);
  return panel;
}

}  // namespace eklz::app
