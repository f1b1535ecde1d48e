// Editing in the browser: modify a value, new keys and values, renames, export
// and import, and going to a typed key path. Every change goes through the
// safety net (EditSafety) as the browser's deletions do.
#include "app/TRegForm.h"

#include "app/Dialogs.h"
#include "app/EditSafety.h"
#include "browser/ImportProgress.h"
#include "browser/InPlaceName.h"
#include "browser/ValueEditors.h"
#include "browser/ValueListModel.h"
#include "registry/api/KeyPath.h"
#include "registry/api/RootTable.h"
#include "registry/api/TRegistry.h"
#include "registry/regfile/ImportFile.h"
#include "registry/text/RegistryPathText.h"
#include "registry/text/ValueEditText.h"
#include "registry/text/ValueText.h"
#include "registry/undo/ImportEdit.h"
#include "registry/undo/UndoCapture.h"
#include "registry/win32/AsciiText.h"
#include "widgets/QtText.h"
#include "widgets/TListView.h"
#include "widgets/TTreeView.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>

#include <filesystem>
#include <fstream>
#include <optional>

using ValueEditText::Bytes;

namespace {

// What a new key's or value's name starts as: "New Key #1", ...
constexpr std::string_view kNewKey = "New Key";
constexpr std::string_view kNewValue = "New Value";

std::string joined(const std::string &keyPath, const std::string &name)
{
    return keyPath.empty() ? name : keyPath + '\\' + name;
}

std::string fullName(const std::string &rootName, const std::string &keyPath)
{
    return keyPath.empty() ? rootName : rootName + '\\' + keyPath;
}

// Data a new value of each type starts with: empty, a zero.
Bytes firstData(DWORD regType)
{
    switch (regType) {
    case REG_SZ:
    case REG_EXPAND_SZ: return ValueEditText::storedText("");
    case REG_MULTI_SZ: return ValueEditText::storedLines({});
    case REG_DWORD: return Bytes(4, 0);
    case REG_QWORD: return Bytes(8, 0);
    default: return {};
    }
}

// The name a new key or value is made under: the one typed, or, after a box
// saying why, the one made up when the typed one is `refused` or taken; never
// one taken meanwhile.
template <typename Taken>
std::string settledName(std::string typed, const std::string &made, std::string_view base,
                        const std::string &kind, std::string refused, Taken taken)
{
    if (refused.empty() && typed != made && taken(typed))
        refused = "a " + kind + " named " + typed + " is there already.";
    if (!refused.empty()) {
        Dialogs::error("The new " + kind + " is called " + made + ": " + refused);
        typed = made;
    }
    return taken(typed) ? ValueEditText::uniqueName(base, taken) : typed;
}

// Keys pressed in the tree and the value list that edit: Enter on a value row,
// F2 in either. Other keys go on as before (Enter without a row presses Button1).
class EditKeys : public QObject
{
public:
    explicit EditKeys(TRegForm &form) : QObject(&form), m_form(form) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress) return false;
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (watched == m_form.RegLV) {
            if ((key == Qt::Key_Return || key == Qt::Key_Enter) &&
                m_form.RegLV->firstSelectedRow() >= 0) {
                m_form.ModifyValueClick();
                return true;
            }
            if (key == Qt::Key_F2) {
                m_form.RenameValueClick();
                return true;
            }
        } else if (watched == m_form.RegTV && key == Qt::Key_F2) {
            m_form.RenameKeyClick();
            return true;
        }
        return false;
    }

private:
    TRegForm &m_form;
};

} // namespace

