// Times the command line as a script meets it: `quarnel search RARE --format
// jsonl` from start to exit (start, load of the three registry files, walk,
// output), against `grep -ci RARE` over the same files in the same run, and the
// peak memory of the quarnel process. Nothing here asserts a time.
//
//   bench_cli [--registry DIR] [--repeat N]
//   bench_cli --all [--home DIR] [--repeat N]
// DIR holds (or gets, from quarnel-genreg's benchmark preset) the generator's
// 180,000-key registry as Wine registry files; bench_search --registry DIR
// shares them. Each command runs N times (default 3); the fastest counts.
// With --all, a home of 20 bottles of 30,000 keys each (made in DIR when it
// has none): `quarnel search RARE --all` against `grep -ci RARE` over all their
// files, and the count "Find in all registries" makes, on as many threads as
// the window's chooser uses, through the same calls.
#include "bench/Measure.h"
#include "search/RegistryCopySearch.h"
#include "tools/generator/RegistryGenerator.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Figures = measure::ChildFigures;

Figures runOnce(const std::vector<std::string> &args, const std::string &out)
{
    return measure::runChild(args, out);
}

Figures fastest(const std::vector<std::string> &args, const std::string &out, int repeat)
{
    Figures best;
    for (int i = 0; i < repeat; ++i) {
        const Figures f = runOnce(args, out);
        best.seconds = std::min(best.seconds, f.seconds);
        best.peakMiB = std::max(best.peakMiB, f.peakMiB);
        best.status = f.status;
    }
    return best;
}

std::size_t lines(const std::string &path)
{
    std::FILE *f = std::fopen(path.c_str(), "r");
    std::size_t n = 0;
    for (int c; f && (c = std::fgetc(f)) != EOF;)
        n += c == '\n';
    if (f) std::fclose(f);
    return n;
}

constexpr int kAllRegistries = 20;
constexpr int kKeysEach = 30000;

class CountingSink : public SearchSink
{
public:
    void found(const ResultRowView &) override { ++hits; }
    std::uint64_t hits = 0;
};

// Every registry of the home counted on `threads` threads, one registry a thread
// at a time, as the chooser does; the hits of all together.
std::uint64_t countAll(const std::vector<std::string> &folders, unsigned threads)
{
    std::atomic<std::size_t> next = 0;
    std::atomic<std::uint64_t> total = 0;
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threads; ++t)
        workers.emplace_back([&] {
            for (std::size_t i; (i = next++) < folders.size();) {
                CountingSink sink;
                std::string error;
                if (!searchRegistryCopy(folders[i], quarnel::generator::rareNeedle,
                                        SearchScope::defaultRoots(false), sink, error))
                    std::fprintf(stderr, "%s: %s\n", folders[i].c_str(), error.c_str());
                total += sink.hits;
            }
        });
    for (std::thread &w : workers)
        w.join();
    return total;
}

