// The key each hive's last journal record named, so that the next record can
// name its key by what it shares with that one, and the key's hive is found
// without walking up to it: a chain of keys made top-down or deleted bottom-up,
// or many changes in one key or its neighbours, then cost the same per change
// at any depth. The keys are held, so none is freed and its address taken by
// another key while it is here.
#pragma once

#include "registry/win32/KeyStore.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quarnel::platform::wine {

class KeyTrail
{
public:
    struct Place
    {
        int hive = -1;                     // -1: the key lies in no hive
        uint32_t kept = 0;                 // the leading keys of the hive's trail it shares
        std::vector<const RegKey *> added; // the rest of its path, from the top down
    };

    void setRoot(int hive, const RegKey *root) { m_roots[hive] = root; }

    // Where `key` lies; walks up only until it meets its hive's trail or root.
    Place locate(const RegKey &key);
    // A record naming `place` was journaled: its key is the hive's trail now.
    // `created`: the record makes a key of that name below it, which joins the
    // trail once it exists.
    void follow(const Place &place, std::u16string_view created = {});
    // The next record of the hive names its key in full.
    void forget(int hive);
    void forgetAll();

private:
    struct Trail
    {
        std::vector<KeyRef> keys; // below the root, top down
        std::u16string created;   // made below the last key after the trail's record
    };
    void truncate(int hive, std::size_t size);
    void push(int hive, const RegKey &key);

    const RegKey *m_roots[3] = {};
    Trail m_trails[3];
    // Each key of the trails: its hive and position.
    std::unordered_map<const RegKey *, std::pair<int, uint32_t>> m_positions;
};

} // namespace quarnel::platform::wine
