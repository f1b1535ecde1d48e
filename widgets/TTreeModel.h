// The nodes of a TTreeView as an item model: one column, a node's text as its
// display text, the two image indexes in roles of their own. Nodes join and
// leave only through this class, which tells the view about every change.
#pragma once

#include "widgets/TTreeNode.h"

#include <QAbstractItemModel>
#include <memory>
#include <vector>

class TTreeModel final : public QAbstractItemModel
{
    Q_OBJECT

public:
    enum Role
    {
        ImageRole = Qt::UserRole + 1,
        SelectedImageRole = Qt::UserRole + 2,
    };

    explicit TTreeModel(QObject *parent = nullptr);
    ~TTreeModel() override;

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    // Nodes with the has-children mark have children as far as the view is concerned.
    bool hasChildren(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    TTreeNode *nodeAt(const QModelIndex &index) const;
    QModelIndex indexOf(const TTreeNode *node) const;
    int topLevelCount() const { return static_cast<int>(m_topLevel.size()); }
    TTreeNode *topLevelNode(int row) const;

    // Appends `node` at the end of `parent`'s children (top level for null).
    TTreeNode *append(TTreeNode *parent, std::unique_ptr<TTreeNode> node);
    // One of the children arrangeChildren makes: a child `parent` has (kept with
    // everything below it), or a new node.
    struct Arranged
    {
        TTreeNode *kept = nullptr;
        std::unique_ptr<TTreeNode> made;
    };
    // Makes `parent`'s children these, in this order, in one layout change; its
    // children not among them go. Persistent indexes (a view's expanded nodes,
    // selection and current node) follow the nodes that stay; those of the nodes
    // that go, and of all below them, become invalid.
    void arrangeChildren(TTreeNode *parent, std::vector<Arranged> children);
    // Removes the node with everything below it.
    void remove(TTreeNode *node);
    void removeChildren(TTreeNode *node);

    void setImageIndex(TTreeNode *node, int index);
    void setSelectedIndex(TTreeNode *node, int index);
    void setHasChildrenMark(TTreeNode *node, bool mark);

private:
    std::vector<std::unique_ptr<TTreeNode>> &childrenOf(TTreeNode *parent);
    const std::vector<std::unique_ptr<TTreeNode>> &childrenOf(const TTreeNode *parent) const;
    void changed(const TTreeNode *node);

    std::vector<std::unique_ptr<TTreeNode>> m_topLevel;
};
