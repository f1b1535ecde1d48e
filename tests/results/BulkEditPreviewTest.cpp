// What a bulk edit's question tells before it runs, against what the edit then
// does; and the text forms of result rows (Copy, Export…, the command line's tsv).
#include "results/BulkEditPreview.h"
#include "registry/api/TRegistry.h"
#include "registry/text/CellText.h"
#include "registry/win32/KeyStore.h"
#include "registry/win32/WideText.h"
#include "results/BulkEdits.h"
#include "results/RowExport.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

using quarnel::platform::KeyStore;
using quarnel::platform::setActiveStore;
using State = BulkRowOutcome::State;
using What = PreviewChange::What;

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

bool hasKey(const std::string &full)
{
    TRegistry reg;
    reg.SelectRoot(HKEY_CURRENT_USER);
    return reg.HasKey(full.substr(kUser.size()));
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

class BulkEditPreviewTest : public ::testing::Test
{
protected:
    void SetUp() override { setActiveStore(std::make_shared<KeyStore>()); }
};

} // namespace

TEST_F(BulkEditPreviewTest, ReplacePreviewIsWhatTheReplaceDoesRowForRow)
{
    setText("\\P\\afoo\\deepfoo", "k", "1");
    setText("\\P\\fooa", "k", "1");
    setText("\\P\\foo", "k", "1");
    setText("\\P\\V", "xfoo", "1");
    setText("\\P\\V", "yfoo", "1");
    setText("\\P\\V", "y", "there");
    setText("\\P\\V", "d", "1foo2");
    setText("\\P\\V", "zfoo", "foo!");
    setText("\\P\\V", "e", "nothing here now");
    setText("\\P\\V", "wfoo", "foo");
    setText("\\P\\V", "w", "in the way");
    setText("\\P\\Mfoo", "nfoo", "1");
    setText("\\P\\M", "k", "in the way");
    // Search "foo", replace by nothing: every kind of change and of refusal.
    const std::vector<ResultRow> rows = {
        row("P\\afoo\\"),                        // moves to P\a
        row("P\\fooa\\"),                        // P\a is the first row's by then: refused
        row("P\\foo\\"),                         // nothing left of its name: refused
        row("P\\V\\", "xfoo"),                   // renamed x
        row("P\\V\\", "yfoo"),                   // y exists: refused
        row("P\\V\\", "d", "REG_SZ", "1foo2"),   // data 12
        row("P\\V\\", "zfoo"),                   // renamed z
        row("P\\V\\", "zfoo", "REG_SZ", "foo!"), // data "!", its name with the row above
        row("P\\afoo\\deepfoo\\"),               // deeper: moves first, to afoo\deep
        row("P\\gonefoo\\"),                     // never there: refused
        row("P\\V\\", "e", "REG_SZ", "foo"),     // the data has no hit now: nothing
        // Refused whole: its data would change, but w exists.
        row("P\\V\\", "wfoo", "REG_SZ", "foo"),
        // Refused whole: the rename would do, but P\M exists.
        row("P\\Mfoo\\", "nfoo"),
    };
    BulkReplacePlan plan = planBulkReplace(rows, "FOO", "");
    const BulkReplacePreview preview = previewBulkReplace(rows, plan);

    std::vector<std::vector<What>> kinds;
    for (const RowPreview &p : preview.rows) {
        kinds.emplace_back();
        for (const PreviewChange &c : p.changes)
            kinds.back().push_back(c.what);
    }
    const std::vector<std::vector<What>> expectedKinds = {{What::Key},
                                                          {},
                                                          {},
                                                          {What::ValueName},
                                                          {},
                                                          {What::Data},
                                                          {What::ValueName},
                                                          {What::Data},
                                                          {What::Key},
                                                          {},
                                                          {},
                                                          {},
                                                          {}};
    EXPECT_EQ(kinds, expectedKinds);
    std::vector<bool> refused;
    for (const RowPreview &p : preview.rows)
        refused.push_back(!p.refused.empty());
    EXPECT_EQ(refused, (std::vector<bool>{false, true, true, false, true, false, false, false,
                                          false, true, false, true, true}));
    EXPECT_TRUE(preview.rows[7].takenAlong);
    EXPECT_EQ(preview.rows[8].changes[0].after, kUser + "\\P\\afoo\\deep");
    // Each with the registry's own reason, which the replace gives too.
    EXPECT_EQ(preview.rows[1].refused, "the key HKEY_CURRENT_USER\\P\\a already exists");
    EXPECT_EQ(preview.rows[4].refused, "a value named y already exists");
    EXPECT_EQ(preview.rows[11].refused, "a value named w already exists");
    EXPECT_EQ(preview.rows[12].refused, "the key HKEY_CURRENT_USER\\P\\M already exists");
    // A row counts as changed or as refused, never both.
    EXPECT_EQ(preview.summary(), "6 changes in 6 items, 6 items refused.");
    const std::string details = preview.details(rows);
    EXPECT_NE(details.find("data of HKEY_CURRENT_USER\\P\\V\\d: \"1foo2\" \xE2\x86\x92 \"12\"\n"),
              std::string::npos)
        << details;
    EXPECT_NE(details.find("refused: HKEY_CURRENT_USER\\P\\foo\\: nothing would be left"),
              std::string::npos)
        << details;

    BulkEditObserver quiet;
    const BulkEditResult result = replaceInRows(rows, plan, quiet);
    // Refused rows are the ones the replace kept, with the same reason; everything
    // shown was done, counted.
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(result.rows[i].state == State::Failed, refused[i]) << "row " << i;
        if (refused[i] && i != 9) { // the key that never was fails to open first
            EXPECT_NE(result.rows[i].why.find(": " + preview.rows[i].refused), std::string::npos)
                << result.rows[i].why;
        }
    }
    EXPECT_EQ(std::size_t(result.counted), preview.changes);
    // Each change shown is in the registry now: data under the value's new name, a
    // key where its own move and then the moves of keys above it put it.
    std::map<std::string, std::string> nameNow;
    for (std::size_t i = 0; i < rows.size(); ++i)
        for (const PreviewChange &change : preview.rows[i].changes)
            if (change.what == What::ValueName) nameNow[rowValueId(rows[i])] = change.after;
    for (std::size_t i = 0; i < rows.size(); ++i)
        for (const PreviewChange &change : preview.rows[i].changes) {
            switch (change.what) {
            case What::Data:
                EXPECT_EQ(textOf("\\P\\V", nameNow.count(rowValueId(rows[i]))
                                               ? nameNow[rowValueId(rows[i])]
                                               : rows[i].name),
                          change.after)
                    << "row " << i;
                break;
            case What::ValueName:
                EXPECT_EQ(textOf("\\P\\V", change.before), "-") << "row " << i;
                EXPECT_NE(textOf("\\P\\V", change.after), "-") << "row " << i;
                break;
            case What::Key: {
                std::string now = change.after;
                for (std::size_t j : plan.keyMoves)
                    for (const PreviewChange &above : preview.rows[j].changes)
                        if (above.what == What::Key && now.rfind(above.before + "\\", 0) == 0)
                            now = above.after + now.substr(above.before.size());
                EXPECT_FALSE(hasKey(change.before)) << "row " << i;
                EXPECT_TRUE(hasKey(now)) << now;
                break;
            }
            }
        }
    EXPECT_EQ(textOf("\\P\\V", "z"), "!");
    EXPECT_TRUE(hasKey(kUser + "\\P\\fooa"));
    EXPECT_EQ(textOf("\\P\\V", "e"), "nothing here now");
    EXPECT_EQ(textOf("\\P\\V", "wfoo"), "foo");
    EXPECT_EQ(textOf("\\P\\Mfoo", "nfoo"), "1");
}

