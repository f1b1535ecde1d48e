#include "tools/generator/RegistryGenerator.h"

#include "registry/win32/winreg.h"
#include "tools/generator/KeyTree.h"
#include "tools/generator/Planter.h"
#include "tools/generator/TextMatch.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <unordered_set>

namespace quarnel::generator {

namespace {

// Shapes of ordinary values, weighted like a Windows/Wine registry: text
// first, then numbers, binary blobs and the rare kinds.
struct TypeWeight
{
    uint32_t type;
    unsigned weight;
};
constexpr TypeWeight kValueTypes[] = {
    {REG_SZ, 48},       {REG_DWORD, 24},           {REG_BINARY, 10},
    {REG_EXPAND_SZ, 6}, {REG_MULTI_SZ, 5},         {REG_QWORD, 3},
    {REG_NONE, 2},      {REG_DWORD_BIG_ENDIAN, 1}, {REG_RESOURCE_LIST, 1},
};

void validate(const GeneratorOptions &options)
{
    if (options.needles.size() > 64) throw std::invalid_argument("at most 64 needles");
    // Key indexes are 32-bit.
    if (options.keyCount > 0xF0000000u) throw std::invalid_argument("too many keys");
    if (!(options.valuesPerKey >= 0) || !std::isfinite(options.valuesPerKey))
        throw std::invalid_argument("values per key must be a number of at least 0");
    std::size_t planted = 0;
    for (const NeedlePlan &plan : options.needles) {
        if (plan.text.empty() ||
            plan.text.find_first_of(std::string("\\\r\n\0", 4)) != std::string::npos)
            throw std::invalid_argument("a needle must be a non-empty text without backslash, CR, "
                                        "LF or NUL: " +
                                        plan.text);
        // Planted key names add up to 40 bytes and must stay within 255 units.
        if (plan.text.size() > 200)
            throw std::invalid_argument("a needle must not be longer than 200 bytes");
        planted += plan.plantedValues();
    }
    if (planted > options.valueCount())
        throw std::invalid_argument("more planted values than values");
}

std::string nulTerminated(std::string text)
{
    text += '\0';
    return text;
}

std::string randomBytes(Prng &rng, std::size_t size)
{
    std::string bytes(size, '\0');
    for (char &b : bytes)
        b = static_cast<char>(rng.below(256));
    return bytes;
}

std::string littleEndian(uint64_t number, std::size_t size)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((number >> (8 * i)) & 0xFF);
    return bytes;
}

class Emitter
{
public:
    Emitter(const KeyTree &tree, const std::vector<PlantedValue> &planted, Prng &rng,
            FillerText &text, RegistrySink &sink, GeneratorResult &result)
        : m_tree(tree), m_planted(planted), m_rng(rng), m_text(text), m_sink(sink),
          m_result(result), m_plantsFrom(tree.keys.size() + 1, 0)
    {
        // Keys are written depth first, not in index order: find each key's plants by offset.
        for (const PlantedValue &p : planted)
            ++m_plantsFrom[p.key + 1];
        for (std::size_t k = 1; k < m_plantsFrom.size(); ++k)
            m_plantsFrom[k] += m_plantsFrom[k - 1];
    }

    void run()
    {
        for (uint32_t root : {KeyTree::kMachineRoot, KeyTree::kUsersRoot})
            for (uint32_t child : m_tree.children[root])
                emitKey(child, m_tree.keys[child].name);
        m_sink.finish();
    }

private:
    void emitKey(uint32_t index, const std::string &path)
    {
        const PlannedKey &key = m_tree.keys[index];
        m_sink.beginKey(key.hive, path, key.depth);
        ++m_result.keys;
        if (m_result.keysPerDepth.size() <= key.depth)
            m_result.keysPerDepth.resize(key.depth + 1, 0);
        ++m_result.keysPerDepth[key.depth];
        m_result.widestKey = std::max(m_result.widestKey, m_tree.children[index].size());
        m_result.mostValues = std::max<std::size_t>(m_result.mostValues, key.valueCount);
        emitValues(index, key);
        for (uint32_t child : m_tree.children[index])
            emitKey(child, path + "\\" + m_tree.keys[child].name);
        m_sink.endKey();
    }

