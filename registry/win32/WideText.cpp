#include "registry/win32/WideText.h"

#ifdef _WIN32
#include <windows.h>
#else
#include "registry/win32/RegText.h"
#endif

std::u16string WideFromBytes(std::string_view bytes)
{
#ifdef _WIN32
    const int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), int(bytes.size()), nullptr, 0);
    std::wstring wide(std::size_t(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, bytes.data(), int(bytes.size()), wide.data(), n);
    return std::u16string(wide.begin(), wide.end());
#else
    return quarnel::platform::utf16FromBytes(bytes);
#endif
}

std::string BytesFromWide(std::u16string_view units)
{
#ifdef _WIN32
    const std::wstring wide(units.begin(), units.end());
    const int n =
        WideCharToMultiByte(CP_ACP, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(std::size_t(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_ACP, 0, wide.data(), int(wide.size()), bytes.data(), n, nullptr,
                            nullptr);
    return bytes;
#else
    return quarnel::platform::bytesFromUtf16(units);
#endif
}

std::u16string utf16leUnits(const void *data, std::size_t size)
{
    const auto *p = static_cast<const unsigned char *>(data);
    std::u16string units(size / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = utf16leUnit(p + 2 * i);
    return units;
}