TEST_F(BulkEditPreviewTest, DeleteCountsEachKeyOnceWithWhatLiesBelowIt)
{
    setText("\\K1", "v", "1");
    setText("\\K1", "w", "2");
    setText("\\K1\\Sub\\Deeper", "x", "3");
    setText("\\K2", "v", "4");
    setText("\\K3", "", "5");
    const std::vector<ResultRow> rows = {
        row("K1\\", "v"),                               // in K1: goes with it
        row("K1\\"),                                    // 2 subkeys, 3 values
        row("k1\\Sub\\"),                               // below K1 (letter case aside)
        row("K2\\", "v"),                               //
        row("K2\\", "v", "REG_SZ", "x"),                // the same value again
        row("K2\\", "(Standard)", "REG_SZ", "d", true), // emptied
        row("K3\\"),                                    // its default value
        row("Gone\\"),                                  // not there: refused
        row("", ""),                                    // a root key: never deleted
    };
    const DeletePreview preview = previewDelete(rows);
    EXPECT_EQ(preview.removed.keys, 2u);
    EXPECT_EQ(preview.removed.subkeys, 2u);
    EXPECT_EQ(preview.removed.keyValues, 4u);
    EXPECT_EQ(preview.removed.values, 1u);
    EXPECT_EQ(preview.emptied, 1u);
    EXPECT_EQ(preview.refused, 2u);
    EXPECT_EQ(preview.summary(), "Removes 2 keys with 2 subkeys and 4 values in them, and 1 other "
                                 "value, empties 1 default value; 2 items are refused.");
    EXPECT_EQ(preview.details(), "refused: HKEY_CURRENT_USER\\Gone (the key is gone)\n"
                                 "key HKEY_CURRENT_USER\\K1 with 2 subkeys and 3 values in it\n"
                                 "key HKEY_CURRENT_USER\\K3 with 0 subkeys and 1 value in it\n"
                                 "value HKEY_CURRENT_USER\\K2\\v\n"
                                 "default value of HKEY_CURRENT_USER\\K2 (emptied)\n"
                                 "refused: HKEY_CURRENT_USER (a root key is never deleted)\n");
}