    void emitValues(uint32_t index, const PlannedKey &key)
    {
        const std::size_t first = m_plantsFrom[index], last = m_plantsFrom[index + 1];
        m_names.clear();
        for (std::size_t i = first; i < last; ++i)
            m_names.insert(KeyTree::registryFold(m_planted[i].value.name));

        std::size_t filler = key.valueCount - (last - first);
        if (key.hasDefault && !key.defaultPlanted && filler > 0) {
            m_names.insert(u"");
            --filler;
            emit(GeneratedValue{
                "", m_rng.chance(0.9) ? uint32_t{REG_SZ} : uint32_t{REG_EXPAND_SZ},
                nulTerminated(m_rng.chance(0.9) ? m_text.defaultData() : m_text.expandData())});
        }
        const std::size_t plantsAt = m_rng.below(filler + 1);
        for (std::size_t i = 0; i <= filler; ++i) {
            if (i == plantsAt)
                for (std::size_t p = first; p < last; ++p)
                    emit(m_planted[p].value);
            if (i < filler) emit(fillerValue(key));
        }
    }

    void emit(const GeneratedValue &value)
    {
        m_sink.addValue(value);
        ++m_result.values;
        m_result.dataBytes += value.data.size();
        if (value.type < m_result.valuesPerType.size()) ++m_result.valuesPerType[value.type];
    }

    std::string uniqueValueName(const PlannedKey &key)
    {
        std::string name;
        for (int attempt = 0; attempt < 16; ++attempt) {
            name = key.pathValueNames ? m_text.pathValueName() : m_text.valueName();
            if (m_names.insert(KeyTree::registryFold(name)).second) return name;
        }
        for (std::size_t n = 2;; ++n) {
            std::string numbered = name + " " + std::to_string(n);
            if (m_text.isClean(numbered) && m_names.insert(KeyTree::registryFold(numbered)).second)
                return numbered;
        }
    }

    GeneratedValue fillerValue(const PlannedKey &key)
    {
        GeneratedValue value;
        value.name = uniqueValueName(key);
        unsigned pick = static_cast<unsigned>(m_rng.below(100));
        for (const TypeWeight &t : kValueTypes) {
            value.type = t.type;
            if (pick < t.weight) break;
            pick -= t.weight;
        }
        switch (value.type) {
        case REG_SZ: value.data = nulTerminated(m_text.stringData()); break;
        case REG_EXPAND_SZ: value.data = nulTerminated(m_text.expandData()); break;
        case REG_MULTI_SZ:
            for (const std::string &entry : m_text.multiEntries())
                value.data += entry + '\0';
            value.data += '\0';
            break;
        case REG_DWORD:
            value.data = littleEndian(m_rng.chance(0.6) ? m_rng.below(2) : m_rng.next() >> 40, 4);
            break;
        case REG_QWORD: value.data = littleEndian(m_rng.next() >> 8, 8); break;
        case REG_DWORD_BIG_ENDIAN: value.data = randomBytes(m_rng, 4); break;
        case REG_NONE: value.data = randomBytes(m_rng, m_rng.below(9)); break;
        default: {
            // Mostly small blobs, some of a few hundred bytes, a few large ones.
            const double r = m_rng.unit();
            const std::size_t size = r < 0.75   ? m_rng.between(1, 32)
                                     : r < 0.97 ? m_rng.between(33, 512)
                                                : m_rng.between(513, 8192);
            value.data = randomBytes(m_rng, size);
        }
        }
        return value;
    }

