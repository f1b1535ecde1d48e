// Figures for the registry files of a big Wine prefix: a fresh prefix plus
// 200,000 generated keys (about 58 MB of registry text). Prints load time,
// resident memory after load and save time, and, with --wine, Wine's own start,
// server memory and save time on the same files. Nothing here asserts a time.
//
//   bench_wine_registry PREFIX [--wine]
// PREFIX is a fresh Wine prefix (the tests make one in build/tests/wine-prefix);
// it is copied, not changed.
#include "bench/Measure.h"
#include "bench/ShellOutput.h"
#include "registry/win32/KeyStore.h"
#include "registry/win32/winreg.h"
#include "registry/wine/FileBackedStore.h"
#include "registry/wine/WineRegReader.h"
#include "registry/wine/WineRegWriter.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quarnel::platform;
using Clock = std::chrono::steady_clock;

namespace {

std::string readAll(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<uint8_t> utf16z(const std::string &ascii)
{
    std::vector<uint8_t> d;
    for (char c : ascii)
        d.push_back(uint8_t(c)), d.push_back(0);
    d.push_back(0), d.push_back(0);
    return d;
}

// Adds 200,000 keys of typical shape below Software\Bench in system.reg.
void generate(const std::string &prefix)
{
    const std::string path = prefix + "/system.reg";
    RegKey root;
    wine::Preamble preamble;
    if (!wine::readHive(readAll(path), root, preamble).ok) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        std::exit(1);
    }
    bool created;
    RegKey &bench = root.addSubkey(u"Software", created).addSubkey(u"Bench", created);
    char name[64];
    const uint64_t time = KeyStore::now();
    for (int a = 0; a < 50; ++a)
        for (int b = 0; b < 40; ++b) {
            std::snprintf(name, sizeof name, "Vendor%02d", a);
            RegKey &vendor =
                bench.addSubkey(std::u16string(name, name + std::strlen(name)), created);
            std::snprintf(name, sizeof name, "Product%02d", b);
            RegKey &product =
                vendor.addSubkey(std::u16string(name, name + std::strlen(name)), created);
            for (int c = 0; c < 100; ++c) {
                std::snprintf(name, sizeof name, "Component%03d", c);
                RegKey &key =
                    product.addSubkey(std::u16string(name, name + std::strlen(name)), created);
                key.lastWriteTime = time;
                key.setValue(u"InstallPath", 1,
                             utf16z("C:\\Program Files\\Vendor Corporation " + std::to_string(a) +
                                    "\\Product Suite " + std::to_string(b) +
                                    "\\bin\\x64\\component" + std::to_string(c) + ".dll"));
                key.setValue(u"Version", 4, std::vector<uint8_t>{uint8_t(c), uint8_t(b), 0, 1});
                key.setValue(u"Flags", 4, std::vector<uint8_t>{uint8_t(a), 0, 0, 0});
                if (c % 2 == 0) key.setValue(u"Checksum", 3, std::vector<uint8_t>(24, uint8_t(c)));
            }
        }
    std::ofstream(path, std::ios::binary | std::ios::trunc) << wine::writeHive(root, preamble);
}

void wineFigures(const std::string &prefix)
{
    const std::string env = "WINEPREFIX='" + prefix + "' WINEDEBUG=-all ";
    sh(env + "wineserver -p </dev/null >/dev/null 2>&1");
    auto start = Clock::now();
    sh(env + "wine cmd /c exit </dev/null >/dev/null 2>&1");
    const double startSeconds = measure::secondsSince(start);
    const std::string pid = sh("pgrep -n wineserver64");
    const long serverKiB =
        pid.empty() ? 0 : measure::statusKiB("VmRSS:", pid.substr(0, pid.find('\n')));
    start = Clock::now();
    sh(env + "wineserver -k; " + env + "wineserver -w");
    const double saveSeconds = measure::secondsSince(start);
    std::printf(
        "wine:    start %.2f s (cmd /c exit), server %.0f MB resident, save at shutdown %.2f s\n",
        startSeconds, serverKiB / 1024.0, saveSeconds);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_wine_registry FRESH_PREFIX [--wine]\n");
        return 2;
    }
    const bool withWine = argc > 2 && std::string(argv[2]) == "--wine";
    char templ[] = "/tmp/quarnel-bench-XXXXXX";
    const std::string prefix = mkdtemp(templ);
    char *fresh = realpath(argv[1], nullptr);
    if (!fresh) {
        std::fprintf(stderr, "no prefix at %s\n", argv[1]);
        return 1;
    }
    sh("cp -al '" + std::string(fresh) + "/.' '" + prefix + "/' && cd '" + prefix +
       "' && cp --remove-destination '" + fresh + "'/*.reg .");
    std::free(fresh);
    // In a child process, so that its memory does not count below.
    if (const pid_t child = fork(); child == 0) {
        generate(prefix);
        _exit(0);
    } else {
        waitpid(child, nullptr, 0);
    }
    std::size_t total = 0;
    for (const char *f : {"system.reg", "user.reg", "userdef.reg"}) {
        struct stat st
        {
        };
        stat((prefix + "/" + f).c_str(), &st);
        total += std::size_t(st.st_size);
    }
    sh("cat '" + prefix + "'/*.reg > /dev/null"); // warm the page cache, as for Wine
    std::printf("registry text: %.1f MB in %s\n", total / 1e6, prefix.c_str());

