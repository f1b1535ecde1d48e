// Another registry opened in the running window: the one before saved and
// released, the window afresh on the new one; the chooser's filter, its order
// and "Find in all registries".
#include "tests/harness/WindowHarness.h"

#include "app/RegistryChooser.h"
#include "app/RegistrySession.h"
#include "prefixes/Settings.h"
#include "registry/wine/ServerLock.h"
#include "widgets/TButton.h"
#include "widgets/TReportView.h"
#include "widgets/TTreeView.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using quarnel::prefixes::FoundRegistry;
using quarnel::prefixes::RegistryKind;
using quarnel::prefixes::sourceKindOf;

namespace {

const std::string kNeedle = "QuSwitchNeedle";

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const std::string &path, const std::string &text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// A Wine prefix's registry whose user.reg holds `hits` values with the needle.
void makeRegistry(const std::string &folder, int hits)
{
    fs::create_directories(folder);
    writeFile(folder + "/system.reg", "WINE REGISTRY Version 2\n;; All keys relative to "
                                      "\\\\Machine\n\n#arch=win64\n\n[Software\\\\Plain] "
                                      "1700000000\n\"a\"=\"b\"\n");
    std::string user = "WINE REGISTRY Version 2\n;; All keys relative to "
                       "\\\\User\\\\S-1-5-21-0-0-0-1000\n\n#arch=win64\n\n"
                       "[Software\\\\Switch] 1700000000\n";
    for (int i = 0; i < hits; ++i)
        user += "\"v" + std::to_string(i) + "\"=\"" + kNeedle + "\"\n";
    writeFile(folder + "/user.reg", user);
}

// Whether a process holds the locks that keep Wine and other Quarnels away from
// the registry in `folder`; asked from a child process, as a process never
// sees its own locks.
bool locked(const std::string &folder)
{
    const pid_t child = ::fork();
    if (child == 0) {
        std::vector<std::string> paths =
            quarnel::platform::wine::wineServerLockPaths(folder, false);
        paths.push_back(folder + "/quarnel.lock");
        for (const std::string &path : paths)
            if (quarnel::platform::wine::lockHolder(path) != 0) ::_exit(1);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 1;
}

int foundRows(TRegForm &form)
{
    return form.FoundLV->model()->rowCount();
}

class RegistrySwitchTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        // The recent registries go into a settings file of the test's own.
        const char *config = std::getenv("XDG_CONFIG_HOME");
        if (config) m_config = config;
        ::setenv("XDG_CONFIG_HOME", path("config").c_str(), 1);
    }
    void TearDown() override
    {
        if (m_config.empty())
            ::unsetenv("XDG_CONFIG_HOME");
        else
            ::setenv("XDG_CONFIG_HOME", m_config.c_str(), 1);
    }
    std::string path(const std::string &relative) const
    {
        return m_dir.path().toStdString() + "/" + relative;
    }
    FoundRegistry registry(const std::string &relative, int hits, const std::string &name)
    {
        makeRegistry(path(relative), hits);
        return {"bottles:" + relative, name, RegistryKind::Bottles, path(relative)};
    }

    QTemporaryDir m_dir;
    std::string m_config;
};

} // namespace

TEST_F(RegistrySwitchTest, SwitchSavesAndReleasesTheFirstAndWorksOnTheSecond)
{
    WindowHarness harness;
    TRegForm &form = harness.form();
    const FoundRegistry first = registry("First", 1, "First Game");
    const FoundRegistry second = registry("Second", 3, "Elden Ring");
    RegistrySession session(sourceKindOf(first), first.folder);
    form.SetRegistrySession(&session, "");
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Quarnel"));

    // An edit in the first registry, still in its journal when the switch comes.
    form.Edit1->setText(QString::fromStdString(kNeedle));
    harness.click(form.Button1);
    ASSERT_EQ(foundRows(form), 1);
    form.Delete1Click();
    ASSERT_TRUE(locked(first.folder));
    harness.clearBoxes(); // the backup warning of the start and the delete's question
    form.RegTV->expandNode(form.RootNodes[3]); // HKEY_USERS, listed from the first

    ASSERT_TRUE(form.SwitchRegistry(second));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Quarnel \u2014 Elden Ring"));
    EXPECT_EQ(foundRows(form), 0);
    EXPECT_FALSE(form.RegTV->isNodeExpanded(form.RootNodes[3]));
    EXPECT_EQ(form.RootNodes[3]->childCount(), 0);
    // The first is saved as a close saves it, and free for Wine and others.
    EXPECT_EQ(readFile(first.folder + "/user.reg").find(kNeedle), std::string::npos);
    EXPECT_FALSE(locked(first.folder));
    EXPECT_TRUE(locked(second.folder));
    // No second backup warning; Ctrl+Z knows no edit of the first registry.
    for (const RecordedBox &box : harness.boxes())
        EXPECT_EQ(box.text.find("Make a backup"), std::string::npos) << box.text;
    harness.clearBoxes();
    harness.pressUndo(form.FoundLV);
    ASSERT_EQ(harness.boxes().size(), 1u);
    EXPECT_EQ(harness.boxes()[0].text, "Nothing to undo");

    // Search and delete on the second: its own files change, the first's stay.
    const std::string firstUser = readFile(first.folder + "/user.reg");
    harness.click(form.Button1);
    ASSERT_EQ(foundRows(form), 3);
    form.Delete1Click();
    EXPECT_EQ(foundRows(form), 0);
    ASSERT_TRUE(form.SwitchRegistry(first));
    EXPECT_EQ(readFile(second.folder + "/user.reg").find(kNeedle), std::string::npos);
    EXPECT_EQ(readFile(first.folder + "/user.reg"), firstUser);
    EXPECT_TRUE(fs::exists(second.folder + "/quarnel-backups"));
    EXPECT_FALSE(locked(second.folder));

    // Both are remembered, the newest first.
    const auto settings =
        quarnel::prefixes::Settings::load(quarnel::prefixes::Settings::defaultPath());
    EXPECT_EQ(settings.recentRegistries(), (std::vector<std::string>{first.id, second.id}));
}

