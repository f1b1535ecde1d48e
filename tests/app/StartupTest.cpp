// The window as it comes up: the warning, every control, the key tree and the root table.
#include "tests/harness/WindowHarness.h"

#include "widgets/TButton.h"
#include "widgets/TImageList.h"
#include "widgets/TListView.h"
#include "widgets/TProgressBar.h"
#include "widgets/TReportView.h"
#include "widgets/TTreeView.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QToolTip>
#include <gtest/gtest.h>

namespace {

std::string text(const QString &qt)
{
    return qt.toUtf8().toStdString();
}

TEST(Startup, ShowsTheWindowThenTheBackupWarning)
{
    WindowHarness harness;
    ASSERT_EQ(harness.boxes().size(), 1u);
    const RecordedBox &box = harness.boxes().front();
    EXPECT_EQ(box.kind, Dialogs::TDialogKind::Warning);
    EXPECT_EQ(box.caption, "Warnung");
    EXPECT_EQ(box.text, "Make a backup of your registry, before changing anything!");
    EXPECT_EQ(box.buttons, std::vector<std::string>{"OK"});
    EXPECT_TRUE(box.windowVisible);

    TRegForm &form = harness.form();
    EXPECT_EQ(form.objectName(), "RegForm");
    EXPECT_EQ(form.windowTitle(), "Quarnel");
    EXPECT_EQ(form.size(), QSize(632, 453));
    EXPECT_EQ(form.minimumSize(), QSize(632, 453));
    EXPECT_EQ(form.x(), 0);
    EXPECT_EQ(form.font().pixelSize(), 11);
    EXPECT_EQ(form.font().families().front(), "MS Sans Serif");
}

struct Placement
{
    const char *name;
    QRect geometry;
};

TEST(Startup, ControlsSitAtTheirDesignPlaces)
{
    WindowHarness harness;
    // Edit1 and Edit2 are already at client width - 500 from the first resize.
    const Placement table[] = {
        {"Panel1", {0, 0, 632, 82}},     {"ckbmirr", {6, 2, 125, 17}},
        {"Label1", {309, 4, 55, 15}},    {"Edit1", {370, 1, 132, 21}},
        {"Button1", {512, 1, 55, 21}},   {"Button2", {572, 1, 55, 21}},
        {"Panel4", {4, 23, 625, 34}},    {"lb1", {5, 4, 616, 15}},
        {"lb2", {5, 17, 616, 15}},       {"pb2", {4, 58, 624, 10}},
        {"pb1", {4, 69, 624, 10}},       {"Panel3", {0, 82, 632, 371}},
        {"PanelReg", {1, 1, 630, 182}},  {"RegTV", {1, 1, 231, 180}},
        {"Splitter2", {232, 1, 5, 180}}, {"RegLV", {237, 1, 392, 180}},
        {"Splitter1", {1, 183, 630, 5}}, {"Panel2", {1, 188, 630, 182}},
        {"lb6", {6, 6, 145, 13}},        {"Label2", {297, 4, 69, 13}},
        {"Edit2", {370, 1, 132, 21}},    {"Button3", {512, 2, 55, 21}},
        {"Button4", {572, 2, 55, 21}},   {"FoundLV", {1, 24, 628, 156}},
    };
    for (const Placement &place : table) {
        QWidget *control = harness.find(place.name);
        ASSERT_NE(control, nullptr) << place.name;
        EXPECT_EQ(control->geometry(), place.geometry) << place.name;
    }
}

TEST(Startup, TextsStatesAndTooltips)
{
    WindowHarness harness;
    TRegForm &form = harness.form();
    EXPECT_EQ(form.ckbmirr->text(), "include mirrored Keys");
    EXPECT_FALSE(form.ckbmirr->isChecked());
    EXPECT_EQ(text(form.ckbmirr->toolTip()),
              "HKEY_CLASSES_ROOT is a mirror of HKEY_LOCAL_MACHINE\\Software\\Classes\n\r"
              "HKEY_CURRENT_USER is a mirror of HKEY_USERS\\S-1-5-xx-xx\n\r"
              "its not necessary to search them too.");
    // Resting the pointer on it shows three plain lines.
    const QPoint inside(5, 5);
    QHelpEvent rest(QEvent::ToolTip, inside, form.ckbmirr->mapToGlobal(inside));
    QApplication::sendEvent(form.ckbmirr, &rest);
    EXPECT_EQ(QToolTip::text(),
              "HKEY_CLASSES_ROOT is a mirror of HKEY_LOCAL_MACHINE\\Software\\Classes\n"
              "HKEY_CURRENT_USER is a mirror of HKEY_USERS\\S-1-5-xx-xx\n"
              "its not necessary to search them too.");
    QToolTip::hideText();
    EXPECT_EQ(form.Label1->text(), "Search for:");
    EXPECT_EQ(form.Label2->text(), "Replace with:");
    EXPECT_EQ(form.Button1->text(), "&Search");
    EXPECT_EQ(form.Button1->toolTip(), "Clear last Results and start new search");
    EXPECT_TRUE(form.Button1->isDefault());
    EXPECT_FALSE(form.Button1->isCancel());
    EXPECT_EQ(form.Button2->text(), "E&xit");
    EXPECT_EQ(form.Button3->text(), "&Delete");
    EXPECT_EQ(form.Button3->toolTip(), "Delete selected entries");
    EXPECT_EQ(form.Button4->text(), "&Replace");
    EXPECT_EQ(form.Button4->toolTip(), "Replace in selected entries");
    EXPECT_FALSE(form.Button3->isEnabled());
    EXPECT_FALSE(form.Button4->isEnabled());
    EXPECT_TRUE(form.Edit1->text().isEmpty());
    EXPECT_TRUE(form.Edit2->text().isEmpty());
    EXPECT_TRUE(form.lb1->text().isEmpty());
    EXPECT_EQ(form.lb2->text(), "My Computer");
    EXPECT_EQ(form.lb6->text(), "0 found");
    EXPECT_EQ(form.lb1->font().families().front(), "Tahoma");
    EXPECT_EQ(form.RegTV->font().families().front(), "Tahoma");
    EXPECT_EQ(form.pb1->max(), 7);
    EXPECT_EQ(form.pb1->step(), 1);
    EXPECT_EQ(form.pb2->max(), 0);
    EXPECT_EQ(form.pb2->step(), 1);
    EXPECT_EQ(form.pb1->position(), 0);
}

TEST(Startup, ListsMenuAndTabOrder)
{
    WindowHarness harness;
    TRegForm &form = harness.form();
    const QStringList regColumns = {"Name", "Type", "Value"};
    const int regWidths[] = {150, 100, 135};
    ASSERT_EQ(form.RegLV->model()->columnCount(), 3);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(form.RegLV->model()->headerData(c, Qt::Horizontal).toString(), regColumns[c]);
        EXPECT_EQ(form.RegLV->columnWidth(c), regWidths[c]);
    }
    EXPECT_EQ(form.RegLV->selectionMode(), QAbstractItemView::ExtendedSelection);

