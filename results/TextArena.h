// Texts packed one after another into large blocks: no allocation and no
// allocator overhead per text. A text never moves; all are freed together.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

class TextArena
{
public:
    // Room for `size` bytes (nullptr for none), valid until the arena is cleared.
    char *allocate(std::size_t size);
    // Bytes handed out so far.
    std::size_t used() const { return m_used; }
    void clear();

private:
    std::vector<std::unique_ptr<char[]>> m_blocks;
    char *m_next = nullptr;
    std::size_t m_left = 0;
    std::size_t m_used = 0;
};
