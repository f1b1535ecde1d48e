// Steam's text key-value files (libraryfolders.vdf, appmanifest_<id>.acf): a
// key is followed by a text or by a block of pairs in braces. The reader is
// strict and bounded: a file that breaks the form, nests too deep or holds a
// NUL byte is refused whole, with the line that broke it, so that a
// half-written file never yields half its entries as if they were all.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quarnel::prefixes {

struct VdfNode
{
    std::string key;
    std::string text;              // a pair's value; empty for a block
    std::vector<VdfNode> children; // a block's pairs, in file order
    bool isBlock = false;

    // The first pair named `key`, ignoring ASCII case as Steam does; null
    // when there is none.
    const VdfNode *child(std::string_view key) const;
    // The text of that pair; "" when it is missing or a block.
    std::string textOf(std::string_view key) const;
};

inline constexpr int kVdfMaxDepth = 64;

// The top-level pairs of `text` as children of a block with an empty key.
// False with `error` ("line N: ...") when the text is not well formed.
bool parseVdf(std::string_view text, VdfNode &root, std::string &error);

} // namespace quarnel::prefixes
