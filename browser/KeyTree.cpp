// The key tree: loading children on expansion, dropping them on collapse, and
// following the selection.
#include "app/TRegForm.h"

#include "app/QtText.h"
#include "app/TTreeView.h"
#include "browser/ValueListModel.h"
#include "registry/KeyPath.h"
#include "registry/TRegistry.h"
#include "registry/ValueText.h"

#include <QApplication>
#include <QLabel>
#include <string>
#include <vector>

namespace {

// Nodes with more children than this keep them when they collapse, so a very
// large key is not read again on every expansion.
constexpr int kCollapseLimit = 500;

bool isTopNode(const TTreeNode *node)
{
    return node->parent() == nullptr;
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
        bool marked = false, childless = false;
        if (reg.OpenPath(KeyPath::fromNodePath(nodePath).join(name).nodePath())) {
            TKeyInfoRec info;
            reg.QueryKeyInfo(info);
            marked = info.SubkeyCount > 0;
            childless = !marked;
            reg.ClosePath();
        }
        RegTV->addNode(node, std::move(name), kImageClosedFolder, marked);
        if (childless) QCoreApplication::processEvents();
    }
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
