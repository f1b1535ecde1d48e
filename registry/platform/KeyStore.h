// The registry tree behind our Win32-compatible calls: keys and values with
// UTF-16 names, sorted the way Wine enumerates them. Persistence sits behind
// StoreHooks, so the calls above never know whether a store is file-backed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quarnel::platform {

struct RegValue
{
    std::u16string name;
    uint32_t type = 0;
    std::vector<uint8_t> data;
};

class RegKey : public std::enable_shared_from_this<RegKey>
{
public:
    std::u16string name;
    RegKey *parent = nullptr;
    std::vector<std::shared_ptr<RegKey>> subkeys; // sorted by compareNames
    std::vector<RegValue> values;                 // sorted by compareNames; default value first
    uint64_t lastWriteTime = 0;                   // FILETIME
    std::u16string className;
    bool deleted = false;
    bool isVolatile = false;
    bool isLink = false;
    // Lines of a registry file that we do not interpret, written back as they came.
    // Rare, so they cost one pointer per key.
    std::unique_ptr<std::vector<std::string>> unknownLines;

    // Index of the subkey or value with this name, or of where it would go.
    std::size_t subkeyPosition(std::u16string_view name, bool &found) const;
    std::size_t valuePosition(std::u16string_view name, bool &found) const;

    RegKey *findSubkey(std::u16string_view name) const;
    const RegValue *findValue(std::u16string_view name) const;

    // Creates the subkey when missing; `created` tells which happened.
    RegKey &addSubkey(std::u16string_view name, bool &created);
    RegValue &setValue(std::u16string_view name, uint32_t type, std::vector<uint8_t> data);
    bool removeValue(std::u16string_view name);
    // Detaches a subkey without subkeys of its own and marks it deleted.
    void removeSubkey(RegKey &child);

    bool isDescendantOf(const RegKey &ancestor) const;
};

enum class StoreChange
{
    KeyCreated,   // `key` is the new key
    ValueSet,     // `name` is the value's name
    ValueDeleted, // `name` is the value's name
    SubkeyDeleted // `key` is the parent, `name` the deleted subkey's name
};

// What a file-backed store adds: a veto before every change (for instance while
// another program owns the files) and a notice after it, precise enough to journal.
class StoreHooks
{
public:
    virtual ~StoreHooks() = default;
    // Returns a Win32 error code; anything but 0 refuses the change.
    virtual long beforeChange(const RegKey &key) { return (void)key, 0; }
    virtual void afterChange(RegKey &key, StoreChange change, std::u16string_view name)
    {
        (void)key, (void)change, (void)name;
    }
};

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

} // namespace quarnel::platform
