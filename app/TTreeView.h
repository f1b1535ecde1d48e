// A tree whose expand, collapse and selection events run synchronously, in the
// order "about to" then "done", for the user's actions and for program calls
// alike. A node expands only when it has child nodes or the has-children mark.
// changing() runs before the selection moves, except for the one move Qt makes
// on its own (typing a node's first letters), where it runs just before changed().
// When the selected node (or an ancestor) is removed, the selection moves first:
// to the next sibling, else the parent, else the previous sibling.
// Each node carries an image index (shown while not selected) and a selected
// image index into an image list.
#pragma once

#include <QTreeWidget>
#include <vector>

class TImageList;

class TTreeView : public QTreeWidget
{
    Q_OBJECT

public:
    explicit TTreeView(QWidget *parent = nullptr);

    void setImageList(const TImageList *images);
    const TImageList *imageList() const { return m_images; }

    // Adds a node at the end of `parent`'s children (a top-level node for null).
    QTreeWidgetItem *addNode(QTreeWidgetItem *parent, const QString &text, int imageIndex);

    // Expanding runs expanding() then expanded(); collapsing runs collapsing() then
    // collapsed(), also for a node already in that state. Nodes without children
    // and without the mark are left alone (no signal, returns false). A node that
    // still has no children after expanding() stays collapsed. Expand and collapse
    // only through these (or the user), never with setExpanded().
    bool expandNode(QTreeWidgetItem *node);
    bool collapseNode(QTreeWidgetItem *node);
    // Runs changing() then changed() when the selection moves to `node`.
    void selectNode(QTreeWidgetItem *node);
    // The selection is the current node (at most one).
    QTreeWidgetItem *selectedNode() const { return currentItem(); }

    // Nodes that a running operation works on (a load, a walk down the tree) are
    // pinned: neither they nor their ancestors collapse while a pin lasts, and code
    // that removes nodes asks isInUse first. Pins nest; each pin needs its unpin.
    void pinNode(QTreeWidgetItem *node) { m_pinned.push_back(node); }
    void unpinNode(QTreeWidgetItem *node);
    // Whether `node` is pinned or lies above a pinned node.
    bool isInUse(const QTreeWidgetItem *node) const;

    static bool canExpand(const QTreeWidgetItem *node);
    static void setHasChildren(QTreeWidgetItem *node, bool hasChildren);
    static bool hasChildren(const QTreeWidgetItem *node);
    static void setImageIndex(QTreeWidgetItem *node, int index);
    static int imageIndex(const QTreeWidgetItem *node);
    static void setSelectedIndex(QTreeWidgetItem *node, int index);
    static int selectedIndex(const QTreeWidgetItem *node);

signals:
    void expanding(QTreeWidgetItem *node);
    void expanded(QTreeWidgetItem *node);
    void collapsing(QTreeWidgetItem *node);
    void collapsed(QTreeWidgetItem *node);
    void changing(QTreeWidgetItem *node);
    void changed(QTreeWidgetItem *node);
    void keyUp(int key, Qt::KeyboardModifiers modifiers);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex &index,
                                                         const QEvent *event) const override;
    void rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;

private:
    void announce(QTreeWidgetItem *node);
    bool onExpandButton(const QPoint &pos, QTreeWidgetItem *node) const;
    void toggle(QTreeWidgetItem *node);

    const TImageList *m_images = nullptr;
    // The node changing() already ran for, ahead of its move.
    QTreeWidgetItem *m_announced = nullptr;
    bool m_inKeyPress = false;
    std::vector<QTreeWidgetItem *> m_pinned;
};

// Pins a node for as long as it lives; moveTo lets a walk carry its pin down.
class TNodePin
{
public:
    TNodePin(TTreeView *view, QTreeWidgetItem *node) : m_view(view), m_node(node)
    {
        if (m_node) m_view->pinNode(m_node);
    }
    ~TNodePin()
    {
        if (m_node) m_view->unpinNode(m_node);
    }
    TNodePin(const TNodePin &) = delete;
    TNodePin &operator=(const TNodePin &) = delete;

    void moveTo(QTreeWidgetItem *node)
    {
        if (node) m_view->pinNode(node);
        if (m_node) m_view->unpinNode(m_node);
        m_node = node;
    }

private:
    TTreeView *m_view;
    QTreeWidgetItem *m_node;
};
