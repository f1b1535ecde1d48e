// The key tree: loading children on expansion, dropping them on collapse, and
// following the selection.
#include "app/TRegForm.h"

#include "browser/ValueListModel.h"
#include "registry/api/KeyPath.h"
#include "registry/api/TRegistry.h"
#include "registry/text/ValueText.h"
#include "widgets/QtText.h"
#include "widgets/TListView.h"
#include "widgets/TTreeView.h"

#include <QApplication>
#include <QLabel>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {

// Nodes with more children than this keep them when they collapse, so a very
// large key is not read again on every expansion.
constexpr int kCollapseLimit = 500;

bool isTopNode(const TTreeNode *node)
{
    return node->parent() == nullptr;
}

enum class Subkeys
{
    NotOpened,
    None,
    Some
};

// What a child key's node is given: the expand button when it has subkeys.
Subkeys subkeysOf(TRegistry &reg, const std::string &nodePath)
{
    if (!reg.OpenPath(nodePath)) return Subkeys::NotOpened;
    TKeyInfoRec info;
    reg.QueryKeyInfo(info);
    reg.ClosePath();
    return info.SubkeyCount > 0 ? Subkeys::Some : Subkeys::None;
}

// Everything a load changes on the window comes back on every way out.
class TLoadScope
{
public:
    TLoadScope(TTreeView *tree, int &holds, QLabel *status)
        : m_tree(tree), m_holds(holds), m_status(status)
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        if (m_holds++ == 0) m_tree->setUpdatesEnabled(false);
    }
    ~TLoadScope()
    {
        if (--m_holds == 0) m_tree->setUpdatesEnabled(true);
        m_status->clear();
        QApplication::restoreOverrideCursor();
    }
    TLoadScope(const TLoadScope &) = delete;
    TLoadScope &operator=(const TLoadScope &) = delete;

private:
    TTreeView *m_tree;
    int &m_holds;
    QLabel *m_status;
};

} // namespace

const TTreeNode *TRegForm::NodeRootAndPath(const TTreeNode *node, std::string &rootName,
                                           std::string &nodePath) const
{
    rootName.clear();
    nodePath.clear();
    if (!node || isTopNode(node)) return nullptr;
    // Collect the key names up to the root node, whose parent is the top node.
    std::vector<const TTreeNode *> keys;
    for (; node->parent() && node->parent()->parent(); node = node->parent())
        keys.push_back(node);
    rootName = node->name();
    for (auto at = keys.rbegin(); at != keys.rend(); ++at) {
        nodePath += '\\';
        nodePath += (*at)->name();
    }
    return node;
}

void TRegForm::RegTVExpanding(TTreeNode *node)
{
    if (!node || isTopNode(node) || node->childCount() > 0) return;
    RegTV->setSelectedIndex(node, kImageOpenFolder);

    // The message loop runs during the load: the node and its ancestors stay put.
    TNodePin pin(RegTV, node);
    TLoadScope scope(RegTV, m_treeUpdateHolds, lb1);

    std::string rootName, nodePath;
    NodeRootAndPath(node, rootName, nodePath);
    lb1->setText(toQt("expanding " + PathDisplayText(rootName, nodePath) + "..."));

    TRegistry reg;
    OpenWithAllAccess(reg, GetRootID(rootName), nodePath);
    std::vector<std::string> names;
    reg.ListSubkeys(names);
    reg.ClosePath();

    for (std::string &name : names) {
        const Subkeys below = subkeysOf(reg, KeyPath::fromNodePath(nodePath).join(name).nodePath());
        RegTV->addNode(node, std::move(name), kImageClosedFolder, below == Subkeys::Some);
        if (below == Subkeys::None) QCoreApplication::processEvents();
    }
}

