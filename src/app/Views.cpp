#include "app/Views.h"

#include <QDir>
#include <QFontMetrics>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QSaveFile>
#include <QTextBlock>

#include <tuple>
#include <vector>

#include "app/Presenter.h"
#include "codec/CodePage.h"
#include "codec/Errors.h"
#include "codec/Regional.h"

namespace eklz::app {

LogView::LogView(QWidget* parent) : QPlainTextEdit(parent) {
  setReadOnly(true);
  setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  setUndoRedoEnabled(false);
  setLineWrapMode(QPlainTextEdit::NoWrap);
  QFont font("Arial");
  font.setBold(true);
  setFont(font);
  QPalette p = palette();
  p.setColor(QPalette::Base, Qt::white);
  p.setColor(QPalette::Text, Qt::black);
  setPalette(p);
}

void LogView::AppendLines(const QString& joined, int count) {
  if (count <= 0) return;
  if (!isVisible()) {
    if (keptLines_ > 0) kept_ += '\n';
    kept_ += joined;
    keptLines_ += count;
    return;
  }
  InsertKept();
  Insert(joined, count);
}

void LogView::showEvent(QShowEvent* event) {
  InsertKept();
  QPlainTextEdit::showEvent(event);
}

void LogView::InsertKept() {
  if (keptLines_ == 0) return;
  const QString text = std::move(kept_);
  const int count = keptLines_;
  kept_.clear();
  keptLines_ = 0;
  Insert(text, count);
}

void LogView::Insert(const QString& joined, int count) {
  // One repaint for the whole text instead of one per block.
  setUpdatesEnabled(false);
  if (lines_ == 0) {
    setPlainText(joined);
  } else {
    appendPlainText(joined);
  }
  setUpdatesEnabled(true);
  lines_ += count;
}

void LogView::Clear() {
  clear();
  lines_ = 0;
  kept_.clear();
  keptLines_ = 0;
}

QStringList LogView::Lines() {
  InsertKept();
  QStringList lines;
  if (lines_ == 0) return lines;
  lines.reserve(document()->blockCount());
  for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) lines << b.text();
  return lines;
}

void LogView::ForEachText(const std::function<void(const QString&, qsizetype)>& each) const {
  if (lines_ > 0) {
    // The raw text keeps every character of the lines (no-break spaces too);
    // blocks are parted by paragraph separators.
    QString text = document()->toRawText();
    text.replace(QChar::ParagraphSeparator, u'\n');
    each(text, document()->blockCount());
  }
  if (keptLines_ > 0) each(kept_, kept_.count(u'\n') + 1);
}

namespace {
// The pieces the histories and the saved files are written and read in.
constexpr qsizetype kChunkBytes = 1 << 20;
}  // namespace

ViewHistory::~ViewHistory() { WaitForWriter(); }

void ViewHistory::WaitForWriter() const {
  if (writer_.joinable()) writer_.join();
}

void ViewHistory::Append(const LogView& view) {
  WaitForWriter();
  std::vector<QString> texts;
  view.ForEachText([&](const QString& text, qsizetype lines) {
    texts.push_back(text);
    count_ += lines;
  });
  if (texts.empty()) return;
  writer_ = std::thread([this, texts = std::move(texts)] {
    for (const QString& text : texts) {
      QByteArray chunk = text.toUtf8();
      chunk += '\n';
      Keep(chunk);
    }
  });
}

void ViewHistory::Keep(QByteArray& chunk) {
  if (chunk.isEmpty()) return;
  if (memory_.isEmpty()) {
    if (!file_.isOpen()) {
      file_.setFileTemplate(QDir::tempPath() + "/eklz-tester-history-XXXXXX");
      std::ignore = file_.open();
    }
    if (file_.isOpen() && file_.seek(file_.size()) && file_.write(chunk) == chunk.size() && file_.flush()) {
      chunk.clear();
      return;
    }
  }
  memory_ += chunk;
  chunk.clear();
}

void ViewHistory::Clear() {
  WaitForWriter();
  if (file_.isOpen()) file_.resize(0);
  memory_.clear();
  count_ = 0;
}

