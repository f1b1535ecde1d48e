#include "app/TTreeModel.h"

TTreeModel::TTreeModel(QObject *parent) : QAbstractItemModel(parent) {}

TTreeModel::~TTreeModel() = default;

std::vector<std::unique_ptr<TTreeNode>> &TTreeModel::childrenOf(TTreeNode *parent)
{
    return parent ? parent->m_children : m_topLevel;
}

const std::vector<std::unique_ptr<TTreeNode>> &TTreeModel::childrenOf(const TTreeNode *parent) const
{
    return parent ? parent->m_children : m_topLevel;
}

QModelIndex TTreeModel::index(int row, int column, const QModelIndex &parent) const
{
    if (column != 0 || (parent.isValid() && parent.model() != this)) return {};
    const auto &children = childrenOf(nodeAt(parent));
    if (row < 0 || row >= static_cast<int>(children.size())) return {};
    return createIndex(row, 0, children[static_cast<std::size_t>(row)].get());
}

QModelIndex TTreeModel::parent(const QModelIndex &child) const
{
    const TTreeNode *node = nodeAt(child);
    return node ? indexOf(node->parent()) : QModelIndex();
}

int TTreeModel::rowCount(const QModelIndex &parent) const
{
    if (parent.column() > 0) return 0;
    return static_cast<int>(childrenOf(nodeAt(parent)).size());
}

int TTreeModel::columnCount(const QModelIndex &) const
{
    return 1;
}

bool TTreeModel::hasChildren(const QModelIndex &parent) const
{
    if (parent.column() > 0) return false;
    const TTreeNode *node = nodeAt(parent);
    return !childrenOf(node).empty() || (node && node->hasChildrenMark());
}

QVariant TTreeModel::data(const QModelIndex &index, int role) const
{
    const TTreeNode *node = nodeAt(index);
    if (!node) return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: return node->text();
    case ImageRole: return node->imageIndex() >= 0 ? QVariant(node->imageIndex()) : QVariant();
    case SelectedImageRole:
        return node->selectedIndex() >= 0 ? QVariant(node->selectedIndex()) : QVariant();
    default: return {};
    }
}

Qt::ItemFlags TTreeModel::flags(const QModelIndex &index) const
{
    return nodeAt(index) ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

TTreeNode *TTreeModel::nodeAt(const QModelIndex &index) const
{
    return index.isValid() && index.model() == this
               ? static_cast<TTreeNode *>(index.internalPointer())
               : nullptr;
}

QModelIndex TTreeModel::indexOf(const TTreeNode *node) const
{
    return node ? createIndex(node->row(), 0, const_cast<TTreeNode *>(node)) : QModelIndex();
}

TTreeNode *TTreeModel::topLevelNode(int row) const
{
    return row >= 0 && row < topLevelCount() ? m_topLevel[static_cast<std::size_t>(row)].get()
                                             : nullptr;
}

TTreeNode *TTreeModel::append(TTreeNode *parent, std::unique_ptr<TTreeNode> node)
{
    auto &children = childrenOf(parent);
    const int row = static_cast<int>(children.size());
    node->m_parent = parent;
    node->m_row = row;
    beginInsertRows(indexOf(parent), row, row);
    children.push_back(std::move(node));
    endInsertRows();
    return children.back().get();
}

TTreeNode *TTreeModel::insert(TTreeNode *parent, int row, std::unique_ptr<TTreeNode> node)
{
    auto &children = childrenOf(parent);
    if (row < 0 || row >= static_cast<int>(children.size())) return append(parent, std::move(node));
    node->m_parent = parent;
    beginInsertRows(indexOf(parent), row, row);
    children.insert(children.begin() + row, std::move(node));
    for (std::size_t at = static_cast<std::size_t>(row); at < children.size(); ++at)
        children[at]->m_row = static_cast<int>(at);
    endInsertRows();
    return children[static_cast<std::size_t>(row)].get();
}

void TTreeModel::remove(TTreeNode *node)
{
    auto &siblings = childrenOf(node->parent());
    const int row = node->row();
    beginRemoveRows(indexOf(node->parent()), row, row);
    // Freed once the view has let go of it.
    std::unique_ptr<TTreeNode> taken = std::move(siblings[static_cast<std::size_t>(row)]);
    siblings.erase(siblings.begin() + row);
    for (std::size_t at = static_cast<std::size_t>(row); at < siblings.size(); ++at)
        siblings[at]->m_row = static_cast<int>(at);
    endRemoveRows();
}

void TTreeModel::removeChildren(TTreeNode *node)
{
    if (node->m_children.empty()) return;
    beginRemoveRows(indexOf(node), 0, node->childCount() - 1);
    std::vector<std::unique_ptr<TTreeNode>> taken = std::move(node->m_children);
    node->m_children.clear();
    endRemoveRows();
}

void TTreeModel::setImageIndex(TTreeNode *node, int index)
{
    const std::int8_t slot = TTreeNode::imageSlot(index);
    if (node->m_image == slot) return;
    node->m_image = slot;
    changed(node);
}

void TTreeModel::setSelectedIndex(TTreeNode *node, int index)
{
    const std::int8_t slot = TTreeNode::imageSlot(index);
    if (node->m_selectedImage == slot) return;
    node->m_selectedImage = slot;
    changed(node);
}

void TTreeModel::setHasChildrenMark(TTreeNode *node, bool mark)
{
    if (node->m_hasChildrenMark == mark) return;
    node->m_hasChildrenMark = mark;
    changed(node); // the view asks hasChildren again for a changed row
}

void TTreeModel::changed(const TTreeNode *node)
{
    const QModelIndex at = indexOf(node);
    emit dataChanged(at, at);
}
