#include "widgets/TReportView.h"

#include "widgets/KeyboardMenu.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>

TReportView::TReportView(QWidget *parent) : QTreeView(parent)
{
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSelectionBehavior(SelectRows);
    setSelectionMode(ExtendedSelection);
    setEditTriggers(NoEditTriggers);
    setAllColumnsShowFocus(true);
    setSortingEnabled(false);
    header()->setSectionsClickable(true);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    connect(header(), &QHeaderView::sectionClicked, this, &TReportView::columnClicked);
}

void TReportView::keyPressEvent(QKeyEvent *event)
{
    emit keyDown(event->key(), event->modifiers());
    if (KeyboardMenu::open(this, event)) return;
    // Select-all belongs to the window's key-up handler; the view's own would act
    // on key down and repeat while the key is held.
    if (event->matches(QKeySequence::SelectAll)) {
        event->accept();
        return;
    }
    QTreeView::keyPressEvent(event);
}

void TReportView::keyReleaseEvent(QKeyEvent *event)
{
    QTreeView::keyReleaseEvent(event);
    if (!event->isAutoRepeat()) emit keyUp(event->key(), event->modifiers());
}

void TReportView::mousePressEvent(QMouseEvent *event)
{
    QTreeView::mousePressEvent(event);
    emit mouseDown(event->button(), event->modifiers(),
                   viewport()->mapTo(this, event->position().toPoint()));
}

void TReportView::mouseReleaseEvent(QMouseEvent *event)
{
    QTreeView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton &&
        viewport()->rect().contains(event->position().toPoint()))
        emit mouseClicked();
}

void TReportView::mouseDoubleClickEvent(QMouseEvent *event)
{
    QTreeView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton) emit mouseDoubleClicked();
}

void TReportView::contextMenuEvent(QContextMenuEvent *event)
{
    if (event->reason() == QContextMenuEvent::Keyboard)
        emit menuKeyPressed(event->pos());
    else
        event->ignore();
}

bool TReportView::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) return true;
    return QTreeView::viewportEvent(event);
}
