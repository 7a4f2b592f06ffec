#include "app/Options.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

#include "app/Fields.h"
#include "app/StatusPane.h"
#include "app/JobRunner.h"
#include "app/Presenter.h"
#include "codec/CommandCodes.h"
#include "commands/PortSearch.h"
#include "protocol/Session.h"
#include "serial/PortList.h"

namespace eklz::app {

namespace {

constexpr int kDescriptionRole = Qt::UserRole + 1;

// The drop-down list of ports shows each port with what the system knows of
// it; the field itself shows the bare name, which is what the setting holds.
class PortDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    const QString description = index.data(kDescriptionRole).toString();
    if (!description.isEmpty()) option->text += "  —  " + description;
  }
};

QString Text(const std::string& s) { return QString::fromStdString(s); }

// Sets an editable list to `text`: its item when it has one, else the text.
void SetListText(QComboBox& list, const QString& text) {
  const int index = list.findText(text);
  if (index >= 0) {
    list.setCurrentIndex(index);
  } else {
    list.setEditText(text);
  }
}

}  // namespace

TfmOptions::TfmOptions(JobRunner& runner, MessagePresenter& presenter, QWidget* parent)
    : QDialog(parent), runner_(runner), presenter_(presenter) {
  setObjectName("TfmOptions");
  setWindowTitle("Параметры");
  setModal(true);
  BuildControls();
}

