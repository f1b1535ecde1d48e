// Value data as the registry stores it, for copies and undo records that must
// keep every byte: the 8-bit calls convert string data and cannot deliver, for
// instance, the last byte of a REG_SZ of odd length.
#include "registry/api/TRegistry.h"

#include "registry/win32/WideText.h"

#include <string>
#include <vector>

namespace {

using WideText = std::basic_string<WCHAR>;

// Names go through the same conversion as in the 8-bit calls, so that a name
// found by them addresses the same value here.
WideText WideName(const std::string &name)
{
    const std::u16string units = WideFromBytes(name);
    return WideText(units.begin(), units.end());
}

} // namespace

bool TRegistry::FetchStored(const std::string &name, std::vector<uint8_t> &bytes, DWORD &regType)
{
    const WideText wide = WideName(name);
    // The value may grow between the size query and the read; ask again then.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD size = 0;
        LONG rc = RegQueryValueExW(m_keyHandle, wide.c_str(), nullptr, &regType, nullptr, &size);
        if (rc == ERROR_FILE_NOT_FOUND) return false;
        if (rc != ERROR_SUCCESS) break;
        // Two bytes more: the call may append a NUL unit to string data, which is
        // not part of the value.
        bytes.assign(std::size_t(size) + 2, 0);
        DWORD count = size + 2;
        rc = RegQueryValueExW(m_keyHandle, wide.c_str(), nullptr, &regType, bytes.data(), &count);
        if (rc == ERROR_FILE_NOT_FOUND) return false;
        if (rc == ERROR_SUCCESS) {
            bytes.resize(count);
            return true;
        }
        if (rc != ERROR_MORE_DATA) break;
    }
    throw ERegistryException("Fehler beim Holen der Daten für '" + name + "'");
}

void TRegistry::StoreStored(const std::string &name, const std::vector<uint8_t> &bytes,
                            DWORD regType)
{
    // Followed by a unit that is not NUL: Wine's call would count a NUL found
    // just past the data into a string value.
    std::vector<uint8_t> data(bytes);
    data.insert(data.end(), {0xFF, 0xFF});
    if (RegSetValueExW(m_keyHandle, WideName(name).c_str(), 0, regType, data.data(),
                       DWORD(bytes.size())) != ERROR_SUCCESS)
        throw ERegistryException("Fehler beim Setzen der Daten für '" + name + "'");
}
