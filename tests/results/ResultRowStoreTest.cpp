#include "results/ResultRowStore.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace {

using Slot = ResultRowStore::Slot;

ResultRow keyRow(std::string branch)
{
    return {"HKEY_LOCAL_MACHINE", std::move(branch), "", "", "", false};
}

void expectRow(const ResultRowStore &store, Slot slot, const ResultRow &row)
{
    EXPECT_EQ(store.row(slot), row);
    for (int column = 0; column < kResultColumnCount; ++column)
        EXPECT_EQ(store.cell(slot, column), row.cell(column)) << "column " << column;
}

} // namespace

TEST(ResultRowStore, RowsReadBackExactly)
{
    const std::vector<ResultRow> rows = {
        keyRow(""), // the root key itself
        keyRow("Software\\Foo\\"),
        {"HKEY_USERS", "Software\\Foo\\", "fooName", "", "", false},
        {"HKEY_USERS", "Software\\Foo\\", "(Standard)", "REG_SZ", "foo", true},
        // A value really named "(Standard)" is told apart only by the flag.
        {"HKEY_USERS", "Software\\Foo\\", "(Standard)", "REG_SZ", "foo", false},
        {"hkey_users", "S\\", "m", "REG_MULTI_SZ", "a b ", false},
        {"HKEY_USERS", "S\\", "n\xC3\xA4", "REG_EXPAND_SZ", std::string("x\0y", 3), false},
        {"HKEY_USERS", "S\\", "", "REG_SZ", std::string(100000, 'v'), true},
    };
    ResultRowStore store;
    std::vector<Slot> slots;
    std::string_view shortRoot, shortType; // short texts live inside their string
    for (const ResultRow &row : rows) {
        slots.push_back(store.add(row));
        if (slots.size() == 4) {
            shortRoot = store.cell(slots[3], kColRoot);
            shortType = store.cell(slots[3], kColType);
        }
    }
    for (std::size_t i = 0; i < rows.size(); ++i)
        expectRow(store, slots[i], rows[i]);
    // Later Roots and Types were added; views taken before them stay where they were.
    EXPECT_EQ(store.cell(slots[3], kColRoot).data(), shortRoot.data());
    EXPECT_EQ(store.cell(slots[3], kColType).data(), shortType.data());
    EXPECT_EQ(store.cell(slots[1], 9), "HKEY_LOCAL_MACHINE"); // out of range reads as Root

    store.clear();
    const Slot again = store.add(rows[3]);
    expectRow(store, again, rows[3]);
}

TEST(ResultRowStore, SharedBranchOutlivesTheRowsThatMadeIt)
{
    // Run under valgrind or a sanitizer, a text freed too early shows here.
    ResultRowStore store;
    const ResultRow first = keyRow("Software\\Shared\\");
    const ResultRow second{"HKEY_LOCAL_MACHINE", "Software\\Shared\\", "v", "REG_SZ", "d", false};
    const ResultRow third{"HKEY_USERS", "Software\\Shared\\", "w", "", "", false};
    const Slot a = store.add(first);
    const Slot b = store.add(second);
    const Slot c = store.add(third);
    EXPECT_EQ(store.cell(a, kColBranch).data(), store.cell(c, kColBranch).data());

    store.remove(a);
    store.remove(b);
    expectRow(store, c, third);

    // The same Branch after another one: not shared, but read back all the same.
    const Slot other = store.add(keyRow("Software\\Other\\"));
    const Slot later = store.add(first);
    store.remove(c);
    expectRow(store, later, first);

    // Freed slots are reused, and a reused slot reads its new row only.
    const ResultRow fresh{"HKEY_CURRENT_CONFIG", "X\\", "name", "REG_SZ", "value", false};
    const Slot reused = store.add(fresh);
    EXPECT_TRUE(reused == a || reused == b || reused == c);
    expectRow(store, reused, fresh);
    expectRow(store, other, keyRow("Software\\Other\\"));
    store.remove(later);
    store.remove(other);
    store.remove(reused);
    expectRow(store, store.add(first), first);
}

TEST(ResultRowStore, RowsLeftReadBackAfterTheRestIsReclaimed)
{
    // Enough removed text for the arena to be rebuilt, and shared Branches whose
    // first rows go.
    ResultRowStore store;
    std::vector<std::pair<Slot, ResultRow>> kept;
    std::vector<Slot> doomed;
    for (int i = 0; i < 600; ++i) {
        const ResultRow row{i % 2 ? "HKEY_USERS" : "HKEY_LOCAL_MACHINE",
                            "Key" + std::to_string(i / 4) + "\\",
                            i % 4 ? "n" + std::to_string(i) : "",
                            i % 4 == 3 ? "REG_SZ" : "",
                            i % 4 == 3 ? std::string(4000, char('a' + i % 26)) : "",
                            false};
        const Slot slot = store.add(row);
        if (i % 3 == 0)
            kept.emplace_back(slot, row);
        else
            doomed.push_back(slot);
    }
    for (Slot slot : doomed)
        store.remove(slot);
    const char *before = store.cell(kept.back().first, kColValue).data();
    store.compact();
    ASSERT_NE(store.cell(kept.back().first, kColValue).data(), before) << "not rebuilt";
    for (const auto &[slot, row] : kept)
        expectRow(store, slot, row);
    const ResultRow after{"HKEY_USERS", "Key0\\", "x", "REG_SZ", "y", false};
    expectRow(store, store.add(after), after);
}
