#include "widgets/TButton.h"

#include "widgets/FocusedEnter.h"

#include <QKeyEvent>

TButton::TButton(const QString &text, QWidget *parent) : QPushButton(text, parent) {}

void TButton::keyPressEvent(QKeyEvent *event)
{
    if (FocusedEnter::press(this, event)) return;
    QPushButton::keyPressEvent(event);
}