    const KeyTree &m_tree;
    const std::vector<PlantedValue> &m_planted;
    Prng &m_rng;
    FillerText &m_text;
    RegistrySink &m_sink;
    GeneratorResult &m_result;
    std::vector<std::size_t> m_plantsFrom;      // [k] = first planted value of key k
    std::unordered_set<std::u16string> m_names; // of the current key
};

// Rows per root: a key row for every key whose key path holds the needle, and
// the rows of the planted values; filler text holds no needle.
std::vector<NeedleResult> countRows(const KeyTree &tree, const std::vector<PlantedValue> &planted,
                                    const std::vector<NeedlePlan> &plans)
{
    std::vector<NeedleResult> results(plans.size());
    for (std::size_t n = 0; n < plans.size(); ++n)
        results[n].text = plans[n].text;
    const auto forEach = [&](uint64_t mask, uint8_t views, auto add) {
        for (std::size_t n = 0; mask; ++n, mask >>= 1)
            if (mask & 1)
                for (int root = 0; root < RootCount; ++root)
                    if (views & (1u << root)) add(results[n].perRoot[root]);
    };
    std::vector<uint64_t> pathMask(tree.keys.size(), 0);
    for (std::size_t k = 2; k < tree.keys.size(); ++k) {
        const PlannedKey &key = tree.keys[k];
        pathMask[k] = pathMask[key.parent] | key.nameMask;
        forEach(pathMask[k], key.views, [](RowCounts &c) { ++c.keys; });
    }
    for (const PlantedValue &p : planted) {
        const uint8_t views = tree.keys[p.key].views;
        forEach(p.nameMask, views, [](RowCounts &c) { ++c.valueNames; });
        const bool multi = p.value.type == REG_MULTI_SZ;
        forEach(p.dataMask, views,
                [multi](RowCounts &c) { ++(multi ? c.multiStrings : c.stringData); });
    }
    return results;
}

} // namespace

std::size_t GeneratorOptions::valueCount() const
{
    return static_cast<std::size_t>(std::llround(static_cast<double>(keyCount) * valuesPerKey));
}

GeneratorOptions GeneratorOptions::benchmark(uint64_t seed)
{
    GeneratorOptions options;
    options.keyCount = 180000;
    options.valuesPerKey = 610000.0 / 180000.0;
    options.seed = seed;
    options.needles = {
        {rareNeedle, 20, 20, 30, 10, 10, 5},
        {commonNeedle, 60000, 20000, 90000, 15000, 10000, 2500},
    };
    return options;
}

GeneratorOptions GeneratorOptions::small(uint64_t seed)
{
    GeneratorOptions options;
    options.keyCount = 3000;
    options.valuesPerKey = 3.0;
    options.seed = seed;
    options.needles = {
        {rareNeedle, 5, 4, 6, 3, 3, 2},
        {commonNeedle, 900, 300, 900, 150, 120, 60},
    };
    return options;
}

std::size_t minimumKeyCount()
{
    return KeyTree::skeletonSize();
}

uint64_t NeedleResult::defaultScopeRows() const
{
    uint64_t rows = 0;
    for (int root = LocalMachine; root < RootCount; ++root)
        rows += perRoot[root].total();
    return rows;
}

uint64_t NeedleResult::mirroredScopeRows() const
{
    return defaultScopeRows() + perRoot[ClassesRoot].total() + perRoot[CurrentUser].total();
}

GeneratorResult generateRegistry(const GeneratorOptions &options, RegistrySink &sink)
{
    validate(options);
    std::vector<std::string> folded;
    for (const NeedlePlan &plan : options.needles)
        folded.push_back(foldAscii(plan.text));

    // Planning and writing draw from separate streams, so that the values
    // written do not depend on how many draws the planting took.
    Prng planRng(options.seed);
    FillerText planText(planRng, folded);
    KeyTree tree(options.keyCount, options.valueCount(), planRng, planText);
    Planter planter(tree, planRng, planText, options.needles);
    for (std::size_t n = 0; n < options.needles.size(); ++n)
        planter.plantKeys(n);
    for (std::size_t n = 0; n < options.needles.size(); ++n)
        planter.plantValues(n);
    const std::vector<PlantedValue> planted = planter.takeValues();

    GeneratorResult result;
    result.needles = countRows(tree, planted, options.needles);
    Prng emitRng(options.seed ^ 0xA5A5F00DC0FFEE11ULL);
    FillerText emitText(emitRng, folded);
    Emitter(tree, planted, emitRng, emitText, sink, result).run();
    return result;
}

} // namespace quarnel::generator
