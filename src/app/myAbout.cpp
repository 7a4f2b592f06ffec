#include "app/myAbout.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QTimer>
#include <QUrl>

namespace eklz::app {

namespace {

QLabel* PlacedLabel(QWidget* parent, const char* name, const QRect& geometry) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  label->setGeometry(geometry);
  label->setAttribute(Qt::WA_TranslucentBackground);
  return label;
}

}  // namespace

TfmMyAbout::TfmMyAbout(QUrl homePage, QWidget* parent)
    : QDialog(parent), homePage_(std::move(homePage)) {
  setObjectName("TfmMyAbout");
  setWindowTitle("О программе");
  setFixedSize(308, 253);

  QLabel* image1 = PlacedLabel(this, "Image1", rect());
  image1->setPixmap(QPixmap(":/icons/background.png"));
  image1->setScaledContents(true);

  QLabel* image2 = PlacedLabel(this, "Image2", QRect(8, 16, 180, 45));
  image2->setPixmap(QPixmap(":/icons/logo.png"));
  image2->setScaledContents(true);

  QLabel* label1 = PlacedLabel(this, "Label1", QRect(199, 16, 105, 48));
  label1->setText("ЭКЛЗ");
  QFont times("Times New Roman");
  times.setPixelSize(40);
  times.setBold(true);
  times.setItalic(true);
  label1->setFont(times);
  label1->setStyleSheet("color: teal;");

  QLabel* label2 = PlacedLabel(this, "Label2", QRect(4, 96, 300, 40));
  label2->setWordWrap(true);
  label2->setText(QString("Утилита для тестирования ЭКЛЗ v. %1").arg(EKLZ_VERSION));
  QFont bold = font();
  bold.setPixelSize(13);
  bold.setBold(true);
  label2->setFont(bold);
  label2->setStyleSheet("color: teal;");

  QLabel* label5 = PlacedLabel(this, "Label5", QRect(155, 229, 150, 14));
  label5->setText(QString("eklz-tester, версия %1").arg(EKLZ_VERSION));
  QFont small = font();
  small.setPixelSize(8);
  label5->setFont(small);
  label5->setStyleSheet("color: navy;");

  QLabel* label6 = PlacedLabel(this, "Label6", QRect(8, 226, 145, 18));
  label6->setText("Справка");
  QFont link = font();
  link.setPixelSize(13);
  link.setUnderline(true);
  label6->setFont(link);
  label6->setStyleSheet("color: blue;");
  label6->setCursor(Qt::PointingHandCursor);

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
