// The repair request: the panel's widgets read into and filled from the
// RepairRequestPanel record, the panel's own handlers, and the one-page
// printed request form, drawn by one routine for the printer, the print
// preview and the PDF file.
#pragma once

#include <QObject>
#include <QString>

#include <functional>

#include "procedures/RepairRequest.h"
#include "settings/SettingsRecord.h"

class QAbstractButton;
class QPainter;
class QPrinter;
class QWidget;

namespace eklz::app {

class JobRunner;
class MessagePresenter;
class PanelFields;

// The repair request's panel as a record, and back (defined with its page).
RepairRequestPanel ReadRepairRequestPanel(const PanelFields& fields);
// After a run: the dates, the cash-register fields and the failure memo
// take the record's values; what the operator typed comes back as it went in.
void ShowRepairRequestPanel(QWidget& panel, const RepairRequestPanel& record);
// The failure memo alone, after a run that did not complete.
void ShowRepairFailures(QWidget& panel, const RepairRequestPanel& record);
// The panel's print button.
QAbstractButton& RepairRequestPrintButton(QWidget& panel);

// The value of a form variable by its name (NumRequest, FactoryNum, ...).
using FormVariables = std::function<QString(const char* name)>;

// Draws the request form onto the printer's first page: Times New Roman 12,
// the 20-point heading, the two-column lines, the two text areas in Arial 10,
// the signature and stamp lines, the rule and the supplier's part.
void PaintRepairRequestForm(QPrinter& printer, const FormVariables& values);

// The print button of the repair request's panel with its print preview and
// PDF choices. (The check box that enables the reason memo is the page's.)
class RepairRequestForm : public QObject {
  Q_OBJECT
 public:
  // The form prints what `runner`'s session learnt and the organisation of
  // the window's record `stored`.
  RepairRequestForm(JobRunner& runner, const WindowSettings& stored, QWidget& panel, MessagePresenter& presenter);

  // The form's variables as the panel, the session and the record hold them now.
  FormVariables Variables() const;

  // "Распечатать заявку на ремонт ЭКЛЗ": the system print dialog, then the form.
  void RzBitBtn1Click();
  void PrintPreview();
  void SaveAsPdf();

 private:
  // False (and the operator told why) while a job runs on the session.
  bool Ready() const;

  JobRunner& runner_;
  const WindowSettings& stored_;
  QWidget& panel_;
  MessagePresenter& presenter_;
};

}  // namespace eklz::app
