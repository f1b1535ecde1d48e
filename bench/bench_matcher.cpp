// Times the matcher alone over the candidates of the generator's benchmark registry
// (180,000 keys, 610,000 values): every key path, value name and value's data, as a
// walk hands them over, with no registry in between. The plain search of the rare
// needle is the yardstick; each option's run prints its ratio to it. The walker's
// test of today (isHit on the lowered text) runs too, to show that the default
// matcher costs no more. Nothing here asserts a time.
//
//   bench_matcher [--repeat N] [--keys K] [--registry DIR]
// Each run is made N times (default 5) and the fastest CPU time counts.
// With DIR (Wine registry files, e.g. those bench_search --registry DIR keeps) the
// whole search follows in the same run: the engine's walk over the registry opened
// from them, the plain search against `grep -ci` over the files, and a pattern of
// the same literal, "Numbers" and "Binary" each against the plain search.
#include "bench/Measure.h"
#include "tools/generator/RegistryGenerator.h"

#include "registry/api/MultiStringSplitter.h"
#include "registry/kinds/SourceKinds.h"
#include "registry/win32/winreg.h"
#include "search/Matcher.h"
#include "search/Matching.h"
#include "search/SearchEngine.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

using namespace quarnel::generator;

namespace {

struct Value
{
    std::string name;
    std::uint32_t type = 0;
    std::string data;
};

struct Key
{
    std::string path; // walker shape: "\a\b\"
    std::vector<Value> values;
};

class CollectingSink final : public RegistrySink
{
public:
    std::vector<Key> keys;

