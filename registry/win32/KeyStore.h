// The registry tree behind our Win32-compatible calls: keys and values with
// UTF-16 names (kept narrow where they can be), sorted the way Wine enumerates
// them. Persistence sits behind StoreHooks, so the calls above never know
// whether a store is file-backed.
#pragma once

#include "registry/win32/RegText.h"
#include "registry/win32/ValueTable.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quarnel::platform {

// What few keys have: a class and lines of a registry file we keep unread.
struct RegKeyExtra
{
    std::u16string className;
    std::vector<std::string> unknownLines; // written back as they came
};

class RegKey;

// Holds a key alive: its parent does, and so does every open handle, which may
// outlive the key's place in the tree. Keys count their holders themselves, as
// a registry has hundreds of thousands of them.
class KeyRef
{
public:
    KeyRef() = default;
    explicit KeyRef(RegKey *key);
    KeyRef(const KeyRef &other) : KeyRef(other.m_key) {}
    KeyRef(KeyRef &&other) noexcept : m_key(std::exchange(other.m_key, nullptr)) {}
    KeyRef &operator=(KeyRef other) noexcept
    {
        std::swap(m_key, other.m_key);
        return *this;
    }
    ~KeyRef() { reset(); }

    RegKey *get() const { return m_key; }
    RegKey &operator*() const { return *m_key; }
    RegKey *operator->() const { return m_key; }
    explicit operator bool() const { return m_key != nullptr; }
    long use_count() const;
    void reset();

private:
    RegKey *m_key = nullptr;
};

class RegKey
{
    // First, so that the marks below share their word: a key is 64 bytes.
    friend class KeyRef;
    uint32_t m_holders = 0;
    uint32_t m_nameUnits : 28 = 0;
    uint32_t m_wideName : 1 = 0;

public:
    bool deleted : 1 = false;
    bool isVolatile : 1 = false;
    bool isLink : 1 = false;

    static constexpr std::size_t kMaxNameUnits = (1u << 28) - 1;

    // A key without a name and outside any tree (a tree's top while it is read).
    RegKey() = default;
    // A key named `name`, its name kept right behind it; throws std::length_error
    // for a name longer than kMaxNameUnits.
    static KeyRef make(UnitText name);
    // Frees the keys below one at a time: a chain of nested keys as deep as a
    // registry file may hold would overflow the stack with nested destructors.
    ~RegKey();
    RegKey(const RegKey &) = delete;
    RegKey &operator=(const RegKey &) = delete;

    UnitText name() const;

    RegKey *parent = nullptr;
    std::vector<KeyRef> subkeys;        // sorted by compareNames
    ValueTable values;                  // sorted by compareNames; default value first
    uint64_t lastWriteTime = 0;         // FILETIME
    std::unique_ptr<RegKeyExtra> extra; // rare, so one pointer per key

    std::u16string_view className() const
    {
        return extra ? std::u16string_view(extra->className) : std::u16string_view();
    }
    RegKeyExtra &extras();

    // Index of the subkey with this name, or of where it would go.
    std::size_t subkeyPosition(UnitText name, bool &found) const;
    RegKey *findSubkey(std::u16string_view name) const;
    std::optional<ValueRef> findValue(std::u16string_view name) const
    {
        return values.find(UnitText(name));
    }

    // Creates the subkey when missing, last written now or at `time`; `created`
    // tells which happened.
    RegKey &addSubkey(UnitText name, bool &created);
    RegKey &addSubkey(UnitText name, bool &created, uint64_t time);
    RegKey &addSubkey(std::u16string_view name, bool &created)
    {
        return addSubkey(UnitText(name), created);
    }
    void setValue(UnitText name, uint32_t type, ValueData data);
    void setValue(std::u16string_view name, uint32_t type, std::span<const uint8_t> data)
    {
        setValue(UnitText(name), type, ValueData(data.data(), data.size(), false));
    }
    bool removeValue(UnitText name);
    bool removeValue(std::u16string_view name) { return removeValue(UnitText(name)); }
    // Detaches a subkey without subkeys of its own and marks it deleted.
    void removeSubkey(RegKey &child);

    bool isDescendantOf(const RegKey &ancestor) const;

private:
    RegKey &insertSubkey(std::size_t pos, UnitText name, uint64_t time);
};

