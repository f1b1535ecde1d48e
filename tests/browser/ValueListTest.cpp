#include "tests/browser/BrowserFixture.h"

#include "app/UnitState.h"

namespace {

std::string sz(const std::string &text)
{
    return text + std::string(1, '\0');
}

TEST_F(BrowserTest, EveryKindShowsItsTexts)
{
    const std::string path = "\\Kinds";
    value(path, "", std::string("\x05\0\0\0", 4), REG_DWORD);
    value(path, "text", sz("abc"), REG_SZ);
    value(path, "empty", sz(""), REG_SZ);
    value(path, "path", sz("%SystemRoot%\\x"), REG_EXPAND_SZ);
    value(path, "dword", std::string("\xFF\0\0\0", 4), REG_DWORD);
    value(path, "bin", std::string("\x00\xAB\x10", 3), REG_BINARY);
    value(path, "multi", std::string("one\0two\0\0", 9), REG_MULTI_SZ);
    value(path, "qword", std::string("\xFE\xFF\xFF\xFF\xFF\xFF\xFF\x7F", 8), REG_QWORD);
    value(path, "qword short", std::string("\x01\x02", 2), REG_QWORD);
    value(path, "big", std::string("\x12\x34\x56\x78", 4), REG_DWORD_BIG_ENDIAN);
    value(path, "none", std::string("\x00\x1B", 2), REG_NONE);
    value(path, "odd", "AB", 0x1234);
    form->RegTV->selectNode(child(open({}), "Kinds"));
    EXPECT_EQ(rows(), (std::vector<Row>{
                          {"", "REG_DWORD", "00000005", kImageBinaryValue},
                          {"(Standard)", "REG_SZ", "(Value not set)", kImageTextValue},
                          {"big", "REG_DWORD_BIG_ENDIAN", "12345678", kImageBinaryValue},
                          {"bin", "REG_BINARY", "00 AB 10 ", kImageBinaryValue},
                          {"dword", "REG_DWORD", "000000FF", kImageBinaryValue},
                          {"empty", "REG_SZ", "(Value not set)", kImageTextValue},
                          {"multi", "REG_MULTI_SZ", "one two ", kImageBinaryValue},
                          {"none", "REG_NONE", "00 1B ", kImageBinaryValue},
                          {"odd", "REG_UNKNOWN", "41 42 ", kImageBinaryValue},
                          {"path", "REG_EXPAND_SZ", "%SystemRoot%\\x", kImageTextValue},
                          {"qword", "REG_QWORD", "7FFFFFFFFFFFFFFE", kImageBinaryValue},
                          {"qword short", "REG_QWORD", "01 02 ", kImageBinaryValue},
                          {"text", "REG_SZ", "abc", kImageTextValue},
                      }));
}

TEST_F(BrowserTest, DefaultTextReplacesThePlaceholder)
{
    value("\\Abc", "", sz("abc"), REG_SZ);
    value("\\Empty", "", sz(""), REG_SZ);
    key("\\None");
    form->RegTV->expandNode(user());
    form->RegTV->selectNode(child(user(), "Abc"));
    EXPECT_EQ(rows(), (std::vector<Row>{{"(Standard)", "REG_SZ", "abc", kImageTextValue}}));
    const std::vector<Row> placeholder{
        {"(Standard)", "REG_SZ", "(Value not set)", kImageTextValue}};
    form->RegTV->selectNode(child(user(), "Empty"));
    EXPECT_EQ(rows(), placeholder);
    form->RegTV->selectNode(child(user(), "None"));
    EXPECT_EQ(rows(), placeholder);
}

TEST_F(BrowserTest, OrderFoldsOnlyAsciiLettersAndHeaderClicksReverseIt)
{
    for (const char *name : {"b", "A", "_u", "1", "Zed", "\xC3\xA4"})
        value("\\Order", name, sz("x"), REG_SZ);
    value("\\Order", "", std::string(4, '\0'), REG_DWORD);
    value("\\Other", "m", sz("x"), REG_SZ);
    form->RegTV->expandNode(user());
    form->RegTV->selectNode(child(user(), "Order"));
    const std::vector<std::string> ascending{"",  "(Standard)", "1",  "A",
                                             "b", "Zed",        "_u", "\xC3\xA4"};
    EXPECT_EQ(names(), ascending);
    const std::vector<std::string> descending(ascending.rbegin(), ascending.rend());

    form->RegLVColumnClick(0); // the sort column starts at 0: the first click reverses
    EXPECT_EQ(names(), descending);
    form->RegLVColumnClick(1);
    EXPECT_EQ(names(), descending);
    form->RegLVColumnClick(1);
    EXPECT_EQ(names(), ascending);
    form->RegLVColumnClick(1);

    // The direction outlives a new selection.
    form->RegTV->selectNode(child(user(), "Other"));
    EXPECT_EQ(names(), (std::vector<std::string>{"m", "(Standard)"}));

    // The column is shared with the result list: a click there on k, then here on k, flips.
    UnitState::sortColumn = 2;
    form->RegLVColumnClick(2);
    EXPECT_EQ(names(), (std::vector<std::string>{"(Standard)", "m"}));
}

TEST_F(BrowserTest, FocusSelectsTheFirstRowWhenNoRowIsFocused)
{
    value("\\Focus", "a", sz("x"), REG_SZ);
    value("\\Focus", "b", sz("x"), REG_SZ);
    form->RegTV->expandNode(user());
    form->RegTV->selectNode(child(user(), "Focus"));
    TListView *list = form->RegLV;
    EXPECT_EQ(list->currentRow(), -1);
    list->setRowSelected(2, true);
    form->RegLVEnter();
    EXPECT_TRUE(list->isRowSelected(0));
    EXPECT_TRUE(list->isRowSelected(2));
    EXPECT_FALSE(list->isRowSelected(1));

    // With a focused row nothing changes.
    list->clearSelection();
    list->setCurrentRow(1, QItemSelectionModel::NoUpdate);
    form->RegLVEnter();
    EXPECT_EQ(list->firstSelectedRow(), -1);
}

// Long data's text is made once and kept for its row: the row shows it wherever
// the order moves it, and the next key's rows show their own.
TEST_F(BrowserTest, LongDataShowsInFullWhereverItsRowMoves)
{
    std::string bytes(5000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7);
    const std::string entries = std::string(3000, 'm') + '\0' + std::string(3000, 'n') + '\0';
    value("\\Long", "blob", bytes, REG_BINARY);
    value("\\Long", "multi", entries + '\0', REG_MULTI_SZ);
    value("\\Other", "blob", bytes.substr(1), REG_BINARY);
    form->RegTV->expandNode(user());
    form->RegTV->selectNode(child(user(), "Long"));
    const std::string binary = BinaryText(bytes.data(), bytes.size());
    const std::string multi = std::string(3000, 'm') + ' ' + std::string(3000, 'n') + ' ';
    const std::vector<Row> ascending{{"(Standard)", "REG_SZ", "(Value not set)", kImageTextValue},
                                     {"blob", "REG_BINARY", binary, kImageBinaryValue},
                                     {"multi", "REG_MULTI_SZ", multi, kImageBinaryValue}};
    EXPECT_EQ(rows(), ascending);
    form->RegLVColumnClick(UnitState::sortColumn);
    EXPECT_EQ(rows(), std::vector<Row>(ascending.rbegin(), ascending.rend()));
    form->RegLVColumnClick(UnitState::sortColumn);

    form->RegTV->selectNode(child(user(), "Other"));
    EXPECT_EQ(rows().at(1).value, BinaryText(bytes.data() + 1, bytes.size() - 1));
}

// A read error ends the fill where it stands: earlier rows stay unsorted, the
// unfinished row has no value, there is no placeholder, and lb2 keeps its text.
TEST_F(BrowserTest, FailedReadLeavesThePartialList)
{
    value("\\Bad", "z", sz("x"), REG_SZ);
    value("\\Bad", "m", std::string(8, '\x01'), REG_DWORD);
    value("\\Bad", "n", sz("y"), REG_SZ);
    value("\\Bad", "a", sz("x"), REG_SZ);
    form->RegTV->expandNode(user());
    form->RegTV->selectNode(user());
    const std::string before = lb2();
    try {
        form->RegTV->selectNode(child(user(), "Bad"));
        ADD_FAILURE() << "no error";
    } catch (const ERegistryException &error) {
        EXPECT_STREQ(error.what(), "Fehler beim Holen der Daten f\xC3\xBCr 'm'");
    }
    EXPECT_EQ(rows(), (std::vector<Row>{{"a", "REG_SZ", "x", kImageTextValue},
                                        {"m", "REG_DWORD", "", kImageBinaryValue}}));
    EXPECT_EQ(lb2(), before);
}

} // namespace
