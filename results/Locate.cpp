// Opening the browser at a result row's key and value.
#include "app/TRegForm.h"

#include "app/Dialogs.h"
#include "app/UnitState.h"
#include "registry/api/KeyPath.h"
#include "registry/api/TRegistry.h"
#include "registry/text/ValueText.h"
#include "results/ResultModel.h"
#include "widgets/QtText.h"
#include "widgets/TListView.h"
#include "widgets/TReportView.h"
#include "widgets/TTreeView.h"

#include <QApplication>
#include <QLabel>
#include <QScopeGuard>
#include <string>

void TRegForm::FoundLVDblClick()
{
    if (!UnitState::modifierFlag) LocateFoundRow();
}

void TRegForm::Locate1Click()
{
    // Its key is held with Ctrl, whose release lands in the browser once the
    // focus moves there: the list would keep counting Ctrl as held.
    UnitState::modifierFlag = false;
    LocateFoundRow();
}

void TRegForm::LocateFoundRow()
{
    auto *model = qobject_cast<ResultModel *>(FoundLV->model());
    if (!model || model->totalRows() == 0) return;
    const std::vector<int> selected = model->selectedRows(*FoundLV->selectionModel());
    if (selected.empty()) return; // a double click below the rows: nothing to open
    // A copy: the walk runs the message loop, and the list may change meanwhile.
    const ResultRow row = model->rowAt(selected.front());

    const std::vector<std::string_view> names = KeyNames(row.branch);
    std::string nodePath;
    for (const std::string_view name : names) {
        nodePath += '\\';
        nodePath += name;
    }
    // The Root cell names a root key, so only the root nodes are candidates: a
    // loaded key that happens to bear a root's name is not where the hit is.
    TTreeNode *node = nullptr;
    for (TTreeNode *root : RootNodes)
        if (root && root->name() == row.root) {
            node = root;
            break;
        }
    if (!node) return;

    // A key or value renamed or deleted since the search is said to be gone: the
    // walk goes as far as the registry still has the row's keys.
    std::string reached = row.root;
    const auto gone = [&reached](const char *what, std::string_view name) {
        Dialogs::information(reached + " has no " + what + " " + std::string(name) +
                             " any more: it was renamed or deleted since the search.");
    };
    TRegistry keys;
    keys.SelectRoot(GetRootID(row.root));
    const std::string firstMissing = keys.FirstMissingKey(nodePath);
    const std::size_t present =
        firstMissing.empty() ? names.size() : KeyNames(firstMissing).size() - 1;

    const auto selectValue = [this, &row, &gone, &nodePath] {
        if (row.name.empty()) return;
        TRegistry reg;
        const bool held = OpenWithAllAccess(reg, GetRootID(row.root), nodePath) &&
                          reg.HasValue(row.defaultValue ? std::string() : row.name);
        reg.ClosePath();
        // The current row, and the only selected one: the focus rule then
        // leaves the first row alone, and Delete acts on the located value.
        int found = FindValueRow(row.name, row.defaultValue);
        if (held != (found >= 0)) {
            // The list shows the key as it was before an edit.
            std::string rootName, shownPath;
            if (NodeRootAndPath(RegTV->selectedNode(), rootName, shownPath))
                FillValueList(rootName, shownPath);
            found = FindValueRow(row.name, row.defaultValue);
        }
        if (found >= 0)
            RegLV->setCurrentRow(found,
                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        const bool hadFocus = RegLV->hasFocus();
        RegLV->setFocus();
        // An inactive window gets no focus event until it is activated.
        if (!hadFocus && !RegLV->hasFocus()) RegLVEnter();
        if (!held) gone("value", row.name);
    };

    if (present == names.size() && fromQt(lb2->text()) == PathDisplayText(row.root, nodePath)) {
        reached += nodePath;
        selectValue();
        return;
    }

    RegTV->setFocus();
    std::string_view missing;
    {
        // The busy pointer for as long as the walk lasts, on every way out.
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const auto busy = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
        // Pinned: the message loop below must not take the current node away.
        TNodePin pin(RegTV, node);
        RegTV->selectNode(node);
        RegTV->expandNode(node);
        for (std::size_t at = 0; at < names.size(); ++at) {
            const std::string_view name = names[at];
            TTreeNode *found = nullptr;
            // The tree may show the children as they were before an edit: read again.
            for (int pass = 0; pass < 2 && !found && at < present; ++pass) {
                if (pass == 1) MatchChildrenToRegistry(node);
                for (int i = 0; !found && i < node->childCount(); ++i) {
                    QCoreApplication::processEvents();
                    if (i >= node->childCount()) break; // children may go while messages run
                    if (node->child(i)->name() == name) found = node->child(i);
                }
            }
            if (!found) {
                if (at >= present) MatchChildrenToRegistry(node); // a node of a key gone goes
                missing = name;
                break;
            }
            node = found;
            reached += '\\';
            reached += name;
            pin.moveTo(node);
            RegTV->selectNode(node);
            RegTV->expandNode(node);
        }
        if (missing.empty()) selectValue();
    }
    if (!missing.empty()) gone("key", missing);
}
