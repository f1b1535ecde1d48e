#include "TTreeView.h"

#include "TImageList.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <QStyledItemDelegate>
#include <algorithm>

namespace {

// A move that was announced but did not happen must not stand for a later one.
struct ForgetAnnounced
{
    QTreeWidgetItem *&announced;
    ~ForgetAnnounced() { announced = nullptr; }
};

constexpr int kImageRole = Qt::UserRole + 1;
constexpr int kSelectedImageRole = Qt::UserRole + 2;

// Shows the node's image or, while it is selected, its selected image.
class TNodeDelegate : public QStyledItemDelegate
{
public:
    TNodeDelegate(TTreeView *view) : QStyledItemDelegate(view), m_view(view) {}

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const TImageList *images = m_view->imageList();
        if (!images || index.column() != 0) return;
        const bool selected = option->state & QStyle::State_Selected;
        const QVariant image = index.data(selected ? kSelectedImageRole : kImageRole);
        if (!image.isValid()) return;
        option->icon = images->icon(image.toInt());
        option->decorationSize = QSize(16, 16);
        option->features |= QStyleOptionViewItem::HasDecoration;
    }

private:
    TTreeView *m_view;
};

} // namespace

TTreeView::TTreeView(QWidget *parent) : QTreeWidget(parent)
{
    setHeaderHidden(true);
    setColumnCount(1);
    setSelectionMode(SingleSelection);
    setItemsExpandable(false); // expansion goes through expandNode/collapseNode only
    setExpandsOnDoubleClick(false);
    setEditTriggers(NoEditTriggers);
    setIndentation(19);
    // Every node has the same font and image size; without this, moving the
    // selection below a node with 100k children measures every row above it.
    setUniformRowHeights(true);
    setItemDelegate(new TNodeDelegate(this));
}

void TTreeView::setImageList(const TImageList *images)
{
    m_images = images;
    viewport()->update();
}

QTreeWidgetItem *TTreeView::addNode(QTreeWidgetItem *parent, const QString &text, int imageIndex)
{
    auto *node = new QTreeWidgetItem(QStringList{text});
    setImageIndex(node, imageIndex);
    setSelectedIndex(node, imageIndex);
    if (parent)
        parent->addChild(node);
    else
        addTopLevelItem(node);
    return node;
}

bool TTreeView::canExpand(const QTreeWidgetItem *node)
{
    return node && (node->childCount() > 0 || hasChildren(node));
}

bool TTreeView::expandNode(QTreeWidgetItem *node)
{
    if (!canExpand(node)) return false;
    emit expanding(node);
    // A node whose load added nothing stays collapsed, so the next expansion reads again.
    if (node->childCount() > 0) node->setExpanded(true);
    emit expanded(node);
    return true;
}

bool TTreeView::collapseNode(QTreeWidgetItem *node)
{
    if (!canExpand(node) || isInUse(node)) return false;
    emit collapsing(node);
    node->setExpanded(false);
    // The selection may not stay hidden inside a collapsed node.
    for (QTreeWidgetItem *up = currentItem() ? currentItem()->parent() : nullptr; up;
         up = up->parent())
        if (up == node) {
            selectNode(node);
            break;
        }
    emit collapsed(node);
    return true;
}

void TTreeView::unpinNode(QTreeWidgetItem *node)
{
    const auto at = std::find(m_pinned.begin(), m_pinned.end(), node);
    if (at != m_pinned.end()) m_pinned.erase(at);
}

bool TTreeView::isInUse(const QTreeWidgetItem *node) const
{
    for (const QTreeWidgetItem *pinned : m_pinned)
        for (const QTreeWidgetItem *up = pinned; up; up = up->parent())
            if (up == node) return true;
    return false;
}

void TTreeView::selectNode(QTreeWidgetItem *node)
{
    if (!node || node == currentItem()) return;
    const ForgetAnnounced forget{m_announced};
    announce(node);
    setCurrentItem(node);
}

void TTreeView::announce(QTreeWidgetItem *node)
{
    m_announced = node;
    emit changing(node);
}

QModelIndex TTreeView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    // Keyboard moves ask here for the node they go to next, which lets changing()
    // run before the move. Other callers may not move at all.
    const QModelIndex next = QTreeWidget::moveCursor(action, modifiers);
    if (m_inKeyPress && next.isValid() && next != currentIndex()) announce(itemFromIndex(next));
    return next;
}

void TTreeView::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTreeWidget::currentChanged(current, previous);
    QTreeWidgetItem *node = itemFromIndex(current);
    if (!node) return;
    // The selection follows the current node at once, also on a mouse press,
    // where the view would select only after this.
    selectionModel()->select(current,
                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    // Moves that did not announce themselves (typing a node's first letters, a
    // removal) still get their changing() first.
    if (m_announced != node) emit changing(node);
    m_announced = nullptr;
    emit changed(node);
}

