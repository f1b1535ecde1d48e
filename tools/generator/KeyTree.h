// The planned shape of a generated registry: every key with its name, parent
// and number of values, before anything is written. Internal to the generator.
#pragma once

#include "tools/generator/FillerText.h"
#include "tools/generator/RegistrySink.h"

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

namespace quarnel::generator {

struct PlannedKey
{
    std::string name;
    uint32_t parent = 0;
    uint32_t subtreeSize = 1; // this key and all keys below it
    uint32_t valueCount = 0;
    uint16_t depth = 0; // 0 for the two hive roots
    Hive hive = Hive::Machine;
    bool skeleton = false;       // a fixed key; never renamed for a needle
    bool hasDefault = false;     // one of its values is the default value
    bool defaultPlanted = false; // ... and that one carries a needle
    bool pathValueNames = false; // values named by file paths (shared-DLL lists)
    uint8_t views = 0;           // bit per root index whose walk reaches this key
    uint64_t nameMask = 0;       // bit per needle found in the key's own name
};

class KeyTree
{
public:
    // Keys 0 and 1 are the hive roots (Machine, User); they are not generated.
    static constexpr uint32_t kMachineRoot = 0;
    static constexpr uint32_t kUsersRoot = 1;

    // Builds exactly `keyCount` keys below the hive roots and spreads
    // `valueCount` values over them.
    KeyTree(std::size_t keyCount, std::size_t valueCount, Prng &rng, FillerText &text);

    static std::size_t skeletonSize();

    // A name as the registry compares names: case folded, also beyond ASCII.
    static std::u16string registryFold(std::string_view name);

    std::vector<PlannedKey> keys;
    std::vector<std::vector<uint32_t>> children;

    // Gives a key a new name unless a sibling has it already (case-insensitively).
    bool renameKey(uint32_t key, const std::string &name);

private:
    uint32_t addKey(uint32_t parent, std::string name);
    uint32_t addPath(uint32_t hiveRoot, const std::string &path);
    static std::u16string siblingKey(uint32_t parent, const std::string &name);
    std::string uniqueChildName(uint32_t parent, NameStyle style, std::size_t index);
    void growGeneric(uint32_t node, std::size_t budget, NameStyle style);
    void growWide(uint32_t node, std::size_t budget, NameStyle entryStyle, NameStyle innerStyle,
                  std::size_t entryMin, std::size_t entryMax);
    std::size_t fanOut(std::size_t budget, uint16_t depth);
    void assignValueCounts(std::size_t valueCount);
    void computeViewsAndSizes();

    Prng &m_rng;
    FillerText &m_text;
    // Folded names of all keys, each prefixed with its parent's index, for the
    // registry's case-insensitive uniqueness of sibling names.
    std::unordered_set<std::u16string> m_siblingNames;
};

} // namespace quarnel::generator
