// The texts of the result rows, stored compactly. A search may list hundreds of
// thousands of rows; as five strings each they cost over 400 bytes a row. Here a
// row is a 24-byte record: its Root and Type are indexes into tables of the few
// distinct texts, its Branch is a counted text shared with the rows before it of
// the same key (the walker adds a key's rows one after the other), and the texts
// lie side by side in an arena, without an allocation each.
//
// Rows live in numbered slots; a removed row's slot is reused. Cells are views
// into the store, valid until the next remove, compact or clear.
#pragma once

#include "results/TextArena.h"
#include "search/ResultRow.h"

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

class ResultRowStore
{
public:
    using Slot = std::uint32_t;

    Slot add(const ResultRowView &row);
    void remove(Slot slot);
    // Copies the texts still in use into a fresh arena once the texts of removed
    // rows take up more room than they do.
    void compact();
    void clear();

    // Column 0..4; any other index reads as the Root cell.
    std::string_view cell(Slot slot, int column) const;
    ResultRow row(Slot slot) const;

private:
    struct Branch
    {
        const char *text = nullptr;
        std::uint32_t size = 0;
        std::uint32_t refs = 0;
    };
    struct Packed
    {
        const char *text = nullptr; // Name bytes, then Value bytes
        std::uint32_t nameSize = 0;
        std::uint32_t valueSize = 0;
        std::uint32_t branch = 0; // index in m_branches; 0 is the root key's empty Branch
        std::uint16_t root = 0;   // index in m_roots
        std::uint8_t type = 0;    // index in m_types; 0 is the empty text
        bool defaultValue = false;
    };

    std::uint32_t shareBranch(std::string_view branch);
    void releaseBranch(std::uint32_t index);
    std::string_view branchText(std::uint32_t index) const;

    TextArena m_arena;
    std::size_t m_deadBytes = 0; // texts in the arena that no row uses any more
    // Blocks, not one array: no copy and no spare half when they grow.
    std::deque<Packed> m_rows;
    std::vector<Slot> m_freeSlots;
    std::deque<Branch> m_branches{Branch{}};
    std::vector<std::uint32_t> m_freeBranches;
    std::uint32_t m_lastBranch = 0; // holds a reference of its own
    // Deques: a cell's view of a Root or Type text stays put when a new one is added.
    std::deque<std::string> m_roots;
    std::deque<std::string> m_types{std::string()};
};
