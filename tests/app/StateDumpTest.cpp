// The state dump that the end-to-end driver reads: it must report what a user sees,
// including texts their controls cut off, and the rows a list shows with their selection.
#include "app/StateDump.h"

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

QApplication &app()
{
    static int argc = 1;
    static char name[] = "state_dump_tests";
    static char *argv[] = {name, nullptr};
    static QApplication application(argc, argv);
    return application;
}

QJsonObject windowNamed(const QJsonObject &dump, const QString &name)
{
    for (const QJsonValue &window : dump["windows"].toArray())
        if (window["name"].toString() == name) return window.toObject();
    return {};
}

QJsonObject widgetNamed(const QJsonObject &window, const QString &name)
{
    for (const QJsonValue &widget : window["widgets"].toArray())
        if (widget["name"].toString() == name) return widget.toObject();
    return {};
}

} // namespace

TEST(StateDump, ReportsTextsAndWhetherTheyFit)
{
    app();
    QWidget window;
    window.setObjectName("window");
    window.setWindowTitle("Quarnel");
    auto *roomy = new QLabel("Search for:", &window);
    roomy->setObjectName("roomy");
    roomy->setGeometry(0, 0, 300, 20);
    auto *narrow = new QLabel("Search for:", &window);
    narrow->setObjectName("narrow");
    narrow->setGeometry(0, 30, 10, 20);
    auto *button = new QPushButton("&Search", &window);
    button->setObjectName("Button1");
    button->setGeometry(0, 60, 120, 30);
    button->setEnabled(false);
    window.show();

    const QJsonObject dump = QJsonDocument::fromJson(StateDump::snapshot(7)).object();
    EXPECT_EQ(dump["serial"].toInt(), 7);
    const QJsonObject shown = windowNamed(dump, "window");
    ASSERT_FALSE(shown.isEmpty());
    EXPECT_EQ(shown["title"].toString(), "Quarnel");

    const QJsonObject fits = widgetNamed(shown, "roomy");
    EXPECT_LE(fits["textWidth"].toInt(), fits["textRoom"].toInt());
    const QJsonObject cut = widgetNamed(shown, "narrow");
    EXPECT_GT(cut["textWidth"].toInt(), cut["textRoom"].toInt());
    EXPECT_EQ(cut["geometry"].toArray(), (QJsonArray{0, 30, 10, 20}));

    const QJsonObject pressed = widgetNamed(shown, "Button1");
    EXPECT_EQ(pressed["text"].toString(), "&Search");
    EXPECT_FALSE(pressed["enabled"].toBool());
    // The mnemonic marker takes no room on screen.
    EXPECT_EQ(pressed["textWidth"].toInt(), button->fontMetrics().horizontalAdvance("Search"));
}

TEST(StateDump, ListsRowsOfExpandedNodesWithTheirSelection)
{
    app();
    QWidget window;
    window.setObjectName("window");
    auto &tree = *new QTreeWidget(&window);
    tree.setObjectName("tree");
    tree.setGeometry(0, 0, 300, 200);
    tree.setHeaderLabels({"Name", "Value"});
    auto *top = new QTreeWidgetItem(&tree, QStringList{"My Computer"});
    auto *open = new QTreeWidgetItem(top, QStringList{"HKEY_USERS", "x"});
    new QTreeWidgetItem(open, QStringList{"hidden below a closed node"});
    auto *closed = new QTreeWidgetItem(top, QStringList{"HKEY_DYN_DATA"});
    tree.expandItem(top);
    closed->setSelected(true);
    tree.setCurrentItem(open, 0, QItemSelectionModel::NoUpdate);
    window.show();

    const QJsonObject dump = QJsonDocument::fromJson(StateDump::snapshot(1)).object();
    const QJsonObject view = widgetNamed(windowNamed(dump, "window"), "tree");
    EXPECT_EQ(view["headers"].toArray(), (QJsonArray{"Name", "Value"}));
    const QJsonArray rows = view["rows"].toArray();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0]["cells"].toArray(), (QJsonArray{"My Computer", ""}));
    EXPECT_TRUE(rows[0]["expanded"].toBool());
    EXPECT_EQ(rows[1]["cells"].toArray(), (QJsonArray{"HKEY_USERS", "x"}));
    EXPECT_EQ(rows[1]["depth"].toInt(), 1);
    EXPECT_TRUE(rows[1]["current"].toBool());
    EXPECT_FALSE(rows[1]["selected"].toBool());
    EXPECT_TRUE(rows[2]["selected"].toBool());
    EXPECT_TRUE(rows[2].toObject().contains("rect"));
}
