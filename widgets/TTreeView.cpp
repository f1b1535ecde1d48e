#include "widgets/TTreeView.h"

#include "widgets/KeyboardMenu.h"
#include "widgets/TImageList.h"
#include "widgets/TTreeModel.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <QStyledItemDelegate>
#include <algorithm>
#include <memory>

namespace {

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
        const QVariant image =
            index.data(selected ? TTreeModel::SelectedImageRole : TTreeModel::ImageRole);
        if (!image.isValid()) return;
        option->icon = images->icon(image.toInt());
        option->decorationSize = QSize(16, 16);
        option->features |= QStyleOptionViewItem::HasDecoration;
    }

private:
    TTreeView *m_view;
};

} // namespace

TTreeView::TTreeView(QWidget *parent) : QTreeView(parent), m_model(new TTreeModel(this))
{
    setModel(m_model);
    setHeaderHidden(true);
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

TTreeNode *TTreeView::addNode(TTreeNode *parent, std::string name, int imageIndex, bool hasChildren)
{
    // The mark is settled before the node joins the view: no change notice of its own.
    return m_model->append(parent,
                           std::make_unique<TTreeNode>(std::move(name), imageIndex, hasChildren));
}

void TTreeView::arrangeChildren(TTreeNode *node, std::vector<NodeSlot> wanted, int imageIndex)
{
    // The same children as before change no layout: a view lays out all it shows again.
    bool same = static_cast<int>(wanted.size()) == node->childCount();
    for (std::size_t i = 0; same && i < wanted.size(); ++i)
        same = wanted[i].kept == node->child(static_cast<int>(i));
    if (!same) {
        std::vector<TTreeModel::Arranged> children(wanted.size());
        for (std::size_t i = 0; i < wanted.size(); ++i) {
            children[i].kept = wanted[i].kept;
            if (!wanted[i].kept)
                children[i].made = std::make_unique<TTreeNode>(std::move(wanted[i].name),
                                                               imageIndex, wanted[i].hasChildren);
        }
        m_model->arrangeChildren(node, std::move(children));
    }
    for (const NodeSlot &slot : wanted)
        if (slot.kept) m_model->setHasChildrenMark(slot.kept, slot.hasChildren);
}

void TTreeView::removeNode(TTreeNode *node)
{
    if (node) m_model->remove(node);
}

void TTreeView::removeChildren(TTreeNode *node)
{
    if (node) m_model->removeChildren(node);
}

int TTreeView::topLevelNodeCount() const
{
    return m_model->topLevelCount();
}

TTreeNode *TTreeView::topLevelNode(int row) const
{
    return m_model->topLevelNode(row);
}

TTreeNode *TTreeView::nodeOf(const QModelIndex &index) const
{
    return m_model->nodeAt(index);
}

QModelIndex TTreeView::indexOf(const TTreeNode *node) const
{
    return m_model->indexOf(node);
}

bool TTreeView::canExpand(const TTreeNode *node)
{
    return node && (node->childCount() > 0 || hasChildren(node));
}

bool TTreeView::expandNode(TTreeNode *node)
{
    if (!canExpand(node)) return false;
    emit expanding(node);
    // A node whose load added nothing stays collapsed, so the next expansion reads again.
    if (node->childCount() > 0) setExpanded(indexOf(node), true);
    emit expanded(node);
    return true;
}

bool TTreeView::collapseNode(TTreeNode *node)
{
    if (!canExpand(node) || isInUse(node)) return false;
    emit collapsing(node);
    setExpanded(indexOf(node), false);
    // The selection may not stay hidden inside a collapsed node.
    for (TTreeNode *up = selectedNode() ? selectedNode()->parent() : nullptr; up; up = up->parent())
        if (up == node) {
            selectNode(node);
            break;
        }
    emit collapsed(node);
    return true;
}

bool TTreeView::isNodeExpanded(const TTreeNode *node) const
{
    return node && isExpanded(indexOf(node));
}

void TTreeView::unpinNode(TTreeNode *node)
{
    const auto at = std::find(m_pinned.begin(), m_pinned.end(), node);
    if (at != m_pinned.end()) m_pinned.erase(at);
}

bool TTreeView::isInUse(const TTreeNode *node) const
{
    for (const TTreeNode *pinned : m_pinned)
        for (const TTreeNode *up = pinned; up; up = up->parent())
            if (up == node) return true;
    return false;
}

void TTreeView::selectNode(TTreeNode *node)
{
    if (!node || node == selectedNode()) return;
    // A move that was announced but did not happen must not stand for a later one.
    const auto forget = qScopeGuard([this] { m_announced = nullptr; });
    announce(node);
    setCurrentIndex(indexOf(node));
}

void TTreeView::announce(TTreeNode *node)
{
    m_announced = node;
    emit changing(node);
}

QModelIndex TTreeView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    // Keyboard moves ask here for the node they go to next, which lets changing()
    // run before the move. Other callers may not move at all.
    const QModelIndex next = QTreeView::moveCursor(action, modifiers);
    if (m_inKeyPress && next.isValid() && next != currentIndex()) announce(nodeOf(next));
    return next;
}

