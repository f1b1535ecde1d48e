#include "registry/api/MultiStringSplitter.h"

std::vector<std::string> SplitMultiString(const void *buffer, int size)
{
    std::vector<std::string> entries;
    if (!buffer) return entries;
    const auto *bytes = static_cast<const char *>(buffer);
    int pos = 0;
    while (pos < size && bytes[pos] != '\0') {
        const int start = pos;
        while (pos < size && bytes[pos] != '\0' && bytes[pos] != '\n' && bytes[pos] != '\r')
            ++pos;
        entries.emplace_back(bytes + start, static_cast<std::size_t>(pos - start));
        ++pos; // over the NUL, LF or CR that ended the entry
    }
    return entries;
}
