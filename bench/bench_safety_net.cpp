// Figures for the safety net on the generator's benchmark registry (180,000
// keys) kept as registry files: how much the backup delays the first change of
// a session, and what the undo record of a large delete costs to capture, write
// and apply. Prints wall-clock and CPU seconds (the machine is shared); nothing
// here asserts a time.
//
//   bench_safety_net [--no-sync]
#include "bench/Measure.h"
#include "bench/ShellOutput.h"
#include "tools/generator/RegistryGenerator.h"
#include "tools/generator/Win32RegistrySink.h"

#include "registry/api/TRegistry.h"
#include "registry/source/Backups.h"
#include "registry/undo/UndoApply.h"
#include "registry/undo/UndoCapture.h"
#include "registry/win32/KeyStore.h"
#include "registry/win32/WideText.h"
#include "registry/win32/winreg.h"
#include "registry/wine/FileBackedStore.h"
#include "registry/wine/ServerLock.h"
#include "registry/wine/WinePrefix.h"
#include "registry/wine/WineRegWriter.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <unordered_map>

using namespace quarnel::platform;
using Clock = std::chrono::steady_clock;

namespace {

struct Stopwatch
{
    Clock::time_point wall = Clock::now();
    double cpu = measure::cpuSeconds();

    std::string text() const
    {
        char out[64];
        std::snprintf(out, sizeof out, "%.3f s (cpu %.3f s)",
                      std::chrono::duration<double>(Clock::now() - wall).count(),
                      measure::cpuSeconds() - cpu);
        return out;
    }
};

// The benchmark registry, generated in memory and written as the three files.
void writeRegistry(const std::string &dir)
{
    auto store = std::make_shared<KeyStore>();
    setActiveStore(store);
    const Stopwatch made;
    quarnel::generator::GeneratorResult generated;
    {
        quarnel::generator::Win32RegistrySink sink;
        generated = generateRegistry(quarnel::generator::GeneratorOptions::benchmark(), sink);
    }
    RegKey *roots[3] = {&store->machine(), &store->ensurePath(store->users(), u".Default"),
                        &store->ensurePath(store->users(), store->currentUserSid)};
    const std::u16string ntPaths[3] = {u"REGISTRY\\Machine", u"REGISTRY\\User\\.Default",
                                       u"REGISTRY\\User\\" + store->currentUserSid};
    for (int i = 0; i < 3; ++i)
        std::ofstream(dir + "/" + wine::kHiveFiles[i], std::ios::binary)
            << wine::writeHive(*roots[i], wine::standardPreamble(ntPaths[i]));
    std::printf("registry: %zu keys, %zu values, generated and written in %s\n", generated.keys,
                generated.values, made.text().c_str());
    setActiveStore(std::make_shared<KeyStore>());
}

// The key below a root's top level with the most keys under it.
std::pair<std::u16string, std::size_t> biggestSubtree(RegKey &hive)
{
    std::unordered_map<const RegKey *, std::size_t> size;
    std::vector<std::pair<RegKey *, bool>> todo{{&hive, false}};
    while (!todo.empty()) {
        auto [key, expanded] = todo.back();
        todo.pop_back();
        if (!expanded) {
            todo.push_back({key, true});
            for (const auto &child : key->subkeys)
                todo.push_back({child.get(), false});
            continue;
        }
        std::size_t n = 1;
        for (const auto &child : key->subkeys)
            n += size[child.get()];
        size[key] = n;
    }
    std::pair<std::u16string, std::size_t> best;
    for (const auto &top : hive.subkeys)
        for (const auto &child : top->subkeys)
            if (size[child.get()] > best.second)
                best = {top->name().str() + u"\\" + child->name().str(), size[child.get()]};
    return best;
}

} // namespace

