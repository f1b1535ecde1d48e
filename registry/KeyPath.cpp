#include "registry/KeyPath.h"

#include "registry/platform/KeyNames.h"

std::vector<std::string_view> KeyNames(std::string_view path)
{
    std::vector<std::string_view> names;
    quarnel::platform::forEachKeyName(path, [&](std::string_view name) { names.push_back(name); });
    return names;
}