int benchAll(std::string home, int repeat)
{
    const bool temporary = home.empty();
    if (temporary) {
        char pattern[] = "/tmp/quarnel-bench-all-XXXXXX";
        home = mkdtemp(pattern);
    }
    std::vector<std::string> folders, files;
    for (int i = 0; i < kAllRegistries; ++i) {
        const std::string folder =
            home + "/.local/share/bottles/bottles/Bench" + std::to_string(100 + i);
        folders.push_back(folder);
        for (const char *f : {"system.reg", "user.reg", "userdef.reg"})
            files.push_back(folder + "/" + f);
        struct stat st
        {
        };
        if (::stat((folder + "/system.reg").c_str(), &st) == 0) continue;
        const std::string generate = std::string("mkdir -p '") + folder + "' && '" +
                                     QUARNEL_GENREG + "' --keys " + std::to_string(kKeysEach) +
                                     " --seed " + std::to_string(i + 1) + " --registry-dir '" +
                                     folder + "' > /dev/null";
        if (std::system(generate.c_str()) != 0) {
            std::fprintf(stderr, "cannot generate a registry into %s\n", folder.c_str());
            return 1;
        }
    }
    // The listing must see this home only.
    ::setenv("HOME", home.c_str(), 1);
    ::unsetenv("XDG_DATA_HOME");
    ::unsetenv("XDG_CONFIG_HOME");
    ::unsetenv("WINEPREFIX");
    const std::string rare = quarnel::generator::rareNeedle;
    const std::string out = home + "/bench-all.out";
    std::vector<std::string> grep{"/usr/bin/grep", "-ci", rare};
    grep.insert(grep.end(), files.begin(), files.end());
    runOnce(grep, out); // warms the page cache for both
    const Figures grepped = fastest(grep, out, repeat);
    const Figures searched =
        fastest({QUARNEL_BINARY, "search", rare, "--all", "--format", "jsonl"}, out, repeat);
    std::printf("quarnel search %s --all --format jsonl over %d registries of %d keys: %.3f s "
                "end to end, %zu rows, exit %d, peak memory %.1f MB\n",
                rare.c_str(), kAllRegistries, kKeysEach, searched.seconds, lines(out),
                searched.status, searched.peakMiB);
    std::printf("grep -ci %s over their %zu files: %.3f s; quarnel/grep = %.1f\n", rare.c_str(),
                files.size(), grepped.seconds, searched.seconds / grepped.seconds);
    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    double best = 1e9;
    std::uint64_t hits = 0;
    for (int i = 0; i < repeat; ++i) {
        const double start = measure::wallSeconds();
        hits = countAll(folders, threads);
        best = std::min(best, measure::wallSeconds() - start);
    }
    rusage self{};
    getrusage(RUSAGE_SELF, &self);
    std::printf("Find in all registries' count (%u threads): %.3f s, %llu hits, peak memory of "
                "this process %.1f MB; count/grep = %.1f\n",
                threads, best, static_cast<unsigned long long>(hits),
                double(self.ru_maxrss) / 1024.0, best / grepped.seconds);
    if (temporary) std::system(("rm -rf '" + home + "'").c_str());
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    std::string dir;
    int repeat = 3;
    bool all = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--registry" || arg == "--home") && i + 1 < argc)
            dir = argv[++i];
        else if (arg == "--repeat" && i + 1 < argc)
            repeat = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--all")
            all = true;
        else {
            std::fprintf(stderr, "usage: bench_cli [--registry DIR] [--repeat N]\n"
                                 "       bench_cli --all [--home DIR] [--repeat N]\n");
            return 2;
        }
    }
    if (all) return benchAll(dir, repeat);
    const bool temporary = dir.empty();
    if (temporary) {
        char pattern[] = "/tmp/quarnel-bench-cli-XXXXXX";
        dir = mkdtemp(pattern);
    }
    struct stat st
    {
    };
    if (::stat((dir + "/system.reg").c_str(), &st) != 0) {
        const std::string generate = std::string("'") + QUARNEL_GENREG +
                                     "' --preset benchmark --registry-dir '" + dir +
                                     "' > /dev/null";
        if (std::system(generate.c_str()) != 0) {
            std::fprintf(stderr, "cannot generate the registry into %s\n", dir.c_str());
            return 1;
        }
    }
    const std::string rare = quarnel::generator::rareNeedle;
    const std::string out = dir + "/bench-cli.out";
    std::vector<std::string> files;
    for (const char *f : {"system.reg", "user.reg", "userdef.reg"})
        files.push_back(dir + "/" + f);
    std::vector<std::string> grep{"/usr/bin/grep", "-ci", rare};
    grep.insert(grep.end(), files.begin(), files.end());
    runOnce(grep, out); // warms the page cache for both
    const Figures grepped = fastest(grep, out, repeat);
    const Figures searched = fastest(
        {QUARNEL_BINARY, "search", rare, "--format", "jsonl", "--prefix", dir}, out, repeat);
    std::printf("quarnel search %s --format jsonl: %.3f s end to end, %zu rows, exit %d, "
                "peak memory %.1f MB\n",
                rare.c_str(), searched.seconds, lines(out), searched.status, searched.peakMiB);
    std::printf("grep -ci %s over the three files: %.3f s; quarnel/grep = %.1f\n", rare.c_str(),
                grepped.seconds, searched.seconds / grepped.seconds);
    if (temporary) std::system(("rm -rf '" + dir + "'").c_str());
    return 0;
}
