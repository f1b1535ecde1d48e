// How much a deletion removes, counted before it asks, in the words of both its
// questions: the result list's delete and the key tree's Delete.
#pragma once

#include <cstdint>
#include <string>

class TRegistry;

struct DeleteCount
{
    uint64_t keys = 0;
    uint64_t subkeys = 0;   // below those keys, at every level
    uint64_t keyValues = 0; // in those keys and their subkeys
    uint64_t values = 0;    // outside them

    // Counts the key at `path` (of reg's root) with what lies below it; false,
    // counting nothing, when it does not open.
    bool addKey(TRegistry &reg, const std::string &path);

    // "Removes 2 keys with 3 subkeys and 10 values in them, and 1 other value"
    // (without a period: the callers go on).
    std::string text() const;
};
