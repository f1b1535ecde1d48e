// Editing in the browser: modify a value, new keys and values, renames, export
// and import, and going to a typed key path. Every change goes through the
// safety net (EditSafety) as the browser's deletions do.
#include "app/TRegForm.h"

#include "app/Dialogs.h"
#include "app/EditSafety.h"
#include "app/QtText.h"
#include "app/TListView.h"
#include "app/TTreeView.h"
#include "browser/InPlaceName.h"
#include "browser/ValueEditors.h"
#include "browser/ValueListModel.h"
#include "registry/ImportFile.h"
#include "registry/KeyPath.h"
#include "registry/RegistryPathText.h"
#include "registry/RootTable.h"
#include "registry/TRegistry.h"
#include "registry/UndoApply.h"
#include "registry/UndoCapture.h"
#include "registry/ValueEditText.h"
#include "registry/ValueText.h"
#include "registry/platform/ChangeUnit.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QMenu>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

using ValueEditText::Bytes;

namespace {

constexpr std::uintmax_t kMostImportBytes = std::uintmax_t(1) << 30;

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

bool sameAsciiLetters(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x != y && !(x < 0x80 && y < 0x80 && std::toupper(x) == std::toupper(y))) return false;
    }
    return true;
}

std::string readWhole(const std::string &path, std::string &error)
{
    std::error_code failed;
    if (!std::filesystem::is_regular_file(std::filesystem::status(path, failed)))
        error = path + " is not a file that can be read; nothing was changed.";
    else if (std::filesystem::file_size(path, failed) > kMostImportBytes)
        error = path + " is too large; nothing was changed.";
    if (!error.empty()) return {};
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    if (!in) error = "Cannot read " + path + "; nothing was changed.";
    return bytes.str();
}