void TfmOptions::BuildControls() {
  auto* root = new QVBoxLayout(this);
  root->setSizeConstraint(QLayout::SetFixedSize);  // a fixed dialog border
  auto* top = new QHBoxLayout;
  root->addLayout(top);

  // Connection, on the left.
  auto* link = new QGroupBox("Параметры подключения", this);
  link->setObjectName("RzGroupBox1");
  link->setMinimumWidth(185);
  auto* linkRows = new QVBoxLayout(link);
  auto label = [this](const char* name, const char* text, QWidget* buddy) {
    auto* l = new QLabel(text, this);
    l->setObjectName(name);
    l->setBuddy(buddy);
    buddy->setAccessibleName(QString(text).remove(':'));
    return l;
  };
  port_ = new QComboBox(link);
  port_->setObjectName("RzComboBox1");
  port_->setEditable(true);
  port_->setInsertPolicy(QComboBox::NoInsert);
  port_->setItemDelegate(new PortDelegate(port_));
  port_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  port_->setMinimumContentsLength(12);
  // The field's hint names what the system knows of the port it shows.
  connect(port_, &QComboBox::currentTextChanged, this, [this](const QString& text) {
    const int index = port_->findText(text);
    port_->setToolTip(index < 0 ? QString() : port_->itemData(index, kDescriptionRole).toString());
  });
  rate_ = new QComboBox(link);
  rate_->setObjectName("RzComboBox2");
  rate_->setEditable(true);
  rate_->setInsertPolicy(QComboBox::NoInsert);
  for (const char* r : kExchangeRates) rate_->addItem(r);
  timeout_ = new IntegerEdit(kMinPortTimeout, kMaxPortTimeout, 10, true, link);
  timeout_->setObjectName("RzNumericEdit1");
  probe_ = new QPushButton("Попытаться подключится", link);
  probe_->setObjectName("RzBitBtn1");
  search_ = new QPushButton("Найти ЭКЛЗ", link);
  search_->setObjectName("RzBitBtn2");
  linkRows->addWidget(label("RzLabel1", "СОМ порт:", port_));
  linkRows->addWidget(port_);
  linkRows->addWidget(label("RzLabel2", "Скорость обмена:", rate_));
  linkRows->addWidget(rate_);
  linkRows->addWidget(label("RzLabel3", "Тайм-аут (милисекунды):", timeout_));
  linkRows->addWidget(timeout_);
  linkRows->addWidget(probe_);
  linkRows->addWidget(search_);
  linkRows->addStretch(1);
  top->addWidget(link);

  // The other options, on the right.
  auto* other = new QGroupBox(" Прочие параметры ", this);
  other->setObjectName("RzGroupBox2");
  auto* otherRows = new QVBoxLayout(other);
  auto check = [other](const char* name, const char* text) {
    auto* c = new QCheckBox(text, other);
    c->setObjectName(name);
    return c;
  };
  win1251_ = new QRadioButton("Использовать для обмена с ЭКЛЗ текст в кодировке Win1251", other);
  win1251_->setObjectName("RzRadioButton1");
  pc866_ = new QRadioButton("Использовать для обмена с ЭКЛЗ текст в кодировке PC866", other);
  pc866_->setObjectName("RzRadioButton2");
  logTxt_ = check("RzCheckBox1", "Вести LOG  в текстовом виде");
  logHex_ = check("RzCheckBox2", "Вести LOG  в шестнадцатиричном виде");
  abort_ = check("RzCheckBox3", "При старте программы выполнять команду сброса состояния ЭКЛЗ");
  connected_ = check("RzCheckBox4", "При старте программы выполнять попытку соединения с ЭКЛЗ");
  crcOff_ = check("RzCheckBox5", "Отключить контроль CRC ответов ЭКЛЗ");
  // The abort option is shown below the connection option it depends on.
  for (QWidget* w : std::initializer_list<QWidget*>{win1251_, pc866_, logTxt_, logHex_, connected_,
                                                    abort_, crcOff_}) {
    otherRows->addWidget(w);
  }
  otherRows->addStretch(1);
  top->addWidget(other, 1);

  // The organisation, across the full width.
  auto* org = new QGroupBox("Реквизиты организации (для заявки на замену ЭКЛЗ) ", this);
  org->setObjectName("RzGroupBox3");
  auto* orgRows = new QGridLayout(org);
  nameOrg_ = new QLineEdit(org);
  nameOrg_->setObjectName("RzEdit1");
  fioBoss_ = new QLineEdit(org);
  fioBoss_->setObjectName("RzEdit2");
  orgRows->addWidget(label("RzLabel4", "Название организации:", nameOrg_), 0, 0);
  orgRows->addWidget(nameOrg_, 0, 1);
  orgRows->addWidget(label("RzLabel5", "ФИО руководителя:", fioBoss_), 1, 0);
  orgRows->addWidget(fioBoss_, 1, 1);
  root->addWidget(org);

  // What the probe or search is doing, and the button that stops it.
  auto* progressRow = new QHBoxLayout;
  progress_ = new StatusPane("Ход поиска", this);
  progress_->setObjectName("lbSearchProgress");
  progress_->setWordWrap(true);
  progress_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  stop_ = new QPushButton("Прервать поиск", this);
  stop_->setObjectName("btSearchCancel");
  stop_->setEnabled(false);
  progressRow->addWidget(progress_, 1);
  progressRow->addWidget(stop_);
  root->addLayout(progressRow);

  // OK on the left, Cancel beside it.
  auto* buttons = new QHBoxLayout;
  ok_ = new QPushButton("Принять параметры", this);
  ok_->setObjectName("RzBitBtn3");
  ok_->setDefault(true);
  cancel_ = new QPushButton("Отмена", this);
  cancel_->setObjectName("RzBitBtn4");
  buttons->addStretch(1);
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);
  root->addLayout(buttons);

  QWidget* order[] = {port_,   rate_,   timeout_,   probe_,  search_, stop_,   win1251_, pc866_, logTxt_,
                      logHex_, abort_,  connected_, crcOff_, ok_,     cancel_, nameOrg_, fioBoss_};
  for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

  connect(probe_, &QPushButton::clicked, this, &TfmOptions::RzBitBtn1Click);
  connect(search_, &QPushButton::clicked, this, &TfmOptions::RzBitBtn2Click);
  connect(stop_, &QPushButton::clicked, this, &TfmOptions::CancelSearch);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel_, &QPushButton::clicked, this, &TfmOptions::reject);
}

void TfmOptions::FillPortList() {
  port_->clear();
  for (const SerialPortInfo& p : ListSerialPorts()) {
    port_->addItem(Text(p.name));
    const int i = port_->count() - 1;
    const QString description = Text(p.Description());
    port_->setItemData(i, description, kDescriptionRole);
    if (!description.isEmpty()) port_->setItemData(i, description, Qt::ToolTipRole);
  }
  port_->view()->setMinimumWidth(port_->view()->sizeHintForColumn(0) + 24);
}