inline KeyRef::KeyRef(RegKey *key) : m_key(key)
{
    if (m_key) ++m_key->m_holders;
}

inline long KeyRef::use_count() const
{
    return m_key ? static_cast<long>(m_key->m_holders) : 0;
}

enum class StoreChange
{
    KeyCreated,    // `key` is the parent, `name` the new key's name
    ValueSet,      // `name` is the value's name
    ValueDeleted,  // `name` is the value's name
    SubkeyDeleted, // `key` is the parent, `name` the deleted subkey's name
    KeyMarked      // `key` gets another class
};

// A change about to be made, with all a journal needs to make it again.
struct PendingChange
{
    StoreChange kind = StoreChange::ValueSet;
    // The value's name; the new or deleted subkey's name; for KeyMarked the class.
    std::u16string_view name{};
    uint64_t time = 0;               // the key's last-write time once changed
    uint32_t type = 0;               // ValueSet: the value's type
    std::span<const uint8_t> data{}; // ValueSet: the value's data
    bool link = false;               // KeyCreated, KeyMarked: the key is a symbolic link
    bool volatileKey = false;        // KeyCreated: the new key is volatile
};

// What a file-backed store adds: a veto before every change (for instance while
// another program owns the files) and a record of it before it is made, so that
// a change the store cannot keep is never made at all.
class StoreHooks
{
public:
    virtual ~StoreHooks() = default;
    // Returns a Win32 error code; anything but 0 refuses the change.
    virtual long beforeChange(const RegKey &key) { return (void)key, 0; }
    // Called once beforeChange allowed it, right before the change is made to
    // `key` (for KeyCreated and SubkeyDeleted: the parent). Anything but 0
    // refuses the change, which is then not made.
    virtual long recordChange(const RegKey &key, const PendingChange &change)
    {
        return (void)key, (void)change, 0;
    }
};

// Both of the above: the code to return, or 0 when the change is to be made now.
inline long admitChange(StoreHooks &hooks, const RegKey &key, const PendingChange &change)
{
    if (long rc = hooks.beforeChange(key)) return rc;
    return hooks.recordChange(key, change);
}

class KeyStore
{
public:
    KeyStore();

    // \REGISTRY, with Machine and User below it.
    RegKey &top() { return *m_top; }
    RegKey &machine() { return *m_machine; }
    RegKey &users() { return *m_users; }

    // The security id whose key HKEY_CURRENT_USER shows (the one Wine gives its user).
    std::u16string currentUserSid = u"S-1-5-21-0-0-0-1000";

    void setHooks(std::shared_ptr<StoreHooks> hooks) { m_hooks = std::move(hooks); }
    StoreHooks &hooks() { return *m_hooks; }

    // Creates (non-volatile) every key of a backslash-separated path below `base`.
    RegKey &ensurePath(RegKey &base, std::u16string_view path);

    static uint64_t now();

private:
    KeyRef m_top;
    RegKey *m_machine = nullptr;
    RegKey *m_users = nullptr;
    std::shared_ptr<StoreHooks> m_hooks;
};

// The store the Win32 calls work on. Replacing it invalidates all open handles.
KeyStore &activeStore();
void setActiveStore(std::shared_ptr<KeyStore> store);

class HandleTable;

// While it lives, the Win32 calls made on this thread work on `store`, with a
// handle table of their own, and the active store stays what the other threads
// (and this one afterwards) work on: another registry read beside the open one.
// Scopes do not nest; the store must not be shared with another thread.
class ThreadStoreScope
{
public:
    explicit ThreadStoreScope(std::shared_ptr<KeyStore> store);
    ~ThreadStoreScope();
    ThreadStoreScope(const ThreadStoreScope &) = delete;
    ThreadStoreScope &operator=(const ThreadStoreScope &) = delete;

private:
    std::shared_ptr<KeyStore> m_store;
    std::unique_ptr<HandleTable> m_handles;
};

// Changes whenever a key may have been freed or detached, or a link may lead
// elsewhere: whoever remembers keys found by their path checks it before use.
uint64_t treeVersion();
void treeChanged();

// Handles opened and not yet closed (WinRegApi.cpp); lets tests find leaks.
std::size_t openHandleCount();

} // namespace quarnel::platform
