#include "registry/wine/JournalReplay.h"

#include "registry/win32/KeyNames.h"

#include <algorithm>

namespace quarnel::platform::wine {

RegKey *JournalReplay::keyOf(const JournalRecord &r, bool create)
{
    const std::size_t kept = std::min<std::size_t>(r.kept, m_names.size());
    m_names.resize(kept);
    m_keys.resize(std::min(m_keys.size(), kept + 1));
    // The journal accepts no record with an empty name, so this gives as many names
    // as its check of the record's depth counted.
    forEachKeyName(std::u16string_view(r.path),
                   [this](std::u16string_view name) { m_names.emplace_back(name); });
    while (m_keys.size() <= m_names.size()) {
        RegKey &parent = *m_keys.back();
        const std::u16string &name = m_names[m_keys.size() - 1];
        RegKey *child = nullptr;
        if (create) {
            bool created;
            child = &parent.addSubkey(std::u16string_view(name), created, r.time);
            if (created) parent.lastWriteTime = r.time;
        } else if (!(child = parent.findSubkey(name))) {
            return nullptr;
        }
        m_keys.push_back(child);
    }
    return m_keys.back();
}

void JournalReplay::apply(const JournalRecord &r)
{
    treeChanged(); // a replayed mark may turn a key into a link or back
    switch (r.op) {
    case JournalRecord::KeyCreated:
        if (RegKey *key = keyOf(r, true); key && key->parent) {
            key->parent->lastWriteTime = r.time;
            key->isLink = key->isLink || r.type == 1;
        }
        break;
    case JournalRecord::ValueSet: {
        RegKey *key = keyOf(r, true);
        key->setValue(r.name, r.type, r.data);
        key->lastWriteTime = r.time;
        break;
    }
    case JournalRecord::ValueDeleted:
        if (RegKey *key = keyOf(r, false)) {
            key->removeValue(r.name);
            key->lastWriteTime = r.time;
        }
        break;
    case JournalRecord::KeyMarked:
        if (RegKey *key = keyOf(r, true)) {
            if (!r.name.empty() || key->extra) key->extras().className = r.name;
            key->isLink = r.type == 1;
        }
        break;
    case JournalRecord::HiveFile:
    case JournalRecord::UnitBegin: // sorted out before replay: marks change nothing
    case JournalRecord::UnitEnd:
    case JournalRecord::Restore: break;
    case JournalRecord::SubkeyDeleted:
        if (RegKey *parent = keyOf(r, false)) {
            // A subkey that gained subkeys meanwhile (from Wine) is kept with them.
            RegKey *child = parent->findSubkey(r.name);
            if (child && child->subkeys.empty()) {
                parent->removeSubkey(*child);
                parent->lastWriteTime = r.time;
            }
        }
        break;
    }
}

} // namespace quarnel::platform::wine