bool TfmOptions::Run(JobRunner& runner, WindowSettings& stored, MessagePresenter& presenter, QWidget* parent) {
  TfmOptions dialog(runner, presenter, parent);
  dialog.linkWasOpen_ = runner.Session().LinkOpen();
  const Settings before = runner.Session().settings;
  dialog.FillFrom(before, stored);
  presenter.ShowModal(dialog);
  const bool accepted = dialog.result() == QDialog::Accepted;
  if (accepted) dialog.CopyTo(runner.Session().settings, stored);
  if (!dialog.portTried_) {
    // The open link moves to the port, rate and time-out just accepted (the
    // abort command first when the settings ask for it); one that does not
    // open is said in the panes and a message.
    const Settings& now = runner.Session().settings;
    const bool linkChanged = now.ComPort != before.ComPort || now.BoundRate != before.BoundRate ||
                             now.TimeOuts != before.TimeOuts;
    if (accepted && linkChanged && dialog.linkWasOpen_) runner.OpenLinkFromSettings(true);
    return accepted;
  }
  // A probe or search left the window on the port it tried last. The window
  // goes back to the port, rate and time-out of its settings: open when it
  // was open before or when the settings now name the port where the EKLZ
  // answered, closed otherwise.
  const Settings& s = runner.Session().settings;
  const bool onFound = accepted && !dialog.foundPort_.empty() && dialog.foundPort_ == s.ComPort &&
                       dialog.foundRate_ == s.BoundRate && dialog.foundTimeout_ == s.TimeOuts;
  if (onFound) {
    runner.KeepLink();
  } else {
    runner.RestoreLink(dialog.linkWasOpen_, accepted);
  }
  return accepted;
}

void TfmOptions::FillFrom(const Settings& s, const WindowSettings& w) {
  FillPortList();
  SetListText(*port_, Text(s.ComPort));
  SetListText(*rate_, Text(s.BoundRate));
  // A stored time-out outside the field's range is shown at the nearest end.
  timeout_->SetValue(std::clamp(s.TimeOuts, kMinPortTimeout, kMaxPortTimeout));
  win1251_->setChecked(s.Win1251);
  pc866_->setChecked(!s.Win1251);
  logTxt_->setChecked(s.LogTXT);
  logHex_->setChecked(s.LogHEX);
  abort_->setChecked(s.EKLZAbort);
  connected_->setChecked(w.Connected);
  crcOff_->setChecked(s.CrcOff);
  nameOrg_->setText(Text(w.NameOrg));
  fioBoss_->setText(Text(w.FioBoss));
}

void TfmOptions::CopyTo(Settings& s, WindowSettings& w) const {
  s.ComPort = port_->currentText().toStdString();
  s.BoundRate = rate_->currentText().toStdString();
  s.TimeOuts = TimeoutValue();
  s.Win1251 = win1251_->isChecked();
  s.LogTXT = logTxt_->isChecked();
  s.LogHEX = logHex_->isChecked();
  s.EKLZAbort = abort_->isChecked();
  w.Connected = connected_->isChecked();
  s.CrcOff = crcOff_->isChecked();
  w.NameOrg = nameOrg_->text().toStdString();
  w.FioBoss = fioBoss_->text().toStdString();
}

int TfmOptions::TimeoutValue() const { return static_cast<int>(timeout_->Value()); }

bool TfmOptions::RateIsANumber() {
  const QString rate = rate_->currentText();
  if (LineRateValue(rate.toStdString())) return true;
  presenter_.Error(this, QString("В поле \"Скорость обмена\" не число бод: \"%1\"").arg(rate));
  rate_->setFocus();
  return false;
}

std::vector<std::string> TfmOptions::SearchPorts() const {
  std::vector<std::string> ports;
  const QString typed = port_->currentText().trimmed();
  if (!typed.isEmpty() && port_->findText(typed) < 0) ports.push_back(typed.toStdString());
  for (int i = 0; i < port_->count(); ++i) ports.push_back(port_->itemText(i).toStdString());
  return ports;
}

void TfmOptions::SetBusy(bool busy) {
  busy_ = busy;
  probe_->setEnabled(!busy);
  search_->setEnabled(!busy);
  ok_->setEnabled(!busy);
  stop_->setEnabled(busy);
}

