// Figures for the registry layer: memory per value, absolute opens, enumeration.
// Prints numbers only; nothing here asserts a time.
#include "bench/Measure.h"
#include "registry/win32/KeyStore.h"
#include "registry/win32/winreg.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

int main()
{
    using clock = std::chrono::steady_clock;
    constexpr int kTop = 50, kMid = 40, kLeaf = 100; // 200k leaf keys
    const long before = measure::statusKiB("VmRSS:");
    auto start = clock::now();
    std::size_t dataBytes = 0, values = 0, keys = 0;
    char path[128];
    HKEY base = nullptr;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Bench", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                    &base, nullptr);
    for (int a = 0; a < kTop; ++a)
        for (int b = 0; b < kMid; ++b)
            for (int c = 0; c < kLeaf; ++c) {
                std::snprintf(path, sizeof path, "Vendor%02d\\Product%02d\\Component%03d", a, b, c);
                HKEY key = nullptr;
                RegCreateKeyExA(base, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
                ++keys;
                // 3.5 values per key on average, of typical kinds and sizes.
                const int count = 3 + (c % 2);
                for (int v = 0; v < count; ++v) {
                    char name[32];
                    std::snprintf(name, sizeof name, "Setting%d", v);
                    if (v == 0) {
                        const std::string text =
                            "C:\\Program Files\\Vendor\\file" + std::to_string(c) + ".dll";
                        RegSetValueExA(key, name, 0, REG_SZ,
                                       reinterpret_cast<const BYTE *>(text.c_str()),
                                       DWORD(text.size() + 1));
                        dataBytes += (text.size() + 1) * 2;
                    } else {
                        const DWORD d = DWORD(v * c);
                        RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&d),
                                       4);
                        dataBytes += 4;
                    }
                    ++values;
                }
                RegCloseKey(key);
            }
    const double fillSeconds = measure::secondsSince(start);
    const long after = measure::statusKiB("VmRSS:");
    const double perValue = (double(after - before) * 1024 - double(dataBytes)) / double(values);
    std::printf("store: %zu keys, %zu values filled in %.2f s\n", keys, values, fillSeconds);
    std::printf("memory: %.1f MiB resident, %.1f bytes per value beyond its data\n",
                double(after - before) / 1024, perValue);

    constexpr int kOpens = 200000;
    start = clock::now();
    for (int i = 0; i < kOpens; ++i) {
        std::snprintf(path, sizeof path, "Software\\Bench\\Vendor%02d\\Product%02d\\Component%03d",
                      i % kTop, (i / kTop) % kMid, i % kLeaf);
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS)
            RegCloseKey(key);
    }
    std::printf("open by absolute path (5 levels) + close: %.3f us each\n",
                measure::secondsSince(start) * 1e6 / kOpens);

    for (int width : {100, 1000, 10000}) {
        HKEY wide = nullptr;
        const std::string widePath = "Software\\Wide" + std::to_string(width);
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, widePath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &wide, nullptr);
        for (int i = 0; i < width; ++i) {
            const std::string name = "k" + std::to_string(i);
            HKEY k = nullptr;
            RegCreateKeyExA(wide, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                            nullptr);
            RegCloseKey(k);
            RegSetValueExA(wide, name.c_str(), 0, REG_BINARY, reinterpret_cast<const BYTE *>("x"),
                           1);
        }
        start = clock::now();
        char name[64];
        for (DWORD i = 0; i < DWORD(width); ++i) {
            DWORD len = sizeof name;
            RegEnumKeyExA(wide, i, name, &len, nullptr, nullptr, nullptr, nullptr);
            len = sizeof name;
            RegEnumValueA(wide, i, name, &len, nullptr, nullptr, nullptr, nullptr);
        }
        std::printf("enumerate %5d subkeys + %5d values: %.3f us per index\n", width, width,
                    measure::secondsSince(start) * 1e6 / width);
        RegCloseKey(wide);
    }
    RegCloseKey(base);
    return 0;
}
