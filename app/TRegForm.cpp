// The shell's members of the main window: start-up, closing, resizing and the
// window-level routing of Enter and Escape.
#include "app/TRegForm.h"

#include "app/Dialogs.h"
#include "app/UnitState.h"
#include "registry/text/ValueText.h"
#include "widgets/QtText.h"
#include "widgets/TButton.h"
#include "widgets/TTreeView.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

#include <cstdlib>

TRegForm::TRegForm(QWidget *parent) : QWidget(parent)
{
    CreateControls();
    AttachResultModel();
    BindEvents();
    CreateBrowserEditing();
    FormCreate();
}

TRegForm::~TRegForm() = default;

void TRegForm::FormCreate()
{
    TTreeNode *top = RegTV->addNode(nullptr, std::string(kMyComputer), kImageComputer);
    ckbmirr->setToolTip(
        QStringLiteral("HKEY_CLASSES_ROOT is a mirror of HKEY_LOCAL_MACHINE\\Software\\Classes\n\r"
                       "HKEY_CURRENT_USER is a mirror of HKEY_USERS\\S-1-5-xx-xx\n\r"
                       "its not necessary to search them too."));
    lb2->setText(toQt(kMyComputer));
    UnitState::modifierFlag = false;
    UnitState::valueListDescending = false;
    UnitState::sortColumn = 0;

    for (int index = 0; index < kRootCount; ++index) {
        const RootEntry &entry = RootTable()[static_cast<std::size_t>(index)];
        RootNodes[static_cast<std::size_t>(index)] =
            RegTV->addNode(top, std::string(entry.displayName), kImageClosedFolder, true);
    }
    RegTV->expandNode(top);

    PruneHistory();

    const int clientWidth = width();
    Button1->move(clientWidth - 120, Button1->y());
    Button2->move(clientWidth - 60, Button2->y());

    // A first hint in the status line, from whoever started the program (tools/run.sh
    // names a text its demo registry holds); there before the warning, to be read beside it.
    if (const char *hint = std::getenv("QUARNEL_STATUS"); hint && *hint)
        lb1->setText(QString::fromUtf8(hint));
    show();
    Dialogs::warning("Make a backup of your registry, before changing anything!");
}

void TRegForm::FormCloseQuery(bool &canClose)
{
    if (Button1->text() != QStringLiteral("&Search")) {
        StopSearchRun(); // the run unwinds on its own
    }
    canClose = true;
}

void TRegForm::FormResize()
{
    const int editWidth = width() - 500;
    Edit1->resize(editWidth, Edit1->height());
    Edit2->resize(editWidth, Edit2->height());
}

void TRegForm::Button2Click()
{
    close();
}

HKEY TRegForm::GetRootID(const std::string &rootName) const
{
    return RootHandleByName(rootName);
}

void TRegForm::closeEvent(QCloseEvent *event)
{
    bool canClose = true;
    FormCloseQuery(canClose);
    if (canClose)
        event->accept();
    else
        event->ignore();
}

void TRegForm::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    FormResize();
}

void TRegForm::keyPressEvent(QKeyEvent *event)
{
    // Only keys that the focused control let pass arrive here: buttons take Enter
    // themselves, edits and lists pass it on.
    const int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && Button1->isDefault()) {
        if (Button1->isEnabled()) Button1->click();
        return;
    }
    if (key == Qt::Key_Escape && Button1->isCancel()) {
        if (Button1->isEnabled()) Button1->click();
        return;
    }
    QWidget::keyPressEvent(event);
}
