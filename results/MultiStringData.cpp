#include "results/MultiStringData.h"

#include "search/Matcher.h"

std::vector<std::string> splitAtNul(std::string_view data)
{
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = data.find('\0', start);
        if (end == std::string_view::npos) {
            pieces.emplace_back(data.substr(start));
            return pieces;
        }
        pieces.emplace_back(data.substr(start, end - start));
        start = end + 1;
    }
}

std::string joinWithNul(const std::vector<std::string> &pieces)
{
    std::string data;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0) data.push_back('\0');
        data += pieces[i];
    }
    return data;
}

bool replaceInMultiString(std::string &data, std::string_view loweredSearch,
                          std::string_view replacement)
{
    return replaceInMultiString(data, Matcher(loweredSearch), replacement);
}

bool replaceInMultiString(std::string &data, const Matcher &matcher, std::string_view replacement)
{
    std::vector<std::string> pieces = splitAtNul(data);
    bool changed = false;
    for (std::string &entry : pieces) {
        if (entry.empty()) break; // the end of the list for every reader of the value
        changed |= matcher.replaceFirst(entry, replacement);
    }
    if (changed) data = joinWithNul(pieces);
    return changed;
}
