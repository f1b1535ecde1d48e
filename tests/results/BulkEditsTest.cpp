// The bulk edits alone: no window, no event loop, a registry in memory.
#include "results/BulkEdits.h"
#include "registry/api/TRegistry.h"
#include "registry/win32/KeyStore.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using quarnel::platform::KeyStore;
using quarnel::platform::setActiveStore;
using State = BulkRowOutcome::State;

namespace {

const std::string kUser = "HKEY_CURRENT_USER";

void setText(const std::string &path, const std::string &name, const std::string &text)
{
    TRegistry reg;
    reg.SelectRoot(HKEY_CURRENT_USER);
    ASSERT_TRUE(reg.CreatePath(path));
    ASSERT_TRUE(reg.OpenPath(path));
    reg.WriteText(name, text);
}

bool hasKey(const std::string &path)
{
    TRegistry reg;
    reg.SelectRoot(HKEY_CURRENT_USER);
    return reg.HasKey(path);
}

// The value's text, or "-" when the key or the value is not there.
std::string textOf(const std::string &path, const std::string &name)
{
    TRegistry reg;
    reg.SelectRoot(HKEY_CURRENT_USER);
    if (!reg.OpenPath(path) || !reg.HasValue(name)) return "-";
    return reg.ReadText(name);
}

ResultRow row(std::string branch, std::string name = {}, std::string type = {},
              std::string value = {}, bool defaultValue = false)
{
    return {kUser,           std::move(branch), std::move(name),
            std::move(type), std::move(value),  defaultValue};
}

// Records what the edit told, and refuses every change from the n-th failure on.
class Recorder : public BulkEditObserver
{
public:
    int refuseFrom = 0; // 0: never
    std::vector<std::string> told;
    std::vector<std::size_t> kept;
    void tell(const std::string &message) override { told.push_back(message); }
    bool refusesFromNowOn() override { return refuseFrom > 0 && ++m_failures >= refuseFrom; }
    void rowKept(std::size_t i) override { kept.push_back(i); }

private:
    int m_failures = 0;
};

std::vector<State> statesOf(const BulkEditResult &result)
{
    std::vector<State> states;
    for (const BulkRowOutcome &outcome : result.rows)
        states.push_back(outcome.state);
    return states;
}

class BulkEditsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setActiveStore(std::make_shared<KeyStore>());
        setText("\\A\\Old\\Inner", "v", "old text");
        setText("\\A\\Old", "oldName", "x");
        setText("\\A\\Old", "", "old default");
        setText("\\B", "keep", "old");
    }
};

TEST_F(BulkEditsTest, DeleteStepsTakenRowsAndFailures)
{
    const std::vector<ResultRow> rows = {
        row("A\\Old\\", "(Standard)", "REG_SZ", "old default", true), // emptied, not counted
        row("A\\Old\\", "oldName"),                                   // deleted
        row("A\\Old\\", "oldName", "REG_SZ", "x"),                    // its other row: taken
        row("A\\Old\\"),                                              // the key tree
        row("A\\Old\\Inner\\", "v"),                                  // went with the key
        row("Nowhere\\"),                                             // never there
        row("", "", ""),                                              // the root key
        row("B\\", "missing"),                                        // no such value
    };
    EXPECT_EQ(deleteStepOf(rows[0]), DeleteStep::EmptyDefault);
    EXPECT_EQ(deleteStepOf(rows[1]), DeleteStep::Value);
    EXPECT_EQ(deleteStepOf(rows[3]), DeleteStep::KeyTree);
    EXPECT_EQ(deleteStepOf(rows[6]), DeleteStep::RootRefused);

    Recorder recorder;
    const BulkEditResult result = deleteRows(rows, recorder);
    EXPECT_EQ(statesOf(result),
              (std::vector<State>{State::Done, State::Done, State::Taken, State::Done, State::Taken,
                                  State::Failed, State::Failed, State::Failed}));
    EXPECT_TRUE(result.rows[0].emptied);
    EXPECT_EQ(result.counted, 2);
    EXPECT_TRUE(result.changed);
    EXPECT_FALSE(result.stopped);
    const std::vector<std::string> told = {"not opened: HKEY_CURRENT_USER\\Nowhere\\",
                                           "not deleted: HKEY_CURRENT_USER\\",
                                           "not deleted: HKEY_CURRENT_USER\\B\\missing"};
    EXPECT_EQ(recorder.told, told);
    EXPECT_EQ(recorder.kept, (std::vector<std::size_t>{5, 6, 7}));
    EXPECT_EQ(result.rows[7].why, told[2]);
    EXPECT_FALSE(hasKey("\\A\\Old"));
    EXPECT_EQ(textOf("\\B", "keep"), "old");
}

