// Binds the events of the main window's controls to their handlers.
#include "app/TRegForm.h"

#include "widgets/TButton.h"
#include "widgets/TListView.h"
#include "widgets/TReportView.h"
#include "widgets/TTreeView.h"

#include <QAction>
#include <QShortcut>

void TRegForm::BindEvents()
{
    connect(Button1, &TButton::clicked, this, &TRegForm::Button1Click);
    connect(Button2, &TButton::clicked, this, &TRegForm::Button2Click);
    connect(Button3, &TButton::clicked, this, &TRegForm::Button3Click);
    connect(Button4, &TButton::clicked, this, &TRegForm::Button4Click);

    connect(RegTV, &TTreeView::changing, this, &TRegForm::RegTVChanging);
    connect(RegTV, &TTreeView::changed, this, &TRegForm::RegTVChange);
    connect(RegTV, &TTreeView::expanding, this, &TRegForm::RegTVExpanding);
    connect(RegTV, &TTreeView::expanded, this, &TRegForm::RegTVExpanded);
    connect(RegTV, &TTreeView::collapsing, this, &TRegForm::RegTVCollapsing);
    connect(RegTV, &TTreeView::collapsed, this, &TRegForm::RegTVCollapsed);
    connect(RegTV, &TTreeView::keyUp, this, &TRegForm::RegTVKeyUp);

    connect(RegLV, &TListView::columnClicked, this, &TRegForm::RegLVColumnClick);
    connect(RegLV, &TListView::entered, this, &TRegForm::RegLVEnter);
    connect(RegLV, &TListView::keyUp, this, &TRegForm::RegLVKeyUp);

    connect(FoundLV, &TReportView::mouseClicked, this, &TRegForm::FoundLVClick);
    connect(FoundLV, &TReportView::mouseDoubleClicked, this, &TRegForm::FoundLVDblClick);
    connect(FoundLV, &TReportView::columnClicked, this, &TRegForm::FoundLVColumnClick);
    connect(FoundLV, &TReportView::keyDown, this, &TRegForm::FoundLVKeyDown);
    connect(FoundLV, &TReportView::keyUp, this, &TRegForm::FoundLVKeyUp);
    connect(FoundLV, &TReportView::mouseDown, this,
            [this](Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint pos) {
                FoundLVMouseDown(button, shift, pos.x(), pos.y());
            });
    connect(FoundLV, &TReportView::menuKeyPressed, this, &TRegForm::FoundLVMenuKey);
    // The result list's model sorts itself (ResultModel::sortByColumn, in the order of
    // registry/ListOrder); nothing here takes part, FoundLVCompare included.

    connect(SelectAll1, &QAction::triggered, this, &TRegForm::SelectAll1Click);
    connect(ClearList1, &QAction::triggered, this, &TRegForm::ClearList1Click);
    connect(Delete1, &QAction::triggered, this, &TRegForm::Delete1Click);
    connect(Replace1, &QAction::triggered, this, &TRegForm::Replace1Click);
    connect(OpenRegistryAction, &QAction::triggered, this, &TRegForm::OpenRegistryClick);

    // The edit fields take Ctrl+Z before the window sees it: it undoes their text there.
    auto *undo = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z), this);
    undo->setObjectName(QStringLiteral("UndoShortcut"));
    connect(undo, &QShortcut::activated, this, &TRegForm::UndoLastEdit);
}
