#include "app/StatusPane.h"

namespace eklz::app {

StatusPane::StatusPane(const QString& caption, QWidget* parent) : QLabel(parent), caption_(caption) {
  setAccessibleName(caption_);
}

void StatusPane::setText(const QString& text) {
  QLabel::setText(text);
  setAccessibleName(text.isEmpty() ? caption_ : caption_ + ": " + text);
}

}  // namespace eklz::app