// Keys an import made join the tree where their parent's children are loaded;
// below a node not loaded they come when it opens.
void showNewKeys(TRegForm &form, const RegEditFile &file)
{
    for (const RegEditSection &section : file.sections) {
        if (section.removal) continue;
        const RegistryPathText at = RegistryPathText::fromFull(section.path);
        TTreeNode *node = nullptr;
        for (TTreeNode *root : form.RootNodes)
            if (root && root->name() == at.rootName()) node = root;
        const std::vector<std::string> &parts = at.parts();
        for (std::size_t i = 0; node && i < parts.size(); ++i) {
            if (node->childCount() == 0) {
                form.RegTV->setHasChildren(node, true);
                break;
            }
            TTreeNode *next = nullptr;
            for (int c = 0; !next && c < node->childCount(); ++c)
                if (sameAsciiLetters(node->child(c)->name(), parts[i])) next = node->child(c);
            if (!next) {
                form.RegTV->addNode(node, parts[i], kImageClosedFolder, i + 1 < parts.size());
                break;
            }
            node = next;
        }
    }
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
    safety.finish(true, "value " + caption + " modified");
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
    const std::string name = ValueEditText::uniqueName(
        "New Key", [&](const std::string &n) { return reg.HasKey("\\" + joined(keyPath, n)); });
    const std::string newPath = joined(keyPath, name);

    EditSafety safety(m_undoHistory, "new", "unfinished new key " + name);
    if (!safety.prepare(
            [&](UndoCapture &capture) { capture.captureNewKeyPath(rootName, newPath); }))
        return;
    const bool made = reg.CreatePath("\\" + newPath) && reg.HasKey("\\" + newPath);
    safety.finish(made, "key " + name + " created");
    if (!made) {
        Dialogs::error("not created: " + fullName(rootName, newPath));
        return;
    }

    // The new node joins the children shown, or comes with them when they load now.
    TNodePin pin(RegTV, node);
    TTreeNode *added = nullptr;
    if (node->childCount() > 0) {
        added = RegTV->addNode(node, name, kImageClosedFolder);
        RegTV->expandNode(node);
    } else {
        RegTV->setHasChildren(node, true);
        RegTV->expandNode(node);
        for (int i = 0; !added && i < node->childCount(); ++i)
            if (node->child(i)->name() == name) added = node->child(i);
    }
    if (!added) return;
    pin.moveTo(nullptr);
    RegTV->selectNode(added);
    RegTV->setFocus();
    RenameKeyClick();
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
    const std::string name = ValueEditText::uniqueName(
        "New Value", [&](const std::string &n) { return reg.HasValue(n); });

    EditSafety safety(m_undoHistory, "new", "unfinished new value " + name);
    if (!safety.prepare(
            [&](UndoCapture &capture) { capture.captureValue(rootName, keyPath, name); }))
        return;
    reg.StoreStored(name, firstData(regType), regType);
    safety.finish(true, "value " + name + " created");
    reg.ClosePath();
    RefillValues(name);
    RegLV->setFocus();
    RenameValueClick();
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
    if (sameAsciiLetters(newName, leaf)) {
        Dialogs::error("Cannot rename " + oldFull +
                       ": a name that differs only in letter case "
                       "names the same key.");
        return;
    }
    if (reg.HasKey("\\" + newPath)) {
        Dialogs::error("Cannot rename " + oldFull + ": a key named " + newName +
                       " is there already.");
        return;
    }
    EditSafety safety(m_undoHistory, "rename", "unfinished rename of key " + leaf);
    if (!safety.prepare([&](UndoCapture &capture) {
            capture.captureKey(rootName, keyPath);
            capture.captureNewKeyPath(rootName, newPath);
        }))
        return;
    // The move the replace uses: the new key whole with every value, or nothing,
    // also when a value cannot be written (a full disk).
    std::string failure;
    try {
        reg.RelocateKey("\\" + keyPath, "\\" + newPath, true);
    } catch (const ERegistryException &e) {
        failure = std::string(" (") + e.what() + ")";
    }
    const bool moved = !reg.HasKey("\\" + keyPath) && reg.HasKey("\\" + newPath);
    safety.finish(moved, "key " + leaf + " renamed to " + newName);
    if (!moved) {
        Dialogs::error(EditSafety::failedText("not renamed: " + oldFull + failure));
        return;
    }

    // The node goes and one of the new name takes its place, loaded anew when opened.
    RegTV->unpinNode(node);
    pinned.node = nullptr;
    if (RegTV->isInUse(node)) return; // a load below it: it goes at the next collapse
    TTreeNode *parentNode = node->parent();
    const bool hasChildren = node->childCount() > 0 || node->hasChildrenMark();
    RegTV->selectNode(parentNode);
    RegTV->removeNode(node);
    TTreeNode *renamed = RegTV->addNode(parentNode, newName, kImageClosedFolder, hasChildren);
    RegTV->selectNode(renamed);
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
    if (newName.empty()) {
        Dialogs::error("Cannot rename " + oldName + ": a value name is not empty.");
        return;
    }
    TRegistry reg;
    if (!OpenWithAllAccess(reg, GetRootID(rootName), "\\" + keyPath)) {
        Dialogs::error("not opened: " + fullName(rootName, keyPath));
        return;
    }
    if (sameAsciiLetters(newName, oldName)) {
        Dialogs::error("Cannot rename " + oldName +
                       ": a name that differs only in letter case "
                       "names the same value.");
        return;
    }
    if (reg.HasValue(newName)) {
        Dialogs::error("Cannot rename " + oldName + ": a value named " + newName +
                       " is there already.");
        return;
    }
    EditSafety safety(m_undoHistory, "rename", "unfinished rename of value " + oldName);
    if (!safety.prepare([&](UndoCapture &capture) {
            capture.captureValue(rootName, keyPath, oldName);
            capture.captureNewValueName(rootName, keyPath, newName);
        }))
        return;
    bool renamed = false;
    std::string failure;
    try {
        // Both names, or neither, reach the files.
        quarnel::platform::ChangeUnit unit("the rename of value " + oldName + " of " +
                                           fullName(rootName, keyPath));
        reg.RenameValueName(oldName, newName);
        renamed = !reg.HasValue(oldName) && reg.HasValue(newName) && unit.commit();
    } catch (const ERegistryException &e) {
        failure = std::string(" (") + e.what() + ")";
    }
    renamed = renamed && !reg.HasValue(oldName) && reg.HasValue(newName);
    safety.finish(renamed, "value " + oldName + " renamed to " + newName);
    reg.ClosePath();
    if (!renamed) {
        Dialogs::error(EditSafety::failedText("not renamed: " + oldName + failure));
        return;
    }
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
    std::string error;
    const std::string bytes = readWhole(path, error);
    if (!error.empty()) {
        Dialogs::error(error);
        return;
    }
    const std::string fileName = std::filesystem::path(path).filename().string();
    const quarnel::ImportRead read = quarnel::readImportFile(bytes);
    if (!read.faults.empty()) {
        std::vector<std::string> lines;
        for (const quarnel::ImportFault &fault : read.faults)
            lines.push_back("line " + std::to_string(fault.line) + ": " + fault.reason);
        Dialogs::error(Dialogs::listText(fileName + " has " + std::to_string(lines.size()) +
                                             (lines.size() == 1 ? " fault" : " faults") +
                                             "; nothing was changed:",
                                         lines));
        return;
    }
    std::size_t values = 0;
    for (const RegEditSection &section : read.file.sections)
        values += section.values.size();
    const std::size_t keys = read.file.sections.size();
    if (!Dialogs::confirm("Import " + std::to_string(keys) + (keys == 1 ? " key" : " keys") +
                          " and " + std::to_string(values) + (values == 1 ? " value" : " values") +
                          " from " + fileName + "?"))
        return;

    const std::string description = "import of " + fileName;
    EditSafety safety(m_undoHistory, "import", "unfinished " + description);
    if (!safety.prepare([&](UndoCapture &capture) { quarnel::captureImport(capture, read.file); }))
        return;
    // One unit: a failure or a crash keeps nothing of it.
    const std::vector<std::string> failures = ApplyUndo(read.file, "the " + description);
    safety.finish(failures.empty(), description);
    if (!failures.empty()) {
        Dialogs::error(EditSafety::failedText(Dialogs::listText(
            "The import of " + fileName + " failed, so nothing of it was kept:", failures)));
        return;
    }
    showNewKeys(*this, read.file);
    std::string rootName, nodePath;
    if (NodeRootAndPath(RegTV->selectedNode(), rootName, nodePath)) RefillValues({});
}

void TRegForm::GoToKeyClick()
{
    GoToKeyDialog dialog([this](const std::string &path) { return GoToKey(path); }, this);
    dialog.exec();
}

std::string TRegForm::GoToKey(const std::string &typedPath)
{
    const ValueEditText::TypedPath path = ValueEditText::parseTypedPath(typedPath);
    if (path.rootName.empty()) {
        if (path.names.empty()) return "Please enter the path of a key.";
        return "\"" + path.names.front() + "\" is not a registry root.";
    }
    TTreeNode *node = nullptr;
    for (TTreeNode *root : RootNodes)
        if (root && root->name() == path.rootName) node = root;
    if (!node) return "\"" + path.rootName + "\" is not a registry root.";

    // As a locate goes: each node selected and opened in turn, so the value list
    // follows and the children load; the message loop runs meanwhile.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    struct Busy
    {
        ~Busy() { QApplication::restoreOverrideCursor(); }
    } busy;
    TNodePin pin(RegTV, node);
    RegTV->selectNode(node);
    std::string reached = path.rootName;
    for (const std::string &name : path.names) {
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
