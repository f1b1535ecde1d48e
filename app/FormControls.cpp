// Builds the controls of the main window at their design geometry.
#include "app/TRegForm.h"

#include "app/FormFonts.h"
#include "widgets/TAlignLayout.h"
#include "widgets/TButton.h"
#include "widgets/TImageList.h"
#include "widgets/TListView.h"
#include "widgets/TPanel.h"
#include "widgets/TProgressBar.h"
#include "widgets/TReportView.h"
#include "widgets/TSplitter.h"
#include "widgets/TTreeView.h"

#include <QAction>
#include <QCheckBox>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QToolTip>
#include <algorithm>

namespace {

using A = TAlignLayout;

// Shows a tooltip whose lines end in line feed and carriage return as plain
// lines: Qt would draw each carriage return as a blank at the next line's start.
class TTooltipLines : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *control = qobject_cast<QWidget *>(watched);
        if (event->type() != QEvent::ToolTip || !control || control->toolTip().isEmpty())
            return false;
        QString lines = control->toolTip();
        lines.remove(QLatin1Char('\r'));
        QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), lines, control);
        return true;
    }
};

template <typename T> T *placed(T *control, const char *name, QWidget *parent, QRect geometry)
{
    control->setObjectName(QString::fromLatin1(name));
    control->setParent(parent);
    control->setGeometry(geometry);
    return control;
}

QLabel *label(const char *name, const QString &text, QWidget *parent, QRect geometry)
{
    auto *control = placed(new QLabel(text), name, parent, geometry);
    // Registry texts end up here; none of them may be read as markup.
    control->setTextFormat(Qt::PlainText);
    return control;
}

TAlignLayout *layoutOf(QWidget *widget)
{
    return static_cast<TAlignLayout *>(widget->layout());
}

// A selection that stays visible while the list has no focus.
void keepSelectionVisible(QWidget *view)
{
    QPalette palette = view->palette();
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    view->setPalette(palette);
}

} // namespace

void TRegForm::CreateControls()
{
    setObjectName(QStringLiteral("RegForm"));
    setWindowTitle(QStringLiteral("Quarnel"));
    setFont(FormFonts::formFont());
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);
    resize(632, 453);
    PlaceOnScreen();
    setMinimumSize(632, 453);
    new TAlignLayout(this, QSize(632, 453));

    ImageList1 = new TImageList(this);
    ImageList1->setObjectName(QStringLiteral("ImageList1"));

    CreatePanel1();
    CreatePanel3();
    SetTabOrder();

    pm1 = new QMenu(this);
    pm1->setObjectName(QStringLiteral("pm1"));
    SelectAll1 = pm1->addAction(QStringLiteral("&Select All"));
    ClearList1 = pm1->addAction(QStringLiteral("&Clear List"));
    N1 = pm1->addSeparator();
    Delete1 = pm1->addAction(QStringLiteral("&Delete"));
    Replace1 = pm1->addAction(QStringLiteral("&Replace"));
    SelectAll1->setObjectName(QStringLiteral("SelectAll1"));
    ClearList1->setObjectName(QStringLiteral("ClearList1"));
    N1->setObjectName(QStringLiteral("N1"));
    Delete1->setObjectName(QStringLiteral("Delete1"));
    Replace1->setObjectName(QStringLiteral("Replace1"));
    CreateCopyActions();
    CreateValueListMenu();
}