    const QStringList foundColumns = {"Root", "Branch", "Name", "Type", "Value"};
    const int foundWidths[] = {120, 200, 80, 80, 140};
    QAbstractItemModel *model = form.FoundLV->model();
    ASSERT_EQ(model->columnCount(), 5);
    for (int c = 0; c < 5; ++c) {
        EXPECT_EQ(model->headerData(c, Qt::Horizontal).toString(), foundColumns[c]);
        EXPECT_EQ(form.FoundLV->columnWidth(c), foundWidths[c]);
    }
    EXPECT_EQ(model->rowCount(), 0);
    EXPECT_EQ(form.FoundLV->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(form.FoundLV->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(form.FoundLV->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_FALSE(form.FoundLV->rootIsDecorated());
    EXPECT_TRUE(form.FoundLV->header()->sectionsClickable());

    QStringList menu;
    for (QAction *item : form.pm1->actions())
        menu << (item->isSeparator() ? QStringLiteral("-") : item->text());
    EXPECT_EQ(menu, QStringList({"&Select All", "&Clear List", "-", "&Delete", "&Replace", "-",
                                 "&Copy", "Copy &key path", "&Export…", "&Locate"}));
    EXPECT_EQ(form.pm1->actions().at(2), form.N1);
    EXPECT_EQ(harness.find<QAction>("Replace1"), form.Replace1);

    QStringList chain;
    QWidget *at = form.Button1;
    do {
        if (at->window() == &form && (at->focusPolicy() & Qt::TabFocus)) chain << at->objectName();
        at = at->nextInFocusChain();
    } while (at != form.Button1);
    EXPECT_EQ(chain,
              QStringList({"Button1", "Edit1", "ckbmirr", "Button2", "RegTV", "RegLV", "FoundLV",
                           "Edit2", "Button4", "Button3", "RegistryButton", "OptionsButton"}));
}

TEST(Startup, KeyTreeAndRootTable)
{
    WindowHarness harness;
    TRegForm &form = harness.form();
    ASSERT_EQ(form.RegTV->topLevelNodeCount(), 1);
    TTreeNode *top = form.RegTV->topLevelNode(0);
    EXPECT_EQ(top->text(), "My Computer");
    EXPECT_EQ(TTreeView::imageIndex(top), 0);
    EXPECT_TRUE(form.RegTV->isNodeExpanded(top));
    EXPECT_EQ(form.RegTV->indentation(), 19);
    ASSERT_EQ(top->childCount(), kRootCount);
    for (int i = 0; i < kRootCount; ++i) {
        const auto index = static_cast<std::size_t>(i);
        const RootEntry &entry = RootTable()[index];
        TTreeNode *node = top->child(i);
        EXPECT_EQ(node->name(), entry.displayName);
        EXPECT_EQ(form.RootNodes[index], node);
        EXPECT_TRUE(TTreeView::hasChildren(node));
        EXPECT_EQ(TTreeView::imageIndex(node), 1);
        EXPECT_EQ(node->childCount(), 0);
        EXPECT_FALSE(form.RegTV->isNodeExpanded(node));
        EXPECT_EQ(form.GetRootID(std::string(entry.displayName)), entry.handle);
    }
    EXPECT_EQ(form.GetRootID("hkey_users"), nullptr);
    EXPECT_EQ(form.GetRootID(""), nullptr);
    EXPECT_EQ(form.RegTV->selectedNode(), nullptr);
}

TEST(Startup, ImageListHoldsFiveDistinctImages)
{
    WindowHarness harness;
    TImageList *images = harness.find<TImageList>("ImageList1");
    ASSERT_EQ(images, harness.form().ImageList1);
    ASSERT_EQ(images->count(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(images->pixmap(i).size(), QSize(16, 16));
        for (int j = 0; j < i; ++j)
            EXPECT_NE(images->pixmap(i).toImage(), images->pixmap(j).toImage()) << i << j;
    }
    EXPECT_TRUE(images->pixmap(5).isNull());
}

} // namespace
