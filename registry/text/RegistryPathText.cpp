#include "registry/text/RegistryPathText.h"

#include "registry/api/KeyPath.h"
#include "registry/api/RootTable.h"
#include "registry/text/ValueText.h"
#include "registry/win32/AsciiText.h"

#include <algorithm>

RegistryPathText::RegistryPathText(std::string_view rootName, std::string_view keyPath)
{
    setRoot(rootName, false);
    addParts(KeyNames(keyPath), 0);
}

RegistryPathText RegistryPathText::fromFull(std::string_view fullPath)
{
    RegistryPathText path;
    const std::vector<std::string_view> names = KeyNames(fullPath);
    // What a registry editor's address line shows above the roots.
    std::size_t first = 0;
    if (!names.empty() &&
        (sameAsciiLetters(names[0], "Computer") || sameAsciiLetters(names[0], kMyComputer)))
        first = 1;
    if (first < names.size()) path.setRoot(names[first++], true);
    path.addParts(names, first);
    return path;
}

RegistryPathText RegistryPathText::fromTyped(std::string_view typedPath)
{
    return fromFull(trimmedSpace(typedPath));
}

void RegistryPathText::setRoot(std::string_view name, bool anyCase)
{
    m_rootName = name;
    for (std::size_t i = 0; i < RootTable().size(); ++i) {
        const RootEntry &entry = RootTable()[i];
        const bool same = anyCase ? sameAsciiLetters(name, entry.displayName) ||
                                        sameAsciiLetters(name, entry.shortName)
                                  : name == entry.displayName;
        if (!same) continue;
        m_root = entry.handle;
        m_rootIndex = int(i);
        m_rootName = entry.displayName;
    }
}

void RegistryPathText::addParts(const std::vector<std::string_view> &names, std::size_t first)
{
    for (std::size_t i = first; i < names.size(); ++i) {
        m_parts.emplace_back(names[i]);
        m_below += (m_below.empty() ? "" : "\\") + m_parts.back();
    }
}
