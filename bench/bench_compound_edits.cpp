// Figures for the compound edits: moving and deleting a key with 10k subkeys
// and 10k values. Prints numbers only; nothing here asserts a time.
#include "TRegistry.h"
#include "platform/KeyStore.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

namespace {

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A key with `count` values of mixed types and `count` subkeys holding one value each.
void build(TRegistry &reg, const std::string &path, int count)
{
    reg.CreatePath(path);
    reg.OpenPath(path);
    for (int i = 0; i < count; ++i) {
        const std::string name = "Value" + std::to_string(i);
        if (i % 2)
            reg.WriteText(name, "C:\\Program Files\\Vendor\\file" + std::to_string(i) + ".dll");
        else
            reg.StoreData(name, &i, sizeof i, TValueKind::vkInteger);
    }
    for (int i = 0; i < count; ++i) {
        const std::string key = "Sub" + std::to_string(i);
        reg.CreatePath(key);
        reg.OpenPath(key);
        reg.WriteText("Setting", "x" + std::to_string(i));
        reg.OpenPath(path);
    }
    reg.ClosePath();
}

// Opening by absolute path and closing again, microseconds each; -1 when it fails.
double openMicros(TRegistry &reg, const std::string &path)
{
    constexpr int kOpens = 100000;
    reg.CreatePath(path);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kOpens; ++i) {
        if (!reg.OpenPath(path)) return -1;
        reg.ClosePath();
    }
    return secondsSince(start) * 1e6 / kOpens;
}

// Deleting leaf keys one by one (each a DeleteTree of its own), microseconds each.
double deleteLeafMicros(TRegistry &reg, const std::string &parent)
{
    constexpr int kKeys = 20000;
    for (int i = 0; i < kKeys; ++i)
        reg.CreatePath(parent + "\\Leaf" + std::to_string(i));
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kKeys; ++i)
        reg.DeleteTree(parent + "\\Leaf" + std::to_string(i));
    return secondsSince(start) * 1e6 / kKeys;
}

} // namespace

int main()
{
    using clock = std::chrono::steady_clock;
    constexpr int kCount = 10000;
    quarnel::platform::setActiveStore(std::make_shared<quarnel::platform::KeyStore>());
    TRegistry reg;
    reg.SelectRoot(HKEY_CURRENT_USER);

    auto start = clock::now();
    build(reg, "\\Software\\Bench\\Old", kCount);
    std::printf("build %d subkeys + %d values: %.3f s\n", kCount, kCount, secondsSince(start));

    start = clock::now();
    reg.RelocateKey("\\Software\\Bench\\Old", "\\Software\\Bench\\Copy", false);
    std::printf("RelocateKey copy only:        %.3f s\n", secondsSince(start));

    start = clock::now();
    reg.RelocateKey("\\Software\\Bench\\Old", "\\Software\\Bench\\New", true);
    std::printf("RelocateKey with delete-old:  %.3f s\n", secondsSince(start));

    start = clock::now();
    const bool deleted = reg.DeleteTree("\\Software\\Bench\\New");
    std::printf("DeleteTree:                   %.3f s (%s)\n", secondsSince(start),
                deleted ? "deleted" : "NOT deleted");

    std::string deep = "\\Software\\Bench";
    while (deep.size() < 400)
        deep += "\\Level" + std::to_string(deep.size()) + "_with_a_long_name";
    std::printf("OpenPath + ClosePath, 5 levels:              %.3f us\n",
                openMicros(reg, "\\Software\\Bench\\Vendor\\Product\\Component"));
    std::printf("DeleteTree of a leaf key, 4 levels:          %.3f us\n",
                deleteLeafMicros(reg, "\\Software\\Bench\\Vendor"));
    std::printf("OpenPath + ClosePath, %zu bytes (in steps):  %.3f us\n", deep.size(),
                openMicros(reg, deep));

    std::printf("open handles left: %zu\n", quarnel::platform::openHandleCount());
    return 0;
}
