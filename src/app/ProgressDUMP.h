// The progress dialog of an archive dump: a bar, the line rate, the pages
// and the time left, and a button that stops the dump after the page in
// progress.
#pragma once

#include <QDialog>
#include <QElapsedTimer>

class QLabel;
class QProgressBar;

namespace eklz::app {

struct DumpProgressState;

class TfmProgressDUMP : public QDialog {
  Q_OBJECT
 public:
  explicit TfmProgressDUMP(QWidget* parent = nullptr);
  void SetPercent(int percent);
  // Shows the state the dump has reported: percent, pages, rate, time left.
  void Update(const DumpProgressState& state);

 signals:
  // The operator closed the dialog (button or window frame).
  void closedByOperator();

 protected:
  // The button, Escape and the window frame all end here.
  void done(int result) override;

 private:
  void RzBitBtn1Click();
  QProgressBar* bar_;
  QLabel* state_;
  QElapsedTimer started_;  // from the dump's first page request
  int lastDone_ = -1;
};

}  // namespace eklz::app
