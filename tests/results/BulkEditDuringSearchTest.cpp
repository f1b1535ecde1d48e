// Delete and replace started from a handler that runs inside a search run's
// message-loop pass: they act on the rows found so far and the run goes on.
#include "tests/results/BulkEditFixture.h"

#include "search/SearchRunState.h"
#include "widgets/TButton.h"

#include <QLineEdit>
#include <QTimer>

#include <algorithm>
#include <functional>

namespace {

const std::string kSame("same\0", 5);

std::string keyOf(int i)
{
    return "K" + std::to_string(100 + i);
}

} // namespace

class BulkEditDuringSearchTest : public BulkEditTest
{
protected:
    BulkEditDuringSearchTest()
    {
        searchrun::setMessageStepGapNs(0);
        for (int i = 0; i < 20; ++i)
            setValue(keyOf(i), "v", kSame, TValueKind::vkString, HKEY_LOCAL_MACHINE);
    }

    // Once the run has found `rows` rows: select them and press `button`. The steps
    // end with the run, so none outlives the test.
    void pressWhenFound(int rows, TButton *button)
    {
        m_step = [this, rows, button] {
            if (form().Button1->text() != QStringLiteral("St&op")) return;
            if (model().totalRows() < rows) {
                QTimer::singleShot(0, m_step);
                return;
            }
            form().FoundLVSelectAll();
            button->click();
            m_pressed = true;
        };
        QTimer::singleShot(0, m_step);
    }

    void search(const std::string &text)
    {
        form().Edit1->setText(QString::fromUtf8(text.c_str()));
        form().Button1->click();
    }

    // Keys whose value the operation changed, and whether the rest are all listed.
    int changedKeys(const std::string &unchanged)
    {
        const std::vector<ResultRow> listedRows = rows();
        int changed = 0;
        for (int i = 0; i < 20; ++i) {
            const bool same = valueBytes(keyOf(i), "v", nullptr, HKEY_LOCAL_MACHINE) == unchanged;
            changed += !same;
            const bool listed =
                std::any_of(listedRows.begin(), listedRows.end(),
                            [&](const ResultRow &r) { return r.branch == keyOf(i) + '\\'; });
            EXPECT_EQ(listed, same) << keyOf(i);
        }
        return changed;
    }

    bool m_pressed = false;

private:
    std::function<void()> m_step;
};

TEST_F(BulkEditDuringSearchTest, DeleteActsOnTheRowsFoundSoFarAndTheRunGoesOn)
{
    pressWhenFound(5, form().Button3);

    search("same");

    ASSERT_TRUE(m_pressed);
    EXPECT_EQ(form().Button1->text(), QStringLiteral("&Search"));
    EXPECT_FALSE(hasValue("K100", "v", HKEY_LOCAL_MACHINE));
    const int deleted = changedKeys(kSame);
    EXPECT_GE(deleted, 5);
    EXPECT_EQ(int(rows().size()), 20 - deleted);
    EXPECT_EQ(rows().back().branch, "K119\\");
}

TEST_F(BulkEditDuringSearchTest, ReplaceActsOnTheRowsFoundSoFarAndTheRunGoesOn)
{
    form().Edit2->setText(QStringLiteral("SAMEx"));
    pressWhenFound(3, form().Button4);

    search("same");

    ASSERT_TRUE(m_pressed);
    EXPECT_EQ(form().Button1->text(), QStringLiteral("&Search"));
    EXPECT_EQ(valueBytes("K100", "v", nullptr, HKEY_LOCAL_MACHINE), std::string("SAMEx\0", 6));
    const int replaced = changedKeys(kSame);
    EXPECT_GE(replaced, 3);
    EXPECT_EQ(int(rows().size()), 20 - replaced);
}
