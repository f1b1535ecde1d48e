// Puts the needle texts into a planned registry: renames keys and makes the
// values that carry them, and tells for every planted text which needles it
// holds. Internal to the generator.
#pragma once

#include "tools/generator/KeyTree.h"
#include "tools/generator/RegistryGenerator.h"

#include <unordered_set>

namespace quarnel::generator {

struct PlantedValue
{
    uint32_t key = 0;
    GeneratedValue value;
    uint64_t nameMask = 0; // bit per needle in the value's name
    uint64_t dataMask = 0; // bit per needle in its string data or in any multi-string entry
};

class Planter
{
public:
    Planter(KeyTree &tree, Prng &rng, FillerText &text, const std::vector<NeedlePlan> &needles);

    // Throw std::invalid_argument when the registry has too few places.
    void plantKeys(std::size_t needle);
    void plantValues(std::size_t needle);

    // Planted values grouped by key, in key order (stable within a key).
    std::vector<PlantedValue> takeValues();

private:
    uint64_t maskOf(std::string_view text) const;
    uint32_t pickKeyWithFreeValue();
    std::string plantedName(std::size_t needle);
    std::string plantedString(std::size_t needle);
    std::string plantedExpand(std::size_t needle);
    // A name not yet taken by another planted value of the key.
    std::string claimName(uint32_t key, std::string name);
    void addValue(uint32_t key, std::string name, uint32_t type, std::string data, bool multi);

    KeyTree &m_tree;
    Prng &m_rng;
    FillerText &m_text;
    const std::vector<NeedlePlan> &m_plans;
    std::vector<std::string> m_folded;
    std::vector<uint32_t> m_plantsPerKey;
    std::unordered_set<std::u16string> m_takenNames; // key index + folded name
    std::vector<PlantedValue> m_values;
};

} // namespace quarnel::generator