TEST_F(BulkEditsTest, ARefusingRegistryStopsTheDeleteKeepingTheRowsWithWorkLeft)
{
    const std::vector<ResultRow> rows = {row("B\\", "missing"), row("A\\Old\\", "oldName"),
                                         row("A\\Old\\Inner\\")};
    Recorder recorder;
    recorder.refuseFrom = 1;
    const BulkEditResult result = deleteRows(rows, recorder);
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(statesOf(result), (std::vector<State>{State::Failed, State::Left, State::Left}));
    EXPECT_TRUE(recorder.told.empty()); // the observer said why, once
    EXPECT_FALSE(result.changed);
    EXPECT_EQ(textOf("\\A\\Old", "oldName"), "x");
}

TEST_F(BulkEditsTest, ReplacePlanPreviewAndPasses)
{
    setText("\\A\\Old\\Inner", "oldie", "an OLD one");
    const std::vector<ResultRow> rows = {
        row("A\\Old\\"),                                // the key: moved last
        row("A\\Old\\Inner\\", "oldie", "REG_SZ", "x"), // data and name
        row("A\\Old\\Inner\\", "oldie"),                // the same value's other row
        row("A\\Old\\", "(Standard)", "REG_SZ", "old default", true),
        row("B\\", "keep", "REG_SZ", "old"),
    };
    const BulkReplacePlan plan = planBulkReplace(rows, "OLD", "new");
    ASSERT_EQ(plan.rows.size(), rows.size());
    EXPECT_EQ(plan.rows[0].newBranch, "A\\new\\");
    EXPECT_EQ(plan.rows[1].newValueName, "newie");
    EXPECT_FALSE(plan.rows[3].newValueName); // the default value keeps its name
    EXPECT_EQ(plan.keyMoves, (std::vector<std::size_t>{1, 2, 0, 3, 4}));

    const std::vector<ReplacePreview> preview = previewReplace(rows, plan);
    EXPECT_EQ(preview[1].after, row("A\\Old\\Inner\\", "newie", "REG_SZ", "an new one"));
    EXPECT_EQ(preview[3].after.value, "new default");
    EXPECT_EQ(preview[0].after.branch, "A\\new\\");
    EXPECT_EQ(preview[4].before, rows[4]);
    EXPECT_EQ(textOf("\\A\\Old", ""), "old default"); // a preview changes nothing

    Recorder recorder;
    const BulkEditResult result = replaceInRows(rows, plan, recorder);
    EXPECT_TRUE(recorder.told.empty());
    // Data of three values, one value name, one key name.
    EXPECT_EQ(result.counted, 5);
    // The default value's row is in the key moved by the first row.
    EXPECT_EQ(statesOf(result), (std::vector<State>{State::Done, State::Done, State::Taken,
                                                    State::Taken, State::Done}));
    EXPECT_EQ(textOf("\\A\\new\\Inner", "newie"), "an new one");
    EXPECT_EQ(textOf("\\A\\new", ""), "new default");
    EXPECT_EQ(textOf("\\B", "keep"), "new");
    EXPECT_FALSE(hasKey("\\A\\Old"));
}

TEST_F(BulkEditsTest, AFailedRenameIsToldOrStopsTheReplace)
{
    setText("\\A\\Old", "newName", "in the way");
    setText("\\A\\Old2", "old", "y");
    const std::vector<ResultRow> rows = {row("A\\Old\\", "oldName"), row("A\\Old2\\", "old"),
                                         row("A\\Old2\\")};
    const BulkReplacePlan plan = planBulkReplace(rows, "old", "new");
    {
        Recorder recorder;
        const BulkEditResult result = replaceInRows(rows, plan, recorder);
        EXPECT_EQ(recorder.told,
                  (std::vector<std::string>{"not replaced: HKEY_CURRENT_USER\\A\\Old\\oldName: "
                                            "a value named newName already exists"}));
        EXPECT_EQ(statesOf(result), (std::vector<State>{State::Failed, State::Done, State::Taken}));
        EXPECT_EQ(result.counted, 2);
        EXPECT_TRUE(hasKey("\\A\\new2"));
    }
    setActiveStore(std::make_shared<KeyStore>());
    setText("\\A\\Old", "oldName", "x");
    setText("\\A\\Old", "newName", "in the way");
    setText("\\A\\Old2", "old", "y");
    Recorder recorder;
    recorder.refuseFrom = 1;
    const BulkEditResult result = replaceInRows(rows, plan, recorder);
    // Stopped at the first rename: the later rename and the key's move are left.
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(statesOf(result), (std::vector<State>{State::Failed, State::Left, State::Left}));
    EXPECT_TRUE(hasKey("\\A\\Old2"));
    EXPECT_EQ(textOf("\\A\\Old2", "old"), "y");
}

} // namespace
