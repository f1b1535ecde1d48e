// The benchmark registry as the window benches use it: the generator's 180,000-key
// registry (or a smaller one of the same shape) written as the three Wine registry
// files, the rows each needle is planted to give, and the shell commands (`cat`,
// `grep -ci`) they are measured against.
#pragma once

#include "bench/Measure.h"
#include "tools/generator/RegistryGenerator.h"
#include "tools/generator/Win32RegistrySink.h"

#include "registry/win32/KeyStore.h"
#include "registry/wine/WineRegWriter.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace benchregistry {

inline const char *const kFiles[3] = {"system.reg", "user.reg", "userdef.reg"};

inline bool exists(const std::string &path)
{
    struct stat st
    {
    };
    return ::stat(path.c_str(), &st) == 0;
}

inline std::string quoted(const std::string &path)
{
    return "'" + path + "'";
}

inline std::string fileList(const std::string &dir)
{
    std::string list;
    for (const char *f : kFiles)
        list += " " + quoted(dir + "/" + f);
    return list;
}

inline double fileBytes(const std::string &dir)
{
    double bytes = 0;
    for (const char *f : kFiles) {
        struct stat st
        {
        };
        ::stat((dir + "/" + f).c_str(), &st);
        bytes += double(st.st_size);
    }
    return bytes;
}

// Rows a search for each needle gives (default scope), as the generator planted them.
struct Predicted
{
    unsigned long long rare = 0, common = 0;
};

// Generates the registry into `dir` as Wine files, in a child process so that
// none of its memory counts in the bench. `keys` (0: the full size) scales the
// registry and its needles down.
inline bool generateFiles(const std::string &dir, std::size_t keys, Predicted &predicted)
{
    using namespace quarnel::generator;
    namespace platform = quarnel::platform;
    int channel[2];
    if (::pipe(channel) != 0) return false;
    const pid_t child = fork();
    if (child == 0) {
        ::close(channel[0]);
        platform::setActiveStore(std::make_shared<platform::KeyStore>());
        GeneratorOptions options = GeneratorOptions::benchmark();
        if (keys && keys < options.keyCount) {
            const double scale = double(keys) / double(options.keyCount);
            options.keyCount = keys;
            for (NeedlePlan &n : options.needles)
                for (std::size_t *count : {&n.keyRows, &n.valueNames, &n.stringData, &n.expandData,
                                           &n.multiStrings, &n.nameAndData})
                    *count = std::max<std::size_t>(1, std::size_t(double(*count) * scale));
        }
        GeneratorResult generated;
        {
            Win32RegistrySink store;
            generated = generateRegistry(options, store);
        }
        platform::KeyStore &s = platform::activeStore();
        const platform::RegKey *roots[3] = {&s.machine(),
                                            &s.ensurePath(s.users(), s.currentUserSid),
                                            &s.ensurePath(s.users(), u".Default")};
        const std::u16string rootPaths[3] = {u"REGISTRY\\Machine",
                                             u"REGISTRY\\User\\" + s.currentUserSid,
                                             u"REGISTRY\\User\\.Default"};
        ::mkdir(dir.c_str(), 0700);
        for (int i = 0; i < 3; ++i)
            std::ofstream(dir + "/" + kFiles[i], std::ios::binary | std::ios::trunc)
                << platform::wine::writeHive(*roots[i],
                                             platform::wine::standardPreamble(rootPaths[i]));
        const Predicted p{generated.needles[0].defaultScopeRows(),
                          generated.needles[1].defaultScopeRows()};
        if (::write(channel[1], &p, sizeof p) != sizeof p) _exit(1);
        std::printf("registry: %zu keys, %zu values, %llu data bytes generated\n", generated.keys,
                    generated.values, static_cast<unsigned long long>(generated.dataBytes));
        std::fflush(stdout);
        _exit(0);
    }
    ::close(channel[1]);
    const bool read = ::read(channel[0], &predicted, sizeof predicted) == sizeof predicted;
    ::close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return read && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The benches' own options: `--registry DIR` (kept, or a temporary folder),
// `--repeat N`, `--keys K` (a smaller registry of the same shape). False after
// the usage line on standard error.
struct BenchArgs
{
    std::string dir;
    int repeat = 3;
    std::size_t keys = 0;
};
inline bool readBenchArgs(int argc, char **argv, const char *program, BenchArgs &args)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--registry" && i + 1 < argc) {
            args.dir = argv[++i];
        } else if (arg == "--repeat" && i + 1 < argc) {
            args.repeat = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--keys" && i + 1 < argc) {
            args.keys = std::size_t(std::strtoull(argv[++i], nullptr, 10));
        } else {
            std::fprintf(stderr, "usage: %s [--registry DIR] [--repeat N] [--keys K]\n", program);
            return false;
        }
    }
    return true;
}

// Points XDG_CONFIG_HOME at a fresh temporary folder, so that a bench's window
// neither reads nor writes the user's settings (recent searches, options); the
// folder is returned for removal at the end.
inline std::string privateConfigHome()
{
    char pattern[] = "/tmp/quarnel-bench-config-XXXXXX";
    const char *made = mkdtemp(pattern);
    if (!made) return {};
    setenv("XDG_CONFIG_HOME", made, 1);
    return made;
}

// Makes `dir` hold the registry unless it has a system.reg already (then the
// predicted rows are read from beside it); a `dir` left empty becomes a fresh
// temporary folder. The files end up in the page cache.
inline bool prepare(std::string &dir, std::size_t keys, Predicted &predicted)
{
    if (dir.empty()) {
        char pattern[] = "/tmp/quarnel-bench-search-XXXXXX";
        if (!mkdtemp(pattern)) return false;
        dir = pattern;
    }
    const std::string predictedFile = dir + "/predicted";
    if (!exists(dir + "/system.reg")) {
        if (!generateFiles(dir, keys, predicted)) {
            std::fprintf(stderr, "cannot generate the registry into %s\n", dir.c_str());
            return false;
        }
        std::ofstream(predictedFile) << predicted.rare << ' ' << predicted.common;
    } else {
        std::ifstream(predictedFile) >> predicted.rare >> predicted.common;
    }
    std::system(("cat" + fileList(dir) + " > /dev/null").c_str()); // warm the page cache
    return true;
}

inline double commandSeconds(const std::string &command)
{
    const double start = measure::wallSeconds();
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "failed: %s\n", command.c_str());
    return measure::wallSeconds() - start;
}

// One `grep -ci NEEDLE` over the three files, its count left beside them.
inline double grepSeconds(const std::string &dir, const char *needle)
{
    return commandSeconds(std::string("grep -ci ") + needle + fileList(dir) + " > " +
                          quoted(dir + "/grep.out"));
}

inline double fastest(const std::vector<double> &runs)
{
    return runs.empty() ? 0 : *std::min_element(runs.begin(), runs.end());
}

inline double median(std::vector<double> runs)
{
    if (runs.empty()) return 0;
    std::sort(runs.begin(), runs.end());
    const std::size_t n = runs.size();
    return n % 2 ? runs[n / 2] : (runs[n / 2 - 1] + runs[n / 2]) / 2;
}

} // namespace benchregistry