void TRegForm::CreatePanel1()
{
    Panel1 = placed(new TPanel, "Panel1", this, {0, 0, 632, 82});
    layoutOf(this)->add(Panel1, A::alTop);
    auto *layout = new TAlignLayout(Panel1, QSize(632, 82), TPanel::kBevelWidth);

    // Created in tab order, so the focus chain needs no rework.
    pb1 = placed(new TProgressBar, "pb1", Panel1, {4, 69, 624, 10});
    pb1->setMax(7);
    pb1->setStep(1);
    pb2 = placed(new TProgressBar, "pb2", Panel1, {4, 58, 624, 10});
    pb2->setMax(0);
    pb2->setStep(1);
    Button1 = placed(new TButton(QStringLiteral("&Search")), "Button1", Panel1, {512, 1, 55, 21});
    Button1->setToolTip(QStringLiteral("Clear last Results and start new search"));
    Button1->setDefault(true);
    Edit1 = placed(new QLineEdit, "Edit1", Panel1, {370, 1, 140, 21});
    Edit1->setAccessibleName(QStringLiteral("Search for"));
    ckbmirr = placed(new QCheckBox(QStringLiteral("include mirrored Keys")), "ckbmirr", Panel1,
                     {6, 2, 125, 17});
    ckbmirr->installEventFilter(new TTooltipLines(ckbmirr));
    Button2 = placed(new TButton(QStringLiteral("E&xit")), "Button2", Panel1, {572, 1, 55, 21});
    // Alt+G: Alt+R is Replace's.
    RegistryButton = placed(new TButton(QStringLiteral("Re&gistry\u2026")), "RegistryButton",
                            Panel1, {134, 1, 72, 21});
    RegistryMenu = new QMenu(RegistryButton);
    RegistryMenu->setObjectName(QStringLiteral("RegistryMenu"));
    RegistryButton->setMenu(RegistryMenu);
    CreateHistoryActions();
    OpenRegistryAction = RegistryMenu->addAction(QStringLiteral("&Open registry\u2026"));
    OpenRegistryAction->setObjectName(QStringLiteral("OpenRegistryAction"));
    OpenRegistryAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    addAction(OpenRegistryAction); // Ctrl+O anywhere in the window
    Label1 = label("Label1", QStringLiteral("Search for:"), Panel1, {309, 4, 55, 15});

    Panel4 = placed(new TPanel, "Panel4", Panel1, {4, 23, 625, 34});
    auto *panel4 = new TAlignLayout(Panel4, QSize(625, 34), TPanel::kBevelWidth);
    lb1 = label("lb1", QString(), Panel4, {5, 4, 616, 15});
    lb2 = label("lb2", QString(), Panel4, {5, 17, 616, 15});
    lb1->setFont(FormFonts::statusFont());
    lb2->setFont(FormFonts::statusFont());
    panel4->add(lb1, A::alNone, A::akLeft | A::akTop | A::akRight);
    panel4->add(lb2, A::alNone, A::akLeft | A::akTop | A::akRight);

    const int stretch = A::akLeft | A::akTop | A::akRight;
    layout->add(ckbmirr, A::alNone);
    layout->add(RegistryButton, A::alNone);
    CreateSearchOptions(*layout);
    layout->add(Label1, A::alNone);
    layout->add(Edit1, A::alNone, stretch);
    layout->add(Button1, A::alNone, A::akTop | A::akRight);
    layout->add(Button2, A::alNone, A::akTop | A::akRight);
    layout->add(Panel4, A::alNone, stretch);
    layout->add(pb2, A::alNone, stretch);
    layout->add(pb1, A::alNone, stretch);
}

