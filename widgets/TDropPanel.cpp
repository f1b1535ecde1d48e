#include "widgets/TDropPanel.h"

#include <QAccessibleWidget>
#include <QList>

namespace {

QList<TDropPanel *> openPanels(const QWidget *window)
{
    QList<TDropPanel *> open;
    for (TDropPanel *panel : window->findChildren<TDropPanel *>(Qt::FindDirectChildrenOnly))
        if (panel->isVisible()) open << panel;
    return open;
}

// A window's own children, then its open drop panels.
class WindowAccessible : public QAccessibleWidget
{
public:
    explicit WindowAccessible(QWidget *window) : QAccessibleWidget(window, QAccessible::Client) {}

    int childCount() const override
    {
        return QAccessibleWidget::childCount() + int(openPanels(widget()).size());
    }
    QAccessibleInterface *child(int index) const override
    {
        const int own = QAccessibleWidget::childCount();
        if (index < own) return QAccessibleWidget::child(index);
        const QList<TDropPanel *> open = openPanels(widget());
        return index - own < open.size() ? QAccessible::queryAccessibleInterface(open[index - own])
                                         : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        if (auto *panel = child ? qobject_cast<TDropPanel *>(child->object()) : nullptr) {
            const qsizetype at = openPanels(widget()).indexOf(panel);
            return at < 0 ? -1 : QAccessibleWidget::childCount() + int(at);
        }
        return QAccessibleWidget::indexOfChild(child);
    }
};

// A popup's parent would be the application, which does not list it.
class PanelAccessible : public QAccessibleWidget
{
public:
    explicit PanelAccessible(TDropPanel *panel) : QAccessibleWidget(panel, QAccessible::Pane) {}

    QAccessibleInterface *parent() const override
    {
        return QAccessible::queryAccessibleInterface(widget()->parentWidget());
    }
};

QAccessibleInterface *accessibleFor(const QString &className, QObject *object)
{
    auto *widget = qobject_cast<QWidget *>(object);
    // Asked once per class from the object's own up; only the first ask answers.
    if (!widget || className != QLatin1String(object->metaObject()->className())) return nullptr;
    if (auto *panel = qobject_cast<TDropPanel *>(widget)) return new PanelAccessible(panel);
    // Decided by class, not by the panels a window has now: a window's interface
    // is made once, often before its panels (a title change asks for it).
    if (widget->isWindow() && widget->metaObject()->superClass() == &QWidget::staticMetaObject)
        return new WindowAccessible(widget);
    return nullptr;
}

void installAccessibleFactory()
{
    QAccessible::installFactory(accessibleFor);
}

} // namespace

// At start-up: the first ask for a window's interface may come before any panel
// is made, and the answer is kept for the window's life.
Q_CONSTRUCTOR_FUNCTION(installAccessibleFactory)

TDropPanel::TDropPanel(QWidget *window) : QFrame(window, Qt::Popup)
{
    setFrameShape(QFrame::StyledPanel);
}