void TRegForm::CreateBrowserEditing()
{
    const auto action = [this](QMenu *menu, const char *name, const QString &text) {
        QAction *made = menu->addAction(text);
        made->setObjectName(QString::fromLatin1(name));
        return made;
    };
    const auto newItems = [this, action](QMenu *menu, bool withKey) {
        QMenu *sub = menu->addMenu(QStringLiteral("&New"));
        sub->setObjectName(menu->objectName() + QStringLiteral("New"));
        if (withKey)
            connect(action(sub, "", QStringLiteral("&Key")), &QAction::triggered, this,
                    &TRegForm::NewKeyClick);
        sub->addSeparator();
        static const std::pair<const char *, DWORD> kinds[] = {
            {"&String Value", REG_SZ},
            {"&Binary Value", REG_BINARY},
            {"&DWORD (32-bit) Value", REG_DWORD},
            {"&QWORD (64-bit) Value", REG_QWORD},
            {"&Multi-String Value", REG_MULTI_SZ},
            {"&Expandable String Value", REG_EXPAND_SZ}};
        for (const auto &[text, regType] : kinds) {
            const DWORD type = regType;
            connect(action(sub, "", QString::fromUtf8(text)), &QAction::triggered, this,
                    [this, type] { NewValueClick(type); });
        }
        return sub;
    };

    // pmValues comes with the controls holding Copy (browser/ValueListCopy.cpp), which
    // shows it; the edits go above Copy.
    pmValues->removeAction(CopyValues1);
    ModifyValueAction = action(pmValues, "ModifyValueAction", QStringLiteral("&Modify\u2026"));
    pmValues->addSeparator();
    newItems(pmValues, true);
    RenameValueAction = action(pmValues, "RenameValueAction", QStringLiteral("&Rename"));
    pmValues->addSeparator();
    pmValues->addAction(CopyValues1);
    connect(pmValues, &QMenu::aboutToShow, this, [this] {
        const bool onRow = RegLV->firstSelectedRow() >= 0;
        ModifyValueAction->setEnabled(onRow);
        RenameValueAction->setEnabled(onRow);
    });
    connect(ModifyValueAction, &QAction::triggered, this, &TRegForm::ModifyValueClick);
    connect(RenameValueAction, &QAction::triggered, this, &TRegForm::RenameValueClick);
    connect(RegLV, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &index) {
        if (index.isValid()) ModifyValueClick();
    });

    pmKeys = new QMenu(this);
    pmKeys->setObjectName(QStringLiteral("pmKeys"));
    newItems(pmKeys, true);
    RenameKeyAction = action(pmKeys, "RenameKeyAction", QStringLiteral("&Rename"));
    ExportKeyAction = action(pmKeys, "ExportKeyAction", QStringLiteral("&Export\u2026"));
    pmKeys->addSeparator();
    GoToKeyAction = action(pmKeys, "GoToKeyAction", QStringLiteral("&Go to key\u2026"));
    GoToKeyAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    addAction(GoToKeyAction);
    RegTV->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(RegTV, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        // A right click selects the key it is on, as the menu acts on the selection.
        if (TTreeNode *node = RegTV->nodeAt(at); node && node != RegTV->selectedNode())
            RegTV->selectNode(node);
        std::string rootName, nodePath;
        const bool onKey = NodeRootAndPath(RegTV->selectedNode(), rootName, nodePath) != nullptr;
        for (QAction *item : pmKeys->actions())
            if (item != GoToKeyAction) item->setEnabled(onKey);
        // A root key is neither renamed nor exported (its export would hold no key).
        RenameKeyAction->setEnabled(onKey && !nodePath.empty());
        ExportKeyAction->setEnabled(onKey && !nodePath.empty());
        pmKeys->popup(RegTV->viewport()->mapToGlobal(at));
    });
    connect(RenameKeyAction, &QAction::triggered, this, &TRegForm::RenameKeyClick);
    connect(ExportKeyAction, &QAction::triggered, this, &TRegForm::ExportKeyClick);
    connect(GoToKeyAction, &QAction::triggered, this, &TRegForm::GoToKeyClick);

    ImportAction = RegistryMenu->addAction(QStringLiteral("&Import\u2026"));
    ImportAction->setObjectName(QStringLiteral("ImportAction"));
    addAction(ImportAction);
    connect(ImportAction, &QAction::triggered, this, &TRegForm::ImportClick);

    auto *keys = new EditKeys(*this);
    RegLV->installEventFilter(keys);
    RegTV->installEventFilter(keys);
}

