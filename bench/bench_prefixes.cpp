// How long finding every registry takes on a generated home of 200 prefixes:
// 120 Steam ones in two libraries (a manifest for most), 30 bottles, 20 Lutris
// and 15 Heroic games, 15 plain Wine prefixes. Prints the first listing (the
// files just written, so in the page cache) and the best of ten; nothing here
// asserts a time.
//
//   bench_prefixes [folder]   (default: a temporary folder, removed afterwards)
#include "bench/Measure.h"
#include "prefixes/RegistryFinder.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;
using namespace quarnel::prefixes;

namespace {

void put(const fs::path &file, const std::string &content)
{
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << content;
}

void registry(const fs::path &folder)
{
    put(folder / "system.reg", "WINE REGISTRY Version 2\n");
    put(folder / "userdef.reg", "WINE REGISTRY Version 2\n");
    put(folder / "user.reg", "WINE REGISTRY Version 2\n");
}

SearchPlaces makeHome(const fs::path &root)
{
    SearchPlaces places;
    places.home = (root / "home").string();
    places.dataHome = places.home + "/.local/share";
    places.configHome = places.home + "/.config";
    const fs::path steam = places.dataHome + "/Steam";
    const fs::path library = root / "library";
    put(steam / "steamapps/libraryfolders.vdf",
        "\"libraryfolders\"\n{\n\t\"0\"\n\t{\n\t\t\"path\"\t\t\"" + steam.string() +
            "\"\n\t}\n\t\"1\"\n\t{\n\t\t\"path\"\t\t\"" + library.string() + "\"\n\t}\n}\n");
    fs::create_directories(places.home + "/.steam");
    fs::create_symlink(steam, places.home + "/.steam/steam");
    for (int i = 0; i < 120; ++i) {
        const fs::path lib = i % 2 ? library : steam;
        const std::string id = std::to_string(200000 + i);
        registry(lib / "steamapps/compatdata" / id / "pfx");
        if (i % 10)
            put(lib / "steamapps" / ("appmanifest_" + id + ".acf"),
                "\"AppState\"\n{\n\t\"appid\"\t\t\"" + id + "\"\n\t\"name\"\t\t\"Game " + id +
                    "\"\n\t\"StateFlags\"\t\t\"4\"\n\t\"InstalledDepots\"\n\t{\n\t\t\"" + id +
                    "1\"\n\t\t{\n\t\t\t\"manifest\"\t\t\"123\"\n\t\t}\n\t}\n}\n");
    }
    for (int i = 0; i < 30; ++i) {
        const fs::path bottle = places.dataHome + "/bottles/bottles/Bottle" + std::to_string(i);
        registry(bottle);
        put(bottle / "bottle.yml", "Name: Bottle number " + std::to_string(i) +
                                       "\nArch: win64\nRunner: soda\nDLL_Overrides: {}\n");
    }
    for (int i = 0; i < 20; ++i) {
        const std::string prefix = places.home + "/Games/lutris" + std::to_string(i);
        registry(prefix);
        put(places.configHome + "/lutris/games/game-" + std::to_string(i) + "-1700000000.yml",
            "game:\n  exe: game.exe\n  prefix: " + prefix + "\nsystem: {}\nwine:\n  version: x\n");
    }
    for (int i = 0; i < 15; ++i) {
        const std::string prefix =
            places.home + "/Games/Heroic/Prefixes/default/Game" + std::to_string(i);
        registry(prefix);
        put(places.configHome + "/heroic/GamesConfig/app" + std::to_string(i) + ".json",
            "{\"app" + std::to_string(i) + "\": {\"winePrefix\": \"" + prefix +
                "\", \"wineVersion\": {\"bin\": \"/usr/bin/wine\", \"type\": \"wine\"}}, "
                "\"version\": \"v0\", \"explicit\": true}");
    }
    for (int i = 0; i < 15; ++i)
        registry(places.dataHome + "/wineprefixes/prefix" + std::to_string(i));
    return places;
}

} // namespace

int main(int argc, char **argv)
{
    fs::path root;
    bool temporary = argc < 2;
    if (temporary) {
        std::string pattern = (fs::temp_directory_path() / "quarnel-bench-home-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) return 1;
        root = pattern;
    } else {
        root = argv[1];
        fs::remove_all(root);
        fs::create_directories(root);
    }
    const SearchPlaces places = makeHome(root);

    double first = 0, best = 1e9, bestCpu = 1e9;
    std::size_t count = 0;
    for (int run = 0; run < 10; ++run) {
        const double wall = measure::wallSeconds(), cpu = measure::cpuSeconds();
        count = findRegistries(places).size();
        const double took = measure::wallSeconds() - wall;
        if (run == 0) first = took;
        best = std::min(best, took);
        bestCpu = std::min(bestCpu, measure::cpuSeconds() - cpu);
    }
    std::printf("registries found: %zu (200 made)\n", count);
    std::printf("finding them all: first %.4f s, best of 10 %.4f s (cpu %.4f s)\n", first, best,
                bestCpu);
    if (temporary) fs::remove_all(root);
    return count == 200 ? 0 : 1;
}
