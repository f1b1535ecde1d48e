// Key names in a backslash path: the one rule for splitting one, for every layer.
#pragma once

#include <string_view>

namespace quarnel::platform {

// Calls `visit` with each key name of `path` in order, as a view into it. Empty names
// fall away: leading, trailing and doubled backslashes name no key, as the registry
// ignores them.
template <typename Char, typename Visit>
void forEachKeyName(std::basic_string_view<Char> path, Visit &&visit)
{
    std::size_t start = 0;
    while (start < path.size()) {
        std::size_t end = path.find(Char('\\'), start);
        if (end == path.npos) end = path.size();
        if (end > start) visit(path.substr(start, end - start));
        start = end + 1;
    }
}

} // namespace quarnel::platform
