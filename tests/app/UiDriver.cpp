#include "UiDriver.h"

#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QThread>
#include <QWidget>

#include <algorithm>

namespace eklz::test::ui {
namespace {

// The text a key types, for the keys that type one.
QString KeyText(int key, Qt::KeyboardModifiers modifiers) {
  switch (key) {
    case Qt::Key_Backspace: return "\b";
    case Qt::Key_Tab: return "\t";
    case Qt::Key_Return: return "\r";
    case Qt::Key_Enter: return "\r";
    case Qt::Key_Escape: return "\x1b";
    default: break;
  }
  if (key < Qt::Key_Space || key > Qt::Key_AsciiTilde) return {};
  const QChar c(key);
  return (modifiers & Qt::ShiftModifier) || !c.isLetter() ? QString(c) : QString(c.toLower());
}

int KeyOf(QChar c) {
  switch (c.unicode()) {
    case '\b': return Qt::Key_Backspace;
    case '\t': return Qt::Key_Tab;
    case '\r':
    case '\n': return Qt::Key_Return;
    case 0x1b: return Qt::Key_Escape;
    default: return c.toUpper().unicode();
  }
}

// The window's enabled action bound to this keystroke, if the focus is where
// the action's shortcut context reaches.
QAction* ShortcutAction(QWidget* widget, const QKeySequence& keys) {
  QWidget* window = widget->window();
  for (QAction* action : window->findChildren<QAction*>()) {
    if (!action->isEnabled() || !action->shortcuts().contains(keys)) continue;
    const Qt::ShortcutContext context = action->shortcutContext();
    if (context == Qt::WindowShortcut || context == Qt::ApplicationShortcut) return action;
    if (context == Qt::WidgetWithChildrenShortcut || context == Qt::WidgetShortcut) {
      for (QObject* o = widget; o; o = o->parent()) {
        if (o == action->parent()) return action;
        if (context == Qt::WidgetShortcut) break;
      }
    }
  }
  return nullptr;
}

void SendKey(QWidget* widget, int key, Qt::KeyboardModifiers modifiers, const QString& text) {
  QKeyEvent override(QEvent::ShortcutOverride, key, modifiers, text);
  override.ignore();
  QCoreApplication::sendEvent(widget, &override);
  if (!override.isAccepted()) {
    if (QAction* action = ShortcutAction(widget, QKeySequence(QKeyCombination(modifiers, Qt::Key(key))))) {
      action->trigger();
      return;
    }
  }
  QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
  QCoreApplication::sendEvent(widget, &press);
  QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
  QCoreApplication::sendEvent(widget, &release);
}

}  // namespace

void MouseClick(QWidget* widget, Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos) {
  if (pos.isNull()) pos = widget->rect().center();
  const QPointF global = widget->mapToGlobal(QPointF(pos));
  // A click moves the focus to the first widget up from the one clicked that
  // takes it by a click.
  for (QWidget* w = widget; w; w = w->parentWidget()) {
    if (w->isEnabled() && (w->focusPolicy() & Qt::ClickFocus)) {
      w->setFocus(Qt::MouseFocusReason);
      break;
    }
    if (w->isWindow()) break;
  }
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(pos), global, button, button, modifiers);
  QCoreApplication::sendEvent(widget, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(pos), global, button, Qt::NoButton, modifiers);
  QCoreApplication::sendEvent(widget, &release);
}

void KeyClick(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers) {
  SendKey(widget, key, modifiers, KeyText(key, modifiers));
}

void KeyClicks(QWidget* widget, const QString& text) {
  for (QChar c : text) SendKey(widget, KeyOf(c), {}, QString(c));
}

bool WaitFor(const std::function<bool()>& predicate, int ms) {
  QDeadlineTimer deadline(ms, Qt::PreciseTimer);
  int remaining = ms;
  do {
    if (predicate()) return true;
    QCoreApplication::processEvents(QEventLoop::AllEvents, remaining);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    remaining = static_cast<int>(deadline.remainingTime());
    if (remaining > 0) QThread::msleep(static_cast<unsigned long>(std::min(10, remaining)));
    remaining = static_cast<int>(deadline.remainingTime());
  } while (remaining > 0);
  return predicate();
}

void Wait(int ms) {
  if (ms <= 0) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return;
  }
  WaitFor([] { return false; }, ms);
}

bool WaitForWindowActive(QWidget* widget, int ms) {
  return WaitFor([widget] { return widget->window()->isActiveWindow(); }, ms);
}

}  // namespace eklz::test::ui
