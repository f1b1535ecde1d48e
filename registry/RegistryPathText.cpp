#include "registry/RegistryPathText.h"

#include "registry/KeyPath.h"
#include "registry/RootTable.h"

RegistryPathText::RegistryPathText(std::string_view rootName, std::string_view keyPath)
    : m_root(RootHandleByName(rootName)), m_rootName(rootName)
{
    for (const std::string_view name : KeyNames(keyPath))
        m_parts.emplace_back(name);
    for (const std::string &part : m_parts)
        m_below += (m_below.empty() ? "" : "\\") + part;
}

RegistryPathText RegistryPathText::fromFull(std::string_view fullPath)
{
    const std::size_t cut = fullPath.find('\\');
    if (cut == std::string_view::npos) return RegistryPathText(fullPath, {});
    return RegistryPathText(fullPath.substr(0, cut), fullPath.substr(cut + 1));
}