void TTreeView::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTreeView::currentChanged(current, previous);
    TTreeNode *node = nodeOf(current);
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

void TTreeView::setHasChildren(TTreeNode *node, bool hasChildren)
{
    m_model->setHasChildrenMark(node, hasChildren);
}

void TTreeView::setImageIndex(TTreeNode *node, int index)
{
    m_model->setImageIndex(node, index);
}

void TTreeView::setSelectedIndex(TTreeNode *node, int index)
{
    m_model->setSelectedIndex(node, index);
}

bool TTreeView::onExpandButton(const QPoint &pos, const TTreeNode *node) const
{
    // The button sits in the last indentation step left of the node's cell.
    const QRect cell = nodeRect(node);
    return pos.x() < cell.left() && pos.x() >= cell.left() - indentation();
}

void TTreeView::toggle(TTreeNode *node)
{
    if (isNodeExpanded(node))
        collapseNode(node);
    else
        expandNode(node);
}

void TTreeView::mousePressEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    TTreeNode *node = nodeAt(pos);
    if (!node) return; // a click beside every node keeps the selection
    if (event->button() == Qt::LeftButton && onExpandButton(pos, node)) {
        if (canExpand(node)) toggle(node);
        return;
    }
    // Only the left button selects; a right click leaves the selection for a menu.
    if (event->button() != Qt::LeftButton) return;
    const auto forget = qScopeGuard([this] { m_announced = nullptr; });
    if (node != selectedNode()) announce(node);
    QTreeView::mousePressEvent(event);
}

void TTreeView::mouseDoubleClickEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    TTreeNode *node = nodeAt(pos);
    if (!node || event->button() != Qt::LeftButton) return;
    if (onExpandButton(pos, node)) {
        if (canExpand(node)) toggle(node);
        return;
    }
    QTreeView::mouseDoubleClickEvent(event);
    if (canExpand(node)) toggle(node);
}

void TTreeView::keyPressEvent(QKeyEvent *event)
{
    if (KeyboardMenu::open(this, event)) return;
    TTreeNode *node = selectedNode();
    if (node) {
        switch (event->key()) {
        case Qt::Key_Plus:
        case Qt::Key_Asterisk: // one level only: a whole-subtree load could take minutes
            expandNode(node);
            return;
        case Qt::Key_Minus: collapseNode(node); return;
        case Qt::Key_Right:
            if (!isNodeExpanded(node))
                expandNode(node);
            else if (node->childCount() > 0)
                selectNode(node->child(0));
            return;
        case Qt::Key_Left:
            if (isNodeExpanded(node))
                collapseNode(node);
            else if (node->parent())
                selectNode(node->parent());
            return;
        default: break;
        }
    }
    // Handlers may throw; the flags must not outlive this press.
    const QScopedValueRollback<bool> inKeyPress(m_inKeyPress, true);
    const auto forget = qScopeGuard([this] { m_announced = nullptr; });
    QTreeView::keyPressEvent(event);
}

void TTreeView::focusInEvent(QFocusEvent *event)
{
    // Focus from the keyboard selects the first node when none is selected; done
    // here so that the move is announced like any other.
    if (!selectedNode() && event->reason() != Qt::MouseFocusReason && topLevelNodeCount() > 0)
        selectNode(topLevelNode(0));
    QTreeView::focusInEvent(event);
}

void TTreeView::keyReleaseEvent(QKeyEvent *event)
{
    QTreeView::keyReleaseEvent(event);
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
        if (next.isValid()) selectNode(nodeOf(next));
        break;
    }
    QTreeView::rowsAboutToBeRemoved(parent, start, end);
}