    void beginKey(Hive, std::string_view path, std::size_t) override
    {
        keys.push_back(Key{"\\" + std::string(path) + "\\", {}});
    }
    void addValue(const GeneratedValue &value) override
    {
        keys.back().values.push_back(Value{value.name, value.type, value.data});
    }
    void endKey() override {}
};

// The walker's test of today: key path, value name, string data up to its NUL,
// multi-string entries.
std::size_t todaysWalk(const std::vector<Key> &keys, const std::string &lowered)
{
    std::size_t hits = 0;
    for (const Key &key : keys) {
        hits += isHit(lowered, key.path);
        for (const Value &v : key.values) {
            hits += !v.name.empty() && isHit(lowered, v.name);
            if (v.type == REG_SZ || v.type == REG_EXPAND_SZ) {
                const std::string_view text(v.data);
                hits += isHit(lowered, text.substr(0, text.find('\0')));
            } else if (v.type == REG_MULTI_SZ) {
                const std::vector<std::string> entries =
                    SplitMultiString(v.data.data(), int(v.data.size()));
                hits += std::any_of(entries.begin(), entries.end(),
                                    [&](const std::string &e) { return isHit(lowered, e); });
            }
        }
    }
    return hits;
}

std::size_t matcherWalk(const std::vector<Key> &keys, const Matcher &m)
{
    std::size_t hits = 0;
    for (const Key &key : keys) {
        if (!m.keyTimeFits(0)) continue;
        hits += m.matchesKey(key.path);
        for (const Value &v : key.values) {
            hits += m.matchesName(v.name);
            if (m.looksAtData(v.type)) hits += m.matchesData(v.type, v.data);
        }
    }
    return hits;
}

struct Run
{
    double cpu = 1e9;
    std::size_t hits = 0;
};

Run best(int repeat, const std::function<std::size_t()> &walk)
{
    Run run;
    for (int i = 0; i < repeat; ++i) {
        const double start = measure::cpuSeconds();
        run.hits = walk();
        run.cpu = std::min(run.cpu, measure::cpuSeconds() - start);
    }
    return run;
}

// The whole search through the engine on the registry files in `dir`, each option
// against the plain search, and the plain search against grep, in one run.
int searchTheFiles(const std::string &dir, int repeat)
{
    const auto opened = quarnel::platform::openRegistryAt(dir, false);
    if (opened.status != quarnel::platform::RegistryOpened::Status::Ok) {
        std::fprintf(stderr, "cannot open %s: %s\n", dir.c_str(), opened.message.c_str());
        return 1;
    }
    const auto walk = [&](const Matcher &m) {
        double wall = 1e9, cpu = 1e9;
        std::size_t rows = 0;
        for (int i = 0; i < repeat; ++i) {
            const double w = measure::wallSeconds(), c = measure::cpuSeconds();
            rows = searchRows(m, SearchScope::defaultRoots(false)).size();
            wall = std::min(wall, measure::wallSeconds() - w);
            cpu = std::min(cpu, measure::cpuSeconds() - c);
        }
        return std::tuple{wall, cpu, rows};
    };
    std::string files;
    for (const char *f : {"system.reg", "user.reg", "userdef.reg"})
        files += " '" + dir + "/" + f + "'";
    double grep = 1e9;
    for (int i = 0; i < repeat; ++i) {
        const double w = measure::wallSeconds();
        // Not to /dev/null: grep then stops at the first line that matches.
        const std::string command =
            "grep -ci " + std::string(rareNeedle) + files + " > '" + dir + "/grep.out'";
        if (std::system(command.c_str()) < 0) return 1;
        grep = std::min(grep, measure::wallSeconds() - w);
    }
    const auto [plainWall, plainCpu, plainRows] = walk(Matcher(rareNeedle));
    std::printf("\nthe search through the engine over %s:\n", dir.c_str());
    std::printf("%-44s %8.3f s wall %8.3f s CPU %6zu rows  %5.2f x grep -ci (%.3f s)\n", "plain",
                plainWall, plainCpu, plainRows, plainWall / grep, grep);
    const auto optionsOf = [](bool pattern, bool numbers, bool binary) {
        SearchOptions o;
        o.pattern = pattern;
        o.numbers = numbers;
        o.binary = binary;
        return o;
    };
    const struct
    {
        const char *label;
        std::string text;
        SearchOptions options;
    } runs[] = {
        {"regex, the same literal", rareNeedle, optionsOf(true, false, false)},
        {"regex through RE2: (?:Fabrikam)", "(?:" + std::string(rareNeedle) + ")",
         optionsOf(true, false, false)},
        {"numbers: the needle (no number)", rareNeedle, optionsOf(false, true, false)},
        {"numbers: 1920", "1920", optionsOf(false, true, false)},
        {"binary: the needle", rareNeedle, optionsOf(false, false, true)},
        {"binary: deadbeef", "deadbeef", optionsOf(false, false, true)},
    };
    for (const auto &r : runs) {
        const auto [wall, cpu, rows] = walk(Matcher(r.text, r.options));
        std::printf("%-44s %8.3f s wall %8.3f s CPU %6zu rows  %5.2f x plain (CPU)\n", r.label,
                    wall, cpu, rows, cpu / plainCpu);
    }
    quarnel::platform::closeRegistry();
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    int repeat = 5;
    std::size_t keyCount = 0;
    std::string registry;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--repeat") && i + 1 < argc) {
            repeat = std::max(1, std::atoi(argv[++i]));
        } else if (!std::strcmp(argv[i], "--keys") && i + 1 < argc) {
            keyCount = std::size_t(std::atoll(argv[++i]));
        } else if (!std::strcmp(argv[i], "--registry") && i + 1 < argc) {
            registry = argv[++i];
        } else {
            std::fprintf(stderr, "usage: bench_matcher [--repeat N] [--keys K] [--registry DIR]\n");
            return 2;
        }
    }

    GeneratorOptions options = GeneratorOptions::benchmark();
    if (keyCount && keyCount < options.keyCount) options.keyCount = keyCount;
    CollectingSink sink;
    const GeneratorResult generated = generateRegistry(options, sink);
    std::size_t names = 0, strings = 0, numbers = 0, others = 0;
    for (const Key &k : sink.keys)
        for (const Value &v : k.values) {
            names += !v.name.empty();
            if (v.type == REG_SZ || v.type == REG_EXPAND_SZ || v.type == REG_MULTI_SZ)
                ++strings;
            else if (v.type == REG_DWORD || v.type == REG_DWORD_BIG_ENDIAN || v.type == REG_QWORD)
                ++numbers;
            else
                ++others;
        }
    std::printf("candidates: %zu key paths, %zu value names, %zu string, %zu number and %zu "
                "other data (%zu keys, %zu values generated)\n",
                sink.keys.size(), names, strings, numbers, others, generated.keys,
                generated.values);

    const std::string needle = rareNeedle;
    const Run today = best(repeat, [&] { return todaysWalk(sink.keys, asciiLower(needle)); });
    const Matcher plainMatcher(needle);
    const Run plain = best(repeat, [&] { return matcherWalk(sink.keys, plainMatcher); });
    std::printf("%-44s %8.3f s CPU %8zu hits\n", "today's walker test (isHit)", today.cpu,
                today.hits);
    std::printf("%-44s %8.3f s CPU %8zu hits  %5.2f x today\n",
                ("plain \"" + needle + "\" (the yardstick)").c_str(), plain.cpu, plain.hits,
                plain.cpu / today.cpu);

    const struct
    {
        const char *label;
        std::string text;
        const char *letters;
    } runs[] = {
        {"match case", needle, "c"},
        {"whole text", needle, "w"},
        {"regex, the same literal", needle, "r"},
        {"regex through RE2: (?:Fabrikam)", "(?:" + needle + ")", "r"},
        {"regex through RE2, match case", "(?:" + needle + ")", "rc"},
        {"regex Fabri(kam)?\\b", "Fabri(kam)?\\b", "r"},
        {"regex Fab.ikam|Contoso\\d+", "Fab.ikam|Contoso\\d+", "r"},
        {"plain: 1920", "1920", ""},
        {"numbers: 1920", "1920", "n"},
        {"numbers with the needle (no number)", needle, "n"},
        {"binary: the needle", needle, "b"},
        {"binary: deadbeef", "deadbeef", "b"},
        {"binary: regex (?:Fabrikam)", "(?:" + needle + ")", "rb"},
        {"numbers and binary: 1920", "1920", "nb"},
    };
    for (const auto &r : runs) {
        SearchOptions o;
        for (const char *l = r.letters; *l; ++l) {
            o.matchCase |= *l == 'c';
            o.wholeText |= *l == 'w';
            o.pattern |= *l == 'r';
            o.numbers |= *l == 'n';
            o.binary |= *l == 'b';
        }
        const Matcher m(r.text, o);
        if (!m.valid()) {
            std::printf("%s: %s\n", r.label, m.error().c_str());
            continue;
        }
        const Run run = best(repeat, [&] { return matcherWalk(sink.keys, m); });
        std::printf("%-44s %8.3f s CPU %8zu hits  %5.2f x plain\n", r.label, run.cpu, run.hits,
                    run.cpu / plain.cpu);
    }
    return registry.empty() ? 0 : searchTheFiles(registry, repeat);
}
