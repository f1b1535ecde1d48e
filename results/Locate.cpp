// Opening the browser at a result row's key and value.
#include "app/TRegForm.h"

#include "app/QtText.h"
#include "app/TListView.h"
#include "app/TReportView.h"
#include "app/TTreeView.h"
#include "app/UnitState.h"
#include "registry/KeyPath.h"
#include "registry/ValueText.h"
#include "results/ResultModel.h"

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

    const auto selectValue = [this, &row] {
        if (row.name.empty()) return;
        // The current row, and the only selected one: the focus rule then
        // leaves the first row alone, and Delete acts on the located value.
        const int found = FindValueRow(row.name, row.defaultValue);
        if (found >= 0)
            RegLV->setCurrentRow(found,
                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        const bool hadFocus = RegLV->hasFocus();
        RegLV->setFocus();
        // An inactive window gets no focus event until it is activated.
        if (!hadFocus && !RegLV->hasFocus()) RegLVEnter();
    };

    std::string nodePath;
    for (const std::string_view name : KeyNames(row.branch)) {
        nodePath += '\\';
        nodePath += name;
    }
    if (fromQt(lb2->text()) == PathDisplayText(row.root, nodePath)) {
        selectValue();
        return;
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

    RegTV->setFocus();
    {
        // The busy pointer for as long as the walk lasts, on every way out.
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const auto busy = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
        // Pinned: the message loop below must not take the current node away.
        TNodePin pin(RegTV, node);
        RegTV->selectNode(node);
        RegTV->expandNode(node);
        for (const std::string_view name : KeyNames(row.branch)) {
            TTreeNode *found = nullptr;
            for (int i = 0; !found && i < node->childCount(); ++i) {
                QCoreApplication::processEvents();
                if (i >= node->childCount()) break; // children may go while messages run
                if (node->child(i)->name() == name) found = node->child(i);
            }
            if (!found) continue;
            node = found;
            pin.moveTo(node);
            RegTV->selectNode(node);
            RegTV->expandNode(node);
        }
        selectValue();
    }
}
