#include "widgets/KeyboardMenu.h"

#include <QAbstractItemView>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QKeyEvent>

namespace KeyboardMenu {

bool open(QAbstractItemView *view, const QKeyEvent *event)
{
    const bool menuKey = event->key() == Qt::Key_Menu;
    const bool shiftF10 = event->key() == Qt::Key_F10 &&
                          (event->modifiers() & ~Qt::KeypadModifier) == Qt::ShiftModifier;
    if (!menuKey && !shiftF10) return false;
    // At the focused row, brought into view; the view's corner when it has none.
    QPoint at(0, 0);
    if (const QModelIndex current = view->currentIndex(); current.isValid()) {
        view->scrollTo(current);
        const QRect row = view->visualRect(current) & view->viewport()->rect();
        if (!row.isEmpty()) at = row.center();
    }
    QContextMenuEvent menu(QContextMenuEvent::Keyboard, at, view->viewport()->mapToGlobal(at),
                           event->modifiers());
    // Through the viewport, as a right click's event comes.
    QCoreApplication::sendEvent(view->viewport(), &menu);
    return true;
}

} // namespace KeyboardMenu