    const long baseKiB = measure::statusKiB("VmRSS:");
    // Each round: open (load), touch every hive, close (save all three files).
    for (bool sync : {false, true}) {
        const double cpu0 = measure::cpuSeconds();
        auto start = Clock::now();
        auto files = std::make_unique<wine::FileBackedStore>();
        files->setSyncToDisk(sync);
        const auto opened = files->open(prefix, true);
        const double loadSeconds = measure::secondsSince(start),
                     loadCpu = measure::cpuSeconds() - cpu0;
        if (opened.status != wine::FileBackedStore::Status::Ok) {
            std::fprintf(stderr, "%s\n", opened.message.c_str());
            return 1;
        }
        setActiveStore(files->store());
        const long rss = measure::statusKiB("VmRSS:");
        if (!sync) {
            std::size_t keys = 0, values = 0, dataBytes = 0;
            std::vector<const RegKey *> todo{&files->store()->top()};
            while (!todo.empty()) {
                const RegKey *k = todo.back();
                todo.pop_back();
                ++keys;
                for (const ValueRef v : k->values)
                    ++values, dataBytes += v.data().size();
                for (const auto &child : k->subkeys)
                    todo.push_back(child.get());
            }
            std::printf(
                "store:   %zu keys, %zu values, %.1f MB of value data; %.0f bytes per value "
                "beyond its data (keys included)\n",
                keys, values, dataBytes / 1e6,
                ((rss - baseKiB) * 1024.0 - double(dataBytes)) / double(values));
        }
        // A change in every hive, so that the save writes all three files.
        for (auto [root, path] : {std::pair{HKEY_LOCAL_MACHINE, "Software\\BenchTouch"},
                                  std::pair{HKEY_CURRENT_USER, "Software\\BenchTouch"},
                                  std::pair{HKEY_USERS, ".Default\\Software\\BenchTouch"}}) {
            HKEY key = nullptr;
            RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
            const DWORD round = sync;
            RegSetValueExA(key, "round", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&round), 4);
            RegCloseKey(key);
        }
        const double cpu1 = measure::cpuSeconds();
        start = Clock::now();
        const std::string saveMessage = files->flush();
        const double saveSeconds = measure::secondsSince(start),
                     saveCpu = measure::cpuSeconds() - cpu1;
        // The second round's memory would include what the first left in the heap.
        char memory[64] = "";
        if (!sync)
            std::snprintf(memory, sizeof memory, ", %.0f MB resident after load", rss / 1024.0);
        std::printf("quarnel: load %.2f s (cpu %.2f s)%s; "
                    "save of all three files %.2f s (cpu %.2f s)%s %s\n",
                    loadSeconds, loadCpu, memory, saveSeconds, saveCpu,
                    sync ? ", fdatasync included" : ", without fdatasync", saveMessage.c_str());
        files->close();
        setActiveStore(std::make_shared<KeyStore>());
    }
    if (withWine) wineFigures(prefix);
    if (!std::getenv("QUARNEL_BENCH_KEEP")) sh("rm -rf '" + prefix + "'");
    return 0;
}