void TfmOptions::RzBitBtn1Click() {
  if (busy_ || runner_.Busy()) return;
  if (!RateIsANumber()) return;
  const std::string port = port_->currentText().toStdString();
  const std::string rate = rate_->currentText().toStdString();
  const int timeout = TimeoutValue();
  auto found = std::make_shared<bool>(false);
  portTried_ = true;
  SetBusy(true);
  progress_->setText(QString("Проверка: %1, %2").arg(Text(port), Text(rate)));
  runner_.Start(
      [=](EklzSession& s) {
        s.ClosePort();
        s.OpenPort(port, rate, timeout);
        *found = ProbeEklz(s);
      },
      [this, found, port, rate, timeout, guard = QPointer<TfmOptions>(this)](const JobOutcome& outcome) {
        if (!guard) return;
        SetBusy(false);
        progress_->clear();
        if (outcome.cancelled) {
          progress_->setText("Проверка прервана");
          runner_.ShowExchangeStatus("Проверка прервана");
        } else if (outcome.failed) {
          presenter_.Error(this, outcome.message);
        } else {
          presenter_.Information(
              this, *found ? "ЭКЛЗ успешно обнаружена" : "ЭКЛЗ не обнаружена", "Сообщение");
          // The pane tells the truth: a port where no EKLZ answered is no link.
          if (*found) {
            runner_.ShowLinkFound(Text(port), Text(rate));
            foundPort_ = port;
            foundRate_ = rate;
            foundTimeout_ = timeout;
          } else {
            foundPort_.clear();
          }
        }
        if (outcome.failed || !*found) BackToSettingsLink();
        if (closeWhenIdle_) QDialog::reject();
      });
}

void TfmOptions::RzBitBtn2Click() {
  if (busy_ || runner_.Busy()) return;
  const std::vector<std::string> ports = SearchPorts();
  std::vector<std::string> rates;
  for (int i = 0; i < rate_->count(); ++i) rates.push_back(rate_->itemText(i).toStdString());
  const int timeout = TimeoutValue();
  auto result = std::make_shared<PortSearchResult>();
  portTried_ = true;
  foundPort_.clear();
  SetBusy(true);
  progress_->setText("Поиск ЭКЛЗ...");
  QPointer<TfmOptions> guard(this);
  auto onStep = [guard](const std::string& port, const std::string& rate, int index, int total) {
    // On the worker thread: the label is set on the GUI thread.
    const QString text = QString("Поиск: %1, %2 (%3 из %4)")
                             .arg(Text(port), Text(rate))
                             .arg(index)
                             .arg(total);
    QMetaObject::invokeMethod(
        guard.data(), [guard, text] {
          if (guard) guard->progress_->setText(text);
        },
        Qt::QueuedConnection);
  };
  runner_.Start(
      [=](EklzSession& s) { *result = FindEklz(s, ports, rates, timeout, onStep); },
      [this, result, timeout, guard](const JobOutcome& outcome) {
        if (!guard) return;
        SetBusy(false);
        if (outcome.cancelled) {
          progress_->setText("Поиск прерван");
          runner_.ShowExchangeStatus("Поиск прерван");
        } else if (outcome.failed) {
          progress_->clear();
          presenter_.Error(this, outcome.message);
        } else if (result->found) {
          progress_->setText(QString("ЭКЛЗ найдена: %1, %2").arg(Text(result->port), Text(result->rate)));
          presenter_.Information(this, "ЭКЛЗ успешно обнаружена", "Сообщение");
          SetListText(*port_, Text(result->port));
          SetListText(*rate_, Text(result->rate));
          foundPort_ = result->port;
          foundRate_ = result->rate;
          foundTimeout_ = timeout;
          runner_.ShowLinkFound(Text(result->port), Text(result->rate));
        } else {
          QString text = "ЭКЛЗ не найдена";
          if (!result->failed.empty()) {
            text += ". Не открылись:";
            for (const std::string& f : result->failed) text += "\n" + Text(f).replace("\r\n", " ");
          }
          progress_->setText(text);
        }
        if (outcome.failed || !result->found) BackToSettingsLink();
        if (closeWhenIdle_) QDialog::reject();
      });
}

// A probe or search that found nothing leaves the window where its settings
// say, not on the port tried last.
void TfmOptions::BackToSettingsLink() {
  portTried_ = false;
  runner_.RestoreLink(linkWasOpen_);
}

void TfmOptions::CancelSearch() {
  if (busy_) runner_.Cancel();
}

// OK refuses a rate that is no number of bauds: the link could not open on it.
void TfmOptions::accept() {
  if (busy_ || !RateIsANumber()) return;
  QDialog::accept();
}

// Cancel (and Escape) during a probe or search stops it first; the dialog
// closes as soon as the job has ended.
void TfmOptions::reject() {
  if (busy_) {
    closeWhenIdle_ = true;
    runner_.Cancel();
    return;
  }
  QDialog::reject();
}

void TfmOptions::closeEvent(QCloseEvent* event) {
  if (busy_) {
    event->ignore();
    reject();
    return;
  }
  QDialog::closeEvent(event);
}

}  // namespace eklz::app