void TRegForm::CreatePanel3()
{
    const int all = A::akLeft | A::akTop | A::akRight | A::akBottom;
    Panel3 = placed(new TPanel, "Panel3", this, {0, 82, 632, 371});
    layoutOf(this)->add(Panel3, A::alTop, all);
    auto *layout = new TAlignLayout(Panel3, QSize(632, 371), TPanel::kBevelWidth);

    PanelReg = placed(new TPanel, "PanelReg", Panel3, {1, 1, 630, 182});
    auto *browser = new TAlignLayout(PanelReg, QSize(630, 182), TPanel::kBevelWidth);
    RegTV = placed(new TTreeView, "RegTV", PanelReg, {1, 1, 231, 180});
    RegTV->setAccessibleName(QStringLiteral("Keys"));
    RegTV->setFont(FormFonts::statusFont());
    RegTV->setImageList(ImageList1);
    keepSelectionVisible(RegTV);
    Splitter2 = placed(new TSplitter(Qt::Horizontal), "Splitter2", PanelReg, {232, 1, 5, 180});
    Splitter2->setControl(RegTV);
    RegLV = placed(new TListView, "RegLV", PanelReg, {237, 1, 392, 180});
    RegLV->setAccessibleName(QStringLiteral("Values"));
    RegLV->setImageList(ImageList1);
    AttachValueListModel(); // with it the column headers; a new model resets the widths
    RegLV->setColumnWidth(0, 150);
    RegLV->setColumnWidth(1, 100);
    RegLV->setColumnWidth(2, 135);
    keepSelectionVisible(RegLV);
    browser->add(RegTV, A::alLeft);
    browser->add(Splitter2, A::alLeft);
    browser->add(RegLV, A::alClient);

    Splitter1 = placed(new TSplitter(Qt::Vertical), "Splitter1", Panel3, {1, 183, 630, 5});
    Splitter1->setControl(PanelReg);

    Panel2 = placed(new TPanel, "Panel2", Panel3, {1, 188, 630, 182});
    auto *results = new TAlignLayout(Panel2, QSize(630, 182), TPanel::kBevelWidth);
    FoundLV = placed(new TReportView, "FoundLV", Panel2, {1, 24, 628, 156});
    FoundLV->setAccessibleName(QStringLiteral("Search results"));
    // Its model, and with it the column headers and widths, comes in AttachResultModel.
    keepSelectionVisible(FoundLV);
    Edit2 = placed(new QLineEdit, "Edit2", Panel2, {370, 1, 139, 21});
    Edit2->setAccessibleName(QStringLiteral("Replace with"));
    Button4 = placed(new TButton(QStringLiteral("&Replace")), "Button4", Panel2, {572, 2, 55, 21});
    Button4->setToolTip(QStringLiteral("Replace in selected entries"));
    Button4->setEnabled(false);
    Button3 = placed(new TButton(QStringLiteral("&Delete")), "Button3", Panel2, {512, 2, 55, 21});
    Button3->setToolTip(QStringLiteral("Delete selected entries"));
    Button3->setEnabled(false);
    lb6 = label("lb6", QStringLiteral("0 found"), Panel2, {6, 6, 145, 13});
    Label2 = label("Label2", QStringLiteral("Replace with:"), Panel2, {297, 4, 69, 13});
    results->add(lb6, A::alNone);
    results->add(Label2, A::alNone);
    results->add(Edit2, A::alNone, A::akLeft | A::akTop | A::akRight);
    results->add(Button3, A::alNone, A::akTop | A::akRight);
    results->add(Button4, A::alNone, A::akTop | A::akRight);
    results->add(FoundLV, A::alNone, all);

    layout->add(PanelReg, A::alTop);
    layout->add(Splitter1, A::alTop);
    layout->add(Panel2, A::alClient);
}

void TRegForm::PlaceOnScreen()
{
    // The designed place is left 0, top 518 (outer size 640 x 480); a screen too
    // small for it gets the window moved up until it fits.
    int left = 0;
    int top = 518;
    if (const QScreen *display = screen()) {
        const QRect room = display->availableGeometry();
        left = std::max(left, room.left());
        if (top + 480 > room.bottom() + 1) top = std::max(room.top(), room.bottom() + 1 - 480);
    }
    move(left, top);
}

void TRegForm::SetTabOrder()
{
    // Panel1, then the browser, then Panel2, each in its own order; the controls
    // that came later follow at the end, so the long-known order stays as it was.
    const QList<QWidget *> chain = {Button1, Edit1,   ckbmirr,        Button2,
                                    RegTV,   RegLV,   FoundLV,        Edit2,
                                    Button4, Button3, RegistryButton, OptionsButton};
    for (qsizetype i = 1; i < chain.size(); ++i)
        setTabOrder(chain[i - 1], chain[i]);
}

void TRegForm::SetUpFoundLVColumns()
{
    const int widths[] = {120, 200, 80, 80, 140};
    for (int column = 0; column < 5; ++column)
        FoundLV->setColumnWidth(column, widths[column]);
}
