// The options dialog TfmOptions: the connection, exchange and logging
// settings and the organisation's particulars, with a probe of the chosen
// port and a search of every port and rate for an EKLZ. The probe and the
// search run as jobs of the window's job runner against its session, so the
// port they leave open is the window's port.
#pragma once

#include <QDialog>

#include <string>
#include <vector>

#include "settings/SettingsRecord.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace eklz::app {

class IntegerEdit;
class JobRunner;
class MessagePresenter;
class StatusPane;

class TfmOptions : public QDialog {
  Q_OBJECT
 public:
  // `parent` is the window whose link `runner` keeps.
  TfmOptions(JobRunner& runner, MessagePresenter& presenter, QWidget* parent);

  // RzToolButton2Click: the dialog created, filled from the session's
  // settings and the window's record `stored`, shown modally, and copied
  // back only when closed with OK (then true). A port, rate or time-out
  // accepted while the link is open takes effect at once: the link is
  // opened again there.
  static bool Run(JobRunner& runner, WindowSettings& stored, MessagePresenter& presenter, QWidget* parent);

  void FillFrom(const Settings& s, const WindowSettings& w);
  void CopyTo(Settings& s, WindowSettings& w) const;

  // "Попытаться подключится" and "Найти ЭКЛЗ".
  void RzBitBtn1Click();
  void RzBitBtn2Click();
  // Stops the probe or search in flight.
  void CancelSearch();
  bool Busy() const { return busy_; }

  // The ports the search tries, in order: the typed port when it is not in
  // the list, then the list.
  std::vector<std::string> SearchPorts() const;

  void accept() override;
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildControls();
  void FillPortList();
  int TimeoutValue() const;
  // Whether the rate field holds a rate; else the operator is told so.
  bool RateIsANumber();
  void SetBusy(bool busy);
  void BackToSettingsLink();

  JobRunner& runner_;
  MessagePresenter& presenter_;
  bool busy_ = false;
  bool closeWhenIdle_ = false;
  // The window's link when the dialog opened, whether a probe or search has
  // taken the window's port since, and where an EKLZ answered last.
  bool linkWasOpen_ = false;
  bool portTried_ = false;
  std::string foundPort_;
  std::string foundRate_;
  int foundTimeout_ = 0;

  QComboBox* port_;
  QComboBox* rate_;
  IntegerEdit* timeout_;
  QPushButton* probe_;
  QPushButton* search_;
  QPushButton* stop_;
  StatusPane* progress_;
  QRadioButton* win1251_;
  QRadioButton* pc866_;
  QCheckBox* logTxt_;
  QCheckBox* logHex_;
  QCheckBox* abort_;
  QCheckBox* connected_;
  QCheckBox* crcOff_;
  QPushButton* ok_;
  QPushButton* cancel_;
  QLineEdit* nameOrg_;
  QLineEdit* fioBoss_;
};

}  // namespace eklz::app
