#include "tools/generator/Planter.h"

#include "registry/win32/winreg.h"
#include "tools/generator/TextMatch.h"

#include <algorithm>
#include <stdexcept>

namespace quarnel::generator {

Planter::Planter(KeyTree &tree, Prng &rng, FillerText &text, const std::vector<NeedlePlan> &needles)
    : m_tree(tree), m_rng(rng), m_text(text), m_plans(needles), m_plantsPerKey(tree.keys.size(), 0)
{
    for (const NeedlePlan &plan : needles)
        m_folded.push_back(foldAscii(plan.text));
}

uint64_t Planter::maskOf(std::string_view text) const
{
    uint64_t mask = 0;
    for (std::size_t i = 0; i < m_folded.size(); ++i)
        if (containsFolded(text, m_folded[i])) mask |= uint64_t{1} << i;
    return mask;
}

std::string Planter::plantedName(std::size_t needle)
{
    const std::string text = mixCase(m_plans[needle].text, m_rng);
    switch (m_rng.below(5)) {
    case 0: return text;
    case 1: return text + " " + m_text.word();
    case 2: return m_text.word() + text;
    case 3: return text + std::to_string(m_rng.below(100));
    default: return m_text.vendor() + " " + text;
    }
}

std::string Planter::plantedString(std::size_t needle)
{
    const std::string text = mixCase(m_plans[needle].text, m_rng);
    switch (m_rng.below(5)) {
    case 0:
        return "C:\\Program Files\\" + text + "\\" + m_text.word() + "\\" +
               foldAscii(m_text.word()) + ".exe";
    case 1: return text + " " + m_text.word() + " " + foldAscii(m_text.word());
    case 2: return "https://www." + text + ".example/" + foldAscii(m_text.word());
    case 3: return "Copyright (c) " + text + " Corporation";
    default: return m_text.word() + " (" + text + ")";
    }
}

std::string Planter::plantedExpand(std::size_t needle)
{
    const std::string text = mixCase(m_plans[needle].text, m_rng);
    return (m_rng.chance(0.5) ? "%ProgramFiles%\\" : "%SystemRoot%\\system32\\") + text + "\\" +
           foldAscii(m_text.word()) + ".dll";
}

void Planter::plantKeys(std::size_t needle)
{
    std::size_t remaining = m_plans[needle].keyRows;
    if (remaining == 0) return;
    auto &keys = m_tree.keys;
    // Biggest subtrees first, so that a common needle covers whole branches
    // the way a vendor's name does; ties in a seeded random order.
    std::vector<std::pair<uint64_t, uint32_t>> order;
    for (uint32_t k = 2; k < keys.size(); ++k)
        if (!keys[k].skeleton && keys[k].nameMask == 0)
            order.emplace_back((uint64_t{keys[k].subtreeSize} << 32) | (m_rng.next() >> 32), k);
    std::sort(order.begin(), order.end(), std::greater<>());

    const uint64_t bit = uint64_t{1} << needle;
    std::vector<uint8_t> plantedBelow(keys.size(), 0);
    for (const auto &[sortKey, k] : order) {
        if (remaining == 0) break;
        if (keys[k].subtreeSize > remaining || plantedBelow[k]) continue;
        bool covered = false;
        for (uint32_t a = keys[k].parent; a >= 2 && !covered; a = keys[a].parent)
            covered = (keys[a].nameMask & bit) != 0;
        if (covered) continue;
        bool renamed = false;
        for (int attempt = 0; attempt < 16 && !renamed; ++attempt)
            renamed = m_tree.renameKey(k, plantedName(needle));
        if (!renamed) continue;
        keys[k].nameMask = maskOf(keys[k].name);
        remaining -= keys[k].subtreeSize;
        for (uint32_t a = keys[k].parent; a >= 2; a = keys[a].parent)
            plantedBelow[a] = 1;
    }
    if (remaining != 0)
        throw std::invalid_argument("too few keys to plant " +
                                    std::to_string(m_plans[needle].keyRows) + " key rows of " +
                                    m_plans[needle].text);
}

uint32_t Planter::pickKeyWithFreeValue()
{
    const auto &keys = m_tree.keys;
    const auto hasRoom = [&](uint32_t k) { return m_plantsPerKey[k] < keys[k].valueCount; };
    for (int attempt = 0; attempt < 64; ++attempt) {
        const auto k = static_cast<uint32_t>(2 + m_rng.below(keys.size() - 2));
        if (hasRoom(k)) return k;
    }
    const auto start = static_cast<uint32_t>(2 + m_rng.below(keys.size() - 2));
    for (uint32_t k = start; k < keys.size(); ++k)
        if (hasRoom(k)) return k;
    for (uint32_t k = 2; k < start; ++k)
        if (hasRoom(k)) return k;
    throw std::invalid_argument("too few values for the planted needles");
}

std::string Planter::claimName(uint32_t key, std::string name)
{
    std::u16string prefix;
    prefix += static_cast<char16_t>(key & 0xFFFF);
    prefix += static_cast<char16_t>(key >> 16);
    for (std::size_t n = 2; !m_takenNames.insert(prefix + KeyTree::registryFold(name)).second; ++n)
        name += std::to_string(n % 10);
    return name;
}

void Planter::addValue(uint32_t key, std::string name, uint32_t type, std::string data, bool multi)
{
    PlantedValue planted;
    planted.key = key;
    planted.nameMask = maskOf(name);
    if (multi) {
        for (std::size_t pos = 0; pos < data.size() && data[pos] != '\0';) {
            const std::size_t end = data.find('\0', pos);
            planted.dataMask |= maskOf(std::string_view(data).substr(pos, end - pos));
            pos = end + 1;
        }
    } else if (type == REG_SZ || type == REG_EXPAND_SZ) {
        planted.dataMask = maskOf(data.c_str());
    }
    planted.value = GeneratedValue{std::move(name), type, std::move(data)};
    m_values.push_back(std::move(planted));
    ++m_plantsPerKey[key];
}

void Planter::plantValues(std::size_t needle)
{
    const NeedlePlan &plan = m_plans[needle];
    const auto withNul = [](std::string text) { return text + '\0'; };

    for (std::size_t i = 0; i < plan.valueNames; ++i) {
        const uint32_t key = pickKeyWithFreeValue();
        std::string name = claimName(key, plantedName(needle));
        if (m_rng.chance(0.5)) {
            const uint32_t number = static_cast<uint32_t>(m_rng.below(1000));
            addValue(key, std::move(name), REG_DWORD,
                     std::string(reinterpret_cast<const char *>(&number), 4), false);
        } else {
            addValue(key, std::move(name), REG_SZ, withNul(m_text.stringData()), false);
        }
    }
    for (std::size_t i = 0; i < plan.stringData; ++i) {
        const uint32_t key = pickKeyWithFreeValue();
        PlannedKey &planned = m_tree.keys[key];
        std::string name;
        // Some land in default values, which show as (Standard) and never match by name.
        if (planned.hasDefault && !planned.defaultPlanted && m_rng.chance(0.25)) {
            planned.defaultPlanted = true;
            name = claimName(key, "");
        } else {
            name = claimName(key, m_text.valueName());
        }
        addValue(key, std::move(name), REG_SZ, withNul(plantedString(needle)), false);
    }
    for (std::size_t i = 0; i < plan.expandData; ++i) {
        const uint32_t key = pickKeyWithFreeValue();
        addValue(key, claimName(key, m_text.valueName()), REG_EXPAND_SZ,
                 withNul(plantedExpand(needle)), false);
    }
    for (std::size_t i = 0; i < plan.multiStrings; ++i) {
        const uint32_t key = pickKeyWithFreeValue();
        std::vector<std::string> entries = m_text.multiEntries();
        const uint64_t hits = m_rng.between(1, 2);
        for (uint64_t h = 0; h < hits; ++h)
            entries.insert(entries.begin() +
                               static_cast<std::ptrdiff_t>(m_rng.below(entries.size() + 1)),
                           h ? plantedString(needle) : plantedExpand(needle));
        std::string data;
        for (const std::string &entry : entries)
            data += entry + '\0';
        data += '\0';
        addValue(key, claimName(key, m_text.valueName()), REG_MULTI_SZ, std::move(data), true);
    }
    for (std::size_t i = 0; i < plan.nameAndData; ++i) {
        const uint32_t key = pickKeyWithFreeValue();
        addValue(key, claimName(key, plantedName(needle)), REG_SZ, withNul(plantedString(needle)),
                 false);
    }
}

std::vector<PlantedValue> Planter::takeValues()
{
    std::stable_sort(m_values.begin(), m_values.end(),
                     [](const PlantedValue &a, const PlantedValue &b) { return a.key < b.key; });
    return std::move(m_values);
}

} // namespace quarnel::generator
