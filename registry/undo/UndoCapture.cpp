#include "registry/undo/UndoCapture.h"

#include "registry/api/TRegistry.h"
#include "registry/text/RegistryPathText.h"
#include "registry/win32/WideText.h"

#ifndef _WIN32
#include "registry/win32/RegText.h"
#endif

#include <algorithm>
#include <memory>

namespace {

// A key path as the registry compares paths: letter case does not count.
std::u16string Folded(const std::string &path)
{
    std::u16string units = WideFromBytes(path);
#ifdef _WIN32
    CharLowerBuffW(reinterpret_cast<LPWSTR>(units.data()), DWORD(units.size()));
#else
    for (char16_t &unit : units)
        unit = quarnel::platform::foldUnit(unit);
#endif
    return units;
}

std::size_t Depth(const std::string &path)
{
    return std::size_t(std::count(path.begin(), path.end(), '\\'));
}

} // namespace

bool UndoCapture::empty() const
{
    return m_createdKeys.empty() && m_keys.empty() && m_createdValues.empty() && m_values.empty();
}

bool UndoCapture::belowCapturedKey(const std::string &full) const
{
    // The nearest captured key or link above decides: what lies behind a link is
    // not in the record of the key holding the link.
    for (std::size_t cut = full.rfind('\\'); cut != std::string::npos && cut > 0;
         cut = full.rfind('\\', cut - 1)) {
        const std::string above = full.substr(0, cut);
        if (m_capturedLinks.count(above)) return false;
        if (m_seenKeys.count(above)) return true;
    }
    return false;
}

void UndoCapture::captureKey(const std::string &rootName, const std::string &keyPath)
{
    const RegistryPathText at(rootName, keyPath);
    // A root key is never deleted or moved; a key below one captured whole is in its
    // record already (a selection often holds a key and keys below it).
    if (!at.root() || at.below().empty() || belowCapturedKey(at.full()) ||
        !m_seenKeys.insert(at.full()).second)
        return;
    // Depth first with a stack of its own, one registry object per level, each key
    // opened from its parent as DeleteTree reaches it: however deep a key lies, it
    // is reached in one step and no path length limit leaves it out.
    struct Level
    {
        std::unique_ptr<TRegistry> reg;
        std::vector<std::string> subkeys;
        std::size_t next = 0;
        std::size_t pathLength = 0; // of this key's path, the start of `path`
        std::size_t sectionsBefore = 0;
    };
    std::vector<Level> stack;
    std::string path = at.full();
    // Adds the key's section, or leaves it to its subkeys: recreating any of them
    // recreates a key that holds nothing else, and a record of a deep tree then
    // grows with the tree, not with its depth times its size.
    // `reg` has the key open as itself; `isLink` tells whether it is a link.
    const auto visit = [&](std::unique_ptr<TRegistry> reg, bool isLink) {
        RegEditSection section{path, false, {}, isLink};
        std::vector<std::string> names;
        reg->ListValueNames(names);
        for (const std::string &name : names) {
            RegEditValue value{name, false, 0, {}};
            DWORD type = 0;
            if (!reg->FetchStored(name, value.data, type)) continue;
            value.type = type;
            section.values.push_back(std::move(value));
        }
        // A link is kept as itself: its subkeys are its target's, which the edit
        // does not touch. A key that only holds a "SymbolicLinkValue" is no link.
        std::vector<std::string> subkeys;
        if (isLink)
            m_capturedLinks.insert(path);
        else
            reg->ListSubkeys(subkeys);
        if (isLink || subkeys.empty() || !section.values.empty())
            m_keys.push_back(std::move(section));
        if (!subkeys.empty())
            stack.push_back(
                Level{std::move(reg), std::move(subkeys), 0, path.size(), m_keys.size()});
    };

    auto top = std::make_unique<TRegistry>();
    top->SelectRoot(at.root());
    // One that does not open cannot be deleted either: nothing of it to give back.
    if (!top->OpenLinkPath("\\" + at.below())) return;
    m_foldedKeys.insert(Folded(at.full()));
    const bool topIsLink = top->IsLink("\\" + at.below());
    visit(std::move(top), topIsLink);
    while (!stack.empty()) {
        Level &level = stack.back();
        if (level.next == level.subkeys.size()) {
            // None of its subkeys opened: the key itself must come back.
            if (m_keys.size() == level.sectionsBefore)
                m_keys.push_back(RegEditSection{path.substr(0, level.pathLength), false, {}});
            stack.pop_back();
            continue;
        }
        const std::string &name = level.subkeys[level.next++];
        path.resize(level.pathLength);
        path += '\\';
        path += name;
        // The parent's key stands in for the root, so the name resolves against it
        // (given as absolute, it still does once the key is open).
        auto reg = std::make_unique<TRegistry>();
        reg->SelectRoot(level.reg->KeyHandle());
        const bool isLink = reg->IsLink("\\" + name);
        if (reg->OpenLinkPath(name)) visit(std::move(reg), isLink);
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
    const std::string missing = reg.FirstMissingKey("\\" + at.below());
    if (missing.empty()) {
        m_occupiedTargets.push_back(at.full());
        return;
    }
    const std::string full = at.rootName() + missing;
    if (m_seenKeys.insert("-" + full).second)
        m_createdKeys.push_back(RegEditSection{full, true, {}});
}

void UndoCapture::addValue(std::vector<RegEditSection> &part, const std::string &path,
                           RegEditValue value)
{
    auto &index = &part == &m_values ? m_valueSections : m_createdValueSections;
    const auto [at, added] = index.try_emplace(path, part.size());
    if (added) part.push_back(RegEditSection{path, false, {}});
    part[at->second].values.push_back(std::move(value));
}

bool UndoCapture::withinCapturedKey(const std::string &full) const
{
    const std::u16string folded = Folded(full);
    for (std::size_t end = folded.size(); end != std::u16string::npos && end > 0;
         end = folded.rfind(u'\\', end - 1))
        if (m_foldedKeys.count(std::u16string_view(folded).substr(0, end))) return true;
    return false;
}

RegEditFile UndoCapture::file() const
{
    RegEditFile file;
    file.sections = m_createdKeys;
    // A move's new path that exists now is free for it only once an earlier move
    // vacated it, moving a key captured here: what the move made there goes
    // before that key comes back, or the key would come back mixed with it.
    std::set<std::string> removed;
    for (const std::string &target : m_occupiedTargets)
        if (withinCapturedKey(target) && removed.insert(target).second)
            file.sections.push_back(RegEditSection{target, true, {}});
    // Links first, the shallower first: what lies below a link is made through it.
    std::vector<const RegEditSection *> keys;
    for (const RegEditSection &s : m_keys)
        keys.push_back(&s);
    std::stable_sort(keys.begin(), keys.end(), [](const auto *a, const auto *b) {
        return a->link != b->link ? a->link : a->link && Depth(a->path) < Depth(b->path);
    });
    for (const RegEditSection *s : keys)
        file.sections.push_back(*s);
    for (const auto *part : {&m_createdValues, &m_values})
        file.sections.insert(file.sections.end(), part->begin(), part->end());
    return file;
}