int main(int argc, char **argv)
{
    const bool sync = !(argc > 1 && std::string(argv[1]) == "--no-sync");
    char templ[] = "/tmp/quarnel-bench-safety-XXXXXX";
    const std::string dir = mkdtemp(templ);
    writeRegistry(dir);
    sh("cat '" + dir + "'/*.reg > /dev/null"); // warm the page cache, as after a first start
    std::printf("registry text: %s", sh("du -ch '" + dir + "'/*.reg | tail -1").c_str());

    auto files = std::make_unique<wine::FileBackedStore>();
    files->setSyncToDisk(sync);
    Stopwatch clock;
    const auto opened = files->open(dir, false);
    if (opened.status != wine::FileBackedStore::Status::Ok) {
        std::fprintf(stderr, "%s\n", opened.message.c_str());
        return 1;
    }
    setActiveStore(files->store());
    std::printf("open (load): %s\n", clock.text().c_str());

    // The first change of the session makes the backup; the second shows a change alone.
    for (const char *which : {"first change (with the backup)", "second change"}) {
        clock = Stopwatch();
        HKEY key = nullptr;
        RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_ALL_ACCESS, &key);
        const LONG rc =
            RegSetValueExA(key, which, 0, REG_SZ, reinterpret_cast<const BYTE *>("x"), 2);
        RegCloseKey(key);
        std::printf("%s: %s%s\n", which, clock.text().c_str(), rc ? " FAILED" : "");
    }
    std::printf("backup: %s", sh("du -sh '" + files->backupFolder() + "'").c_str());
    {
        // Every change is journaled before it is made; each save looks for a Wine server.
        HKEY key = nullptr;
        RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_ALL_ACCESS, &key);
        clock = Stopwatch();
        constexpr int kChanges = 10000;
        for (int i = 0; i < kChanges; ++i) {
            const std::string name = "journaled " + std::to_string(i);
            RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE *>(&i), 4);
        }
        RegCloseKey(key);
        std::printf("%d journaled value changes: %s\n", kChanges, clock.text().c_str());
        clock = Stopwatch();
        constexpr int kScans = 100;
        for (int i = 0; i < kScans; ++i)
            wine::runningWineServer(dir);
        std::printf("%d looks for a Wine server of the prefix (%s processes): %s\n", kScans,
                    sh("ls -d /proc/[0-9]* | wc -l | tr -d '\\n'").c_str(), clock.text().c_str());
    }
    {
        // The slower way, taken when a file changed on disk or a hive has unsaved
        // changes: the hives written from memory.
        KeyStore &store = *files->store();
        const RegKey *roots[3] = {&store.machine(), store.users().findSubkey(u".Default"),
                                  store.users().findSubkey(store.currentUserSid)};
        std::vector<BackupFile> fromMemory;
        for (int i = 0; i < 3; ++i)
            fromMemory.push_back(
                {wine::kHiveFiles[i], dir + "/" + wine::kHiveFiles[i],
                 [root = roots[i]](const ChunkSink &sink) { wine::writeHive(*root, {}, sink); }});
        clock = Stopwatch();
        std::string error;
        const std::string made = makeBackup(files->safetyFolder(), wine::kHiveFiles, fromMemory,
                                            std::time(nullptr), sync, error);
        std::printf("backup written from memory instead: %s%s\n", clock.text().c_str(),
                    made.empty() ? " FAILED" : "");
    }

    // The undo record of a large delete: capture, write the file, delete, apply.
    const auto [path, keys] = biggestSubtree(files->store()->machine());
    const std::string keyPath = BytesFromWide(path);
    UndoCapture capture;
    clock = Stopwatch();
    capture.captureKey("HKEY_LOCAL_MACHINE", keyPath);
    std::printf("capture of HKEY_LOCAL_MACHINE\\%s (%zu keys): %s\n", keyPath.c_str(), keys,
                clock.text().c_str());
    clock = Stopwatch();
    const std::string bytes = capture.file().write();
    std::printf("undo file text: %.1f MB in %s\n", double(bytes.size()) / 1e6,
                clock.text().c_str());
    clock = Stopwatch();
    std::string error;
    const std::string undoPath =
        writeUndoFile(files->safetyFolder(), "delete", bytes, std::time(nullptr), sync, error);
    std::printf("undo file written: %s%s\n", clock.text().c_str(),
                undoPath.empty() ? " FAILED" : "");
    TRegistry reg;
    reg.SelectRoot(HKEY_LOCAL_MACHINE);
    clock = Stopwatch();
    const bool deleted = reg.DeleteTree("\\" + keyPath);
    std::printf("delete of that key: %s%s\n", clock.text().c_str(), deleted ? "" : " FAILED");
    clock = Stopwatch();
    const auto failures = ApplyUndoFile(undoPath);
    std::printf("undo (read, parse, apply): %s, %zu failures, key back: %s\n", clock.text().c_str(),
                failures.size(), reg.HasKey("\\" + keyPath) ? "yes" : "no");

    files->close();
    setActiveStore(std::make_shared<KeyStore>());
    if (!std::getenv("QUARNEL_BENCH_KEEP")) sh("rm -rf '" + dir + "'");
    return 0;
}
