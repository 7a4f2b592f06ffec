// The arbitrary command's panel: the command grid on a table widget over the
// CommandGrid model, the command length spinner that resizes it, and the
// reply options.
#pragma once

#include <QObject>

#include <string>

#include "commands/Arbitrary.h"

class QLineEdit;
class QSpinBox;
class QTableWidget;
class QWidget;

namespace eklz::app {

class MessagePresenter;

// The arbitrary command's panel: its grid and its length spinner (defined
// with its page).
QTableWidget& CommandGridTable(QWidget& panel);
QSpinBox& CommandLengthSpinner(QWidget& panel);

class CommandGridPanel : public QObject {
  Q_OBJECT
 public:
  // `panel` is the arbitrary command's panel; `grid` is the model that the
  // page reads the frame from.
  CommandGridPanel(QWidget& panel, CommandGrid& grid, MessagePresenter& presenter,
                   QObject* parent = nullptr);

  // The start-up grid: STX "02", length "01", command "00", its checksum;
  // the length spinner back at 1.
  void Reset();
  // Recomputes the checksum cell (the panel is being shown).
  void RefreshGridChecksum();

  // Handlers under their component names.
  void edSomeComandLenChange(int value);
  // The text of value cell `column` changed while being edited in `editor`.
  void StringGrid1SetEditText(int column, QLineEdit& editor);

 private:
  // Copies the model into the table's cells.
  void ShowGrid();

  CommandGrid& grid_;
  MessagePresenter& presenter_;
  QWidget* panel_;
  QTableWidget* table_;
  QSpinBox* length_;
  int cellWidth_;
};

}  // namespace eklz::app
