// Plays the operator on real widgets: clicks, keystrokes and waits that run
// the event loop. The events go to the widget as the window system's would
// reach it, through the application object; the same code runs on every
// platform the window is built for.
#pragma once

#include <QPoint>
#include <QString>
#include <Qt>

#include <functional>

class QWidget;

namespace eklz::test::ui {

// A press and a release of `button` at `pos` (the middle of the widget when
// null). The press gives the focus as a click does.
void MouseClick(QWidget* widget, Qt::MouseButton button, Qt::KeyboardModifiers modifiers = {},
                QPoint pos = {});

// A press and a release of `key`. A key the widget does not claim for itself
// (shortcut override) triggers the window's action with that shortcut
// instead, as the window system's keystroke would.
void KeyClick(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers = {});

// Types each character of `text` in turn ('\b' is Backspace).
void KeyClicks(QWidget* widget, const QString& text);

// Runs the event loop until `predicate` holds or `ms` have passed; whether
// it holds at the end.
bool WaitFor(const std::function<bool()>& predicate, int ms = 5000);

// Runs the event loop for `ms` (0: once through what is queued).
void Wait(int ms);

// Waits until `widget`'s window is the active one.
bool WaitForWindowActive(QWidget* widget, int ms = 5000);

}  // namespace eklz::test::ui
