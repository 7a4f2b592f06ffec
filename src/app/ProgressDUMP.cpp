#include "app/ProgressDUMP.h"

#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace eklz::app {

TfmProgressDUMP::TfmProgressDUMP(QWidget* parent) : QDialog(parent) {
  setObjectName("TfmProgressDUMP");
  setWindowTitle("Запрос дампа архива");
  setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);
  setFixedSize(310, 62);
  bar_ = new QProgressBar(this);
  bar_->setObjectName("RzProgressBar1");
  bar_->setRange(0, 100);
  bar_->setValue(0);
  bar_->setAccessibleName("Запрос дампа архива");
  auto* button = new QPushButton("Прервать выполнениие", this);
  button->setObjectName("RzBitBtn1");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 4, 6, 4);
  layout->setSpacing(2);
  layout->addWidget(bar_);
  layout->addWidget(button, 0, Qt::AlignHCenter);
  connect(button, &QPushButton::clicked, this, &TfmProgressDUMP::RzBitBtn1Click);
}

void TfmProgressDUMP::SetPercent(int percent) { bar_->setValue(percent); }

void TfmProgressDUMP::RzBitBtn1Click() { reject(); }

void TfmProgressDUMP::done(int result) {
  emit closedByOperator();
  QDialog::done(result);
}

}  // namespace eklz::app
