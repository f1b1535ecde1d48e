// The main window: every control, the root table and every event handler.
// The handlers are defined in one file per subsystem, in that subsystem's
// folder (search/, results/, browser/); the shell's own are in app/.
#pragma once

#include "app/RegistryHitCounter.h"
#include "app/UndoHistory.h"
#include "registry/api/RootTable.h"

#include <QWidget>
#include <array>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class HistoryWindow;
class PaintPacer;
class QAction;
class RegistrySession;
namespace quarnel::prefixes {
struct FoundRegistry;
}
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class Matcher;
class ResultModel;
struct SearchOptions;
struct SearchRequest;
struct ResultRowView;
class TAlignLayout;
class TButton;
class TImageList;
class TListView;
class TPanel;
class TProgressBar;
class TReportView;
class TSplitter;
class TTreeNode;
class TTreeView;
class ValueListModel;

class TRegForm : public QWidget
{
    Q_OBJECT

public:
    // Builds the window and runs FormCreate: the window shows, then the modal backup warning.
    explicit TRegForm(QWidget *parent = nullptr);
    ~TRegForm() override;

    // Controls, named as on the form (object names are the same).
    TPanel *Panel1 = nullptr;
    QCheckBox *ckbmirr = nullptr;
    QLabel *Label1 = nullptr;
    QLineEdit *Edit1 = nullptr;
    TButton *Button1 = nullptr; // default button; its cancel property is the run flag
    TButton *Button2 = nullptr;
    // Drops down RegistryMenu: what is done to the registry as a whole (open another,
    // import, history). Its actions are also the window's, so their shortcuts work anywhere.
    TButton *RegistryButton = nullptr;
    QMenu *RegistryMenu = nullptr;
    TPanel *Panel4 = nullptr;
    QLabel *lb1 = nullptr;
    QLabel *lb2 = nullptr;
    TProgressBar *pb2 = nullptr;
    TProgressBar *pb1 = nullptr;
    TPanel *Panel3 = nullptr;
    TPanel *PanelReg = nullptr;
    TTreeView *RegTV = nullptr;
    TSplitter *Splitter2 = nullptr;
    TListView *RegLV = nullptr;
    TSplitter *Splitter1 = nullptr;
    TPanel *Panel2 = nullptr;
    QLabel *lb6 = nullptr;
    QLabel *Label2 = nullptr;
    QLineEdit *Edit2 = nullptr;
    TButton *Button3 = nullptr;
    TButton *Button4 = nullptr;
    TReportView *FoundLV = nullptr;
    QMenu *pm1 = nullptr;
    QAction *SelectAll1 = nullptr;
    QAction *ClearList1 = nullptr;
    QAction *N1 = nullptr;
    QAction *Delete1 = nullptr;
    QAction *Replace1 = nullptr;
    TImageList *ImageList1 = nullptr;

    // The root keys' tree nodes, indexed by root index (0..6) of RootTable().
    std::array<TTreeNode *, kRootCount> RootNodes{};

    // --- shell (app/) ---
    void FormCreate();
    void FormCloseQuery(bool &canClose);
    void FormResize();
    void Button2Click();
    // The handle of the root with exactly this display name, or null.
    HKEY GetRootID(const std::string &rootName) const;
    // Five columns and their widths; call again after giving FoundLV another model.
    void SetUpFoundLVColumns();
    // Ctrl+Z outside the two edit fields: takes back the newest edit of this
    // session not yet taken back, after a confirmation.
    void UndoLastEdit();

    // --- search (search/) ---
    void Button1Click();
    void BrowseReg();
    void BrowseSubKeys(const std::string &keyPath, HKEY root);