TEST_F(BulkEditPreviewTest, RowsAsCopiedAndExportedText)
{
    // Tabs, line breaks and backslashes stay on one line in tsv; csv quotes what needs it.
    EXPECT_EQ(tsvEscaped("a\tb\nc\rd\\e"), "a\\tb\\nc\\rd\\\\e");
    EXPECT_EQ(csvField("plain"), "plain");
    EXPECT_EQ(csvField("a,b"), "\"a,b\"");
    EXPECT_EQ(csvField("say \"hi\"\r\nnow"), "\"say \"\"hi\"\"\r\nnow\"");
    const std::vector<ResultRow> rows = {row("Soft\\Tab\\", "n\tm", "REG_SZ", "1,2"),
                                         row("Soft\\", "", "", "")};
    EXPECT_EQ(copiedRows(rows), "HKEY_CURRENT_USER\tSoft\\\\Tab\\\\\tn\\tm\tREG_SZ\t1,2\n"
                                "HKEY_CURRENT_USER\tSoft\\\\\t\t\t\n");
    EXPECT_EQ(exportRows(rows, RowFormat::Csv),
              "Root,Branch,Name,Type,Value\r\n"
              "HKEY_CURRENT_USER,Soft\\Tab\\,n\tm,REG_SZ,\"1,2\"\r\n"
              "HKEY_CURRENT_USER,Soft\\,,,\r\n");
    EXPECT_EQ(exportRows(rows, RowFormat::Tsv).substr(0, 28), "Root\tBranch\tName\tType\tValue\n");
    EXPECT_EQ(keyPathText(rows[0]), "HKEY_CURRENT_USER\\Soft\\Tab");
    EXPECT_EQ(keyPathText(row("")), "HKEY_CURRENT_USER");

    // A value gone since its row was found is left out of a .reg, never removed by it.
    setText("\\Soft", "here", "x");
    const std::string reg =
        exportRows({row("Soft\\", "here"), row("Soft\\", "gone")}, RowFormat::Reg);
    const std::u16string units = utf16leUnits(reg);
    EXPECT_EQ(units.substr(0, 1), u"\xFEFF");
    EXPECT_NE(units.find(u"\"here\"=\"x\""), std::u16string::npos);
    EXPECT_EQ(units.find(u"gone"), std::u16string::npos);
}

// Registry text is data: whatever a prefix holds, a tsv or text cell carries no
// control character to a terminal and is valid UTF-8, and the escapes say which
// bytes stood there.
TEST(CellText, ControlCharactersAndFaultyUtf8AreEscaped)
{
    struct Case
    {
        std::string cell, tsv, screen;
    };
    const Case cases[] = {
        {"\x1B]0;pwned\x07\x1B[31m", "\\x1B]0;pwned\\x07\\x1B[31m", "\\x1B]0;pwned\\x07\\x1B[31m"},
        {std::string("a\0b\x7F", 4), "a\\x00b\\x7F", "a\\x00b\\x7F"},
        {"c:\\x\ty\r\n", "c:\\\\x\\ty\\r\\n", "c:\\x\\ty\\r\\n"},
        {"\xC2\x9B"
         "31m\xC2\x80\xC2\xA0",
         "\\u009B31m\\u0080\xC2\xA0", "\\u009B31m\\u0080\xC2\xA0"},          // C1, NBSP kept
        {"\xED\xA0\x80-\xED\xBF\xBF", "\\uD800-\\uDFFF", "\\uD800-\\uDFFF"}, // lone halves
        {"\xFF\xC0\xAF\xE2\x82", "\\xFF\\xC0\\xAF\\xE2\\x82", "\\xFF\\xC0\\xAF\\xE2\\x82"},
        {"\xE0\x80\x80\xF4\x90\x80\x80", "\\xE0\\x80\\x80\\xF4\\x90\\x80\\x80",
         "\\xE0\\x80\\x80\\xF4\\x90\\x80\\x80"}, // overlong, beyond U+10FFFF
        {"\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80", "\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80",
         "\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(tsvEscaped(c.cell), c.tsv);
        EXPECT_EQ(screenText(c.cell), c.screen);
    }
    // A message of several lines keeps its line breaks and tabs, nothing else.
    EXPECT_EQ(screenText("a\n\tb\r\x1B", true), "a\n\tb\\r\\x1B");
}
