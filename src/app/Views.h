// The two text views and what is done with them: their histories, saving the
// pair of files and printing them.
#pragma once

#include <QPlainTextEdit>
#include <QStringList>

class QPrinter;

namespace eklz::app {

// A read-only text view (result or protocol) in bold Arial on white, filled
// line by line in batches. Its text stays selectable and copyable.
class LogView : public QPlainTextEdit {
  Q_OBJECT
 public:
  explicit LogView(QWidget* parent = nullptr);

  // Appends `count` lines given as one text joined by '\n'.
  void AppendLines(const QString& joined, int count);
  // Queues lines to be appended by AppendQueued, a slice at a time, so that
  // a long text never holds the event loop for long.
  void Queue(const QString& joined, int count);
  // Appends queued lines up to about `budget` characters (all with -1);
  // true when some are still queued.
  bool AppendQueued(qsizetype budget);
  void Clear();
  bool HasLines() const { return lines_ > 0 || queuedLines_ > 0; }
  // Every line of the view; an empty view has none (a view holding one
  // empty line has one).
  QStringList Lines() const;

 private:
  int lines_ = 0;
  QString queued_;
  int queuedLines_ = 0;
};

// Writes `lines` to `path` in Windows-1251, each line ended by CR LF,
// replacing the file. Raises EInOutError when the file cannot be written and
// TEKLZException for a character that Windows-1251 cannot hold; either way
// the file is not left half-written.
void WriteLinesFile(const QString& path, const QStringList& lines);

// The saved pair: the result lines to `path`, the protocol lines to `path`
// with "Hex" appended.
void SaveViewPair(const QString& path, const QStringList& resultLines,
                  const QStringList& protocolLines);

// Prints `lines` in Arial 8 on `printer` from a margin of 200 dots at the
// left and top: as many lines per page as fit in the page height less 400,
// a line wider than the page width less 400 broken into chunks of that width
// (each one character past it at most). An empty line takes a slot.
void PrintLines(QPrinter& printer, const QStringList& lines);

}  // namespace eklz::app