    // --- result list and bulk edits (results/) ---
    // Positions are in FoundLV's coordinates.
    void FoundLVMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int X, int Y);
    // The Menu key or Shift+F10: pm1 at `pos` (the focused row, in the viewport's coordinates).
    void FoundLVMenuKey(QPoint pos);
    void FoundLVKeyDown(int key, Qt::KeyboardModifiers shift);
    void FoundLVKeyUp(int key, Qt::KeyboardModifiers shift);
    // Rows as their cells (Root, Branch, Name, Type, Value); a missing cell is empty.
    int FoundLVCompare(const std::vector<std::string> &row1,
                       const std::vector<std::string> &row2) const;
    void FoundLVColumnClick(int column);
    void FoundLVClick();
    void FoundLVDblClick();
    // Opens the browser at the first selected row's key and value (results/Locate.cpp).
    void LocateFoundRow();
    void SelectAll1Click();
    void ClearList1Click();
    void Delete1Click();
    void Replace1Click();
    void Button3Click();
    void Button4Click();
    void DeleteSelected();
    void ReplaceSelected();
    void RefreshCounter();
    void FoundLVSelectAll();

    // --- copy, export and find keys (results/ResultListCopy.cpp, browser/ValueListCopy.cpp) ---
    // pm1's items after Replace1; their shortcuts work while the result list has the focus.
    QAction *N2 = nullptr;
    QAction *Copy1 = nullptr;        // Ctrl+C: the selected rows, tab separated
    QAction *CopyKeyPath1 = nullptr; // Ctrl+Shift+C: each selected row's full key path
    QAction *Export1 = nullptr;      // the selected rows to a .reg, .tsv or .csv file
    QAction *Locate1 = nullptr;      // Ctrl+Enter: LocateFoundRow, as a double click
    // The value list's context menu and its Copy (Ctrl+C): Name, Type, Value.
    QMenu *pmValues = nullptr;
    QAction *CopyValues1 = nullptr;
    void Copy1Click();
    void CopyKeyPath1Click();
    void Export1Click();
    void Locate1Click();
    void CopyValues1Click();
    // F3: Button1 with the current text, unless a run goes on; Ctrl+F: Edit1 with its
    // text selected; Ctrl+Shift+F: Edit2.
    void SearchAgain();
    void FocusSearchText();
    void FocusReplaceText();
    // --- search options (search/SearchOptionsBox.cpp) ---
    // "Options" drops down a panel with a control for each search option (check
    // boxes, the changed-time fields), each with its accessible name and built from
    // searchOptionRows(); Edit1's trailing arrow offers the last texts.
    TButton *OptionsButton = nullptr;
    QFrame *OptionsPanel = nullptr;
    QAction *RecentSearches = nullptr; // Edit1's trailing arrow, shown once there are texts
    QMenu *RecentSearchesMenu = nullptr;
    // Edit1's text under the options as the controls set them, still to be checked.
    SearchRequest ChosenSearch() const;
    // Before a run: compiles Edit1's text under the chosen options, or says in a box
    // why not (RE2's message, a date, nothing to look in) and returns false. Then
    // remembers the options and the text in the settings file.
    bool PrepareSearchRun();
    // The run's matcher; the plain search for UnitState::searchText when no run was prepared.
    const Matcher &SearchRunMatcher();
    // For a replace: the options chosen, refused with a box when the pattern or the new
    // text does not suit them.
    bool ReplaceOptions(const std::string &replacement, SearchOptions &options);

    // --- browser (browser/) ---
    void RegTVExpanding(TTreeNode *node);
    void RegTVExpanded(TTreeNode *node);
    void RegTVCollapsing(TTreeNode *node);
    void RegTVCollapsed(TTreeNode *node);
    void RegTVChanging(TTreeNode *node);
    void RegTVChange(TTreeNode *node);
    void RegTVKeyUp(int key, Qt::KeyboardModifiers shift);
    void RegLVKeyUp(int key, Qt::KeyboardModifiers shift);
    void RegLVEnter();
    // Rows as their captions (the Name cells, as bytes).
    int RegLVCompare(std::string_view caption1, std::string_view caption2) const;
    void RegLVColumnClick(int column);
    // After a change the views did not follow themselves (undo, redo, import, the
    // History window's undo, restore): the loaded part of the tree and the value
    // list show the registry as it now is, and lb1 says `status`.
    void ShowRegistryChanged(const std::string &status);

    // --- browser editing (browser/) ---
    // The key tree's context menu, the value list's items in pmValues, and their
    // actions; the window has ImportAction (in RegistryMenu) and GoToKeyAction (Ctrl+L) too.
    QMenu *pmKeys = nullptr;
    QAction *ModifyValueAction = nullptr;
    QAction *RenameValueAction = nullptr;
    QAction *RenameKeyAction = nullptr;
    QAction *ExportKeyAction = nullptr;
    QAction *GoToKeyAction = nullptr;
    QAction *ImportAction = nullptr;
    // Enter or a double click on a value row, "Modify…": the value's editor.
    void ModifyValueClick();
    // "New" in either menu: below the selected key, a name made unique, then
    // edited in place. `regType` of a new value (REG_SZ, REG_BINARY, ...).
    void NewKeyClick();
    void NewValueClick(DWORD regType);
    // F2: the selected key's or value's name edited in place.
    void RenameKeyClick();
    void RenameValueClick();
    void ExportKeyClick();
    void ImportClick();
    void GoToKeyClick();
    // Unfolds the tree to a typed key path (HKCU\..., Computer\...) and selects
    // the key; "" or what is missing ("HKEY_CURRENT_USER\Software has no key X").
    std::string GoToKey(const std::string &typedPath);
    // --- history (app/FormHistory.cpp, app/HistoryWindow) ---
    // "History…" (Ctrl+H): the window of every edit's undo file and every backup.
    QAction *HistoryAction = nullptr;
    void ShowHistory();
    // Ctrl+Shift+Z, Ctrl+Y: takes back the newest undo (after a confirmation).
    void RedoLastUndo();
    // The History window's "Undo": the undo file at `path` and every newer edit not
    // yet taken back, newest first, after one question listing them.
    void UndoFromHistory(const std::string &path);
    // The History window's "Restore…": the backup folder put in place of the registry.
    void RestoreBackup(const std::string &folder);
    // --- registries (app/FormRegistries.cpp, search/RegistryHits.cpp) ---
    QAction *OpenRegistryAction = nullptr; // "Open registry..." in RegistryMenu, Ctrl+O
    // The session that holds the window's registry, and the name to title it
    // with ("" for the registry the window opens by itself: plain "Quarnel").
    void SetRegistrySession(RegistrySession *session, const std::string &registryName);
    // The chooser; the registry chosen there is switched to.
    void OpenRegistryClick();
    // Saves and releases the open registry as a close does, then opens `registry`
    // as the start would (read-only where Wine runs on it); the result list, the
    // tree and the undo history start afresh. With `searchText`, searches it
    // there. False when it could not be opened: the one before is open again.
    bool SwitchRegistry(const quarnel::prefixes::FoundRegistry &registry,
                        const std::string &searchText = {});
    // Whether a search run's handler is on the stack (a stopped one may still unwind).
    bool SearchRunning() const;
    // The window's search, as "Find in all registries" runs it on each registry.
    RegistryHitCounter AllRegistriesCounter() const;

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    // Enter and Escape that no control used reach the window: Button1's roles.
    void keyPressEvent(QKeyEvent *event) override;

