// Puts one hive's journaled changes to a key tree, in the order they were made.
// It keeps the keys of the previous record's path, so that a record naming its
// key by what it shares with that one costs only the keys it adds.
#pragma once

#include "registry/win32/KeyStore.h"
#include "registry/wine/Journal.h"

#include <string>
#include <vector>

namespace quarnel::platform::wine {

class JournalReplay
{
public:
    explicit JournalReplay(RegKey &root) : m_keys{&root} {}

    // `record` must be the hive's next change: the first one names its key in full.
    void apply(const JournalRecord &record);

private:
    // The record's key: found, or made with its missing parents when `create`;
    // nullptr when it is missing and not to be made.
    RegKey *keyOf(const JournalRecord &record, bool create);

    std::vector<std::u16string> m_names; // the previous record's key below the root
    // The keys of those names found so far, from the root down (one more than the
    // names when all were found). Only the last record's own key changes its
    // subkeys, so none of them goes away while it is here.
    std::vector<RegKey *> m_keys;
};

} // namespace quarnel::platform::wine
