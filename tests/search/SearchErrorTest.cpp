// A registry read that fails in the middle of a run: the run ends at once, the
// application's error display shows the message, and none of the closing steps run.
#include "tests/search/SearchFixture.h"

#include <QHeaderView>

#include <cstring>

namespace {

// The value whose data cannot be fetched (asking for its size still works).
const char *g_failingValue = nullptr;

} // namespace

extern "C" LSTATUS WINAPI __real_RegQueryValueExA(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);

extern "C" LSTATUS WINAPI __wrap_RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved,
                                                  LPDWORD type, LPBYTE data, LPDWORD count)
{
    if (g_failingValue && data && name && std::strcmp(name, g_failingValue) == 0)
        return ERROR_ACCESS_DENIED;
    return __real_RegQueryValueExA(key, name, reserved, type, data, count);
}

namespace {

class SearchErrorTest : public SearchFixture
{
protected:
    void TearDown() override
    {
        g_failingValue = nullptr;
        SearchFixture::TearDown();
    }
};

TEST_F(SearchErrorTest, ReadErrorEndsTheRunWithoutItsClosingSteps)
{
    setText(HKEY_LOCAL_MACHINE, "A", "first", "boom");
    setText(HKEY_LOCAL_MACHINE, "A", "gone", "boom");
    setText(HKEY_LOCAL_MACHINE, "B", "later", "boom");
    g_failingValue = "gone";
    form->Edit1->setText("boom");
    // A real click, so the error passes through the application like any event's.
    QTest::mouseClick(form->Button1, Qt::LeftButton);

    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].kind, Dialogs::TDialogKind::ErrorDisplay);
    EXPECT_EQ(boxes()[0].caption, "Quarnel");
    // No period: the quote sorts before it.
    EXPECT_EQ(boxes()[0].text, "Fehler beim Holen der Daten f\xc3\xbcr 'gone'");

    EXPECT_EQ(form->Button1->text(), "St&op");
    EXPECT_TRUE(form->Button1->isCancel());
    EXPECT_FALSE(form->Edit1->isEnabled());
    EXPECT_FALSE(form->Edit2->isEnabled());
    EXPECT_FALSE(form->FoundLV->header()->sectionsClickable());
    EXPECT_EQ(text(form->lb1), "HKEY_LOCAL_MACHINE"); // no statistics line
    form->RefreshCounter();
    EXPECT_EQ(text(form->lb6), "0 selected / 1 found"); // the row so far, not selected

    // The next press stops; header clicks stay off until a run ends normally.
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    EXPECT_EQ(form->Button1->text(), "&Search");
    EXPECT_FALSE(form->Button1->isCancel());
    EXPECT_TRUE(form->Edit1->isEnabled());
    EXPECT_FALSE(form->FoundLV->header()->sectionsClickable());

    g_failingValue = nullptr;
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    EXPECT_EQ(rows().size(), 3u);
    EXPECT_TRUE(form->FoundLV->header()->sectionsClickable());
}

} // namespace
