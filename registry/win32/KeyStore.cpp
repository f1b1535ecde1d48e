#include "registry/win32/KeyStore.h"

#include "registry/win32/FileTime.h"
#include "registry/win32/HandleTable.h"
#include "registry/win32/KeyNames.h"
#include "registry/win32/RegText.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <new>
#include <stdexcept>

namespace quarnel::platform {

#ifndef _WIN32 // Windows' bit-field layout gives the marks a word of their own
static_assert(sizeof(void *) != 8 || sizeof(RegKey) == 64);
#endif

namespace {

// Files are read on several threads, and a value set on a link key there
// counts as a change.
std::atomic<uint64_t> g_treeVersion = 0;

} // namespace

uint64_t treeVersion()
{
    return g_treeVersion.load(std::memory_order_relaxed);
}

void treeChanged()
{
    g_treeVersion.fetch_add(1, std::memory_order_relaxed);
}

std::size_t RegKey::subkeyPosition(UnitText key, bool &found) const
{
    return namePosition(
        subkeys.size(), [this](std::size_t i) { return subkeys[i]->name(); }, key, found);
}

RegKey *RegKey::findSubkey(std::u16string_view key) const
{
    bool found;
    const std::size_t pos = subkeyPosition(key, found);
    return found ? subkeys[pos].get() : nullptr;
}

RegKey::~RegKey()
{
    treeChanged();
    std::vector<KeyRef> pending;
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
        KeyRef key = std::move(pending.back());
        pending.pop_back();
        // The last owner frees the key, once its subkeys have moved here.
        if (key.use_count() == 1) takeSubkeys(*key);
    }
}

RegKey &RegKey::addSubkey(UnitText key, bool &created)
{
    // The clock only for a key that is made.
    bool found;
    const std::size_t pos = subkeyPosition(key, found);
    created = !found;
    return found ? *subkeys[pos] : insertSubkey(pos, key, KeyStore::now());
}

RegKey &RegKey::addSubkey(UnitText key, bool &created, uint64_t time)
{
    bool found = false;
    // Files list keys in order, so a new key mostly goes last: one comparison.
    const std::size_t pos = !subkeys.empty() && compareNames(subkeys.back()->name(), key) < 0
                                ? subkeys.size()
                                : subkeyPosition(key, found);
    created = !found;
    return found ? *subkeys[pos] : insertSubkey(pos, key, time);
}

RegKey &RegKey::insertSubkey(std::size_t pos, UnitText key, uint64_t time)
{
    KeyRef child = RegKey::make(key);
    child->parent = this;
    child->lastWriteTime = time;
    child->isVolatile = isVolatile;
    RegKey &added = *child;
    subkeys.insert(subkeys.begin() + static_cast<std::ptrdiff_t>(pos), std::move(child));
    return added;
}

KeyRef RegKey::make(UnitText name)
{
    if (name.size() > kMaxNameUnits) throw std::length_error("key name too long");
    const bool narrow = name.fitsNarrow();
    const std::size_t nameBytes = narrow ? name.size() : name.size() * 2;
    void *memory = ::operator new(sizeof(RegKey) + nameBytes);
    auto *key = new (memory) RegKey();
    key->m_nameUnits = static_cast<uint32_t>(name.size());
    key->m_wideName = !narrow;
    auto *stored = reinterpret_cast<uint8_t *>(key + 1);
    if (narrow)
        name.copyNarrowTo(stored);
    else
        name.copyTo(reinterpret_cast<char16_t *>(stored));
    return KeyRef(key);
}

UnitText RegKey::name() const
{
    const std::size_t units = m_nameUnits;
    if (!units) return {};
    const auto *stored = reinterpret_cast<const uint8_t *>(this + 1);
    if (m_wideName) return std::u16string_view(reinterpret_cast<const char16_t *>(stored), units);
    return {stored, units};
}

void KeyRef::reset()
{
    RegKey *key = std::exchange(m_key, nullptr);
    if (key && --key->m_holders == 0) {
        key->~RegKey();
        ::operator delete(key);
    }
}

RegKeyExtra &RegKey::extras()
{
    if (!extra) extra = std::make_unique<RegKeyExtra>();
    return *extra;
}

void RegKey::setValue(UnitText value, uint32_t type, ValueData data)
{
    // A link's value may name another target: opens resolved through it go stale.
    if (isLink) treeChanged();
    values.set(value, type, data);
}

bool RegKey::removeValue(UnitText value)
{
    if (!values.remove(value)) return false;
    if (isLink) treeChanged();
    return true;
}

void RegKey::removeSubkey(RegKey &child)
{
    bool found;
    const std::size_t pos = subkeyPosition(child.name(), found);
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

KeyStore::KeyStore()
    : m_top(RegKey::make(std::u16string_view(u"REGISTRY"))), m_hooks(std::make_shared<StoreHooks>())
{
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
    return fileTimeNow();
}

namespace {
std::shared_ptr<KeyStore> &storeSlot()
{
    static std::shared_ptr<KeyStore> store = std::make_shared<KeyStore>();
    return store;
}
} // namespace

// The store of this thread's ThreadStoreScope, when one lives.
thread_local KeyStore *t_scopeStore = nullptr;

KeyStore &activeStore()
{
    return t_scopeStore ? *t_scopeStore : *storeSlot();
}

void invalidateAllHandles(); // WinRegApi.cpp

void setActiveStore(std::shared_ptr<KeyStore> store)
{
    invalidateAllHandles();
    storeSlot() = std::move(store);
    treeChanged();
}

void useThreadHandles(HandleTable *table); // HandleTable.cpp

ThreadStoreScope::ThreadStoreScope(std::shared_ptr<KeyStore> store)
    : m_store(std::move(store)), m_handles(std::make_unique<HandleTable>())
{
    t_scopeStore = m_store.get();
    useThreadHandles(m_handles.get());
    treeChanged(); // what this thread remembers of keys by their paths is of another tree
}

ThreadStoreScope::~ThreadStoreScope()
{
    // The handles go first: they hold keys of the store.
    m_handles->clear();
    useThreadHandles(nullptr);
    t_scopeStore = nullptr;
    treeChanged();
}

} // namespace quarnel::platform
