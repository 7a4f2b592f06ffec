#include "app/ProgressDUMP.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/Worker.h"
#include "commands/ArchiveDump.h"

namespace eklz::app {

TfmProgressDUMP::TfmProgressDUMP(QWidget* parent) : QDialog(parent) {
  setObjectName("TfmProgressDUMP");
  setWindowTitle("Запрос дампа архива");
  setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);
  setFixedSize(360, 84);
  bar_ = new QProgressBar(this);
  bar_->setObjectName("RzProgressBar1");
  bar_->setRange(0, 100);
  bar_->setValue(0);
  bar_->setAccessibleName("Запрос дампа архива");
  state_ = new QLabel(this);
  state_->setObjectName("lbDumpState");
  state_->setAlignment(Qt::AlignHCenter);
  auto* button = new QPushButton("Прервать выполнениие", this);
  button->setObjectName("RzBitBtn1");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 4, 6, 4);
  layout->setSpacing(2);
  layout->addWidget(bar_);
  layout->addWidget(state_);
  layout->addWidget(button, 0, Qt::AlignHCenter);
  connect(button, &QPushButton::clicked, this, &TfmProgressDUMP::RzBitBtn1Click);
  started_.start();
}

void TfmProgressDUMP::SetPercent(int percent) { bar_->setValue(percent); }

void TfmProgressDUMP::Update(const DumpProgressState& state) {
  SetPercent(state.percent);
  // The pages of the archive are shown; the pace is of this dump's pages.
  const int done = state.done, total = state.total, held = state.held;
  const uint32_t baud = state.baud;
  // The pace is measured from the moment the first page was asked for.
  if (done == 0 && lastDone_ != 0) started_.restart();
  lastDone_ = done;
  QString text;
  if (baud != 0) text = QString("Скорость %1, ").arg(baud);
  text += QString("страница %1 из %2").arg(held + done).arg(held + total);
  const long long left = DumpSecondsLeft(done, total, started_.elapsed() / 1000.0, baud);
  if (left >= 0) text += ", осталось " + QString::fromStdString(DurationText(left));
  state_->setText(text);
  state_->setAccessibleName(text);
}

void TfmProgressDUMP::RzBitBtn1Click() { reject(); }

void TfmProgressDUMP::done(int result) {
  emit closedByOperator();
  QDialog::done(result);
}

}  // namespace eklz::app
