#include "RegistryPathText.h"

#include "RootTable.h"

RegistryPathText::RegistryPathText(std::string_view rootName, std::string_view keyPath)
    : m_root(RootHandleByName(rootName)), m_rootName(rootName)
{
    std::size_t start = 0;
    while (start <= keyPath.size()) {
        std::size_t end = keyPath.find('\\', start);
        if (end == std::string_view::npos) end = keyPath.size();
        if (end > start) m_parts.emplace_back(keyPath.substr(start, end - start));
        start = end + 1;
    }
    for (const std::string &part : m_parts)
        m_below += (m_below.empty() ? "" : "\\") + part;
}

RegistryPathText RegistryPathText::fromFull(std::string_view fullPath)
{
    const std::size_t cut = fullPath.find('\\');
    if (cut == std::string_view::npos) return RegistryPathText(fullPath, {});
    return RegistryPathText(fullPath.substr(0, cut), fullPath.substr(cut + 1));
}
