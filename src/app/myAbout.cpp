#include "app/myAbout.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace eklz::app {

namespace {

QLabel* NamedLabel(QWidget* parent, const char* name) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  label->setAttribute(Qt::WA_TranslucentBackground);
  return label;
}

// The box's designed size; a larger font makes it larger, never smaller.
constexpr QSize kDesignedSize(308, 253);

}  // namespace

// The labels lie in layouts over the background picture, so that each of
// them is as tall as its font needs in the style and fonts of the system.
TfmMyAbout::TfmMyAbout(QUrl homePage, QWidget* parent)
    : QDialog(parent), homePage_(std::move(homePage)) {
  setObjectName("TfmMyAbout");
  setWindowTitle("О программе");

  QLabel* image1 = NamedLabel(this, "Image1");
  image1->setPixmap(QPixmap(":/icons/background.png"));
  image1->setScaledContents(true);

  QLabel* image2 = NamedLabel(this, "Image2");
  image2->setPixmap(QPixmap(":/icons/logo.png"));
  image2->setScaledContents(true);
  image2->setFixedSize(180, 45);

  QLabel* label1 = NamedLabel(this, "Label1");
  label1->setText("ЭКЛЗ");
  QFont times("Times New Roman");
  times.setPixelSize(40);
  times.setBold(true);
  times.setItalic(true);
  label1->setFont(times);
  label1->setStyleSheet("color: teal;");

  QLabel* label2 = NamedLabel(this, "Label2");
  label2->setWordWrap(true);
  label2->setText(QString("Утилита для тестирования ЭКЛЗ v. %1").arg(EKLZ_VERSION));
  QFont bold = font();
  bold.setPixelSize(13);
  bold.setBold(true);
  label2->setFont(bold);
  label2->setStyleSheet("color: teal;");

  QLabel* label5 = NamedLabel(this, "Label5");
  label5->setText(QString("eklz-tester, версия %1").arg(EKLZ_VERSION));
  // In the system's own font: a smaller one was hardly readable.
  label5->setStyleSheet("color: navy;");

  QLabel* label6 = NamedLabel(this, "Label6");
  label6->setText("Справка");
  QFont link = font();
  link.setPixelSize(13);
  link.setUnderline(true);
  label6->setFont(link);
  label6->setStyleSheet("color: blue;");
  label6->setCursor(Qt::PointingHandCursor);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(8, 16, 6, 8);
  auto* top = new QHBoxLayout;
  top->addWidget(image2, 0, Qt::AlignTop);
  top->addStretch(1);
  top->addWidget(label1, 0, Qt::AlignTop);
  column->addLayout(top);
  column->addSpacing(28);
  column->addWidget(label2);
  column->addStretch(1);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(label6, 0, Qt::AlignBottom);
  bottom->addStretch(1);
  bottom->addWidget(label5, 0, Qt::AlignBottom);
  column->addLayout(bottom);

  const int width = std::max(kDesignedSize.width(), column->sizeHint().width());
  const int height = std::max(kDesignedSize.height(), column->hasHeightForWidth()
                                                          ? column->totalHeightForWidth(width)
                                                          : column->sizeHint().height());
  setFixedSize(width, height);
  image1->setGeometry(rect());
  image1->lower();

  for (QLabel* l : {image1, image2, label1, label2, label5, label6}) l->installEventFilter(this);

  timer1_ = new QTimer(this);
  timer1_->setInterval(1000);
  connect(timer1_, &QTimer::timeout, this, &TfmMyAbout::Timer1Timer);
}

void TfmMyAbout::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (autoClose_) timer1_->start();
}

bool TfmMyAbout::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease) {
    if (watched->objectName() == "Label6") {
      Label6Click();
    } else {
      Image1Click();
    }
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

// The countdown is not reset by closing the box: the first showing's timer
// runs to its closing tick and then stops for good.
void TfmMyAbout::Timer1Timer() {
  if (countdown_ > 0) {
    --countdown_;
    return;
  }
  close();
  timer1_->stop();
  autoClose_ = false;
}

void TfmMyAbout::Image1Click() { close(); }

void TfmMyAbout::Label6Click() {
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  QDesktopServices::openUrl(homePage_);
  QGuiApplication::restoreOverrideCursor();
}

}  // namespace eklz::app
