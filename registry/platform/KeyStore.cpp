#include "registry/platform/KeyStore.h"

#include "registry/platform/KeyNames.h"
#include "registry/platform/RegText.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace quarnel::platform {

namespace {

template <typename Range, typename NameOf>
std::size_t sortedPosition(const Range &range, std::u16string_view name, bool &found, NameOf nameOf)
{
    std::size_t lo = 0, hi = range.size();
    while (lo < hi) {
        const std::size_t mid = (lo + hi) / 2;
        const int c = compareNames(nameOf(range[mid]), name);
        if (c == 0) {
            found = true;
            return mid;
        }
        if (c < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    found = false;
    return lo;
}

uint64_t g_treeVersion = 0;

} // namespace

uint64_t treeVersion()
{
    return g_treeVersion;
}

void treeChanged()
{
    ++g_treeVersion;
}

std::size_t RegKey::subkeyPosition(std::u16string_view key, bool &found) const
{
    return sortedPosition(
        subkeys, key, found,
        [](const std::shared_ptr<RegKey> &k) -> std::u16string_view { return k->name; });
}

std::size_t RegKey::valuePosition(std::u16string_view value, bool &found) const
{
    return sortedPosition(values, value, found,
                          [](const RegValue &v) -> std::u16string_view { return v.name(); });
}

RegKey *RegKey::findSubkey(std::u16string_view key) const
{
    bool found;
    const std::size_t pos = subkeyPosition(key, found);
    return found ? subkeys[pos].get() : nullptr;
}

const RegValue *RegKey::findValue(std::u16string_view value) const
{
    bool found;
    const std::size_t pos = valuePosition(value, found);
    return found ? &values[pos] : nullptr;
}

RegKey::~RegKey()
{
    treeChanged();
    std::vector<std::shared_ptr<RegKey>> pending;
    const auto takeSubkeys = [&pending](RegKey &key) {
        for (auto &child : key.subkeys) {
            // A key kept alive elsewhere (an open handle) outlives its parent,
            // no longer part of the registry.
            if (child->parent == &key) {
                child->parent = nullptr;
                child->deleted = true;
            }
            pending.push_back(std::move(child));
        }
        key.subkeys.clear();
    };
    takeSubkeys(*this);
    while (!pending.empty()) {
        std::shared_ptr<RegKey> key = std::move(pending.back());
        pending.pop_back();
        // The last owner frees the key, once its subkeys have moved here.
        if (key.use_count() == 1) takeSubkeys(*key);
    }
}

RegKey &RegKey::addSubkey(std::u16string_view key, bool &created)
{
    bool found = false;
    // Files list keys in order, so a new key mostly goes last: one comparison.
    const std::size_t pos = !subkeys.empty() && compareNames(subkeys.back()->name, key) < 0
                                ? subkeys.size()
                                : subkeyPosition(key, found);
    created = !found;
    if (found) return *subkeys[pos];
    auto child = std::make_shared<RegKey>();
    child->name = key;
    child->parent = this;
    child->lastWriteTime = KeyStore::now();
    child->isVolatile = isVolatile;
    subkeys.insert(subkeys.begin() + static_cast<std::ptrdiff_t>(pos), child);
    return *child;
}

RegValue::RegValue(std::u16string_view name, uint32_t type, std::span<const uint8_t> data)
    : type(type), m_nameLength(static_cast<uint32_t>(name.size())),
      m_dataSize(static_cast<uint32_t>(data.size()))
{
    const std::size_t units = name.size() + (data.size() + 1) / 2;
    if (!units) return;
    m_block.reset(new char16_t[units]);
    std::copy(name.begin(), name.end(), m_block.get());
    if (!data.empty()) std::memcpy(m_block.get() + name.size(), data.data(), data.size());
}

RegValue &RegValue::operator=(const RegValue &other)
{
    if (this != &other) *this = RegValue(other.name(), other.type, other.data());
    return *this;
}

void RegValue::setData(std::span<const uint8_t> data)
{
    // Data may point into our own block, so build the new one first.
    RegValue changed(name(), type, data);
    *this = std::move(changed);
}

RegKeyExtra &RegKey::extras()
{
    if (!extra) extra = std::make_unique<RegKeyExtra>();
    return *extra;
}

RegValue &RegKey::setValue(std::u16string_view value, uint32_t type, std::span<const uint8_t> data)
{
    // A link's value may name another target: opens resolved through it go stale.
    if (isLink) treeChanged();
    bool found;
    const std::size_t pos = valuePosition(value, found);
    if (!found) {
        values.insert(values.begin() + static_cast<std::ptrdiff_t>(pos),
                      RegValue(value, type, data));
        return values[pos];
    }
    RegValue &v = values[pos];
    v.type = type;
    v.setData(data);
    return v;
}

void RegKey::appendValue(RegValue value)
{
    if (!values.empty() && compareNames(values.back().name(), value.name()) >= 0) {
        setValue(value.name(), value.type, value.data());
        return;
    }
    values.push_back(std::move(value));
}

bool RegKey::removeValue(std::u16string_view value)
{
    bool found;
    const std::size_t pos = valuePosition(value, found);
    if (!found) return false;
    if (isLink) treeChanged();
    values.erase(values.begin() + static_cast<std::ptrdiff_t>(pos));
    return true;
}

void RegKey::removeSubkey(RegKey &child)
{
    bool found;
    const std::size_t pos = subkeyPosition(child.name, found);
    if (!found || subkeys[pos].get() != &child) return;
    treeChanged();
    child.deleted = true;
    child.parent = nullptr;
    subkeys.erase(subkeys.begin() + static_cast<std::ptrdiff_t>(pos));
}

bool RegKey::isDescendantOf(const RegKey &ancestor) const
{
    for (const RegKey *k = this; k; k = k->parent)
        if (k == &ancestor) return true;
    return false;
}

KeyStore::KeyStore() : m_top(std::make_shared<RegKey>()), m_hooks(std::make_shared<StoreHooks>())
{
    m_top->name = u"REGISTRY";
    m_top->lastWriteTime = now();
    bool created;
    m_machine = &m_top->addSubkey(u"Machine", created);
    m_users = &m_top->addSubkey(u"User", created);
    // The keys every Wine prefix has and the predefined views rely on.
    ensurePath(*m_machine, u"Software\\Classes");
    ensurePath(*m_machine, u"System\\CurrentControlSet\\Hardware Profiles\\Current");
    ensurePath(*m_users, u".Default");
    ensurePath(*m_users, currentUserSid);
}

RegKey &KeyStore::ensurePath(RegKey &base, std::u16string_view path)
{
    RegKey *key = &base;
    forEachKeyName(path, [&](std::u16string_view name) {
        bool created;
        key = &key->addSubkey(name, created);
    });
    return *key;
}

uint64_t KeyStore::now()
{
    using namespace std::chrono;
    // FILETIME counts 100 ns steps since 1601-01-01.
    constexpr uint64_t kUnixEpochAsFileTime = 116444736000000000ULL;
    const auto since1970 =
        duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count();
    return kUnixEpochAsFileTime + static_cast<uint64_t>(since1970 / 100);
}

namespace {
std::shared_ptr<KeyStore> &storeSlot()
{
    static std::shared_ptr<KeyStore> store = std::make_shared<KeyStore>();
    return store;
}
} // namespace

KeyStore &activeStore()
{
    return *storeSlot();
}

void invalidateAllHandles(); // WinRegApi.cpp

void setActiveStore(std::shared_ptr<KeyStore> store)
{
    invalidateAllHandles();
    storeSlot() = std::move(store);
    treeChanged();
}

} // namespace quarnel::platform
