// quarnel-genreg: generates a synthetic registry, prints its shape and the
// rows a search for each planted needle gives per root, and writes the text
// dump (for timing grep over the same content) or fills an in-memory store.
#include "tools/generator/RegistryGenerator.h"
#include "tools/generator/TextDumpSink.h"
#include "tools/generator/Win32RegistrySink.h"

#include "registry/kinds/SourceKinds.h"
#include "registry/win32/KeyStore.h"
#include "registry/win32/winreg.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>

using namespace quarnel::generator;

namespace {

const char *const kRootNames[RootCount] = {
    "HKEY_CLASSES_ROOT",   "HKEY_CURRENT_USER",     "HKEY_LOCAL_MACHINE", "HKEY_USERS",
    "HKEY_CURRENT_CONFIG", "HKEY_PERFORMANCE_DATA", "HKEY_DYN_DATA",
};

const char *const kTypeNames[12] = {
    "REG_NONE",
    "REG_SZ",
    "REG_EXPAND_SZ",
    "REG_BINARY",
    "REG_DWORD",
    "REG_DWORD_BIG_ENDIAN",
    "REG_LINK",
    "REG_MULTI_SZ",
    "REG_RESOURCE_LIST",
    "REG_FULL_RESOURCE_DESCRIPTOR",
    "REG_RESOURCE_REQUIREMENTS_LIST",
    "REG_QWORD",
};

int usage()
{
    std::fprintf(
        stderr, "usage: quarnel-genreg [--preset small|benchmark] [--keys N] [--values-per-key X]\n"
                "                      [--seed S] [--dump FILE] [--store] [--registry-dir DIR]\n"
                "  --dump FILE          write one line per key and per value to FILE\n"
                "  --store              also fill an in-memory store through the Win32 calls\n"
                "  --registry-dir DIR   write the registry as Wine registry files into DIR\n"
                "                       (system.reg, user.reg, userdef.reg; DIR is created)\n");
    return 2;
}

void printResult(const GeneratorResult &r, double seconds)
{
    std::printf("keys %zu, values %zu, data %llu bytes, generated in %.2f s\n", r.keys, r.values,
                static_cast<unsigned long long>(r.dataBytes), seconds);
    std::printf("widest key %zu subkeys, most values in one key %zu\n", r.widestKey, r.mostValues);
    std::printf("keys per depth:");
    for (std::size_t d = 1; d < r.keysPerDepth.size(); ++d)
        std::printf(" %zu:%zu", d, r.keysPerDepth[d]);
    std::printf("\nvalues per type:");
    for (std::size_t t = 0; t < r.valuesPerType.size(); ++t)
        if (r.valuesPerType[t]) std::printf(" %s:%zu", kTypeNames[t], r.valuesPerType[t]);
    std::printf("\n");
    for (const NeedleResult &n : r.needles) {
        std::printf("needle \"%s\": %llu rows without mirror roots, %llu with them\n",
                    n.text.c_str(), static_cast<unsigned long long>(n.defaultScopeRows()),
                    static_cast<unsigned long long>(n.mirroredScopeRows()));
        for (int root = 0; root < RootCount; ++root) {
            const RowCounts &c = n.perRoot[root];
            std::printf("  %-22s %8llu (keys %llu, value names %llu, string data %llu, "
                        "multi-strings %llu)\n",
                        kRootNames[root], static_cast<unsigned long long>(c.total()),
                        static_cast<unsigned long long>(c.keys),
                        static_cast<unsigned long long>(c.valueNames),
                        static_cast<unsigned long long>(c.stringData),
                        static_cast<unsigned long long>(c.multiStrings));
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    GeneratorOptions options = GeneratorOptions::small();
    std::string dumpPath;
    bool fillStore = false;
    std::string registryDir;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasNext = i + 1 < argc;
        if (arg == "--preset" && hasNext) {
            const std::string preset = argv[++i];
            if (preset == "benchmark")
                options = GeneratorOptions::benchmark();
            else if (preset == "small")
                options = GeneratorOptions::small();
            else
                return usage();
        } else if (arg == "--keys" && hasNext) {
            options.keyCount = std::strtoull(argv[++i], nullptr, 10);
        } else if (arg == "--values-per-key" && hasNext) {
            options.valuesPerKey = std::strtod(argv[++i], nullptr);
        } else if (arg == "--seed" && hasNext) {
            options.seed = std::strtoull(argv[++i], nullptr, 10);
        } else if (arg == "--dump" && hasNext) {
            dumpPath = argv[++i];
        } else if (arg == "--store") {
            fillStore = true;
        } else if (arg == "--registry-dir" && hasNext) {
            registryDir = argv[++i];
        } else {
            return usage();
        }
    }

    try {
        std::ofstream dumpFile;
        std::vector<RegistrySink *> sinks;
        TextDumpSink dump(dumpFile);
        if (!dumpPath.empty()) {
            dumpFile.open(dumpPath, std::ios::binary | std::ios::trunc);
            if (!dumpFile) throw std::runtime_error("cannot write " + dumpPath);
            sinks.push_back(&dump);
        }
        if (registryDir.empty()) {
            quarnel::platform::setActiveStore(std::make_shared<quarnel::platform::KeyStore>());
        } else {
            // Quarnel's own registry files in that directory, saved when closed.
            const auto opened = quarnel::platform::openRegistryAt(registryDir, false);
            if (opened.status != quarnel::platform::RegistryOpened::Status::Ok)
                throw std::runtime_error(opened.message.empty() ? "cannot open " + registryDir
                                                                : opened.message);
            fillStore = true;
        }
        Win32RegistrySink store;
        if (fillStore) sinks.push_back(&store);
        TeeSink tee(sinks);
        const auto start = std::chrono::steady_clock::now();
        const GeneratorResult result = generateRegistry(options, tee);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (dumpFile.is_open() && !dumpFile.flush())
            throw std::runtime_error("cannot write " + dumpPath);
        if (!registryDir.empty()) {
            if (const std::string message = quarnel::platform::closeRegistry(); !message.empty())
                throw std::runtime_error(message);
        }
        printResult(result, seconds);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "quarnel-genreg: %s\n", e.what());
        return 1;
    }
    return 0;
}
