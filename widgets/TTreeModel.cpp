#include "widgets/TTreeModel.h"

#include <unordered_map>
#include <unordered_set>

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

void TTreeModel::arrangeChildren(TTreeNode *parent, std::vector<Arranged> children)
{
    // Rows added or removed one at a time cost a pass over the siblings each: the
    // undo of 10,000 keys below a key of 100,000 took seconds.
    auto &current = childrenOf(parent);
    std::unordered_map<const TTreeNode *, std::size_t> position;
    for (std::size_t i = 0; i < current.size(); ++i)
        position.emplace(current[i].get(), i);
    emit layoutAboutToBeChanged();
    std::vector<std::unique_ptr<TTreeNode>> next;
    next.reserve(children.size());
    for (Arranged &child : children) {
        std::unique_ptr<TTreeNode> node = std::move(child.made);
        if (child.kept) {
            const auto at = position.find(child.kept);
            if (at == position.end() || !current[at->second]) continue;
            node = std::move(current[at->second]);
        }
        if (!node) continue;
        node->m_parent = parent;
        node->m_row = static_cast<int>(next.size());
        next.push_back(std::move(node));
    }
    std::unordered_set<const TTreeNode *> gone;
    for (const auto &node : current)
        if (node) gone.insert(node.get());
    // Freed once the views have let go of them.
    std::vector<std::unique_ptr<TTreeNode>> leaving = std::move(current);
    current = std::move(next);

    // Where each node with a persistent index stands, found once per node on the
    // way up: the tree may be 100,000 levels deep.
    enum Fate
    {
        Elsewhere,
        Stays,
        Goes
    };
    std::unordered_map<const TTreeNode *, Fate> fates;
    const auto fateOf = [&](const TTreeNode *node) {
        std::vector<const TTreeNode *> way;
        Fate fate = Elsewhere;
        for (const TTreeNode *up = node; up; up = up->parent()) {
            if (const auto known = fates.find(up); known != fates.end()) {
                fate = known->second;
                break;
            }
            way.push_back(up);
            if (up->parent() == parent) {
                fate = gone.count(up) ? Goes : Stays;
                break;
            }
        }
        for (const TTreeNode *on : way)
            fates.emplace(on, fate);
        return fate;
    };
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &index : before) {
        TTreeNode *node = nodeAt(index);
        const Fate fate = node ? fateOf(node) : Elsewhere;
        if (fate == Goes)
            after.append(QModelIndex());
        else if (fate == Stays && node->parent() == parent)
            after.append(createIndex(node->row(), index.column(), node));
        else
            after.append(index);
    }
    changePersistentIndexList(before, after);
    emit layoutChanged();
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
