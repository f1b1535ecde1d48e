// Deleting a key from the tree or values from the value list with the Delete key.
#include "app/TRegForm.h"

#include "app/Dialogs.h"
#include "app/EditSafety.h"
#include "browser/ValueListModel.h"
#include "registry/api/DeleteCount.h"
#include "registry/api/KeyPath.h"
#include "registry/api/TRegistry.h"
#include "registry/text/ValueText.h"
#include "registry/undo/UndoCapture.h"
#include "widgets/QtText.h"
#include "widgets/TListView.h"
#include "widgets/TTreeView.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <string>

namespace {

// A root node or a key directly below one. The historic opening rule there
// addresses a subkey that bears the root's own name, which, where it exists,
// would let one key press delete a whole root's content or another key's values.
// Such deletions are refused as if that subkey did not open.
bool belowFirstLevel(const KeyPath &path)
{
    return path.depth() >= 2;
}

// The node after `node`'s whole subtree in tree order, or null.
TTreeNode *nodeAfterSubtree(TTreeNode *node)
{
    for (; node; node = node->parent()) {
        TTreeNode *parent = node->parent();
        if (!parent) return nullptr;
        if (TTreeNode *next = parent->child(node->row() + 1)) return next;
    }
    return nullptr;
}

} // namespace

void TRegForm::RegTVKeyUp(int key, Qt::KeyboardModifiers shift)
{
    (void)shift; // Delete with Shift, Ctrl or Alt deletes as well
    TTreeNode *node = RegTV->selectedNode();
    if (!node) return;
    std::string rootName, nodePath;
    NodeRootAndPath(node, rootName, nodePath);
    const KeyPath path = KeyPath::fromNodePath(nodePath);
    const std::string &relPath = path.relative();
    if (key != Qt::Key_Delete) return;
    // A load or a walk that runs below here would lose its node.
    if (RegTV->isInUse(node)) {
        QApplication::beep();
        return;
    }
    if (EditSafety::refusesChanges()) return;
    // The confirmation runs the message loop; nothing may take the node away meanwhile.
    TNodePin pin(RegTV, node);
    const std::string keyName = rootName + '\\' + relPath;
    // What goes with it, counted as the result list's delete counts it; a key the
    // delete refuses ("not opened") has no counts to tell.
    DeleteCount count;
    TRegistry counting;
    if (belowFirstLevel(path)) counting.SelectRoot(GetRootID(rootName));
    const std::string counts =
        belowFirstLevel(path) && count.addKey(counting, path.nodePath()) ? count.text() + "." : "";
    if (!Dialogs::confirmShowing("Delete Key \n\r" + keyName + "\n\rand all its SubKeys?", counts,
                                 {}))
        return;

    TRegistry reg;
    if (!belowFirstLevel(path) || !OpenWithAllAccess(reg, GetRootID(rootName), path.nodePath())) {
        Dialogs::error("not opened: " + keyName);
        return;
    }
    EditSafety safety(m_undoHistory, "delete", "unfinished key deletion");
    if (!safety.prepare([&](UndoCapture &capture) { capture.captureKey(rootName, relPath); }))
        return;
    const bool deleted = reg.DeleteTree(path.nodePath());
    safety.finish(deleted, "Key " + keyName + " deleted");
    if (!deleted) {
        Dialogs::error("not deleted: " + keyName);
        return;
    }

    // Bring the tree in line: collapse, move the selection on, then remove.
    RegTV->collapseNode(node);
    // Past the whole subtree: a node that kept more than 500 children would
    // otherwise hand the selection to its own first child, removed a moment later.
    TTreeNode *next = nodeAfterSubtree(node);
    pin.moveTo(nullptr);
    try {
        if (next)
            RegTV->selectNode(next);
        else
            RegTV->selectionModel()->clear(); // no selection; the value list keeps its rows
    } catch (...) {
        RegTV->removeNode(node); // the key is gone even when the next key's values fail to read
        throw;
    }
    RegTV->removeNode(node);
}

void TRegForm::RegLVKeyUp(int key, Qt::KeyboardModifiers shift)
{
    (void)shift;
    if (RegLV->rowCount() == 0) return;
    const int row = RegLV->firstSelectedRow();
    TTreeNode *node = RegTV->selectedNode();
    if (row < 0 || !node) return;
    std::string rootName, nodePath;
    NodeRootAndPath(node, rootName, nodePath);
    const KeyPath path = KeyPath::fromNodePath(nodePath);
    const std::string &relPath = path.relative();
    if (key != Qt::Key_Delete) return;

    const std::string caption(m_valueList->caption(row));
    const bool defaultValue = m_valueList->isDefaultValue(row);
    const std::string valueText = m_valueList->valueText(row);
    const ValueListModel::RowId rowId = m_valueList->idAt(row);
    const unsigned fill = m_valueListFills;
    if (EditSafety::refusesChanges()) return;
    if (!Dialogs::confirm("Delete Value " + caption + "?")) return;

    TRegistry reg;
    const std::string keyName = rootName + '\\' + relPath;
    if (!belowFirstLevel(path) || !OpenWithAllAccess(reg, GetRootID(rootName), path.nodePath())) {
        Dialogs::error("not opened: " + keyName);
        return;
    }
    if (defaultValue && valueText == kValueNotSet) return; // nothing to empty
    EditSafety safety(m_undoHistory, "delete", "unfinished value deletion");
    if (!safety.prepare([&](UndoCapture &capture) {
            capture.captureValue(rootName, relPath, defaultValue ? std::string() : caption);
        }))
        return;
    if (defaultValue) {
        // The default value is emptied, not removed; the row keeps its old text.
        reg.WriteText(std::string(), std::string());
        safety.finish(true, "Value \"" + caption + "\" emptied");
        return;
    }
    const bool removed = reg.RemoveValue(caption);
    safety.finish(removed, "Value \"" + caption + "\" deleted");
    if (!removed) {
        Dialogs::error("not deleted: " + keyName);
        return;
    }
    // The confirmation ran the message loop: the row goes only if the list still holds it.
    if (fill == m_valueListFills) m_valueList->removeRow(rowId);
}
