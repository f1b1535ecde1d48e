// Figures for the compound edits: moving and deleting a key with 10k subkeys
// and 10k values, and a key nested 100,000 levels deep (its move refused, its
// undo record, its delete, freeing it; made, deleted and replayed in registry
// files). Prints numbers only; nothing here asserts a time.
#include "bench/Measure.h"
#include "registry/api/TRegistry.h"
#include "registry/kinds/SourceKinds.h"
#include "registry/regfile/RegEditFile.h"
#include "registry/undo/UndoApply.h"
#include "registry/undo/UndoCapture.h"
#include "registry/win32/KeyStore.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

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
    return measure::secondsSince(start) * 1e6 / kOpens;
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
    return measure::secondsSince(start) * 1e6 / kKeys;
}

// A chain of keys named k, `levels` deep below `top`, made one relative create at a time.
void chain(const std::string &top, int levels)
{
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, top.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                    nullptr);
    for (int i = 0; i < levels; ++i) {
        HKEY next = nullptr;
        RegCreateKeyExA(key, "k", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &next, nullptr);
        RegCloseKey(key);
        key = next;
    }
    RegSetValueExA(key, "bottom", 0, REG_DWORD, reinterpret_cast<const BYTE *>("\1\0\0\0"), 4);
    RegCloseKey(key);
}

void deepFigures(TRegistry &reg)
{
    constexpr int kLevels = 100000;
    auto start = std::chrono::steady_clock::now();
    chain("Software\\Bench\\Deep", kLevels);
    std::printf("\n%d-level key made:           %.3f s\n", kLevels, measure::secondsSince(start));

    start = std::chrono::steady_clock::now();
    reg.RelocateKey("\\Software\\Bench\\Deep", "\\Software\\Bench\\Moved", true);
    std::printf("its move refused:            %.3f s (%s)\n", measure::secondsSince(start),
                reg.HasKey("\\Software\\Bench\\Moved") ? "MOVED" : "nothing made");

    start = std::chrono::steady_clock::now();
    UndoCapture capture;
    capture.captureKey("HKEY_CURRENT_USER", "Software\\Bench\\Deep");
    const std::string record = capture.file().write();
    std::printf("its undo record:             %.3f s, %zu bytes\n", measure::secondsSince(start),
                record.size());

    start = std::chrono::steady_clock::now();
    const bool deleted = reg.DeleteTree("\\Software\\Bench\\Deep");
    std::printf("DeleteTree of it:            %.3f s (%s)\n", measure::secondsSince(start),
                deleted ? "deleted" : "NOT deleted");

    start = std::chrono::steady_clock::now();
    RegEditFile file;
    RegEditFile::parse(record, file);
    const auto failures = ApplyUndo(file, "the undo");
    std::printf("undo record applied:         %.3f s (%zu failures)\n",
                measure::secondsSince(start), failures.size());

    start = std::chrono::steady_clock::now();
    quarnel::platform::setActiveStore(std::make_shared<quarnel::platform::KeyStore>());
    std::printf("registry holding it freed:   %.3f s\n", measure::secondsSince(start));
}

// In registry files: making a chain of keys one level at a time, saving it,
// deleting it, and the next start replaying the journal of that delete as a
// crash left it. The journal's size shows what each change costs it.
void fileBackedFigures(const std::vector<int> &depths)
{
    char dir[] = "/tmp/quarnel-bench-XXXXXX";
    if (!mkdtemp(dir)) return;
    const std::string journal = std::string(dir) + "/quarnel.journal";
    const auto journalBytes = [&journal] {
        struct stat st
        {
        };
        return stat(journal.c_str(), &st) == 0 ? long(st.st_size) : -1L;
    };
    namespace qp = quarnel::platform;
    for (const int levels : depths) {
        qp::openRegistryAt(dir, false);
        qp::backupBeforeFirstChange();
        auto start = std::chrono::steady_clock::now();
        chain("Software\\Deep", levels);
        std::printf("registry files, %6d levels: made %.3f s, journal %ld bytes\n", levels,
                    measure::secondsSince(start), journalBytes());
        start = std::chrono::steady_clock::now();
        qp::closeRegistry();
        std::printf("%29s saved %.3f s\n", "", measure::secondsSince(start));
        std::fflush(stdout);

        const pid_t pid = fork();
        if (pid == 0) {
            qp::openRegistryAt(dir, false);
            qp::backupBeforeFirstChange();
            TRegistry reg;
            reg.SelectRoot(HKEY_CURRENT_USER);
            start = std::chrono::steady_clock::now();
            const bool deleted = reg.DeleteTree("\\Software\\Deep");
            std::printf("%29s DeleteTree %.3f s (%s), journal %ld bytes\n", "",
                        measure::secondsSince(start), deleted ? "deleted" : "NOT deleted",
                        journalBytes());
            std::fflush(stdout);
            _exit(0); // as a crash would: the delete is in the journal, not in the files
        }
        waitpid(pid, nullptr, 0);
        start = std::chrono::steady_clock::now();
        qp::openRegistryAt(dir, false);
        const double replayed = measure::secondsSince(start);
        TRegistry reg;
        reg.SelectRoot(HKEY_CURRENT_USER);
        std::printf("%29s replayed and saved at the next start %.3f s (%s)\n", "", replayed,
                    reg.HasKey("\\Software\\Deep") ? "KEY STILL THERE" : "key gone");
        qp::closeRegistry();
    }
    std::system(("rm -rf '" + std::string(dir) + "'").c_str());
}

} // namespace

// Arguments: the depths of the chains made in registry files (default 1000 10000 100000).
int main(int argc, char **argv)
{
    using clock = std::chrono::steady_clock;
    constexpr int kCount = 10000;
    quarnel::platform::setActiveStore(std::make_shared<quarnel::platform::KeyStore>());
    TRegistry reg;
    reg.SelectRoot(HKEY_CURRENT_USER);

    auto start = clock::now();
    build(reg, "\\Software\\Bench\\Old", kCount);
    std::printf("build %d subkeys + %d values: %.3f s\n", kCount, kCount,
                measure::secondsSince(start));

    start = clock::now();
    reg.RelocateKey("\\Software\\Bench\\Old", "\\Software\\Bench\\Copy", false);
    std::printf("RelocateKey copy only:        %.3f s\n", measure::secondsSince(start));

    start = clock::now();
    reg.RelocateKey("\\Software\\Bench\\Old", "\\Software\\Bench\\New", true);
    std::printf("RelocateKey with delete-old:  %.3f s\n", measure::secondsSince(start));

    start = clock::now();
    const bool deleted = reg.DeleteTree("\\Software\\Bench\\New");
    std::printf("DeleteTree:                   %.3f s (%s)\n", measure::secondsSince(start),
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

    deepFigures(reg);
    std::vector<int> depths{1000, 10000, 100000};
    if (argc > 1) depths.clear();
    for (int i = 1; i < argc; ++i)
        depths.push_back(std::atoi(argv[i]));
    fileBackedFigures(depths);
    return 0;
}
