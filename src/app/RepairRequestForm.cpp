#include "app/RepairRequestForm.h"

#include <QAbstractButton>
#include <QDateTimeEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPageLayout>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>

#include "app/Dispatcher.h"
#include "app/Presenter.h"
#include "app/Views.h"
#include "app/JobRunner.h"
#include "codec/Errors.h"

namespace eklz::app {

namespace {

QString Utf8(const std::string& s) { return QString::fromStdString(s); }

// The form is one A4 page unless the operator picks another in the print dialog.
void PrepareFormPrinter(QPrinter& printer) {
  printer.setDocName("Заявка на ремонт ЭКЛЗ");
  printer.setPageSize(QPageSize(QPageSize::A4));
}

}  // namespace

// --- The printed form ---------------------------------------------------------------

void PaintRepairRequestForm(QPrinter& printer, const FormVariables& values) {
  printer.setPageMargins(QMarginsF(20, 15, 15, 15), QPageLayout::Millimeter);
  QPainter painter;
  BeginPrinting(painter, printer);
  const double dpi = printer.resolution();
  auto mm = [dpi](double v) { return v * dpi / 25.4; };
  const QRectF page(0, 0, painter.device()->width(), painter.device()->height());
  const QString v[] = {values("NumRequest"),   values("FactoryNum"),  values("DateOfActivate"),
                       values("ModelOfKKT"),   values("FacoryNumOfKKT"), values("NameOfCTO"),
                       values("DateOfBroken"), values("DateRequest"), values("FIOBOSS"),
                       values("ArhivNotSend"), values("M1"),          values("M2")};
  enum { NumRequest, FactoryNum, DateOfActivate, ModelOfKKT, FacoryNumOfKKT, NameOfCTO,
         DateOfBroken, DateRequest, FIOBOSS, ArhivNotSend, M1, M2 };

  QFont times("Times New Roman");
  times.setPointSizeF(12);
  QFont heading = times;
  heading.setPointSizeF(20);
  QFont arial("Arial");
  arial.setPointSizeF(10);

  double y = 0;
  // One line of text at the cursor; the cursor moves below it.
  auto line = [&](const QString& text, double x = 0) {
    painter.setFont(times);
    const QFontMetricsF m(times, painter.device());
    painter.drawText(QPointF(x, y + m.ascent()), text);
    y += m.height() * 1.25;
  };
  // Text wrapped across the page width; the cursor moves below it.
  auto paragraph = [&](const QString& text, const QFont& font, double height) {
    painter.setFont(font);
    const QRectF box(0, y, page.width(), height);
    painter.drawText(box, Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, text);
    y += height;
  };

  // 1. The heading, near the middle of the line.
  painter.setFont(heading);
  const QFontMetricsF hm(heading, painter.device());
  painter.drawText(QRectF(0, 0, page.width(), hm.height()), Qt::AlignHCenter | Qt::AlignTop,
                   "Заявка № " + v[NumRequest]);
  y = hm.height() + mm(8);

  // 2 to 7. Label on the left, value beside it.
  const std::pair<const char*, int> rows[] = {
      {"Заводской номер ЭКЛЗ:", FactoryNum},  {"Дата активизации ЭКЛЗ:", DateOfActivate},
      {"Модель ККТ:", ModelOfKKT},            {"Заводской номер ККТ:", FacoryNumOfKKT},
      {"Наименование ЦТО:", NameOfCTO},       {"Дата отказа ЭКЛЗ:", DateOfBroken}};
  const QFontMetricsF tm(times, painter.device());
  double labelWidth = 0;
  for (const auto& [label, index] : rows) {
    labelWidth = std::max(labelWidth, tm.horizontalAdvance(QString::fromUtf8(label)));
  }
  const double valueX = labelWidth + mm(5);
  for (const auto& [label, index] : rows) {
    painter.setFont(times);
    painter.drawText(QPointF(0, y + tm.ascent()), QString::fromUtf8(label));
    painter.drawText(QPointF(valueX, y + tm.ascent()), v[index]);
    y += tm.height() * 1.4;
  }
  y += mm(3);

  // 8, 9. The two text areas, a tenth of the page high each, framed.
  const double areaHeight = page.height() / 10;
  for (const auto& [label, index] : {std::pair{"Внешнее проявление отказа:", M1},
                                     std::pair{"Результаты проверки ЭКЛЗ и выявленные неисправности:", M2}}) {
    line(QString::fromUtf8(label));
    const QRectF area(0, y, page.width(), areaHeight);
    painter.setPen(QPen(Qt::black, mm(0.2)));
    painter.drawRect(area);
    painter.setFont(arial);
    painter.drawText(area.adjusted(mm(1.5), mm(1), -mm(1.5), -mm(1)),
                     Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, v[index]);
    y += areaHeight + mm(4);
  }

  // 10. The archive transfer, room for several lines.
  paragraph("Данные архива из ЭКЛЗ на технический носитель информации " + v[ArhivNotSend], times,
            tm.height() * 4);

  // 11 to 13. Signature, date, stamp.
  y += mm(4);
  line("Директор ЦТО                            _____________________      " + v[FIOBOSS]);
  y += mm(2);
  line("Дата: " + v[DateRequest]);
  y += mm(2);
  line("М.П.");
  y += mm(6);

  // 14. The rule.
  painter.setPen(QPen(Qt::black, mm(0.3)));
  painter.drawLine(QPointF(0, y), QPointF(page.width(), y));
  y += mm(6);

  // 15 to 19. The supplier's part.
  line("Проявление неисправности при работе ЭКЛЗ заводской номер " + v[FactoryNum] + "  подтверждаем ");
  y += mm(4);
  line("Представитель Генерального");
  line("Поставщика ККТ                         ______________________                   (Ф.И.О.)");
  y += mm(4);
  // The year blank holds two digits after "20".
  line("Дата: \"____ \" _______________________  20__  г.");
  y += mm(2);
  line("М.П.");
  painter.end();
}

// --- The panel's handlers -----------------------------------------------------------------

RepairRequestForm::RepairRequestForm(JobRunner& runner, const WindowSettings& stored, QWidget& panel,
                                     MessagePresenter& presenter)
    : QObject(&panel), runner_(runner), stored_(stored), panel_(panel), presenter_(presenter) {
  // The print button, and below it the preview and the PDF file (three
  // buttons in a row are wider than the panel at the window's first size).
  QAbstractButton* print = &RepairRequestPrintButton(panel);
  connect(print, &QAbstractButton::clicked, this, &RepairRequestForm::RzBitBtn1Click);
  auto* preview = new QPushButton("Просмотр...", &panel);
  preview->setObjectName("btRequestDornalPreview");
  preview->setToolTip("Предварительный просмотр заявки");
  preview->setAccessibleName("Предварительный просмотр заявки");
  connect(preview, &QPushButton::clicked, this, &RepairRequestForm::PrintPreview);
  auto* pdf = new QPushButton("В PDF...", &panel);
  pdf->setObjectName("btRequestDornalPdf");
  pdf->setToolTip("Сохранить заявку в файл PDF");
  pdf->setAccessibleName("Сохранить заявку в файл PDF");
  connect(pdf, &QPushButton::clicked, this, &RepairRequestForm::SaveAsPdf);
  for (QLayout* l : panel.findChildren<QLayout*>()) {
    auto* row = qobject_cast<QHBoxLayout*>(l);
    auto* grid = row ? qobject_cast<QGridLayout*>(row->parent()) : nullptr;
    if (grid && row->indexOf(print) >= 0) {
      int at = 0, column = 0, rows = 0, columns = 0;
      grid->getItemPosition(grid->indexOf(row), &at, &column, &rows, &columns);
      auto* more = new QHBoxLayout;
      more->addWidget(preview);
      more->addWidget(pdf);
      more->addStretch(1);
      grid->addLayout(more, at + 1, column, rows, columns);
      break;
    }
  }
}

FormVariables RepairRequestForm::Variables() const {
  const RepairRequestPanel panel = ReadRepairRequestPanel(PanelFields(panel_));
  const KkmParticulars kkm = runner_.Particulars();
  const RepairOrganisation organisation{stored_.NameOrg, stored_.FioBoss};
  return [panel, kkm, organisation](const char* name) {
    return Utf8(RepairFormVariable(kkm, organisation, panel, name));
  };
}

bool RepairRequestForm::Ready() const {
  if (!runner_.Busy()) return true;
  presenter_.Information(&panel_, "Дождитесь окончания выполнения команды", "Сообщение");
  return false;
}

void RepairRequestForm::RzBitBtn1Click() {
  if (!Ready()) return;
  QPrinter printer(QPrinter::HighResolution);
  PrepareFormPrinter(printer);
  if (!presenter_.ChoosePrinter(&panel_, printer)) return;
  try {
    PaintRepairRequestForm(printer, Variables());
  } catch (const std::exception& e) {
    presenter_.Error(&panel_, QString::fromStdString(e.what()));
  }
}

void RepairRequestForm::PrintPreview() {
  if (!Ready()) return;
  QPrinter printer(QPrinter::HighResolution);
  PrepareFormPrinter(printer);
  QPrintPreviewDialog preview(&printer, panel_.window());
  preview.setObjectName("RepairRequestPreview");
  const FormVariables values = Variables();
  connect(&preview, &QPrintPreviewDialog::paintRequested, this, [this, values](QPrinter* p) {
    try {
      PaintRepairRequestForm(*p, values);
    } catch (const std::exception& e) {
      presenter_.Error(&panel_, QString::fromStdString(e.what()));
    }
  });
  presenter_.ShowModal(preview);
}

void RepairRequestForm::SaveAsPdf() {
  if (!Ready()) return;
  const QString path = presenter_.ChooseSaveFile(&panel_, SaveFileKind::Pdf);
  if (path.isEmpty()) return;
  QPrinter printer(QPrinter::HighResolution);
  PrepareFormPrinter(printer);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(path);
  try {
    PaintRepairRequestForm(printer, Variables());
  } catch (const std::exception& e) {
    presenter_.Error(&panel_, QString::fromStdString(e.what()));
  }
}

}  // namespace eklz::app
