#include "tools/generator/KeyTree.h"

#include "registry/win32/RegText.h"
#include "tools/generator/RegistryGenerator.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace quarnel::generator {

namespace {

constexpr uint16_t kMaxDepth = 15;
constexpr const char *kCurrentUserSid = "S-1-5-21-0-0-0-1000";

struct SkeletonKey
{
    Hive hive;
    const char *path;
};

// Keys every generated registry has, parents first; also those a fresh Wine
// prefix and the predefined views (HKEY_CLASSES_ROOT ...) rely on.
const SkeletonKey kSkeleton[] = {
    {Hive::Machine, "Software"},
    {Hive::Machine, "Software\\Classes"},
    {Hive::Machine, "Software\\Classes\\CLSID"},
    {Hive::Machine, "Software\\Classes\\Interface"},
    {Hive::Machine, "Software\\Classes\\TypeLib"},
    {Hive::Machine, "Software\\Microsoft"},
    {Hive::Machine, "Software\\Microsoft\\Windows"},
    {Hive::Machine, "Software\\Microsoft\\Windows\\CurrentVersion"},
    {Hive::Machine, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"},
    {Hive::Machine, "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs"},
    {Hive::Machine, "Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
    {Hive::Machine, "Software\\Microsoft\\Windows NT"},
    {Hive::Machine, "Software\\Microsoft\\Windows NT\\CurrentVersion"},
    {Hive::Machine, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts"},
    {Hive::Machine, "Software\\Policies"},
    {Hive::Machine, "Software\\Wine"},
    {Hive::Machine, "Software\\Wow6432Node"},
    {Hive::Machine, "System"},
    {Hive::Machine, "System\\CurrentControlSet"},
    {Hive::Machine, "System\\CurrentControlSet\\Control"},
    {Hive::Machine, "System\\CurrentControlSet\\Control\\Class"},
    {Hive::Machine, "System\\CurrentControlSet\\Control\\Session Manager"},
    {Hive::Machine, "System\\CurrentControlSet\\Control\\Session Manager\\Environment"},
    {Hive::Machine, "System\\CurrentControlSet\\Services"},
    {Hive::Machine, "System\\CurrentControlSet\\Enum"},
    {Hive::Machine, "System\\CurrentControlSet\\Enum\\PCI"},
    {Hive::Machine, "System\\CurrentControlSet\\Enum\\USB"},
    {Hive::Machine, "System\\CurrentControlSet\\Enum\\ROOT"},
    {Hive::Machine, "System\\CurrentControlSet\\Hardware Profiles"},
    {Hive::Machine, "System\\CurrentControlSet\\Hardware Profiles\\Current"},
    {Hive::Users, ".Default"},
    {Hive::Users, ".Default\\Control Panel"},
    {Hive::Users, ".Default\\Software"},
    {Hive::Users, "S-1-5-21-0-0-0-1000"},
    {Hive::Users, "S-1-5-21-0-0-0-1000\\Software"},
    {Hive::Users, "S-1-5-21-0-0-0-1000\\Software\\Wine"},
    {Hive::Users, "S-1-5-21-0-0-0-1000\\Control Panel"},
    {Hive::Users, "S-1-5-21-0-0-0-1000\\Control Panel\\Desktop"},
    {Hive::Users, "S-1-5-21-0-0-0-1000\\Environment"},
};

// Keys of the skeleton with many values of their own (font lists, shared-DLL
// counters, environments).
struct ValueHeavyKey
{
    const char *path;
    uint32_t minValues, maxValues;
    bool pathNames;
};
const ValueHeavyKey kValueHeavy[] = {
    {"Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", 250, 400, false},
    {"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", 150, 300, true},
    {"Software\\Microsoft\\Windows\\CurrentVersion", 15, 30, false},
    {"System\\CurrentControlSet\\Control\\Session Manager\\Environment", 10, 20, false},
    {"S-1-5-21-0-0-0-1000\\Control Panel\\Desktop", 30, 60, false},
};

// Where the generated keys grow, with their share of the key budget. A wide
// attachment gets many entries (class ids, services ...) of entryMin..entryMax
// keys each; the others grow freely.
struct Attachment
{
    Hive hive;
    const char *path;
    unsigned share;
    bool wide;
    NameStyle entryStyle, innerStyle;
    std::size_t entryMin, entryMax;
};
const Attachment kAttachments[] = {
    {Hive::Machine, "Software\\Classes\\CLSID", 14, true, NameStyle::Guid, NameStyle::ComEntry, 1,
     4},
    {Hive::Machine, "Software\\Classes\\Interface", 5, true, NameStyle::Guid, NameStyle::ComEntry,
     1, 3},
    {Hive::Machine, "Software\\Classes\\TypeLib", 3, true, NameStyle::Guid, NameStyle::Generic, 2,
     4},
    {Hive::Machine, "Software\\Classes", 8, true, NameStyle::ClassName, NameStyle::Generic, 1, 3},
    {Hive::Machine, "Software\\Microsoft", 10, false, NameStyle::Generic, NameStyle::Generic, 0, 0},
    {Hive::Machine, "Software\\Microsoft\\Windows\\CurrentVersion", 10, false, NameStyle::Generic,
     NameStyle::Generic, 0, 0},
    {Hive::Machine, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall", 2, true,
     NameStyle::Product, NameStyle::Generic, 1, 1},
    {Hive::Machine, "Software\\Microsoft\\Windows NT\\CurrentVersion", 4, false, NameStyle::Generic,
     NameStyle::Generic, 0, 0},
    {Hive::Machine, "Software", 7, false, NameStyle::Generic, NameStyle::Generic, 0, 0},
    {Hive::Machine, "Software\\Wine", 1, false, NameStyle::Generic, NameStyle::Generic, 0, 0},
    {Hive::Machine, "Software\\Wow6432Node", 8, false, NameStyle::Generic, NameStyle::Generic, 0,
     0},
    {Hive::Machine, "Software\\Policies", 1, false, NameStyle::Generic, NameStyle::Generic, 0, 0},
    {Hive::Machine, "System\\CurrentControlSet\\Control", 4, false, NameStyle::Generic,
     NameStyle::Generic, 0, 0},
    {Hive::Machine, "System\\CurrentControlSet\\Control\\Class", 2, true, NameStyle::Guid,
     NameStyle::Numbered, 2, 8},
    {Hive::Machine, "System\\CurrentControlSet\\Services", 6, true, NameStyle::Service,
     NameStyle::Generic, 1, 5},
    {Hive::Machine, "System\\CurrentControlSet\\Enum\\PCI", 2, true, NameStyle::Device,
     NameStyle::Device, 2, 4},
    {Hive::Machine, "System\\CurrentControlSet\\Enum\\USB", 2, true, NameStyle::Device,
     NameStyle::Device, 2, 4},
    {Hive::Machine, "System\\CurrentControlSet\\Enum\\ROOT", 1, true, NameStyle::Generic,
     NameStyle::Numbered, 2, 3},
    {Hive::Machine, "System\\CurrentControlSet\\Hardware Profiles\\Current", 1, false,
     NameStyle::Generic, NameStyle::Generic, 0, 0},
    {Hive::Users, ".Default", 2, false, NameStyle::Generic, NameStyle::Generic, 0, 0},
    {Hive::Users, ".Default\\Software", 1, false, NameStyle::Generic, NameStyle::Generic, 0, 0},
    {Hive::Users, "S-1-5-21-0-0-0-1000\\Software", 5, false, NameStyle::Generic, NameStyle::Generic,
     0, 0},
    {Hive::Users, "S-1-5-21-0-0-0-1000\\Control Panel", 1, false, NameStyle::Generic,
     NameStyle::Generic, 0, 0},
};

// The keys whose walk from "\" a root index starts at, besides the two hives.
struct ViewRoot
{
    Hive hive;
    const char *path;
    int root;
};
const ViewRoot kViewRoots[] = {
    {Hive::Machine, "Software\\Classes", ClassesRoot},
    {Hive::Users, kCurrentUserSid, CurrentUser},
    {Hive::Machine, "System\\CurrentControlSet\\Hardware Profiles\\Current", CurrentConfig},
};

} // namespace

std::size_t KeyTree::skeletonSize()
{
    return std::size(kSkeleton);
}

KeyTree::KeyTree(std::size_t keyCount, std::size_t valueCount, Prng &rng, FillerText &text)
    : m_rng(rng), m_text(text)
{
    if (keyCount < skeletonSize())
        throw std::invalid_argument("a generated registry needs at least " +
                                    std::to_string(skeletonSize()) + " keys");
    keys.reserve(keyCount + 2);
    children.reserve(keyCount + 2);
    for (Hive hive : {Hive::Machine, Hive::Users}) {
        keys.emplace_back();
        keys.back().hive = hive;
        keys.back().skeleton = true;
        children.emplace_back();
    }
    for (const SkeletonKey &s : kSkeleton) {
        if (!m_text.isClean(s.path))
            throw std::invalid_argument(std::string("a needle occurs in the fixed key ") + s.path);
        keys[addPath(s.hive == Hive::Machine ? kMachineRoot : kUsersRoot, s.path)].skeleton = true;
    }

    const std::size_t budget = keyCount - skeletonSize();
    unsigned totalShare = 0;
    for (const Attachment &a : kAttachments)
        totalShare += a.share;
    std::vector<std::size_t> budgets;
    std::size_t given = 0;
    for (const Attachment &a : kAttachments) {
        budgets.push_back(budget * a.share / totalShare);
        given += budgets.back();
    }
    for (std::size_t i = 0; given < budget; ++i, ++given)
        ++budgets[i % budgets.size()];
    for (std::size_t i = 0; i < std::size(kAttachments); ++i) {
        const Attachment &a = kAttachments[i];
        const uint32_t node = addPath(a.hive == Hive::Machine ? kMachineRoot : kUsersRoot, a.path);
        if (a.wide)
            growWide(node, budgets[i], a.entryStyle, a.innerStyle, a.entryMin, a.entryMax);
        else
            growGeneric(node, budgets[i], a.entryStyle);
    }
    computeViewsAndSizes();
    assignValueCounts(valueCount);
}

std::u16string KeyTree::registryFold(std::string_view name)
{
    std::u16string folded = platform::utf16FromBytes(name);
    for (char16_t &unit : folded)
        unit = platform::foldUnit(unit);
    return folded;
}

std::u16string KeyTree::siblingKey(uint32_t parent, const std::string &name)
{
    std::u16string key;
    key += static_cast<char16_t>(parent & 0xFFFF);
    key += static_cast<char16_t>(parent >> 16);
    return key + registryFold(name);
}

uint32_t KeyTree::addKey(uint32_t parent, std::string name)
{
    m_siblingNames.insert(siblingKey(parent, name));
    const auto index = static_cast<uint32_t>(keys.size());
    PlannedKey &key = keys.emplace_back();
    key.name = std::move(name);
    key.parent = parent;
    key.hive = keys[parent].hive;
    key.depth = static_cast<uint16_t>(keys[parent].depth + 1);
    children.emplace_back();
    children[parent].push_back(index);
    return index;
}

// Finds or creates each key of a backslash-separated path.
uint32_t KeyTree::addPath(uint32_t hiveRoot, const std::string &path)
{
    uint32_t node = hiveRoot;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string::npos) end = path.size();
        const std::string name = path.substr(start, end - start);
        uint32_t next = 0;
        for (uint32_t child : children[node])
            if (keys[child].name == name) next = child;
        node = next ? next : addKey(node, name);
        start = end + 1;
    }
    return node;
}

bool KeyTree::renameKey(uint32_t key, const std::string &name)
{
    const uint32_t parent = keys[key].parent;
    if (!m_siblingNames.insert(siblingKey(parent, name)).second) return false;
    m_siblingNames.erase(siblingKey(parent, keys[key].name));
    keys[key].name = name;
    return true;
}

std::string KeyTree::uniqueChildName(uint32_t parent, NameStyle style, std::size_t index)
{
    for (int attempt = 0; attempt < 24; ++attempt) {
        // Small name pools (class-id entries) run out: then ordinary names.
        std::string name = m_text.keyName(attempt < 8 ? style : NameStyle::Generic, index);
        if (!m_siblingNames.count(siblingKey(parent, name))) return name;
    }
    const std::string base = m_text.keyName(NameStyle::Generic, index);
    for (std::size_t n = 2;; ++n) {
        std::string name = base + " " + std::to_string(n);
        if (m_text.isClean(name) && !m_siblingNames.count(siblingKey(parent, name))) return name;
    }
}

// How many children a key with `budget` keys below it gets: mostly a few,
// sometimes dozens or hundreds, more where much is left to place.
std::size_t KeyTree::fanOut(std::size_t budget, uint16_t depth)
{
    if (depth + 1 >= kMaxDepth) return budget;
    const double r = m_rng.unit();
    std::size_t count;
    if (r < 0.30)
        count = 1;
    else if (r < 0.55)
        count = 2;
    else if (r < 0.70)
        count = 3;
    else if (r < 0.85)
        count = m_rng.between(4, 8);
    else if (r < 0.97)
        count = m_rng.between(9, 30);
    else
        count = m_rng.between(31, 150);
    const auto scaled = static_cast<std::size_t>(std::pow(static_cast<double>(budget), 0.45) *
                                                 (0.5 + m_rng.unit()));
    return std::min(budget, std::max(count, scaled));
}

void KeyTree::growGeneric(uint32_t node, std::size_t budget, NameStyle style)
{
    if (budget == 0) return;
    const std::size_t count = fanOut(budget, keys[node].depth);
    // Skewed shares: most children stay leaves, a few carry big subtrees.
    std::vector<double> weights(count);
    double sum = 0;
    for (double &w : weights) {
        const double u = m_rng.unit();
        w = u * u * u;
        sum += w;
    }
    const std::size_t rest = budget - count;
    std::vector<std::size_t> shares(count);
    std::size_t given = 0;
    for (std::size_t i = 0; i < count; ++i) {
        shares[i] =
            sum > 0 ? static_cast<std::size_t>(static_cast<double>(rest) * weights[i] / sum) : 0;
        given += shares[i];
    }
    for (; given < rest; ++given)
        ++shares[m_rng.below(count)];
    for (std::size_t i = 0; i < count; ++i) {
        const uint32_t child = addKey(node, uniqueChildName(node, style, i));
        const NameStyle below = style == NameStyle::Device ? NameStyle::Device : NameStyle::Generic;
        growGeneric(child, shares[i], below);
    }
}

void KeyTree::growWide(uint32_t node, std::size_t budget, NameStyle entryStyle,
                       NameStyle innerStyle, std::size_t entryMin, std::size_t entryMax)
{
    for (std::size_t index = 0; budget > 0; ++index) {
        const std::size_t size = std::min<std::size_t>(budget, m_rng.between(entryMin, entryMax));
        budget -= size;
        const uint32_t entry = addKey(node, uniqueChildName(node, entryStyle, index));
        if (size <= 1) continue;
        // Entries keep their inner names flat (InprocServer32, 0000 ...), as real ones do.
        const std::size_t inner = size - 1;
        const std::size_t flat = std::min<std::size_t>(inner, m_rng.between(1, 4));
        std::vector<std::size_t> shares(flat, 0);
        for (std::size_t i = 0; i < inner - flat; ++i)
            ++shares[m_rng.below(flat)];
        for (std::size_t i = 0; i < flat; ++i)
            growGeneric(addKey(entry, uniqueChildName(entry, innerStyle, i)), shares[i],
                        NameStyle::Generic);
    }
}

void KeyTree::computeViewsAndSizes()
{
    for (std::size_t i = keys.size(); i-- > 2;)
        keys[keys[i].parent].subtreeSize += keys[i].subtreeSize;
    keys[kMachineRoot].views = 1u << LocalMachine;
    keys[kUsersRoot].views = 1u << Users;
    std::vector<uint8_t> ownView(keys.size(), 0);
    for (const ViewRoot &v : kViewRoots)
        ownView[addPath(v.hive == Hive::Machine ? kMachineRoot : kUsersRoot, v.path)] =
            static_cast<uint8_t>(1u << v.root);
    for (std::size_t i = 2; i < keys.size(); ++i)
        keys[i].views = static_cast<uint8_t>(keys[keys[i].parent].views | ownView[i]);
}

void KeyTree::assignValueCounts(std::size_t valueCount)
{
    std::vector<double> raw(keys.size(), 0.0);
    double sum = 0;
    for (std::size_t i = 2; i < keys.size(); ++i) {
        const double r = m_rng.unit();
        uint64_t count;
        if (r < 0.22)
            count = 0;
        else if (r < 0.52)
            count = m_rng.between(1, 2);
        else if (r < 0.82)
            count = m_rng.between(3, 6);
        else if (r < 0.975)
            count = m_rng.between(7, 20);
        else if (r < 0.997)
            count = m_rng.between(21, 60);
        else {
            count = m_rng.between(100, 400);
            keys[i].pathValueNames = m_rng.chance(0.5);
        }
        raw[i] = static_cast<double>(count);
    }
    for (const ValueHeavyKey &heavy : kValueHeavy) {
        const bool machine = std::string_view(heavy.path).rfind("S-1-5-21", 0) != 0;
        const uint32_t key = addPath(machine ? kMachineRoot : kUsersRoot, heavy.path);
        raw[key] = static_cast<double>(m_rng.between(heavy.minValues, heavy.maxValues));
        keys[key].pathValueNames = heavy.pathNames;
    }
    for (double r : raw)
        sum += r;
    // Scale to the wanted total, then settle the rounding one value at a time.
    const double factor = sum > 0 ? static_cast<double>(valueCount) / sum : 0.0;
    std::size_t total = 0;
    for (std::size_t i = 2; i < keys.size(); ++i) {
        keys[i].valueCount = static_cast<uint32_t>(std::floor(raw[i] * factor + m_rng.unit()));
        total += keys[i].valueCount;
    }
    const std::size_t real = keys.size() - 2;
    while (total < valueCount) {
        ++keys[2 + m_rng.below(real)].valueCount;
        ++total;
    }
    while (total > valueCount) {
        PlannedKey &key = keys[2 + m_rng.below(real)];
        if (key.valueCount > 0) {
            --key.valueCount;
            --total;
        }
    }
    for (std::size_t i = 2; i < keys.size(); ++i)
        keys[i].hasDefault = keys[i].valueCount > 0 && m_rng.chance(0.3);
}

} // namespace quarnel::generator
