// A synthetic registry shaped like a Windows/Wine one, for tests and
// benchmarks: deterministic for a seed, of any size, with needle texts planted
// in known places and the exact number of result rows a search for each needle
// gives under every root key.
#pragma once

#include "tools/generator/RegistrySink.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quarnel::generator {

// Where to plant one needle. All counts are distinct places in the store; the
// rows a search finds follow from them per root (see NeedleResult).
struct NeedlePlan
{
    // Not empty; no backslash (key paths join names with it), CR, LF or NUL
    // (they split multi-string entries and end texts).
    std::string text;
    // Keys whose key path contains the text. Planted in the names of disjoint
    // subtrees whose sizes add up to exactly this, big subtrees first, since a
    // matching name makes every key below it a key row too.
    std::size_t keyRows = 0;
    std::size_t valueNames = 0;   // values with the text in the name only
    std::size_t stringData = 0;   // REG_SZ values with it in the data (some default values)
    std::size_t expandData = 0;   // REG_EXPAND_SZ values with it in the data
    std::size_t multiStrings = 0; // REG_MULTI_SZ values with it in one or two entries
    std::size_t nameAndData = 0;  // REG_SZ values with it in name and data: two rows each

    std::size_t plantedValues() const
    {
        return valueNames + stringData + expandData + multiStrings + nameAndData;
    }
};

struct GeneratorOptions
{
    std::size_t keyCount = 3000; // keys below the hive roots; at least minimumKeyCount()
    double valuesPerKey = 3.0;   // average; the exact total is valueCount()
    uint64_t seed = 1;
    std::vector<NeedlePlan> needles; // at most 64

    std::size_t valueCount() const;

    // 180,000 keys and 610,000 values; needles rareNeedle (~100 rows) and
    // commonNeedle (~200,000 rows).
    static GeneratorOptions benchmark(uint64_t seed = 20261207);
    // 3,000 keys and 9,000 values with the same two needles, for tests.
    static GeneratorOptions small(uint64_t seed = 7);
};

inline constexpr const char *rareNeedle = "Fabrikam";
inline constexpr const char *commonNeedle = "Contoso";

// The keys the skeleton of every generated registry has.
std::size_t minimumKeyCount();

// Root indexes in display order, as the search's root table has them.
enum RootIndex : int
{
    ClassesRoot = 0, // HKEY_CLASSES_ROOT = Machine\Software\Classes
    CurrentUser = 1, // HKEY_CURRENT_USER = User\S-1-5-21-0-0-0-1000
    LocalMachine = 2,
    Users = 3,
    CurrentConfig = 4,   // Machine\System\CurrentControlSet\Hardware Profiles\Current
    PerformanceData = 5, // no key at all
    DynData = 6,         // an empty volatile key
    RootCount = 7,
};

// Result rows of a search, by the kind of row.
struct RowCounts
{
    uint64_t keys = 0;
    uint64_t valueNames = 0;
    uint64_t stringData = 0; // REG_SZ and REG_EXPAND_SZ data rows
    uint64_t multiStrings = 0;

    uint64_t total() const { return keys + valueNames + stringData + multiStrings; }
    bool operator==(const RowCounts &) const = default;
};

struct NeedleResult
{
    std::string text;
    std::array<RowCounts, RootCount> perRoot; // walking each root from its key path "\"

    uint64_t rows(int root) const { return perRoot[root].total(); }
    // A run over roots 2 to 6 (the mirror check box off) and over 0 to 6 (on).
    uint64_t defaultScopeRows() const;
    uint64_t mirroredScopeRows() const;
};

struct GeneratorResult
{
    std::size_t keys = 0;   // created below the hive roots, the roots themselves not counted
    std::size_t values = 0; // default values included
    uint64_t dataBytes = 0; // as handed to RegSetValueExA
    std::vector<NeedleResult> needles; // in the order of GeneratorOptions::needles
    // Shape, for a look at how registry-like it came out.
    std::vector<std::size_t> keysPerDepth;       // [d] = keys at depth d (1 = below a hive root)
    std::size_t widestKey = 0;                   // most subkeys of one key
    std::size_t mostValues = 0;                  // most values of one key
    std::array<std::size_t, 12> valuesPerType{}; // by REG_ type 0..11
};

// Generates the registry into `sink` and returns what it made. Throws
// std::invalid_argument for options it cannot meet (too few keys or values for
// the skeleton and the plants, an unusable needle).
GeneratorResult generateRegistry(const GeneratorOptions &options, RegistrySink &sink);

} // namespace quarnel::generator
