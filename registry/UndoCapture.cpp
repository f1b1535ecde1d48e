#include "UndoCapture.h"

#include "RegistryPathText.h"
#include "TRegistry.h"

#include <algorithm>

namespace {

bool IsSymbolicLinkValueName(const std::string &name)
{
    constexpr std::string_view kName = "symboliclinkvalue";
    if (name.size() != kName.size()) return false;
    for (std::size_t i = 0; i < name.size(); ++i)
        if ((name[i] >= 'A' && name[i] <= 'Z' ? name[i] - 'A' + 'a' : name[i]) != kName[i])
            return false;
    return true;
}

} // namespace

bool UndoCapture::empty() const
{
    return m_createdKeys.empty() && m_keys.empty() && m_createdValues.empty() && m_values.empty();
}

void UndoCapture::captureKey(const std::string &rootName, const std::string &keyPath)
{
    const RegistryPathText at(rootName, keyPath);
    // A root key is never deleted or moved.
    if (!at.root() || at.below().empty() || !m_seenKeys.insert(at.full()).second) return;
    TRegistry reg;
    reg.SelectRoot(at.root());
    // Keys below the top one are opened one name at a time from their parent, as
    // DeleteTree reaches them: a link on the way is the link, not its target.
    const auto open = [&reg, &at](const std::string &below) {
        if (!reg.OpenLinkPath("\\" + at.below())) return false;
        for (std::size_t start = 0; start < below.size();) {
            const std::size_t end = std::min(below.find('\\', start), below.size());
            if (!reg.OpenLinkPath(below.substr(start, end - start))) return false;
            start = end + 1;
        }
        return true;
    };
    // Depth first without recursion; a key's subkeys go on the stack last to
    // first, so sections come out parent first, in enumeration order.
    std::vector<std::string> todo{""};
    std::vector<std::string> names;
    while (!todo.empty()) {
        const std::string below = std::move(todo.back());
        todo.pop_back();
        // One that does not open cannot be deleted either: nothing of it to give back.
        if (!open(below)) continue;
        RegEditSection section{at.full() + (below.empty() ? "" : "\\" + below), false, {}};
        bool isLink = false;
        reg.ListValueNames(names);
        for (const std::string &name : names) {
            RegEditValue value{name, false, 0, {}};
            DWORD type = 0;
            if (!reg.FetchStored(name, value.data, type)) continue;
            value.type = type;
            isLink = isLink || (value.type == REG_LINK && IsSymbolicLinkValueName(name));
            section.values.push_back(std::move(value));
        }
        m_keys.push_back(std::move(section));
        // A link's subkeys are its target's, which the edit does not touch.
        if (isLink) continue;
        reg.ListSubkeys(names);
        for (auto it = names.rbegin(); it != names.rend(); ++it)
            todo.push_back(below.empty() ? *it : below + "\\" + *it);
    }
}

void UndoCapture::captureValue(const std::string &rootName, const std::string &keyPath,
                               const std::string &valueName)
{
    const RegistryPathText at(rootName, keyPath);
    if (!at.root() || !m_seenValues.insert({at.full(), valueName}).second) return;
    TRegistry reg;
    reg.SelectRoot(at.root());
    if (!reg.OpenPath("\\" + at.below()))
        return; // an edit cannot touch a value of a key that is not there
    RegEditValue value{valueName, false, 0, {}};
    // A value that does not exist now (an emptied default value) must be absent again.
    DWORD type = 0;
    value.removal = !reg.FetchStored(valueName, value.data, type);
    value.type = type;
    addValue(m_values, at.full(), std::move(value));
}

void UndoCapture::captureNewValueName(const std::string &rootName, const std::string &keyPath,
                                      const std::string &valueName)
{
    const RegistryPathText at(rootName, keyPath);
    if (!at.root() || !m_seenValues.insert({"-" + at.full(), valueName}).second) return;
    TRegistry reg;
    reg.SelectRoot(at.root());
    // A rename onto an existing name does nothing.
    if (!reg.OpenPath("\\" + at.below()) || reg.HasValue(valueName)) return;
    addValue(m_createdValues, at.full(), RegEditValue{valueName, true, 0, {}});
}

void UndoCapture::captureNewKeyPath(const std::string &rootName, const std::string &keyPath)
{
    const RegistryPathText at(rootName, keyPath);
    if (!at.root()) return;
    TRegistry reg;
    reg.SelectRoot(at.root());
    std::string below;
    for (const std::string &part : at.parts()) {
        below += "\\" + part;
        if (!reg.HasKey(below)) {
            const std::string full = at.rootName() + below;
            if (m_seenKeys.insert("-" + full).second)
                m_createdKeys.push_back(RegEditSection{full, true, {}});
            return;
        }
    }
}

void UndoCapture::addValue(std::vector<RegEditSection> &part, const std::string &path,
                           RegEditValue value)
{
    auto &index = &part == &m_values ? m_valueSections : m_createdValueSections;
    const auto [at, added] = index.try_emplace(path, part.size());
    if (added) part.push_back(RegEditSection{path, false, {}});
    part[at->second].values.push_back(std::move(value));
}

RegEditFile UndoCapture::file() const
{
    RegEditFile file;
    for (const auto *part : {&m_createdKeys, &m_keys, &m_createdValues, &m_values})
        file.sections.insert(file.sections.end(), part->begin(), part->end());
    return file;
}
