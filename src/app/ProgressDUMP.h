// The progress dialog of an archive dump: a bar and a button that stops the
// dump after the page in progress.
#pragma once

#include <QDialog>

class QProgressBar;

namespace eklz::app {

class TfmProgressDUMP : public QDialog {
  Q_OBJECT
 public:
  explicit TfmProgressDUMP(QWidget* parent = nullptr);
  void SetPercent(int percent);

 signals:
  // The operator closed the dialog (button or window frame).
  void closedByOperator();

 protected:
  // The button, Escape and the window frame all end here.
  void done(int result) override;

 private:
  void RzBitBtn1Click();
  QProgressBar* bar_;
};

}  // namespace eklz::app
