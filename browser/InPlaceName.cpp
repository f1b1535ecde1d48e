#include "browser/InPlaceName.h"

#include "widgets/QtText.h"

#include <QKeyEvent>

InPlaceName::InPlaceName(QWidget *viewport, const QRect &where, const std::string &name,
                         std::function<void(bool, const std::string &)> done)
    : QLineEdit(toQt(name), viewport), m_done(std::move(done))
{
    setObjectName(QStringLiteral("InPlaceName"));
    setGeometry(where.adjusted(0, -1, 0, 1).united(QRect(where.topLeft(), QSize(160, 0))));
    selectAll();
    show();
    setFocus();
}

void InPlaceName::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: end(true); return;
    case Qt::Key_Escape: end(false); return;
    default: QLineEdit::keyPressEvent(event);
    }
}

void InPlaceName::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    // A box the rename shows takes the focus too: the edit has ended by then.
    if (event->reason() != Qt::PopupFocusReason) end(true);
}

void InPlaceName::end(bool keep)
{
    if (m_ended) return;
    m_ended = true;
    hide();
    deleteLater();
    // The view gets its focus back before the rename, whose boxes return it there.
    if (parentWidget() && parentWidget()->parentWidget())
        parentWidget()->parentWidget()->setFocus();
    m_done(keep, fromQt(text()));
}
