// The handlers of the two dump panels: the page range and the file of the
// archive dump (pnAskDumpArchiv) and the file of the full dump (pnAllDump).
#pragma once

#include <QObject>

class QLineEdit;
class QWidget;

namespace eklz::app {

class MessagePresenter;

class DumpPanels : public QObject {
  Q_OBJECT
 public:
  DumpPanels(QWidget& params, MessagePresenter& presenter, QObject* parent = nullptr);

  // "Только одна страница" / "Диапазон страниц": the last page follows.
  void rbAskDumpOnePageClick();
  // The file name and its browse button follow the check box.
  void chAskDumpArchivInFileClick();
  // The browse buttons: the save dialog of dump files puts the chosen path
  // into the file name; cancelling changes nothing.
  void RzToolbarButton1Click();
  void RzToolbarButton2Click();

 private:
  void ChooseFile(QLineEdit& target);

  QWidget& params_;
  MessagePresenter& presenter_;
};

}  // namespace eklz::app
