#include "app/CommandGridPanel.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPointer>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <QTableWidget>

#include <algorithm>

#include "app/Presenter.h"
#include "codec/Errors.h"

namespace eklz::app {

namespace {

// Cells are 32 pixels wide, or as wide as the widest header needs.
constexpr int kCellWidth = 32;

// The cell editor of the grid: every change of its text goes to the panel at
// once, as the operator types, so a wrong digit is caught on the keystroke.
class CellDelegate : public QStyledItemDelegate {
 public:
  CellDelegate(CommandGridPanel& panel, QObject* parent) : QStyledItemDelegate(parent), panel_(panel) {}

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                        const QModelIndex& index) const override {
    auto* editor = new QLineEdit(parent);
    editor->setFrame(false);
    editor->setAlignment(Qt::AlignCenter);
    const int column = index.column();
    QPointer<QLineEdit> guard(editor);
    connect(editor, &QLineEdit::textEdited, editor, [this, column, guard] {
      if (guard) panel_.StringGrid1SetEditText(column, *guard);
    });
    return editor;
  }

  void setModelData(QWidget*, QAbstractItemModel*, const QModelIndex&) const override {
    // The panel keeps the cells in step with the grid model on every keystroke.
  }

 private:
  CommandGridPanel& panel_;
};

}  // namespace

CommandGridPanel::CommandGridPanel(QWidget& panel, CommandGrid& grid, MessagePresenter& presenter,
                                   QObject* parent)
    : QObject(parent), grid_(grid), presenter_(presenter) {
  panel_ = &panel;
  table_ = &CommandGridTable(panel);
  length_ = &CommandLengthSpinner(panel);

  // The length changes by its buttons and keys only (step 1, 10 with Page
  // Up and Page Down); typed text is refused.
  length_->findChild<QLineEdit*>()->setReadOnly(true);
  length_->setRange(1, 100);
  length_->setSingleStep(1);
  connect(length_, &QSpinBox::valueChanged, this, &CommandGridPanel::edSomeComandLenChange);

  table_->setItemDelegate(new CellDelegate(*this, table_));
  table_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                          QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
  cellWidth_ = kCellWidth;
  for (const char* header : {"STX", "Дл.", "Ком.", "Пар.", "CRC"}) {
    cellWidth_ = std::max(cellWidth_, table_->fontMetrics().horizontalAdvance(header) + 10);
  }
  table_->horizontalHeader()->setMinimumSectionSize(cellWidth_);
  table_->horizontalHeader()->setDefaultSectionSize(cellWidth_);
  table_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  table_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setFixedHeight(table_->rowHeight(0) + table_->rowHeight(1) + 2 * table_->frameWidth() +
                         table_->horizontalScrollBar()->sizeHint().height());

  ShowGrid();
}

void CommandGridPanel::Reset() {
  grid_ = CommandGrid();
  {
    const QSignalBlocker block(length_);
    length_->setValue(1);
  }
  ShowGrid();
}

void CommandGridPanel::RefreshGridChecksum() {
  grid_.RefreshGridChecksum();
  ShowGrid();
}

void CommandGridPanel::edSomeComandLenChange(int value) {
  grid_.SetCommandLength(value);
  ShowGrid();
}

// The message about a cell waits until the cell editor's keystroke is over:
// a modal box moves the focus, the view closes and deletes the editor while
// the box is up, and the keystroke would then go on in a deleted editor.
void CommandGridPanel::StringGrid1SetEditText(int column, QLineEdit& editor) {
  const std::string text = editor.text().toStdString();
  try {
    if (grid_.SetValue(column, text) == CommandGrid::Edit::NotHex) {
      editor.clear();
      ShowGrid();
      QMetaObject::invokeMethod(
          this,
          [this] {
            presenter_.ErrorMessage(panel_, CommandGrid::kNotHexMessage, CommandGrid::kNotHexCaption);
          },
          Qt::QueuedConnection);
      return;
    }
  } catch (const TEKLZException& e) {
    editor.setText(QString::fromStdString(grid_.Value(column)));
    ShowGrid();
    QMetaObject::invokeMethod(
        this, [this, message = QString::fromStdString(e.what())] { presenter_.Error(panel_, message); },
        Qt::QueuedConnection);
    return;
  }
  ShowGrid();
  // A value typed into the checksum cell is replaced at once.
  // Selected, so that the next key replaces it again rather than adding a digit.
  if (column == grid_.ColumnCount() - 1) {
    editor.setText(QString::fromStdString(grid_.Value(column)));
    editor.selectAll();
  }
}

void CommandGridPanel::ShowGrid() {
  const int columns = grid_.ColumnCount();
  table_->setColumnCount(columns);
  const QBrush fixed = table_->palette().button();
  for (int c = 0; c < columns; ++c) {
    table_->setColumnWidth(c, cellWidth_);
    for (int r = 0; r < 2; ++r) {
      QTableWidgetItem* cell = table_->item(r, c);
      if (!cell) {
        cell = new QTableWidgetItem;
        cell->setTextAlignment(Qt::AlignCenter);
        table_->setItem(r, c, cell);
      }
      // Row 0 (the headers) and column 0 (STX) are fixed.
      const bool editable = r == 1 && c > 0;
      cell->setFlags(editable ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable
                              : Qt::ItemIsEnabled);
      if (!editable) cell->setBackground(fixed);
      cell->setText(QString::fromStdString(r == 0 ? grid_.Header(c) : grid_.Value(c)));
    }
  }
}

}  // namespace eklz::app
