// The main window: every control, the root table and every event handler.
// The handlers are defined in one file per subsystem, in that subsystem's
// folder (search/, results/, browser/); the shell's own are in app/.
#pragma once

#include "app/UndoHistory.h"
#include "registry/RootTable.h"

#include <QWidget>
#include <array>
#include <string>
#include <string_view>
#include <vector>

class PaintPacer;
class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class ResultModel;
struct ResultRowView;
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
    void FoundLVKeyDown(int key, Qt::KeyboardModifiers shift);
    void FoundLVKeyUp(int key, Qt::KeyboardModifiers shift);
    // Rows as their cells (Root, Branch, Name, Type, Value); a missing cell is empty.
    int FoundLVCompare(const std::vector<std::string> &row1,
                       const std::vector<std::string> &row2) const;
    void FoundLVColumnClick(int column);
    void FoundLVClick();
    void FoundLVDblClick();
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
    ValueListModel *m_valueList = nullptr;
    int m_treeUpdateHolds = 0;     // loads nest through the message loop; repaint resumes at 0
    unsigned m_valueListFills = 0; // tells a deletion whether its row may have gone
};
