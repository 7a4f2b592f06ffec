// A line of state that a screen reader must be able to read: a status-bar
// pane or the options dialog's search progress.
#pragma once

#include <QLabel>

namespace eklz::app {

// A label that keeps its accessible name in step with its text: "Состояние
// соединения: Нет связи". A label exposes only its accessible name, so a
// fixed name would hide the state it shows.
class StatusPane : public QLabel {
  Q_OBJECT
 public:
  StatusPane(const QString& caption, QWidget* parent = nullptr);

  const QString& Caption() const { return caption_; }
  // Shows `text` and names the pane after its caption and the text (the
  // caption alone while the text is empty). It hides QLabel::setText so that
  // every text set on a pane goes this way.
  void setText(const QString& text);

 private:
  QString caption_;
};

}  // namespace eklz::app
