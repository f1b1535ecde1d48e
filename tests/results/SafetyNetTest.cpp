// Edits from the window on a scratch copy of a Wine-written prefix: the backup
// before the first change, and a registry that takes no changes.
#include "BulkEditFixture.h"

#include "TTreeView.h"
#include "WineTestSupport.h"
#include "app/TListView.h"
#include "platform/RegistryFiles.h"

#include <QDir>

#include <cstdio>
#include <cstdlib>

using Dialogs::TDialogKind;
using quarnel::platform::RegistryOpened;
using namespace quarnel::test;
using Strings = std::vector<std::string>;

namespace {

const std::string kTestKey = "Software\\QuarnelSafety";

Strings entries(const std::string &folder, QDir::Filters filters)
{
    Strings names;
    for (const QString &name : QDir(QString::fromStdString(folder)).entryList(filters, QDir::Name))
        names.push_back(name.toStdString());
    return names;
}

} // namespace

class SafetyNetTest : public BulkEditTest
{
protected:
    void TearDown() override { quarnel::platform::closeRegistry(); }

    // A scratch prefix whose files hold the test key with a subkey and values.
    std::string prefixWithTestKey()
    {
        const std::string prefix = scratchPrefix();
        EXPECT_EQ(quarnel::platform::openRegistryAt(prefix, true).status,
                  RegistryOpened::Status::Ok);
        setText(kTestKey + "\\Sub", "v", "x");
        setText(kTestKey, "w", "y");
        EXPECT_EQ(quarnel::platform::closeRegistry(), "");
        // The set-up's own backup.
        std::system(("rm -rf '" + prefix + "/quarnel-backups'").c_str());
        return prefix;
    }
};

TEST_F(SafetyNetTest, NoBackupNoChangeThenBackupEditAndUndo)
{
    REQUIRE_PREFIX();
    const std::string prefix = prefixWithTestKey();
    const std::string folder = prefix + "/quarnel-backups";
    writeFile(folder, "in the way"); // no folder can be made there
    ASSERT_EQ(quarnel::platform::openRegistryAt(prefix, true).status, RegistryOpened::Status::Ok);
    const std::string before = registry();
    const std::string userReg = readFile(prefix + "/user.reg");
    addKeyRow(kTestKey + "\\");
    addNameRow(kTestKey + "\\", "w");
    selectAll();

    clickDelete();
    ASSERT_EQ(boxes().size(), 2u);
    EXPECT_EQ(boxes()[0].text, "Delete selected Keys?");
    EXPECT_EQ(boxes()[1].kind, TDialogKind::Error);
    EXPECT_NE(boxes()[1].text.find("cannot back up"), std::string::npos) << boxes()[1].text;
    EXPECT_EQ(registry(), before);
    EXPECT_EQ(selectedCount(), 2);
    EXPECT_EQ(readFile(prefix + "/user.reg"), userReg);

    // With room for it, the backup comes first: the files as they were.
    ASSERT_EQ(std::remove(folder.c_str()), 0);
    clearBoxes();
    clickDelete();
    EXPECT_EQ(boxTexts(TDialogKind::Error), Strings{});
    EXPECT_FALSE(hasKey(kTestKey));
    const Strings made = entries(folder, QDir::Dirs | QDir::NoDotAndDotDot);
    ASSERT_EQ(made.size(), 2u) << "one backup and undo/";
    EXPECT_EQ(readFile(folder + "/" + made[0] + "/user.reg"), userReg);
    ASSERT_EQ(undoFiles().size(), 1u);
    EXPECT_NE(undoFiles()[0].find("-delete.reg"), std::string::npos);

    pressUndo();
    EXPECT_EQ(registry(), before);
    EXPECT_EQ(boxTexts(TDialogKind::Error), Strings{});
}

TEST_F(SafetyNetTest, ReadOnlyRegistryRefusesEachEditOnceBeforeAnyQuestion)
{
    REQUIRE_PREFIX();
    const std::string prefix = prefixWithTestKey();
    writeFile(prefix + "/userdef.reg", "not a registry file\n");
    const RegistryOpened opened = quarnel::platform::openRegistryAt(prefix, true);
    ASSERT_EQ(opened.status, RegistryOpened::Status::ReadOnly);
    const std::string before = registry();
    addKeyRow(kTestKey + "\\");
    for (int i = 0; i < 100; ++i)
        addNameRow(kTestKey + "\\", "v" + std::to_string(i));
    selectAll();
    const auto refusedOnce = [&](const char *edit) {
        ASSERT_EQ(boxes().size(), 1u) << edit;
        EXPECT_EQ(boxes()[0].kind, TDialogKind::Error) << edit;
        EXPECT_EQ(boxes()[0].text, opened.message) << edit;
        clearBoxes();
    };

    clickDelete();
    refusedOnce("delete");
    clickReplace("Quarnel", "Other");
    refusedOnce("replace");
    TTreeView *tree = form().RegTV;
    QTreeWidgetItem *node = form().RootNodes[1];
    for (const char *name : {"Software", "QuarnelSafety"}) {
        tree->expandNode(node);
        QTreeWidgetItem *next = nullptr;
        for (int i = 0; i < node->childCount(); ++i)
            if (node->child(i)->text(0) == QLatin1String(name)) next = node->child(i);
        ASSERT_NE(next, nullptr) << name;
        node = next;
    }
    tree->selectNode(node);
    form().RegTVKeyUp(Qt::Key_Delete, {});
    refusedOnce("key deletion");
    form().RegLV->topLevelItem(1)->setSelected(true);
    form().RegLVKeyUp(Qt::Key_Delete, {});
    refusedOnce("value deletion");

    EXPECT_EQ(registry(), before);
    EXPECT_EQ(rows().size(), 101u);
    EXPECT_EQ(selectedCount(), 101);
    EXPECT_FALSE(QDir(QString::fromStdString(prefix + "/quarnel-backups")).exists());
}
