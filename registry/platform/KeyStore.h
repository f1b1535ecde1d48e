// The registry tree behind our Win32-compatible calls: keys and values with
// UTF-16 names, sorted the way Wine enumerates them. Persistence sits behind
// StoreHooks, so the calls above never know whether a store is file-backed.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quarnel::platform {

// A value keeps its name and data in one allocation: a registry holds hundreds
// of thousands of values, and a string plus a vector each would double its size.
class RegValue
{
public:
    RegValue() = default;
    RegValue(std::u16string_view name, uint32_t type, std::span<const uint8_t> data);
    RegValue(const RegValue &other) : RegValue(other.name(), other.type, other.data()) {}
    RegValue &operator=(const RegValue &other);
    RegValue(RegValue &&) noexcept = default;
    RegValue &operator=(RegValue &&) noexcept = default;

    std::u16string_view name() const { return {m_block.get(), m_nameLength}; }
    std::span<const uint8_t> data() const
    {
        return {reinterpret_cast<const uint8_t *>(m_block.get() + m_nameLength), m_dataSize};
    }
    std::vector<uint8_t> dataCopy() const { return {data().begin(), data().end()}; }
    void setData(std::span<const uint8_t> data);

    uint32_t type = 0;

private:
    std::unique_ptr<char16_t[]> m_block; // the name's units, then the data's bytes
    uint32_t m_nameLength = 0;
    uint32_t m_dataSize = 0;
};

// What few keys have: a class and lines of a registry file we keep unread.
struct RegKeyExtra
{
    std::u16string className;
    std::vector<std::string> unknownLines; // written back as they came
};

class RegKey : public std::enable_shared_from_this<RegKey>
{
public:
    RegKey() = default;
    // Frees the keys below one at a time: a chain of nested keys as deep as a
    // registry file may hold would overflow the stack with nested destructors.
    ~RegKey();
    RegKey(const RegKey &) = delete;
    RegKey &operator=(const RegKey &) = delete;

    std::u16string name;
    RegKey *parent = nullptr;
    std::vector<std::shared_ptr<RegKey>> subkeys; // sorted by compareNames
    std::vector<RegValue> values;                 // sorted by compareNames; default value first
    uint64_t lastWriteTime = 0;                   // FILETIME
    std::unique_ptr<RegKeyExtra> extra;           // rare, so one pointer per key
    bool deleted = false;
    bool isVolatile = false;
    bool isLink = false;

    std::u16string_view className() const
    {
        return extra ? std::u16string_view(extra->className) : std::u16string_view();
    }
    RegKeyExtra &extras();

    // Index of the subkey or value with this name, or of where it would go.
    std::size_t subkeyPosition(std::u16string_view name, bool &found) const;
    std::size_t valuePosition(std::u16string_view name, bool &found) const;

    RegKey *findSubkey(std::u16string_view name) const;
    const RegValue *findValue(std::u16string_view name) const;

    // Creates the subkey when missing; `created` tells which happened.
    RegKey &addSubkey(std::u16string_view name, bool &created);
    RegValue &setValue(std::u16string_view name, uint32_t type, std::span<const uint8_t> data);
    // Adds a value known to sort after all present ones (as a file lists them).
    void appendValue(RegValue value);
    bool removeValue(std::u16string_view name);
    // Detaches a subkey without subkeys of its own and marks it deleted.
    void removeSubkey(RegKey &child);

    bool isDescendantOf(const RegKey &ancestor) const;
};

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
    std::shared_ptr<RegKey> m_top;
    RegKey *m_machine = nullptr;
    RegKey *m_users = nullptr;
    std::shared_ptr<StoreHooks> m_hooks;
};

// The store the Win32 calls work on. Replacing it invalidates all open handles.
KeyStore &activeStore();
void setActiveStore(std::shared_ptr<KeyStore> store);

// Changes whenever a key may have been freed or detached, or a link may lead
// elsewhere: whoever remembers keys found by their path checks it before use.
uint64_t treeVersion();
void treeChanged();

// Handles opened and not yet closed (WinRegApi.cpp); lets tests find leaks.
std::size_t openHandleCount();

} // namespace quarnel::platform