TEST_F(RegistrySwitchTest, ChooserFiltersAndFindsInAllRegistries)
{
    WindowHarness harness;
    TRegForm &form = harness.form();
    const FoundRegistry one = registry("One", 1, "Fallout 4");
    const FoundRegistry three = registry("Three", 3, "Elden Ring");
    const FoundRegistry none = registry("None", 0, "Celeste");
    FoundRegistry broken = registry("Broken", 2, "Broken Game");
    writeFile(broken.folder + "/user.reg", "not a registry file\n");
    // The window holds `one` meanwhile: it is read as its files stand.
    RegistrySession session(sourceKindOf(one), one.folder);
    form.SetRegistrySession(&session, "");
    const std::string oneUser = readFile(one.folder + "/user.reg");

    RegistryChooser chooser({one, three, none, broken}, {none.id, "bottles:gone"},
                            form.AllRegistriesCounter(), &form);
    EXPECT_EQ(chooser.shownIds(), (std::vector<std::string>{none.id, one.id, three.id, broken.id}));
    chooser.setFilter(QStringLiteral("ELDEN"));
    EXPECT_EQ(chooser.shownIds(), (std::vector<std::string>{three.id}));
    chooser.setFilter(QStringLiteral("On"));
    EXPECT_EQ(chooser.shownIds(), (std::vector<std::string>{none.id, one.id}));
    chooser.setFilter({});

    chooser.startFinding(QString::fromStdString(kNeedle.substr(2)));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !chooser.isFinding(); }, 20000));
    using Hits = std::vector<std::pair<std::string, std::uint64_t>>;
    // Most first; the unreadable one is not among the counts.
    EXPECT_EQ(chooser.hitRows(), (Hits{{three.id, 3}, {one.id, 1}, {none.id, 0}}));
    EXPECT_EQ(readFile(one.folder + "/user.reg"), oneUser);
    // Nothing was made in the registries searched: no lock, no journal, no backup.
    for (const FoundRegistry &r : {three, none})
        EXPECT_EQ(std::distance(fs::directory_iterator(r.folder), fs::directory_iterator()), 2);

    // Opened from the hits, the registry is switched to and searched there.
    chooser.openRow(three.id, true);
    EXPECT_EQ(chooser.result(), QDialog::Accepted);
    EXPECT_EQ(chooser.chosen(), three);
    ASSERT_TRUE(form.SwitchRegistry(chooser.chosen(), chooser.searchText()));
    EXPECT_EQ(form.Edit1->text().toStdString(), kNeedle.substr(2));
    EXPECT_EQ(foundRows(form), 3);

    // What the window's search refuses is searched for in no registry (no count of 0).
    harness.find<QCheckBox>("ckbRegex")->setChecked(true);
    const std::atomic<bool> stop = false;
    const RegistryHits refused = form.AllRegistriesCounter()(three.folder, "Qu(", stop);
    EXPECT_FALSE(refused.ok);
    EXPECT_NE(refused.error.find("The regular expression is not valid: missing )"),
              std::string::npos)
        << refused.error;
}

TEST_F(RegistrySwitchTest, CtrlOOpensTheChooser)
{
    WindowHarness harness;
    TRegForm &form = harness.form();
    auto *action = harness.find<QAction>("OpenRegistryAction");
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
    EXPECT_TRUE(form.actions().contains(action));
    // An empty home: the listing finds nothing of the machine's.
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    ::setenv("HOME", path("home").c_str(), 1);
    bool shown = false;
    QTimer::singleShot(0, [&] {
        for (QWidget *top : QApplication::topLevelWidgets())
            if (auto *chooser = qobject_cast<RegistryChooser *>(top);
                chooser && chooser->isVisible()) {
                shown = true;
                chooser->reject();
            }
    });
    harness.trigger(action);
    (void)QTest::qWaitFor([&] { return shown; }, 5000);
    ::setenv("HOME", home.c_str(), 1);
    EXPECT_TRUE(shown);
}
