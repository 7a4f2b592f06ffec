#include "app/DumpPanels.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QWidget>

#include "app/Presenter.h"

namespace eklz::app {

DumpPanels::DumpPanels(QWidget& params, MessagePresenter& presenter, QObject* parent)
    : QObject(parent), params_(params), presenter_(presenter) {
  auto button = [&](const char* name) { return params.findChild<QAbstractButton*>(name); };
  // toggled rather than clicked: a keyboard choice of the other radio counts too.
  connect(button("rbAskDumpOnePage"), &QAbstractButton::toggled, this, &DumpPanels::rbAskDumpOnePageClick);
  connect(button("chAskDumpArchivInFile"), &QAbstractButton::toggled, this,
          &DumpPanels::chAskDumpArchivInFileClick);
  connect(button("RzToolbarButton1"), &QAbstractButton::clicked, this, &DumpPanels::RzToolbarButton1Click);
  connect(button("RzToolbarButton2"), &QAbstractButton::clicked, this, &DumpPanels::RzToolbarButton2Click);
}

void DumpPanels::rbAskDumpOnePageClick() {
  const bool onePage = params_.findChild<QAbstractButton*>("rbAskDumpOnePage")->isChecked();
  params_.findChild<QWidget*>("eiAskDumpNumPageTo")->setEnabled(!onePage);
}

void DumpPanels::chAskDumpArchivInFileClick() {
  const bool toFile = params_.findChild<QAbstractButton*>("chAskDumpArchivInFile")->isChecked();
  params_.findChild<QWidget*>("edAskDumpArchivFileName")->setEnabled(toFile);
  params_.findChild<QWidget*>("RzToolbarButton1")->setEnabled(toFile);
}

void DumpPanels::RzToolbarButton1Click() {
  ChooseFile(*params_.findChild<QLineEdit*>("edAskDumpArchivFileName"));
}

void DumpPanels::RzToolbarButton2Click() { ChooseFile(*params_.findChild<QLineEdit*>("edAllDumpFileName")); }

void DumpPanels::ChooseFile(QLineEdit& target) {
  const QString path = presenter_.SaveDumpFileName(&params_);
  if (!path.isEmpty()) target.setText(path);
}

}  // namespace eklz::app