private:
    // --- shell (app/) ---
    void CreateControls();
    void CreatePanel1();
    void CreatePanel3();
    void PlaceOnScreen();
    void SetTabOrder();
    void BindEvents();
    UndoHistory m_undoHistory; // the edits of this session, for UndoLastEdit

    // --- history (app/FormHistory.cpp) ---
    // The History action and the redo shortcuts; the bounds of the undo folder applied.
    void CreateHistoryActions();
    // Removes undo files beyond the bounds of the settings file (never this run's)
    // and sets how many backups are kept.
    void PruneHistory();
    // Closes the registry and opens the same one again (after a restore): the
    // tree, value list and result list start afresh.
    void ReopenSameRegistry();
    HistoryWindow *m_historyWindow = nullptr;
    std::time_t m_startedAt = std::time(nullptr); // this run's undo files are never pruned

    // --- search (search/) ---
    // The stop steps: caption back to "&Search", run flag cleared, edits enabled,
    // focus to Edit1. A running walk notices and unwinds.
    void StopSearchRun();
    // Lets the message loop run once during a walk (at most every few ms, see
    // KeyWalker.cpp); throws TWindowGone when a handler destroyed the window.
    void WalkerMessageStep();
    // Paints the changed progress (lb1, lb2, pb2) now, unless the window painted
    // very recently.
    void PaintWalkProgress();
    // Puts what the walk changes faster than the window paints on the screen's
    // controls: pb2's range and position, and the counter after new rows.
    void ShowWalkProgress();
    qint64 m_lastMessageStepNs = -1;
    PaintPacer *m_paintPacer = nullptr; // the running walk's, on BrowseReg's stack
    int m_walkBarMax = 0;
    int m_walkBarPosition = 0;
    bool m_walkBarChanged = false;
    bool m_walkCounterDue = false;

    // --- result list and bulk edits (results/) ---
    // Creates the result list's model and puts it behind FoundLV.
    void AttachResultModel();
    // For the search run: a found row joins the list at the model's next merge;
    // merges when one is due (or now, `whenDue` false); empties the list without
    // a counter refresh; counts the rows found, merged or not.
    void AddFoundRow(const ResultRowView &row);
    void MergeFoundRows(bool whenDue);
    void ClearFoundRows();
    int FoundRowCount() const;
    ResultModel *m_foundModel = nullptr;

    // --- copy, export and find keys ---
    void CreateCopyActions();
    void CreateValueListMenu();
    // --- search options (search/SearchOptionsBox.cpp) ---
    void CreateSearchOptions(TAlignLayout &panel1);
    void ShowOptionsPanel();
    void UpdateOptionsCaption();
    void LoadSearchMemory();
    void RememberSearch(const std::string &text, const SearchOptions &options);
    void FillRecentSearches();
    std::shared_ptr<const Matcher> m_runMatcher; // shared: app/ cannot see the type whole
    std::vector<std::string> m_recentSearches;   // newest first, at most 20

    // --- browser (browser/) ---
    // Creates the value list's model and puts it behind RegLV.
    void AttachValueListModel();
    // The position in RegLV of the first row with this caption and default mark, or -1.
    int FindValueRow(std::string_view caption, bool defaultValue) const;
    // Root name and node path of a node, from the names on the way up to the top
    // node, and the root key's node; empty and null for the top node itself.
    const TTreeNode *NodeRootAndPath(const TTreeNode *node, std::string &rootName,
                                     std::string &nodePath) const;
    // Replaces the rows of RegLV by the values of this key; a read error passes through.
    void FillValueList(const std::string &rootName, const std::string &nodePath);
    // A loaded node's children made the key's subkeys: those gone removed, new ones
    // at their place in the registry's order, the unloaded ones' marks read again.
    void MatchChildrenToRegistry(TTreeNode *node);
    ValueListModel *m_valueList = nullptr;
    int m_treeUpdateHolds = 0;     // loads nest through the message loop; repaint resumes at 0
    unsigned m_valueListFills = 0; // tells a deletion whether its row may have gone

    // --- browser editing (browser/) ---
    void CreateBrowserEditing();
    // The renames when their in-place edit ends; the names as they were then.
    // `node`, the key's node, was pinned for the edit: it is unpinned here.
    void RenameKey(TTreeNode *node, const std::string &rootName, const std::string &keyPath,
                   const std::string &newName);
    void RenameValue(const std::string &rootName, const std::string &keyPath,
                     const std::string &oldName, const std::string &newName);
    // A new key or value when its in-place name is given (`madeName` after Escape
    // or a name refused): made then, so that it is one edit. `pending`, the key's
    // node, was pinned and goes here; the key comes at its place in the tree.
    void MakeNewKey(TTreeNode *pending, const std::string &rootName, const std::string &keyPath,
                    const std::string &madeName, std::string name);
    void MakeNewValue(const std::string &rootName, const std::string &keyPath, DWORD regType,
                      const std::string &madeName, std::string name);
    // Fills the value list again and selects the row of `name` ("" the default value).
    void RefillValues(const std::string &name);
    // --- registries (app/FormRegistries.cpp) ---
    // The tree back to the root keys, closed; the value list and result list emptied.
    void ResetRegistryViews();
    RegistrySession *m_registrySession = nullptr;
};
