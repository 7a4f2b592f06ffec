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

class CommandGridPanel : public QObject {
  Q_OBJECT
 public:
  // `params` holds the panels (pnSomeComand and pnAutoTest); `grid` is the
  // model that the dispatcher reads the frame from.
  CommandGridPanel(QWidget& params, CommandGrid& grid, MessagePresenter& presenter,
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
  void rbSomeComandTXTClick();

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
