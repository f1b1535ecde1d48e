#include "app/TButton.h"

#include <QKeyEvent>

TButton::TButton(const QString &text, QWidget *parent) : QPushButton(text, parent) {}

void TButton::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        click();
        return;
    }
    QPushButton::keyPressEvent(event);
}
