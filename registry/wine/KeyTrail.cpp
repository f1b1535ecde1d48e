#include "registry/wine/KeyTrail.h"

namespace quarnel::platform::wine {

void KeyTrail::truncate(int hive, std::size_t size)
{
    auto &keys = m_trails[hive].keys;
    while (keys.size() > size) {
        m_positions.erase(keys.back().get());
        keys.pop_back();
    }
}

void KeyTrail::push(int hive, const RegKey &key)
{
    auto &keys = m_trails[hive].keys;
    m_positions[&key] = {hive, static_cast<uint32_t>(keys.size())};
    keys.emplace_back(const_cast<RegKey *>(&key));
}

KeyTrail::Place KeyTrail::locate(const RegKey &key)
{
    for (int hive = 0; hive < 3; ++hive) {
        Trail &trail = m_trails[hive];
        if (trail.created.empty()) continue;
        const RegKey *parent = trail.keys.empty() ? m_roots[hive] : trail.keys.back().get();
        if (const RegKey *made = parent ? parent->findSubkey(trail.created) : nullptr)
            push(hive, *made);
        trail.created.clear();
    }
    Place place;
    std::vector<const RegKey *> walked;
    for (const RegKey *k = &key; k; k = k->parent) {
        for (int hive = 0; hive < 3; ++hive)
            if (k == m_roots[hive]) {
                place.hive = hive;
                break;
            }
        if (place.hive >= 0) break;
        // A key deleted since is no longer where the trail says; so are those below it.
        if (const auto it = m_positions.find(k); it != m_positions.end() && !k->deleted) {
            place.hive = it->second.first;
            place.kept = it->second.second + 1;
            break;
        }
        walked.push_back(k);
    }
    if (place.hive >= 0) place.added.assign(walked.rbegin(), walked.rend());
    return place;
}

void KeyTrail::follow(const Place &place, std::u16string_view created)
{
    if (place.hive < 0) return;
    truncate(place.hive, place.kept);
    for (const RegKey *k : place.added)
        push(place.hive, *k);
    m_trails[place.hive].created = created;
}

void KeyTrail::forget(int hive)
{
    truncate(hive, 0);
    m_trails[hive].created.clear();
}

void KeyTrail::forgetAll()
{
    for (int hive = 0; hive < 3; ++hive)
        forget(hive);
}

} // namespace quarnel::platform::wine
