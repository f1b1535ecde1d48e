// A tree whose expand, collapse and selection events run synchronously, in the
// order "about to" then "done", for the user's actions and for program calls
// alike. A node expands only when it has child nodes or the has-children mark.
// changing() runs before the selection moves, except for the one move Qt makes
// on its own (typing a node's first letters), where it runs just before changed().
// When the selected node (or an ancestor) is removed, the selection moves first:
// to the next sibling, else the parent, else the previous sibling.
// Each node carries an image index (shown while not selected) and a selected
// image index into an image list. The Menu key and Shift+F10 give it a context
// menu event (app/KeyboardMenu).
#pragma once

#include "widgets/TTreeNode.h"

#include <QTreeView>
#include <string>
#include <vector>

class TImageList;
class TTreeModel;

class TTreeView : public QTreeView
{
    Q_OBJECT

public:
    explicit TTreeView(QWidget *parent = nullptr);

    void setImageList(const TImageList *images);
    const TImageList *imageList() const { return m_images; }

    // Adds a node at the end of `parent`'s children (a top-level node for null),
    // named by the exact bytes of `name`; both image indexes start as `imageIndex`.
    TTreeNode *addNode(TTreeNode *parent, std::string name, int imageIndex,
                       bool hasChildren = false);
    // Makes a node's children these in one change, in this order: each a child it
    // has (`kept`) or a new node of that name and mark, with image `imageIndex`.
    // Its children not among them go with everything below them; the selection
    // inside one is the caller's to move first. Expanded nodes stay expanded.
    struct NodeSlot
    {
        TTreeNode *kept = nullptr;
        std::string name;
        bool hasChildren = false;
    };
    void arrangeChildren(TTreeNode *node, std::vector<NodeSlot> wanted, int imageIndex);
    // Removes the node with everything below it; see above for the selection.
    void removeNode(TTreeNode *node);
    void removeChildren(TTreeNode *node);
    int topLevelNodeCount() const;
    TTreeNode *topLevelNode(int row) const;

    // Expanding runs expanding() then expanded(); collapsing runs collapsing() then
    // collapsed(), also for a node already in that state. Nodes without children
    // and without the mark are left alone (no signal, returns false). A node that
    // still has no children after expanding() stays collapsed. Expand and collapse
    // only through these (or the user), never with setExpanded().
    bool expandNode(TTreeNode *node);
    bool collapseNode(TTreeNode *node);
    bool isNodeExpanded(const TTreeNode *node) const;
    // Runs changing() then changed() when the selection moves to `node`.
    void selectNode(TTreeNode *node);
    // The selection is the current node (at most one).
    TTreeNode *selectedNode() const { return nodeOf(currentIndex()); }

    // The node at a point of the viewport, and where a node is drawn there.
    TTreeNode *nodeAt(const QPoint &pos) const { return nodeOf(indexAt(pos)); }
    QRect nodeRect(const TTreeNode *node) const { return visualRect(indexOf(node)); }
    TTreeNode *nodeOf(const QModelIndex &index) const;
    QModelIndex indexOf(const TTreeNode *node) const;

    // Nodes that a running operation works on (a load, a walk down the tree) are
    // pinned: neither they nor their ancestors collapse while a pin lasts, and code
    // that removes nodes asks isInUse first. Pins nest; each pin needs its unpin.
    void pinNode(TTreeNode *node) { m_pinned.push_back(node); }
    void unpinNode(TTreeNode *node);
    // Whether `node` is pinned or lies above a pinned node.
    bool isInUse(const TTreeNode *node) const;

    static bool canExpand(const TTreeNode *node);
    void setHasChildren(TTreeNode *node, bool hasChildren);
    static bool hasChildren(const TTreeNode *node) { return node->hasChildrenMark(); }
    void setImageIndex(TTreeNode *node, int index);
    static int imageIndex(const TTreeNode *node) { return node->imageIndex(); }
    void setSelectedIndex(TTreeNode *node, int index);
    static int selectedIndex(const TTreeNode *node) { return node->selectedIndex(); }

signals:
    void expanding(TTreeNode *node);
    void expanded(TTreeNode *node);
    void collapsing(TTreeNode *node);
    void collapsed(TTreeNode *node);
    void changing(TTreeNode *node);
    void changed(TTreeNode *node);
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
    void announce(TTreeNode *node);
    bool onExpandButton(const QPoint &pos, const TTreeNode *node) const;
    void toggle(TTreeNode *node);

    TTreeModel *m_model = nullptr;
    const TImageList *m_images = nullptr;
    // The node changing() already ran for, ahead of its move.
    TTreeNode *m_announced = nullptr;
    bool m_inKeyPress = false;
    std::vector<TTreeNode *> m_pinned;
};

// Pins a node for as long as it lives; moveTo lets a walk carry its pin down.
class TNodePin
{
public:
    TNodePin(TTreeView *view, TTreeNode *node) : m_view(view), m_node(node)
    {
        if (m_node) m_view->pinNode(m_node);
    }
    ~TNodePin()
    {
        if (m_node) m_view->unpinNode(m_node);
    }
    TNodePin(const TNodePin &) = delete;
    TNodePin &operator=(const TNodePin &) = delete;

    void moveTo(TTreeNode *node)
    {
        if (node) m_view->pinNode(node);
        if (m_node) m_view->unpinNode(m_node);
        m_node = node;
    }

private:
    TTreeView *m_view;
    TTreeNode *m_node;
};
