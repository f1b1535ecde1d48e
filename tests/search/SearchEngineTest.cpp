// The search engine alone: no window, no event loop, a registry in memory.
#include "search/SearchEngine.h"
#include "registry/api/TRegistry.h"
#include "registry/win32/KeyStore.h"
#include "search/Matcher.h"
#include "tests/support/SmallStack.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

// Rows as their cells in failure messages.
inline void PrintTo(const ResultRow &row, std::ostream *out)
{
    *out << '[' << row.root << '|' << row.branch << '|' << row.name << '|' << row.type << '|'
         << row.value << (row.defaultValue ? "|default]" : "]");
}

using quarnel::platform::KeyStore;
using quarnel::platform::setActiveStore;

namespace {

void setValue(const std::string &path, const std::string &name, DWORD type,
              const std::string &bytes)
{
    TRegistry reg;
    reg.SelectRoot(HKEY_CURRENT_USER);
    ASSERT_TRUE(reg.CreatePath(path));
    ASSERT_TRUE(reg.OpenPath(path));
    ASSERT_EQ(RegSetValueExA(reg.KeyHandle(), name.c_str(), 0, type,
                             reinterpret_cast<const BYTE *>(bytes.data()), DWORD(bytes.size())),
              ERROR_SUCCESS);
}

ResultRow row(std::string branch, std::string name = {}, std::string type = {},
              std::string value = {}, bool defaultValue = false)
{
    return {"HKEY_CURRENT_USER", std::move(branch), std::move(name),
            std::move(type),     std::move(value),  defaultValue};
}

class SearchEngineTest : public ::testing::Test
{
protected:
    void SetUp() override { setActiveStore(std::make_shared<KeyStore>()); }
};

TEST_F(SearchEngineTest, RowsTheirCellsAndTheirOrder)
{
    const std::string top = "\\Software\\Quarnel";
    setValue(top + "\\Alpha", "", REG_SZ, std::string("my ALPHA\0alpha after the NUL", 28));
    setValue(top + "\\Alpha", "alphaCount", REG_DWORD, std::string("\1\0\0\0", 4));
    setValue(top + "\\Alpha", "list", REG_MULTI_SZ, std::string("one\0alpha two\0\0", 16));
    setValue(top + "\\Alpha", "alphaBoth", REG_EXPAND_SZ, std::string("%alpha%\0", 8));
    setValue(top + "\\Alpha", "hidden", REG_SZ, std::string("x\0alpha\0", 8));
    setValue(top + "\\Alpha\\Deeper", "beta", REG_SZ, std::string("no hit\0", 7));
    setValue(top + "\\Zeta", "alpha", REG_BINARY, "alpha");

    SearchStatistics counts;
    const auto scope = SearchScope::parse("hkey_current_user\\\\Software\\Quarnel\\");
    ASSERT_TRUE(scope);
    const std::vector<ResultRow> rows = searchRows("ALPHA", *scope, &counts);
    const std::string alpha = "Software\\Quarnel\\Alpha\\";
    const std::vector<ResultRow> expected = {
        row(alpha),
        row(alpha, "(Standard)", "REG_SZ", "my ALPHA", true),
        row(alpha, "alphaBoth"),
        row(alpha, "alphaBoth", "REG_EXPAND_SZ", "%alpha%"),
        row(alpha, "alphaCount"),
        row(alpha, "list", "REG_MULTI_SZ", "one alpha two "),
        row(alpha + "Deeper\\"),
        row("Software\\Quarnel\\Zeta\\", "alpha"),
    };
    EXPECT_EQ(rows, expected);
    EXPECT_EQ(counts.keys, 3);   // Alpha, Deeper, Zeta: the starting key is not counted
    EXPECT_EQ(counts.values, 7); // every value listed, hit or not
    EXPECT_FALSE(counts.keysBeyondDepth);

    // A value really named "(Standard)" is no default value.
    setValue(top + "\\Zeta", "(Standard)", REG_SZ, std::string("alpha\0", 6));
    const std::vector<ResultRow> again =
        searchRows("alpha", SearchScope::below(1, "\\Software\\Quarnel\\Zeta"));
    const std::string zeta = "Software\\Quarnel\\Zeta\\";
    EXPECT_EQ(again, (std::vector<ResultRow>{row(zeta, "(Standard)", "REG_SZ", "alpha"),
                                             row(zeta, "alpha")}));
}

TEST_F(SearchEngineTest, OptionsChooseWhatIsTestedAndTheCellsOfNumberAndBinaryRows)
{
    const std::string top = "\\Software\\Opt";
    setValue(top + "\\Version", "Version", REG_SZ, std::string("1920\0", 5));
    setValue(top + "\\Version", "FileVersion", REG_DWORD, std::string("\x80\x07\0\0", 4));
    setValue(top + "\\Version", "Big", REG_DWORD_BIG_ENDIAN, std::string("\0\0\x07\x80", 4));
    setValue(top + "\\Version", "Wide", REG_QWORD, std::string("\x80\x07\0\0\0\0\0\0", 8));
    setValue(top + "\\Version", "Blob", REG_BINARY, std::string("\xDE\xAD\xBE\xEF", 4));
    setValue(top + "\\Version", "Text16", REG_NONE, std::string("v\0e\0r\0", 6));
    setValue(top + "\\OldVersions", "list", REG_MULTI_SZ, std::string("version\0x\0\0", 12));
    const auto scope = SearchScope::parse("HKEY_CURRENT_USER\\Software\\Opt");
    ASSERT_TRUE(scope);
    const auto rows = [&](std::string_view text, SearchOptions options) {
        return searchRows(Matcher(text, options), *scope);
    };
    const std::string version = "Software\\Opt\\Version\\";
    const std::string old = "Software\\Opt\\OldVersions\\";

    SearchOptions whole;
    whole.wholeText = whole.matchCase = true;
    EXPECT_EQ(rows("Version", whole),
              (std::vector<ResultRow>{row(version), row(version, "Version")}));
    whole.matchCase = false; // the multi-string entry "version" too, whole
    EXPECT_EQ(rows("Version", whole).size(), 3u);
    SearchOptions names;
    names.keys = names.data = false;
    EXPECT_EQ(rows("version", names),
              (std::vector<ResultRow>{row(version, "FileVersion"), row(version, "Version")}));

    // 1920 is 0x780: the string datum, and every number that holds it, shown as the
    // value list shows it.
    SearchOptions numbers;
    numbers.numbers = true;
    EXPECT_EQ(rows("0x780", numbers),
              (std::vector<ResultRow>{row(version, "Big", "REG_DWORD_BIG_ENDIAN", "00000780"),
                                      row(version, "FileVersion", "REG_DWORD", "00000780"),
                                      row(version, "Wide", "REG_QWORD", "0000000000000780")}));
    EXPECT_EQ(rows("1920", numbers).size(), 4u);
    EXPECT_EQ(rows("1920", {}),
              (std::vector<ResultRow>{row(version, "Version", "REG_SZ", "1920")}));

    SearchOptions binary;
    binary.binary = true;
    binary.keys = binary.names = false;
    EXPECT_EQ(rows("de ad be ef", binary),
              (std::vector<ResultRow>{row(version, "Blob", "REG_BINARY", "DE AD BE EF ")}));
    EXPECT_EQ(rows("VER", binary).back(),
              row(version, "Text16", "REG_NONE", "76 00 65 00 72 00 ")); // UTF-16LE, folded
    EXPECT_TRUE(rows("de ad be ef", {}).empty());

    SearchOptions pattern;
    pattern.pattern = true;
    EXPECT_EQ(rows("^\\\\Software\\\\Opt\\\\Old", pattern), (std::vector<ResultRow>{row(old)}));

    // Only keys last written in the range are tested; their subkeys have times of their own.
    SearchOptions later;
    later.changedSince = fileTimeNow() + 36'000'000'000ULL; // an hour ahead
    EXPECT_TRUE(rows("version", later).empty());
    SearchOptions earlier;
    earlier.changedBefore = later.changedSince;
    earlier.changedSince = fileTimeNow() - 36'000'000'000ULL;
    EXPECT_EQ(rows("version", earlier), rows("version", {}));
    EXPECT_EQ(rows("version", {}).size(), 5u);
}

TEST_F(SearchEngineTest, Scopes)
{
    const SearchScope plain = SearchScope::defaultRoots(false);
    EXPECT_EQ(plain.firstRoot, 2);
    EXPECT_EQ(plain.lastRoot, 6);
    EXPECT_EQ(plain.keyPath, "\\");
    EXPECT_EQ(SearchScope::defaultRoots(true).firstRoot, 0);
    const SearchScope key = SearchScope::below(3, "\\S-1-5\\Software");
    EXPECT_EQ(key.firstRoot, 3);
    EXPECT_EQ(key.lastRoot, 3);
    EXPECT_EQ(key.keyPath, "\\S-1-5\\Software\\");
    EXPECT_EQ(SearchScope::below(1, "").keyPath, "\\");
    const auto root = SearchScope::parse("HKEY_DYN_DATA");
    ASSERT_TRUE(root);
    EXPECT_EQ(root->firstRoot, 6);
    EXPECT_EQ(root->keyPath, "\\");
    const auto typed = SearchScope::parse("Computer\\hkcu\\Software");
    ASSERT_TRUE(typed);
    EXPECT_EQ(typed->firstRoot, 1);
    EXPECT_EQ(typed->keyPath, "\\Software\\");
    EXPECT_FALSE(SearchScope::parse("HKEY_CURRENT_USERS\\Software"));
    EXPECT_FALSE(SearchScope::parse(""));
}

// A driver that stops after `valuesAllowed` values and records what it was asked.
class StoppingSink : public SearchSink
{
public:
    explicit StoppingSink(int valuesAllowed) : m_left(valuesAllowed) {}
    std::vector<std::string> rows;
    void found(const ResultRowView &row) override
    {
        rows.push_back(std::string(row.branch) + "|" + std::string(row.name));
    }
    bool nextValue(std::size_t, std::size_t) override { return m_left-- > 0; }
    bool goOn() override { return m_left >= 0; }

private:
    int m_left;
};

TEST_F(SearchEngineTest, AStopEndsTheWalkAfterTheFirstSubkeysOnTheWayOut)
{
    setValue("\\Hit\\HitA", "hit1", REG_DWORD, std::string(4, '\0'));
    setValue("\\Hit\\HitA", "hit2", REG_DWORD, std::string(4, '\0'));
    setValue("\\Hit\\HitA\\HitDeep", "", REG_SZ, std::string("\0", 1));
    setValue("\\Hit\\HitB", "hit3", REG_DWORD, std::string(4, '\0'));

    StoppingSink sink(1);
    const std::string search = "hit";
    SearchEngine engine(search, sink);
    engine.walk(HKEY_CURRENT_USER, "HKEY_CURRENT_USER", "\\Hit\\");
    // The second value asks to stop; the key's first subkey is still entered on the
    // way out (its key row comes before its value asks), HitB is not.
    const std::vector<std::string> expected = {"Hit\\|", "Hit\\HitA\\|", "Hit\\HitA\\|hit1",
                                               "Hit\\HitA\\HitDeep\\|"};
    EXPECT_EQ(sink.rows, expected);
}

TEST_F(SearchEngineTest, KeysBelowTheDepthBoundAreLeftOutAndSaidSo)
{
    // The walk keeps its own stack: a thread with a small one walks the bound's depth.
    std::string path;
    for (int level = 0; level < SearchEngine::kMaxWalkDepth + 3; ++level)
        path += "\\k";
    setValue(path, "deep", REG_SZ, std::string("deep\0", 5));
    OnSmallStack([] {
        SearchStatistics counts;
        const std::vector<ResultRow> rows =
            searchRows("k", *SearchScope::parse("HKEY_CURRENT_USER\\k"), &counts);
        // The starting key and the keys down to 512 levels below it; nothing deeper.
        EXPECT_EQ(rows.size(), std::size_t(SearchEngine::kMaxWalkDepth) + 1);
        EXPECT_EQ(counts.keys, SearchEngine::kMaxWalkDepth);
        EXPECT_TRUE(counts.keysBeyondDepth);
    });
    EXPECT_EQ(SearchEngine::keysBeyondDepthText(),
              "Keys more than 512 levels below the searched key were not searched.");
}

} // namespace