void TTreeView::setHasChildren(QTreeWidgetItem *node, bool hasChildren)
{
    node->setChildIndicatorPolicy(hasChildren ? QTreeWidgetItem::ShowIndicator
                                              : QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

bool TTreeView::hasChildren(const QTreeWidgetItem *node)
{
    return node->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator;
}

void TTreeView::setImageIndex(QTreeWidgetItem *node, int index)
{
    node->setData(0, kImageRole, index);
}

int TTreeView::imageIndex(const QTreeWidgetItem *node)
{
    return node->data(0, kImageRole).toInt();
}

void TTreeView::setSelectedIndex(QTreeWidgetItem *node, int index)
{
    node->setData(0, kSelectedImageRole, index);
}

int TTreeView::selectedIndex(const QTreeWidgetItem *node)
{
    return node->data(0, kSelectedImageRole).toInt();
}

bool TTreeView::onExpandButton(const QPoint &pos, QTreeWidgetItem *node) const
{
    // The button sits in the last indentation step left of the node's cell.
    const QRect cell = visualItemRect(node);
    return pos.x() < cell.left() && pos.x() >= cell.left() - indentation();
}

void TTreeView::toggle(QTreeWidgetItem *node)
{
    if (node->isExpanded())
        collapseNode(node);
    else
        expandNode(node);
}

void TTreeView::mousePressEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    QTreeWidgetItem *node = itemAt(pos);
    if (!node) return; // a click beside every node keeps the selection
    if (event->button() == Qt::LeftButton && onExpandButton(pos, node)) {
        if (canExpand(node)) toggle(node);
        return;
    }
    // Only the left button selects; a right click leaves the selection for a menu.
    if (event->button() != Qt::LeftButton) return;
    const ForgetAnnounced forget{m_announced};
    if (node != currentItem()) announce(node);
    QTreeWidget::mousePressEvent(event);
}

void TTreeView::mouseDoubleClickEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    QTreeWidgetItem *node = itemAt(pos);
    if (!node || event->button() != Qt::LeftButton) return;
    if (onExpandButton(pos, node)) {
        if (canExpand(node)) toggle(node);
        return;
    }
    QTreeWidget::mouseDoubleClickEvent(event);
    if (canExpand(node)) toggle(node);
}

void TTreeView::keyPressEvent(QKeyEvent *event)
{
    QTreeWidgetItem *node = currentItem();
    if (node) {
        switch (event->key()) {
        case Qt::Key_Plus:
        case Qt::Key_Asterisk: // one level only: a whole-subtree load could take minutes
            expandNode(node);
            return;
        case Qt::Key_Minus:
            collapseNode(node);
            return;
        case Qt::Key_Right:
            if (!node->isExpanded())
                expandNode(node);
            else if (node->childCount() > 0)
                selectNode(node->child(0));
            return;
        case Qt::Key_Left:
            if (node->isExpanded())
                collapseNode(node);
            else if (node->parent())
                selectNode(node->parent());
            return;
        default:
            break;
        }
    }
    // Handlers may throw; the flags must not outlive this press.
    const QScopedValueRollback<bool> inKeyPress(m_inKeyPress, true);
    const ForgetAnnounced forget{m_announced};
    QTreeWidget::keyPressEvent(event);
}

void TTreeView::focusInEvent(QFocusEvent *event)
{
    // Focus from the keyboard selects the first node when none is selected; done
    // here so that the move is announced like any other.
    if (!currentItem() && event->reason() != Qt::MouseFocusReason && topLevelItemCount() > 0)
        selectNode(topLevelItem(0));
    QTreeWidget::focusInEvent(event);
}

void TTreeView::keyReleaseEvent(QKeyEvent *event)
{
    QTreeWidget::keyReleaseEvent(event);
    if (!event->isAutoRepeat()) emit keyUp(event->key(), event->modifiers());
}

QItemSelectionModel::SelectionFlags TTreeView::selectionCommand(const QModelIndex &index,
                                                                const QEvent *) const
{
    // One node is always the selection; Ctrl+click may not deselect it.
    return index.isValid() ? QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows
                           : QItemSelectionModel::NoUpdate;
}

void TTreeView::rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end)
{
    // When the selected node or one of its ancestors goes, the selection moves on
    // first, with its events: to the next sibling, else the parent, else the
    // previous sibling.
    for (QModelIndex at = currentIndex(); at.isValid(); at = at.parent()) {
        if (at.parent() != parent || at.row() < start || at.row() > end) continue;
        QModelIndex next = model()->index(end + 1, 0, parent);
        if (!next.isValid()) next = parent;
        if (!next.isValid()) next = model()->index(start - 1, 0, parent);
        if (next.isValid()) selectNode(itemFromIndex(next));
        break;
    }
    QTreeWidget::rowsAboutToBeRemoved(parent, start, end);
}