void ViewHistory::ForEach(const std::function<void(const QString&)>& each) const {
  WaitForWriter();
  auto line = [&](QByteArrayView bytes) { each(QString::fromUtf8(bytes)); };
  if (file_.isOpen() && file_.size() > 0 && file_.seek(0)) {
    while (!file_.atEnd()) {
      QByteArray bytes = file_.readLine();
      if (bytes.endsWith('\n')) bytes.chop(1);
      line(bytes);
    }
  }
  for (qsizetype start = 0; start < memory_.size();) {
    const qsizetype end = memory_.indexOf('\n', start);
    line(QByteArrayView(memory_).sliced(start, end - start));
    start = end + 1;
  }
}

QStringList ViewHistory::Lines() const {
  QStringList lines;
  lines.reserve(count_);
  ForEach([&](const QString& l) { lines << l; });
  return lines;
}

void WriteLinesFile(const QString& path, const ViewHistory& lines) {
  QSaveFile file(path);
  std::string bytes;
  bool written = file.open(QIODevice::WriteOnly);
  auto write = [&] {
    written = written && file.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
                             static_cast<qint64>(bytes.size());
    bytes.clear();
  };
  lines.ForEach([&](const QString& line) {
    // A record of what was seen: a character Windows-1251 lacks (a box
    // drawing sign of CP866 text) is saved as "?" rather than losing the file.
    bytes += FromUtf8Replacing(line.toStdString(), CodePage::Cp1251);
    bytes += "\r\n";
    if (static_cast<qsizetype>(bytes.size()) >= kChunkBytes) write();
  });
  write();
  if (!written || !file.commit()) {
    throw EInOutError("Невозможно записать файл \"" + ShownPath(path).toStdString() +
                      "\": " + file.errorString().toStdString());
  }
}

void SaveViewPair(const QString& path, const ViewHistory& resultLines, const ViewHistory& protocolLines) {
  WriteLinesFile(path, resultLines);
  WriteLinesFile(path + "Hex", protocolLines);
}

void BeginPrinting(QPainter& painter, QPrinter& printer) {
  if (painter.begin(&printer)) return;
  if (printer.outputFormat() == QPrinter::PdfFormat) {
    throw EInOutError("Невозможно записать файл \"" + ShownPath(printer.outputFileName()).toStdString() + "\"");
  }
  throw EInOutError("Невозможно начать печать: " + printer.printerName().toStdString());
}

void PrintLines(QPrinter& printer, const QStringList& lines) {
  constexpr int kMargin = 200;
  QPainter painter;
  BeginPrinting(painter, printer);
  const QFont font("Arial", 8);
  painter.setFont(font);
  painter.setBackgroundMode(Qt::TransparentMode);
  const QFontMetrics metrics(font, painter.device());
  const int pageWidth = painter.device()->width();
  const int pageHeight = painter.device()->height();
  const int h = metrics.height();
  const int linesPerPage = std::max(
      1, static_cast<int>(RoundHalfEven(static_cast<long double>(pageHeight - 2 * kMargin) / h)));
  const int textWidth = pageWidth - 2 * kMargin;

  int k = 0;
  bool pageFull = false;  // the next line starts a new page (none is left blank at the end)
  auto draw = [&](const QString& text) {
    if (pageFull) {
      printer.newPage();
      pageFull = false;
    }
    if (!text.isEmpty()) painter.drawText(kMargin, kMargin + h * k + metrics.ascent(), text);
    if (++k == linesPerPage) {
      pageFull = true;
      k = 0;
    }
  };
  for (const QString& line : lines) {
    if (metrics.horizontalAdvance(line) + 2 * kMargin < pageWidth) {
      draw(line);
      continue;
    }
    // A chunk takes characters while it is narrower than the text width, so
    // it ends with the character that reaches that width.
    qsizetype start = 0;
    while (start < line.size()) {
      qsizetype end = start + 1;
      while (end < line.size() && metrics.horizontalAdvance(line.mid(start, end - start)) < textWidth) {
        ++end;
      }
      draw(line.mid(start, end - start));
      start = end;
    }
  }
  painter.end();
}

}  // namespace eklz::app
