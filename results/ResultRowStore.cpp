#include "results/ResultRowStore.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

namespace {

// Below this much waste a fresh arena is not worth the copy.
constexpr std::size_t kLeastWaste = 256 * 1024;

std::uint32_t checkedSize(std::size_t size)
{
    if (size > std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("result row text too long");
    return static_cast<std::uint32_t>(size);
}

// Roots and types are a handful of texts: a look through them beats hashing.
template <typename Index> Index intern(std::deque<std::string> &table, std::string_view text)
{
    const auto found = std::find(table.begin(), table.end(), text);
    if (found != table.end()) return Index(found - table.begin());
    if (table.size() > std::numeric_limits<Index>::max())
        throw std::length_error("too many distinct Root or Type texts");
    table.emplace_back(text);
    return Index(table.size() - 1);
}

const char *copyInto(TextArena &arena, const char *text, std::size_t size)
{
    char *room = arena.allocate(size);
    if (size > 0) std::memcpy(room, text, size);
    return room;
}

} // namespace

ResultRowStore::Slot ResultRowStore::add(const ResultRowView &row)
{
    Packed packed;
    packed.root = intern<std::uint16_t>(m_roots, row.root);
    packed.type = intern<std::uint8_t>(m_types, row.type);
    packed.defaultValue = row.defaultValue;
    packed.nameSize = checkedSize(row.name.size());
    packed.valueSize = checkedSize(row.value.size());
    const std::size_t textSize = std::size_t(packed.nameSize) + packed.valueSize;

    // The slot first: once the texts are taken, nothing below may fail.
    if (m_freeSlots.empty()) {
        if (m_rows.size() >= std::numeric_limits<Slot>::max())
            throw std::length_error("too many result rows");
        m_rows.emplace_back();
        m_freeSlots.push_back(Slot(m_rows.size() - 1));
    }
    packed.branch = shareBranch(row.branch);
    try {
        char *text = m_arena.allocate(textSize);
        if (textSize > 0) {
            std::memcpy(text, row.name.data(), row.name.size());
            std::memcpy(text + row.name.size(), row.value.data(), row.value.size());
        }
        packed.text = text;
    } catch (...) {
        releaseBranch(packed.branch);
        throw;
    }
    const Slot slot = m_freeSlots.back();
    m_freeSlots.pop_back();
    m_rows[slot] = packed;
    return slot;
}

void ResultRowStore::remove(Slot slot)
{
    const Packed row = m_rows[slot];
    m_rows[slot] = Packed{};
    m_deadBytes += std::size_t(row.nameSize) + row.valueSize;
    m_freeSlots.push_back(slot);
    releaseBranch(row.branch);
}

void ResultRowStore::compact()
{
    if (m_deadBytes < kLeastWaste || 2 * m_deadBytes < m_arena.used()) return;
    TextArena fresh;
    std::vector<const char *> moved;
    try {
        for (const Branch &branch : m_branches)
            if (branch.refs > 0) moved.push_back(copyInto(fresh, branch.text, branch.size));
        for (const Packed &row : m_rows)
            if (row.text) moved.push_back(copyInto(fresh, row.text, row.nameSize + row.valueSize));
    } catch (const std::bad_alloc &) {
        return; // the old arena still holds every text
    }
    auto next = moved.begin();
    for (Branch &branch : m_branches)
        if (branch.refs > 0) branch.text = *next++;
    for (Packed &row : m_rows)
        if (row.text) row.text = *next++;
    m_arena = std::move(fresh);
    m_deadBytes = 0;
}

void ResultRowStore::clear()
{
    m_arena.clear();
    m_deadBytes = 0;
    std::deque<Packed>().swap(m_rows);
    std::vector<Slot>().swap(m_freeSlots);
    std::deque<Branch>(1).swap(m_branches);
    std::vector<std::uint32_t>().swap(m_freeBranches);
    m_lastBranch = 0;
    m_roots.clear();
    m_types.resize(1);
}

std::string_view ResultRowStore::cell(Slot slot, int column) const
{
    const Packed &row = m_rows[slot];
    switch (column) {
    case kColBranch: return branchText(row.branch);
    case kColName: return {row.text, row.nameSize};
    case kColType: return m_types[row.type];
    case kColValue: return {row.text + row.nameSize, row.valueSize};
    default: return m_roots[row.root];
    }
}

ResultRow ResultRowStore::row(Slot slot) const
{
    const auto text = [this, slot](int column) { return std::string(cell(slot, column)); };
    return ResultRow{text(kColRoot), text(kColBranch), text(kColName),
                     text(kColType), text(kColValue),  m_rows[slot].defaultValue};
}

std::uint32_t ResultRowStore::shareBranch(std::string_view branch)
{
    if (branch.empty()) return 0;
    if (m_lastBranch == 0 || branchText(m_lastBranch) != branch) {
        const std::uint32_t size = checkedSize(branch.size());
        if (m_freeBranches.empty()) {
            if (m_branches.size() >= std::numeric_limits<std::uint32_t>::max())
                throw std::length_error("too many result rows");
            m_branches.emplace_back();
            m_freeBranches.push_back(std::uint32_t(m_branches.size() - 1));
        }
        const char *text = copyInto(m_arena, branch.data(), size);
        const std::uint32_t index = m_freeBranches.back();
        m_freeBranches.pop_back();
        m_branches[index] = Branch{text, size, 1}; // the reference m_lastBranch holds
        releaseBranch(m_lastBranch);
        m_lastBranch = index;
    }
    ++m_branches[m_lastBranch].refs;
    return m_lastBranch;
}

void ResultRowStore::releaseBranch(std::uint32_t index)
{
    if (index == 0) return;
    Branch &branch = m_branches[index];
    if (--branch.refs > 0) return;
    m_deadBytes += branch.size;
    branch = Branch{};
    m_freeBranches.push_back(index);
}

std::string_view ResultRowStore::branchText(std::uint32_t index) const
{
    const Branch &branch = m_branches[index];
    return {branch.text, branch.size};
}
