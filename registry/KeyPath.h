// Key names in a backslash path.
#pragma once

#include <string_view>
#include <vector>

// The key names of `path` in order, as views into it. Empty names fall away:
// leading, trailing and doubled backslashes name no key, as the registry ignores
// them. A path without a name ("", "\") gives none.
std::vector<std::string_view> KeyNames(std::string_view path);
