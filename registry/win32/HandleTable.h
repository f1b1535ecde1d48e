// The handles our registry calls hand out: which key each stands for and with
// which rights it was opened, and how the predefined root values resolve.
#pragma once

#include "registry/win32/KeyStore.h"
#include "registry/win32/winreg.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quarnel::platform {

// Open handles: the key and the rights the handle was opened with.
class HandleTable
{
public:
    HKEY add(KeyRef key, DWORD access)
    {
        std::size_t slot;
        if (!m_free.empty()) {
            slot = m_free.back();
            m_free.pop_back();
        } else {
            slot = m_slots.size();
            m_slots.emplace_back();
        }
        m_slots[slot] = Slot{std::move(key), access};
        return reinterpret_cast<HKEY>(static_cast<uintptr_t>((slot + 1) * 4));
    }

    RegKey *find(HKEY h, DWORD &access) const
    {
        const std::size_t slot = slotOf(h);
        if (slot >= m_slots.size()) return nullptr;
        access = m_slots[slot].access;
        return m_slots[slot].key.get();
    }

    bool remove(HKEY h)
    {
        const std::size_t slot = slotOf(h);
        if (slot >= m_slots.size() || !m_slots[slot].key) return false;
        m_slots[slot] = Slot{};
        m_free.push_back(slot);
        return true;
    }

    std::size_t count() const { return m_slots.size() - m_free.size(); }

    void clear()
    {
        m_slots.clear();
        m_free.clear();
    }

private:
    struct Slot
    {
        KeyRef key;
        DWORD access = 0;
    };

    static std::size_t slotOf(HKEY h)
    {
        const auto v = reinterpret_cast<uintptr_t>(h);
        if (v == 0 || v % 4 != 0) return SIZE_MAX;
        return v / 4 - 1;
    }

    std::vector<Slot> m_slots;
    std::vector<std::size_t> m_free;
};

HandleTable &handles();

// Only the low 32 bits count, so a zero-extended 0x80000001 is HKEY_CURRENT_USER too.
bool isPredefined(HKEY h);
bool isClassesRoot(HKEY h);

// The rights a handle gets for the mask it was asked with; generic rights map
// to the key rights as Wine maps them.
DWORD grantedAccess(REGSAM sam);

// Resolves a handle to its key and checks that it carries `need`. Predefined
// roots carry every right.
LONG resolveHandle(HKEY h, RegKey *&key, DWORD need = 0);

// What both value calls refuse before they read the data: a name longer than Wine
// takes, data past what a value can hold.
LONG checkValueSize(std::u16string_view name, DWORD dataBytes);

// Sets a value once the store has admitted (journaled) the change, and stamps the key;
// what the store refused it with otherwise. Both value calls, 8-bit and wide, end here.
LONG setAdmittedValue(RegKey &key, const std::u16string &name, DWORD type,
                      const std::vector<uint8_t> &data);

} // namespace quarnel::platform
