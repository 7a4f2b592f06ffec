// The two text views and what is done with them: their histories, saving the
// pair of files and printing them.
#pragma once

#include <QByteArray>
#include <QPlainTextEdit>
#include <QStringList>
#include <QTemporaryFile>

#include <functional>
#include <thread>

class QPainter;
class QPrinter;

namespace eklz::app {

// A read-only text view (result or protocol) in bold Arial on white, filled
// line by line in batches. Its text stays selectable and copyable.
class LogView : public QPlainTextEdit {
  Q_OBJECT
 public:
  explicit LogView(QWidget* parent = nullptr);

  // Appends `count` lines given as one text joined by '\n'. While the view
  // is hidden (its tab is not the current one) the text is only kept, and
  // goes into the view when it is shown or read: laying out text that
  // nobody sees would slow a long dump down.
  void AppendLines(const QString& joined, int count);
  void Clear();
  bool HasLines() const { return lines_ > 0 || keptLines_ > 0; }
  // Every line of the view; an empty view has none (a view holding one
  // empty line has one).
  QStringList Lines();
  // The same lines as texts of lines joined by '\n', each with its number of
  // lines: what the view shows, then what it still keeps (not laid out for
  // this).
  void ForEachText(const std::function<void(const QString&, qsizetype)>& each) const;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Insert(const QString& joined, int count);
  void InsertKept();

  int lines_ = 0;
  QString kept_;
  int keptLines_ = 0;
};

// The lines that have left a view since the last save. They wait in a file
// in the temporary folder, not in memory: a day of full dumps is hundreds of
// megabytes of text that only a save reads again. The file goes with the
// history (on Linux it never has a name, so not even a killed program
// leaves it behind); should it not open, the lines stay in memory.
class ViewHistory {
 public:
  ViewHistory() = default;
  ~ViewHistory();
  ViewHistory(const ViewHistory&) = delete;
  ViewHistory& operator=(const ViewHistory&) = delete;

  // Appends every line of `view`. The text is taken at once and written on
  // a thread of its own; whatever reads or clears the history waits for it.
  void Append(const LogView& view);
  void Clear();
  bool IsEmpty() const { return count_ == 0; }
  // Hands out every line in order, reading the file a piece at a time.
  void ForEach(const std::function<void(const QString&)>& each) const;
  QStringList Lines() const;

 private:
  void Keep(QByteArray& chunk);
  void WaitForWriter() const;

  // Each line in UTF-8 ended by '\n': in the file, then what it could not take.
  mutable QTemporaryFile file_;
  QByteArray memory_;
  qsizetype count_ = 0;
  mutable std::thread writer_;
};

// Writes the lines of `lines` to `path` in Windows-1251, each line ended by
// CR LF, replacing the file. Raises EInOutError when the file cannot be
// written and TEKLZException for a character that Windows-1251 cannot hold;
// either way the file is not left half-written.
void WriteLinesFile(const QString& path, const ViewHistory& lines);

// The saved pair: the result lines to `path`, the protocol lines to `path`
// with "Hex" appended.
void SaveViewPair(const QString& path, const ViewHistory& resultLines, const ViewHistory& protocolLines);

// Starts `painter` on `printer`; raises EInOutError naming the printer, or
// the file of a PDF printout, when it cannot start.
void BeginPrinting(QPainter& painter, QPrinter& printer);

// Prints `lines` in Arial 8 on `printer` from a margin of 200 dots at the
// left and top: as many lines per page as fit in the page height less 400,
// a line wider than the page width less 400 broken into chunks of that width
// (each one character past it at most). An empty line takes a slot.
void PrintLines(QPrinter& printer, const QStringList& lines);

}  // namespace eklz::app