void TRegForm::RefillValues(const std::string &name)
{
    std::string rootName, nodePath;
    if (!NodeRootAndPath(RegTV->selectedNode(), rootName, nodePath)) return;
    FillValueList(rootName, nodePath);
    const int row = FindValueRow(name.empty() ? kStandardName : name, name.empty());
    if (row >= 0)
        RegLV->setCurrentRow(row, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void TRegForm::ModifyValueClick()
{
    const int row = RegLV->firstSelectedRow();
    std::string rootName, nodePath;
    if (row < 0 || !NodeRootAndPath(RegTV->selectedNode(), rootName, nodePath)) return;
    const std::string keyPath = KeyPath::fromNodePath(nodePath).relative();
    const bool defaultValue = m_valueList->isDefaultValue(row);
    const std::string caption(m_valueList->caption(row));
    const std::string name = defaultValue ? std::string() : caption;
    if (EditSafety::refusesChanges()) return;

    TRegistry reg;
    if (!OpenWithAllAccess(reg, GetRootID(rootName), "\\" + keyPath)) {
        Dialogs::error("not opened: " + fullName(rootName, keyPath));
        return;
    }
    Bytes stored;
    DWORD regType = REG_SZ;
    if (!reg.FetchStored(name, stored, regType)) {
        if (!defaultValue) {
            Dialogs::error("The value " + caption + " is no longer there.");
            return;
        }
        stored.clear(); // a default value not set is edited as an empty text
        regType = REG_SZ;
    }
    ValueEditDialog editor(caption, regType, stored, this);
    if (editor.exec() != QDialog::Accepted || !editor.changed()) return;

    EditSafety safety(m_undoHistory, "modify", "unfinished change of value " + caption);
    if (!safety.prepare(
            [&](UndoCapture &capture) { capture.captureValue(rootName, keyPath, name); }))
        return;
    reg.StoreStored(name, editor.bytes(), editor.regType());
    const std::string done = "value " + caption + " modified";
    safety.finish(true, done);
    lb1->setText(toQt(done));
    reg.ClosePath();
    RefillValues(name);
}

void TRegForm::NewKeyClick()
{
    TTreeNode *node = RegTV->selectedNode();
    std::string rootName, nodePath;
    if (!NodeRootAndPath(node, rootName, nodePath)) return;
    const std::string keyPath = KeyPath::fromNodePath(nodePath).relative();
    if (EditSafety::refusesChanges()) return;
    TRegistry reg;
    reg.SelectRoot(GetRootID(rootName));
    const std::string made = ValueEditText::uniqueName(
        kNewKey, [&](const std::string &n) { return reg.HasKey("\\" + joined(keyPath, n)); });

    // The node shows first and the key is made once its name is given: one edit,
    // one Ctrl+Z. The children shown load first, so that the node joins them.
    TNodePin pin(RegTV, node);
    if (node->childCount() == 0) RegTV->expandNode(node);
    TTreeNode *pending = RegTV->addNode(node, made, kImageClosedFolder);
    RegTV->expandNode(node);
    RegTV->scrollTo(RegTV->indexOf(pending));
    RegTV->pinNode(pending); // until the name is given
    new InPlaceName(RegTV->viewport(), RegTV->nodeRect(pending), made,
                    [this, pending, rootName, keyPath, made](bool keep, const std::string &name) {
                        MakeNewKey(pending, rootName, keyPath, made, keep ? name : made);
                    });
}

void TRegForm::MakeNewKey(TTreeNode *pending, const std::string &rootName,
                          const std::string &keyPath, const std::string &made, std::string name)
{
    TTreeNode *parentNode = pending->parent();
    RegTV->unpinNode(pending);
    if (RegTV->selectedNode() == pending) RegTV->selectNode(parentNode);
    RegTV->removeNode(pending);
    TRegistry reg;
    reg.SelectRoot(GetRootID(rootName));
    const auto taken = [&](const std::string &n) { return reg.HasKey("\\" + joined(keyPath, n)); };
    name = settledName(name, made, kNewKey, "key",
                       name.empty() || name.find('\\') != std::string::npos
                           ? "a key name is not empty and holds no \\."
                           : "",
                       taken);
    const std::string newPath = joined(keyPath, name);

    EditSafety safety(m_undoHistory, "new", "unfinished new key " + name);
    if (safety.prepare(
            [&](UndoCapture &capture) { capture.captureNewKeyPath(rootName, newPath); })) {
        const bool created = reg.CreatePath("\\" + newPath) && reg.HasKey("\\" + newPath);
        const std::string done = "key " + name + " created";
        safety.finish(created, done);
        if (created)
            lb1->setText(toQt(done));
        else
            Dialogs::error("not created: " + fullName(rootName, newPath));
    }
    if (RegTV->isInUse(parentNode)) return; // a load there lists the key itself
    MatchChildrenToRegistry(parentNode);
    for (int i = 0; i < parentNode->childCount(); ++i)
        if (parentNode->child(i)->name() == name) {
            RegTV->selectNode(parentNode->child(i));
            RegTV->scrollTo(RegTV->indexOf(parentNode->child(i)));
        }
    RegTV->setFocus();
}

void TRegForm::NewValueClick(DWORD regType)
{
    std::string rootName, nodePath;
    if (!NodeRootAndPath(RegTV->selectedNode(), rootName, nodePath)) return;
    const std::string keyPath = KeyPath::fromNodePath(nodePath).relative();
    if (EditSafety::refusesChanges()) return;
    TRegistry reg;
    if (!OpenWithAllAccess(reg, GetRootID(rootName), "\\" + keyPath)) {
        Dialogs::error("not opened: " + fullName(rootName, keyPath));
        return;
    }
    const std::string made =
        ValueEditText::uniqueName(kNewValue, [&](const std::string &n) { return reg.HasValue(n); });
    reg.ClosePath();

    // The row shows first and the value is made once its name is given: one edit,
    // one Ctrl+Z. The next fill of the list drops the row.
    const TValueKind kind = KindOfRegType(regType);
    const int row = m_valueList->addPendingRow(
        made, regType, kind == TValueKind::vkInteger ? std::string(4, '\0') : std::string());
    const QModelIndex index = RegLV->model()->index(row, 0);
    RegLV->setCurrentRow(row, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    RegLV->scrollTo(index);
    RegLV->setFocus();
    new InPlaceName(RegLV->viewport(), RegLV->visualRect(index), made,
                    [this, rootName, keyPath, regType, made](bool keep, const std::string &name) {
                        MakeNewValue(rootName, keyPath, regType, made, keep ? name : made);
                    });
}

void TRegForm::MakeNewValue(const std::string &rootName, const std::string &keyPath, DWORD regType,
                            const std::string &made, std::string name)
{
    const auto showKey = [&] {
        std::string atRoot, atPath;
        NodeRootAndPath(RegTV->selectedNode(), atRoot, atPath);
        if (atRoot == rootName && KeyPath::fromNodePath(atPath).relative() == keyPath)
            RefillValues(name);
    };
    TRegistry reg;
    if (!OpenWithAllAccess(reg, GetRootID(rootName), "\\" + keyPath)) {
        Dialogs::error("not opened: " + fullName(rootName, keyPath));
        showKey();
        return;
    }
    const auto taken = [&](const std::string &n) { return reg.HasValue(n); };
    name = settledName(name, made, kNewValue, "value",
                       name.empty() ? "a value name is not empty." : "", taken);

    EditSafety safety(m_undoHistory, "new", "unfinished new value " + name);
    if (safety.prepare(
            [&](UndoCapture &capture) { capture.captureValue(rootName, keyPath, name); })) {
        reg.StoreStored(name, firstData(regType), regType);
        const std::string done = "value " + name + " created";
        safety.finish(true, done);
        lb1->setText(toQt(done));
    }
    reg.ClosePath();
    showKey();
}

void TRegForm::RenameKeyClick()
{
    TTreeNode *node = RegTV->selectedNode();
    std::string rootName, nodePath;
    // A root key keeps its name.
    if (!NodeRootAndPath(node, rootName, nodePath) || nodePath.empty()) return;
    if (RegTV->isInUse(node)) {
        QApplication::beep();
        return;
    }
    if (EditSafety::refusesChanges()) return;
    const std::string keyPath = KeyPath::fromNodePath(nodePath).relative();
    RegTV->scrollTo(RegTV->indexOf(node));
    RegTV->pinNode(node);
    new InPlaceName(RegTV->viewport(), RegTV->nodeRect(node), node->name(),
                    [this, node, rootName, keyPath](bool keep, const std::string &name) {
                        if (keep)
                            RenameKey(node, rootName, keyPath, name);
                        else
                            RegTV->unpinNode(node);
                    });
}

void TRegForm::RenameKey(TTreeNode *node, const std::string &rootName, const std::string &keyPath,
                         const std::string &newName)
{
    struct Unpin
    {
        TTreeView *tree;
        TTreeNode *node;
        ~Unpin()
        {
            if (node) tree->unpinNode(node);
        }
    } pinned{RegTV, node};
    const std::string leaf(KeyPath::fromBranch(keyPath).leaf());
    if (newName == leaf) return;
    const std::string oldFull = fullName(rootName, keyPath);
    if (newName.empty() || newName.find('\\') != std::string::npos) {
        Dialogs::error("Cannot rename " + oldFull + ": a key name is not empty and holds no \\.");
        return;
    }
    const std::string parent = KeyPath::fromBranch(keyPath).parent().relative();
    const std::string newPath = joined(parent, newName);
    TRegistry reg;
    reg.SelectRoot(GetRootID(rootName));
    // The move the replace uses, with its checks: the new key whole with every value, or nothing.
    if (const std::string why = reg.WhyNotMoveKey("\\" + keyPath, "\\" + newPath); !why.empty()) {
        Dialogs::error("Cannot rename " + oldFull + ": " + why + ".");
        return;
    }
    EditSafety safety(m_undoHistory, "rename", "unfinished rename of key " + leaf);
    if (!safety.prepare([&](UndoCapture &capture) {
            capture.captureKey(rootName, keyPath);
            capture.captureNewKeyPath(rootName, newPath);
        }))
        return;
    // A value that cannot be written (a full disk) throws: the move is taken back whole.
    std::string failed;
    try {
        failed = reg.MoveKey("\\" + keyPath, "\\" + newPath);
    } catch (const ERegistryException &e) {
        failed = e.what();
    }
    const std::string done = "key " + leaf + " renamed to " + newName;
    safety.finish(failed.empty(), done);
    if (!failed.empty()) {
        Dialogs::error(EditSafety::failedText("not renamed: " + oldFull + ": " + failed));
        return;
    }

    lb1->setText(toQt(done));
    // The node goes and one of the new name takes its place among its siblings as
    // the registry lists them, loaded anew when opened.
    RegTV->unpinNode(node);
    pinned.node = nullptr;
    if (RegTV->isInUse(node)) return; // a load below it: it goes at the next collapse
    TTreeNode *parentNode = node->parent();
    RegTV->selectNode(parentNode);
    RegTV->removeNode(node);
    MatchChildrenToRegistry(parentNode);
    for (int i = 0; i < parentNode->childCount(); ++i)
        if (parentNode->child(i)->name() == newName) RegTV->selectNode(parentNode->child(i));
    RegTV->setFocus();
}

void TRegForm::RenameValueClick()
{
    const int row = RegLV->firstSelectedRow();
    std::string rootName, nodePath;
    if (row < 0 || !NodeRootAndPath(RegTV->selectedNode(), rootName, nodePath)) return;
    // The default value has no name to change.
    if (m_valueList->isDefaultValue(row)) {
        QApplication::beep();
        return;
    }
    if (EditSafety::refusesChanges()) return;
    const std::string keyPath = KeyPath::fromNodePath(nodePath).relative();
    const std::string caption(m_valueList->caption(row));
    const QModelIndex index = RegLV->model()->index(row, 0);
    RegLV->scrollTo(index);
    new InPlaceName(RegLV->viewport(), RegLV->visualRect(index), caption,
                    [this, rootName, keyPath, caption](bool keep, const std::string &name) {
                        if (keep) RenameValue(rootName, keyPath, caption, name);
                    });
}

void TRegForm::RenameValue(const std::string &rootName, const std::string &keyPath,
                           const std::string &oldName, const std::string &newName)
{
    if (newName == oldName) return;
    TRegistry reg;
    if (!OpenWithAllAccess(reg, GetRootID(rootName), "\\" + keyPath)) {
        Dialogs::error("not opened: " + fullName(rootName, keyPath));
        return;
    }
    // The rename the replace uses, with its checks.
    if (const std::string why = reg.WhyNotRenameValue(oldName, newName); !why.empty()) {
        Dialogs::error("Cannot rename " + oldName + ": " + why + ".");
        return;
    }
    EditSafety safety(m_undoHistory, "rename", "unfinished rename of value " + oldName);
    if (!safety.prepare([&](UndoCapture &capture) {
            capture.captureValue(rootName, keyPath, oldName);
            capture.captureNewValueName(rootName, keyPath, newName);
        }))
        return;
    std::string failed;
    try {
        failed = reg.RenameValue(oldName, newName);
    } catch (const ERegistryException &e) {
        failed = e.what();
    }
    const std::string done = "value " + oldName + " renamed to " + newName;
    safety.finish(failed.empty(), done);
    reg.ClosePath();
    if (!failed.empty()) {
        Dialogs::error(EditSafety::failedText("not renamed: " + oldName + ": " + failed));
        return;
    }
    lb1->setText(toQt(done));
    std::string atRoot, atPath;
    NodeRootAndPath(RegTV->selectedNode(), atRoot, atPath);
    if (atRoot == rootName && KeyPath::fromNodePath(atPath).relative() == keyPath)
        RefillValues(newName);
}

void TRegForm::ExportKeyClick()
{
    std::string rootName, nodePath;
    if (!NodeRootAndPath(RegTV->selectedNode(), rootName, nodePath)) return;
    const std::string keyPath = KeyPath::fromNodePath(nodePath).relative();
    const std::string leaf(keyPath.empty() ? std::string_view(rootName)
                                           : KeyPath::fromBranch(keyPath).leaf());
    const std::string file = EditFiles::choose(this, true, leaf + ".reg");
    if (file.empty()) return;
    TRegistry reg;
    reg.SelectRoot(GetRootID(rootName));
    if (keyPath.empty() || !reg.HasKey(keyPath)) {
        // Written anyway, the file would hold no key and look like a good export.
        Dialogs::error("Nothing was exported: " + rootName + "\\" + keyPath +
                       " is not a key (any more).");
        return;
    }
    const std::string bytes = quarnel::exportKey(rootName, keyPath);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) Dialogs::error("Cannot write " + file + ".");
}

void TRegForm::ImportClick()
{
    if (EditSafety::refusesChanges()) return;
    const std::string path = EditFiles::choose(this, false, {});
    if (path.empty()) return;
    const std::string fileName = std::filesystem::path(path).filename().string();
    std::optional<ImportProgress> progress(std::in_place, this);
    progress->step("Reading " + fileName + "…", 0, 100);
    const quarnel::ImportRead read = quarnel::readImportPath(path, progress->tracker());
    progress.reset();
    if (!read.error.empty()) {
        std::string text = read.error + ".";
        text[0] = asciiUpper(text[0]);
        Dialogs::error(text);
        return;
    }
    if (read.faultCount != 0) {
        std::vector<std::string> lines;
        for (const quarnel::ImportFault &fault : read.faults)
            lines.push_back("line " + std::to_string(fault.line) + ": " + fault.reason);
        Dialogs::error(Dialogs::listText(
            fileName + " has " + read.faultCountText() + "; nothing was changed:", lines,
            read.faultCount));
        return;
    }
    if (!Dialogs::confirm("Import " + read.countText() + " from " + fileName + "?")) return;

    const std::string description = "import of " + fileName;
    EditSafety safety(m_undoHistory, "import", "unfinished " + description);
    progress.emplace(this);
    progress->step("Importing " + fileName + "…", 0, 30);
    if (!safety.prepare([&](UndoCapture &capture) {
            quarnel::captureImport(capture, read, progress->tracker());
        })) {
        return;
    }
    // One unit: a failure or a crash keeps nothing of it.
    progress->step("Importing " + fileName + "…", 30, 90);
    const std::vector<std::string> failures =
        quarnel::applyImport(read, "the " + description, progress->tracker());
    safety.finish(failures.empty(), description);
    if (!failures.empty()) {
        progress.reset();
        Dialogs::error(EditSafety::failedText(Dialogs::listText(
            "The import of " + fileName + " failed, so nothing of it was kept:", failures)));
        return;
    }
    progress.reset();
    ShowRegistryChanged("Imported " + fileName);
}

void TRegForm::GoToKeyClick()
{
    GoToKeyDialog dialog([this](const std::string &path) { return GoToKey(path); }, this);
    dialog.exec();
}

std::string TRegForm::GoToKey(const std::string &typedPath)
{
    const RegistryPathText path = RegistryPathText::fromTyped(typedPath);
    if (path.rootName().empty()) return "Please enter the path of a key.";
    TTreeNode *node = nullptr;
    for (TTreeNode *root : RootNodes)
        if (path.root() && root && root->name() == path.rootName()) node = root;
    if (!node) return "\"" + path.rootName() + "\" is not a registry root.";

    // As a locate goes: each node selected and opened in turn, so the value list
    // follows and the children load; the message loop runs meanwhile.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    struct Busy
    {
        ~Busy() { QApplication::restoreOverrideCursor(); }
    } busy;
    TNodePin pin(RegTV, node);
    RegTV->selectNode(node);
    std::string reached = path.rootName();
    for (const std::string &name : path.parts()) {
        RegTV->expandNode(node);
        TTreeNode *found = nullptr;
        // The exact name first, then one differing in ASCII letter case only.
        for (int pass = 0; pass < 2 && !found; ++pass)
            for (int i = 0; !found && i < node->childCount(); ++i) {
                const std::string &child = node->child(i)->name();
                if (pass == 0 ? child == name : sameAsciiLetters(child, name))
                    found = node->child(i);
            }
        if (!found) {
            RegTV->setFocus();
            return reached + " has no key " + name + ".";
        }
        node = found;
        reached += '\\' + node->name();
        pin.moveTo(node);
        RegTV->selectNode(node);
    }
    RegTV->scrollTo(RegTV->indexOf(node));
    RegTV->setFocus();
    return {};
}
