// The about box: names the tool and its version. Shown at start-up, where it
// closes itself after about three seconds, and from the toolbar, where it
// stays until clicked.
#pragma once

#include <QDialog>
#include <QUrl>

class QTimer;

namespace eklz::app {

class TfmMyAbout : public QDialog {
  Q_OBJECT
 public:
  // `homePage`: what the web-address label opens.
  explicit TfmMyAbout(QUrl homePage, QWidget* parent = nullptr);

  bool AutoClose() const { return autoClose_; }

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Timer1Timer();
  void Image1Click();
  void Label6Click();

  QUrl homePage_;
  QTimer* timer1_;
  int countdown_ = 2;
  bool autoClose_ = true;
};

}  // namespace eklz::app