void TRegForm::MatchChildrenToRegistry(TTreeNode *node)
{
    std::string rootName, nodePath;
    NodeRootAndPath(node, rootName, nodePath);
    const KeyPath at = KeyPath::fromNodePath(nodePath);
    TRegistry reg;
    std::vector<std::string> names;
    if (OpenWithAllAccess(reg, GetRootID(rootName), nodePath)) reg.ListSubkeys(names);
    reg.ClosePath();

    std::unordered_map<std::string_view, TTreeNode *> shown;
    for (int i = 0; i < node->childCount(); ++i)
        shown.emplace(node->child(i)->name(), node->child(i));
    std::vector<TTreeNode *> stay; // gone, but a load or a walk stands on them
    {
        const std::unordered_set<std::string_view> listed(names.begin(), names.end());
        for (int i = 0; i < node->childCount(); ++i) {
            TTreeNode *child = node->child(i);
            if (listed.count(child->name())) continue;
            if (RegTV->isInUse(child)) {
                stay.push_back(child);
                continue;
            }
            // A selection inside goes up here, not to a sibling the user did not choose.
            for (const TTreeNode *up = RegTV->selectedNode(); up; up = up->parent())
                if (up == child) {
                    RegTV->selectNode(node);
                    break;
                }
        }
    }
    std::vector<TTreeView::NodeSlot> wanted;
    wanted.reserve(names.size() + stay.size());
    for (std::string &name : names) {
        const auto found = shown.find(name);
        TTreeNode *child = found == shown.end() ? nullptr : found->second;
        // A loaded child keeps its mark; the others' are read again.
        const bool marked = child && child->childCount() > 0
                                ? child->hasChildrenMark()
                                : subkeysOf(reg, at.join(name).nodePath()) == Subkeys::Some;
        wanted.push_back({child, child ? std::string() : std::move(name), marked});
    }
    for (TTreeNode *child : stay)
        wanted.push_back({child, {}, child->hasChildrenMark()});
    RegTV->arrangeChildren(node, std::move(wanted), kImageClosedFolder);
    // Emptied, it reads its key again when next expanded, as after a collapse.
    if (node->childCount() == 0) RegTV->setHasChildren(node, true);
}

void TRegForm::ShowRegistryChanged(const std::string &status)
{
    // Only what is loaded is read again, a node at a time on a stack of our own.
    std::vector<TTreeNode *> loaded;
    for (TTreeNode *root : RootNodes)
        if (root && root->childCount() > 0) loaded.push_back(root);
    while (!loaded.empty()) {
        TTreeNode *node = loaded.back();
        loaded.pop_back();
        // A load or a walk that runs the message loop keeps the nodes it stands on.
        if (!RegTV->isInUse(node)) MatchChildrenToRegistry(node);
        for (int i = 0; i < node->childCount(); ++i)
            if (node->child(i)->childCount() > 0) loaded.push_back(node->child(i));
    }
    const int row = RegLV->firstSelectedRow();
    if (row >= 0)
        RefillValues(m_valueList->isDefaultValue(row) ? std::string()
                                                      : std::string(m_valueList->caption(row)));
    else if (std::string rootName, nodePath;
             NodeRootAndPath(RegTV->selectedNode(), rootName, nodePath))
        FillValueList(rootName, nodePath);
    lb1->setText(toQt(status));
}

void TRegForm::RegTVExpanded(TTreeNode *node)
{
    if (node && !isTopNode(node)) RegTV->setSelectedIndex(node, kImageOpenFolder);
}

void TRegForm::RegTVCollapsing(TTreeNode *node)
{
    if (!node || isTopNode(node)) return;
    RegTV->setSelectedIndex(node, kImageOpenFolder);
    // A pinned node below would be removed under a running load or walk.
    if (node->childCount() > kCollapseLimit || RegTV->isInUse(node)) return;
    // A selection inside moves up before the removal starts, so an error while
    // the node's values are read cannot break off a half-done removal.
    for (TTreeNode *up = RegTV->selectedNode(); up; up = up->parent())
        if (up->parent() == node) {
            RegTV->selectNode(node);
            break;
        }
    RegTV->removeChildren(node);
    RegTV->setHasChildren(node, true);
}

void TRegForm::RegTVCollapsed(TTreeNode *node)
{
    if (node && !isTopNode(node)) RegTV->setSelectedIndex(node, kImageOpenFolder);
}

void TRegForm::RegTVChanging(TTreeNode *node)
{
    if (!node || isTopNode(node)) return;
    RegTV->setSelectedIndex(node, kImageOpenFolder);
    RegTV->setSelectedIndex(node->parent(), kImageOpenFolder);
}

void TRegForm::RegTVChange(TTreeNode *node)
{
    if (!node) return;
    if (isTopNode(node)) {
        ++m_valueListFills;
        m_valueList->clear();
        RegTV->setSelectedIndex(node, kImageComputer);
        lb2->setText(toQt(kMyComputer));
        return;
    }
    RegTV->setSelectedIndex(node, kImageOpenFolder);
    std::string rootName, nodePath;
    NodeRootAndPath(node, rootName, nodePath);
    FillValueList(rootName, nodePath); // an error ends here and leaves lb2 as it was
    lb2->setText(toQt(PathDisplayText(rootName, nodePath)));
}
