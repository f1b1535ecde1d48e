// Enter acts on what has the focus: a focused button is pressed, and a focused
// text with a link opens its link. Only elsewhere does Enter reach the window's
// default button, so the key meant for "Show the list…" or "Abbrechen" never
// gives a question's default answer.
#pragma once

class QKeyEvent;
class QWidget;

namespace FocusedEnter {

// True when `event` is Enter on `focused` and it was pressed or opened.
bool press(QWidget *focused, const QKeyEvent *event);
// Applies the rule to every control of `window` (call it once they are in place).
void install(QWidget *window);

} // namespace FocusedEnter
