#include "results/TextArena.h"

namespace {

constexpr std::size_t kBlockSize = 64 * 1024;
// Larger texts get a block of their own, so that the current block's rest is
// not given up for them.
constexpr std::size_t kOwnBlock = kBlockSize / 8;

} // namespace

char *TextArena::allocate(std::size_t size)
{
    if (size == 0) return nullptr;
    if (size > kOwnBlock) {
        m_blocks.push_back(std::make_unique_for_overwrite<char[]>(size));
        m_used += size;
        return m_blocks.back().get();
    }
    if (size > m_left) {
        m_blocks.push_back(std::make_unique_for_overwrite<char[]>(kBlockSize));
        m_next = m_blocks.back().get();
        m_left = kBlockSize;
    }
    char *room = m_next;
    m_used += size;
    m_next += size;
    m_left -= size;
    return room;
}

void TextArena::clear()
{
    std::vector<std::unique_ptr<char[]>>().swap(m_blocks);
    m_next = nullptr;
    m_left = 0;
    m_used = 0;
}
