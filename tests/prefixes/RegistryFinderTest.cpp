#include "prefixes/RegistryFinder.h"

#include "tests/prefixes/FakeHome.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <vector>

using namespace quarnel::prefixes;
using quarnel::prefixes::test::FakeHome;

namespace {

std::string manifest(const std::string &appId, const std::string &name)
{
    return "\"AppState\"\n{\n\t\"appid\"\t\t\"" + appId + "\"\n\t\"name\"\t\t\"" + name +
           "\"\n\t\"StateFlags\"\t\t\"4\"\n}\n";
}

// A home holding every layout, with XDG folders outside it (so that a place
// found only under the default ones would be a fault), broken files beside
// good ones, and a few things that are no registry at all.
struct EveryLayout
{
    FakeHome fake;
    SearchPlaces places;

    EveryLayout()
    {
        places.home = fake.path("home");
        places.dataHome = fake.path("data");
        places.configHome = fake.path("config");
        places.winePrefix = fake.path("elsewhere/custom");
        places.addedFolders = {fake.path("manual/myprefix"), "~/.wine", fake.path("gone")};

        // Steam: the native root in two libraries (one listed twice, one missing), also
        // reached through ~/.steam/steam; the Flatpak's data/Steam with a broken library list.
        const std::string steam = "data/Steam/steamapps/";
        fake.put(steam + "libraryfolders.vdf",
                 "\"libraryfolders\"\n{\n"
                 "\t\"0\"\n\t{\n\t\t\"path\"\t\t\"" +
                     fake.path("data/Steam") +
                     "\"\n\t\t\"apps\"\n\t\t{\n\t\t\t\"1245620\"\t\t\"1\"\n\t\t}\n\t}\n"
                     "\t\"1\"\n\t{\n\t\t\"path\"\t\t\"" +
                     fake.path("lib2") + "\"\n\t}\n\t\"2\"\n\t{\n\t\t\"path\"\t\t\"" +
                     fake.path("lib2/") + "\"\n\t}\n\t\"3\"\n\t{\n\t\t\"path\"\t\t\"" +
                     fake.path("unplugged") + "\"\n\t}\n}\n");
        fake.put(steam + "appmanifest_1245620.acf", manifest("1245620", "Elden Ring"));
        fake.registry(steam + "compatdata/1245620/pfx");
        fake.registry(steam + "compatdata/377160.20250104/pfx");
        fake.registry(steam + "compatdata/999/pfx");           // no manifest anywhere
        fake.registry(steam + "compatdata/shadercache/pfx");   // not an app
        fake.folder(steam + "compatdata/555");                 // no pfx yet
        fake.put(steam + "compatdata/556/pfx/system.reg", ""); // no user.reg
        fake.link("home/.steam/steam", fake.path("data/Steam"));
        fake.put("lib2/steamapps/appmanifest_377160.acf", manifest("377160", "Fallout 4"));
        fake.registry("lib2/steamapps/compatdata/377160/pfx");
        fake.put("lib2/steamapps/appmanifest_2000.acf", "\"AppState\"\n{\n\t\"name\" \"Half");
        fake.registry("lib2/steamapps/compatdata/2000/pfx");
        const std::string flatpak = "home/.var/app/com.valvesoftware.Steam/";
        fake.put(flatpak + "data/Steam/steamapps/libraryfolders.vdf",
                 "\"libraryfolders\"\n{\n\t\"0\"\n\t{\n\t\t\"path\" \"/x\"\n");
        fake.put(flatpak + "data/Steam/steamapps/appmanifest_3000.acf",
                 manifest("3000", "Flatpak Game"));
        fake.registry(flatpak + "data/Steam/steamapps/compatdata/3000/pfx");
        // The Flatpak's other root, with a library list of the older form.
        fake.put(flatpak + ".local/share/Steam/steamapps/libraryfolders.vdf",
                 "\"LibraryFolders\"\n{\n\t\"TimeNextStatsReport\"\t\t\"1700000000\"\n"
                 "\t\"1\"\t\t\"" +
                     fake.path("lib3") + "\"\n}\n");
        fake.registry(flatpak + ".local/share/Steam/steamapps/compatdata/4000/pfx");
        fake.put("lib3/steamapps/appmanifest_4100.acf", manifest("4100", "Old Library Game"));
        fake.registry("lib3/steamapps/compatdata/4100/pfx");
        fake.link(steam + "compatdata/777", "777"); // a link in a loop

        // Bottles, native and Flatpak.
        fake.registry("data/bottles/bottles/Gaming");
        fake.put("data/bottles/bottles/Gaming/bottle.yml", "Name: Gaming Bottle\nArch: win64\n");
        fake.registry("data/bottles/bottles/Broken");
        fake.put("data/bottles/bottles/Broken/bottle.yml", "Name: [unclosed\n");
        fake.registry("data/bottles/bottles/NoYml");
        fake.folder("data/bottles/bottles/Empty");
        fake.registry("home/.var/app/com.usebottles.bottles/data/bottles/bottles/Office");
        fake.put("home/.var/app/com.usebottles.bottles/data/bottles/bottles/Office/bottle.yml",
                 "Name: Office 2010\n");

        // Lutris: game files in both places; a "~" prefix; files naming nothing usable.
        fake.put("config/lutris/games/diablo-ii-1700000000.yml",
                 "game:\n  exe: Diablo II.exe\n  prefix: ~/Games/diablo\nname: Diablo II\n");
        fake.registry("home/Games/diablo");
        fake.put("data/lutris/games/witcher-3-1700000001.yml",
                 "game:\n  prefix: " + fake.path("home/Games/witcher") + "\n");
        fake.registry("home/Games/witcher");
        fake.put("config/lutris/games/broken.yml", "game: [prefix\n");
        fake.put("config/lutris/games/noprefix.yml", "game:\n  exe: x.exe\n");
        fake.put("config/lutris/games/scalar.yml", "just text\n");
        fake.put("config/lutris/games/gone.yml", "game:\n  prefix: /nowhere/at/all\n");
        fake.folder("config/lutris/games/folder.yml");
        fake.link("config/lutris/games/loop.yml", "loop.yml");
        fake.put("config/lutris/games/deep.yml", "game: " + std::string(100000, '['));

        // Heroic: two games sharing one prefix, a Proton one, broken and hostile files.
        const std::string hades = fake.path("home/Games/Heroic/Prefixes/default/Hades");
        fake.registry("home/Games/Heroic/Prefixes/default/Hades");
        fake.put("config/heroic/GamesConfig/Sugar.json",
                 "{\"Sugar\": {\"winePrefix\": \"" + hades +
                     "\", \"wineVersion\": {\"bin\": \"/usr/bin/wine\"}}, \"version\": \"v0\", "
                     "\"explicit\": true}");
        fake.put("config/heroic/GamesConfig/Other.json",
                 "{\"Other\": {\"winePrefix\": \"" + hades + "\"}}");
        fake.put("config/heroic/GamesConfig/Proton.json",
                 "{\"1234\": {\"winePrefix\": \"~/Games/Heroic/Prefixes/Celeste\", "
                 "\"title\": \"Celeste Classic\"}}");
        fake.registry("home/Games/Heroic/Prefixes/Celeste/pfx");
        fake.put("config/heroic/GamesConfig/Broken.json", "{\"x\": {\"winePrefix\": ");
        fake.put("config/heroic/GamesConfig/Array.json", "[1, 2]");
        fake.put("config/heroic/GamesConfig/Number.json", "{\"y\": {\"winePrefix\": 5}}");
        fake.put("config/heroic/GamesConfig/Deep.json",
                 std::string(100000, '[') + std::string(100000, ']'));
        ::mkfifo(fake.path("config/heroic/GamesConfig/Fifo.json").c_str(), 0600);

        // Plain Wine, Quarnel's own registry and a folder added by hand.
        fake.registry("home/.wine");
        fake.registry("data/wineprefixes/office");
        fake.folder("data/wineprefixes/notreg");
        fake.link("data/wineprefixes/loop", "loop");
        fake.registry("home/.PlayOnLinux/wineprefix/Steam_XP");
        fake.registry("elsewhere/custom");
        fake.registry("data/quarnel/registry");
        fake.registry("manual/myprefix");
    }
};

} // namespace

TEST(RegistryFinder, FindsEveryLayoutOnceAndSkipsWhatIsBroken)
{
    EveryLayout home;
    const auto at = [&](const std::string &relative) { return home.fake.path(relative); };
    const std::string compat = "data/Steam/steamapps/compatdata/";
    const std::vector<FoundRegistry> expected = {
        {"steam:1245620", "Elden Ring", RegistryKind::Steam, at(compat + "1245620/pfx")},
        {"steam:377160", "Fallout 4", RegistryKind::Steam,
         at("lib2/steamapps/compatdata/377160/pfx")},
        {"steam:377160.20250104", "Fallout 4 (20250104)", RegistryKind::Steam,
         at(compat + "377160.20250104/pfx")},
        {"steam:3000", "Flatpak Game", RegistryKind::Steam,
         at("home/.var/app/com.valvesoftware.Steam/data/Steam/steamapps/compatdata/3000/pfx")},
        {"steam:4100", "Old Library Game", RegistryKind::Steam,
         at("lib3/steamapps/compatdata/4100/pfx")},
        {"steam:2000", "Steam app 2000", RegistryKind::Steam,
         at("lib2/steamapps/compatdata/2000/pfx")},
        {"steam:4000", "Steam app 4000", RegistryKind::Steam,
         at("home/.var/app/com.valvesoftware.Steam/.local/share/Steam/steamapps/compatdata/4000/"
            "pfx")},
        {"steam:999", "Steam app 999", RegistryKind::Steam, at(compat + "999/pfx")},
        {"bottles:Broken", "Broken", RegistryKind::Bottles, at("data/bottles/bottles/Broken")},
        {"bottles:Gaming", "Gaming Bottle", RegistryKind::Bottles,
         at("data/bottles/bottles/Gaming")},
        {"bottles:NoYml", "NoYml", RegistryKind::Bottles, at("data/bottles/bottles/NoYml")},
        {"bottles:Office", "Office 2010", RegistryKind::Bottles,
         at("home/.var/app/com.usebottles.bottles/data/bottles/bottles/Office")},
        {"lutris:diablo-ii", "Diablo II", RegistryKind::Lutris, at("home/Games/diablo"),
         "lutris:diablo-ii-1700000000"},
        {"lutris:witcher-3", "witcher-3", RegistryKind::Lutris, at("home/Games/witcher"),
         "lutris:witcher-3-1700000001"},
        {"heroic:Celeste", "Celeste Classic", RegistryKind::Heroic,
         at("home/Games/Heroic/Prefixes/Celeste/pfx")},
        {"heroic:Hades", "Hades", RegistryKind::Heroic,
         at("home/Games/Heroic/Prefixes/default/Hades")},
        {at("home/.wine"), ".wine", RegistryKind::Wine, at("home/.wine")},
        {at("elsewhere/custom"), "custom", RegistryKind::Wine, at("elsewhere/custom")},
        {at("data/wineprefixes/office"), "office", RegistryKind::Wine,
         at("data/wineprefixes/office")},
        {at("home/.PlayOnLinux/wineprefix/Steam_XP"), "Steam_XP", RegistryKind::Wine,
         at("home/.PlayOnLinux/wineprefix/Steam_XP")},
        {"quarnel", "Quarnel's own registry", RegistryKind::Quarnel, at("data/quarnel/registry")},
        {at("manual/myprefix"), "myprefix", RegistryKind::Added, at("manual/myprefix")},
    };
    const std::vector<FoundRegistry> found = findRegistries(home.places);
    ASSERT_EQ(found.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].id);
        EXPECT_EQ(found[i], expected[i]);
    }
}

// Ids are typed after --prefix: each names one registry, the first found keeps
// its own, and a Lutris game's older id (its file's name) still names it.
TEST(RegistryFinder, EveryIdNamesOneRegistry)
{
    FakeHome fake;
    SearchPlaces places;
    places.home = fake.path("home");
    places.dataHome = fake.path("data");
    places.configHome = fake.path("config");
    const auto at = [&](const std::string &relative) { return fake.path(relative); };
    const std::string steam = "data/Steam/steamapps/compatdata/70/pfx";
    const std::string flatpakSteam =
        "home/.var/app/com.valvesoftware.Steam/data/Steam/steamapps/compatdata/70/pfx";
    const std::string flatpakBottle = "home/.var/app/com.usebottles.bottles/data/bottles/bottles/";
    for (const std::string &folder :
         {steam, flatpakSteam, std::string("data/bottles/bottles/Gaming"),
          std::string("data/bottles/bottles/Gaming-2"), flatpakBottle + "Gaming",
          std::string("home/A/Hades"), std::string("home/B/Hades"), std::string("home/q1"),
          std::string("home/q2")})
        fake.registry(folder);
    fake.put("config/heroic/GamesConfig/a.json",
             "{\"g1\": {\"winePrefix\": \"" + at("home/A/Hades") + "\"}}");
    fake.put("config/heroic/GamesConfig/b.json",
             "{\"g2\": {\"winePrefix\": \"" + at("home/B/Hades") + "\"}}");
    fake.put("config/lutris/games/quake-1700000000.yml", "game:\n  prefix: ~/q1\n");
    fake.put("config/lutris/games/quake-1710000000.yml", "game:\n  prefix: ~/q2\n");

    const std::vector<FoundRegistry> expected = {
        {"steam:70", "Steam app 70", RegistryKind::Steam, at(steam)},
        {"steam:70-2", "Steam app 70", RegistryKind::Steam, at(flatpakSteam)},
        {"bottles:Gaming", "Gaming", RegistryKind::Bottles, at("data/bottles/bottles/Gaming")},
        {"bottles:Gaming-3", "Gaming", RegistryKind::Bottles, at(flatpakBottle + "Gaming")},
        {"bottles:Gaming-2", "Gaming-2", RegistryKind::Bottles,
         at("data/bottles/bottles/Gaming-2")},
        {"lutris:quake", "quake", RegistryKind::Lutris, at("home/q1"), "lutris:quake-1700000000"},
        {"lutris:quake-2", "quake", RegistryKind::Lutris, at("home/q2"), "lutris:quake-1710000000"},
        {"heroic:Hades", "Hades", RegistryKind::Heroic, at("home/A/Hades")},
        {"heroic:Hades-2", "Hades", RegistryKind::Heroic, at("home/B/Hades")},
    };
    const std::vector<FoundRegistry> found = findRegistries(places);
    EXPECT_EQ(found, expected);
    for (const auto &[text, folder] : {std::pair{"steam:70-2", at(flatpakSteam)},
                                       {"lutris:quake-1710000000", at("home/q2")},
                                       {"lutris:quake", at("home/q1")},
                                       {"bottles:Gaming-3", at(flatpakBottle + "Gaming")}}) {
        const RegistryMatch match = matchRegistry(found, text, places.home);
        EXPECT_EQ(match.status, RegistryMatch::Found) << text;
        EXPECT_EQ(match.registry.folder, folder) << text;
    }
}

TEST(RegistryFinder, ListingChangesNothingInTheHome)
{
    EveryLayout home;
    const auto before = home.fake.picture();
    findRegistries(home.places);
    EXPECT_EQ(home.fake.picture(), before);
}

TEST(RegistryFinder, PlacesFollowTheEnvironment)
{
    struct Case
    {
        const char *home, *data, *config;
        std::string dataHome, configHome;
    };
    const Case cases[] = {
        {"/h", nullptr, nullptr, "/h/.local/share", "/h/.config"},
        {"/h/", "/d", "/c", "/d", "/c"},
        {"/h", "relative", "", "/h/.local/share", "/h/.config"}, // not absolute: unset
        {nullptr, nullptr, nullptr, "", ""},
    };
    for (const Case &c : cases) {
        const auto set = [](const char *name, const char *value) {
            value ? ::setenv(name, value, 1) : ::unsetenv(name);
        };
        set("HOME", c.home);
        set("XDG_DATA_HOME", c.data);
        set("XDG_CONFIG_HOME", c.config);
        const SearchPlaces places = SearchPlaces::fromEnvironment();
        EXPECT_EQ(places.dataHome, c.dataHome) << (c.home ? c.home : "(no home)");
        EXPECT_EQ(places.configHome, c.configHome);
    }
}

TEST(RegistryFinder, MatchesIdsFoldersAndNames)
{
    EveryLayout home;
    const std::vector<FoundRegistry> found = findRegistries(home.places);
    const std::string h = home.places.home;
    const std::string compat = home.fake.path("data/Steam/steamapps/compatdata/");
    home.fake.registry("loose");
    struct Case
    {
        std::string text;
        RegistryMatch::Status status;
        std::string id; // Found: the id; otherwise the candidates' ids joined by spaces
    };
    const Case cases[] = {
        {"steam:1245620", RegistryMatch::Found, "steam:1245620"},
        {"bottles:Gaming", RegistryMatch::Found, "bottles:Gaming"},
        {"elden ring", RegistryMatch::Found, "steam:1245620"},
        {compat + "1245620/pfx", RegistryMatch::Found, "steam:1245620"},
        {compat + "1245620", RegistryMatch::Found, "steam:1245620"},
        {h + "/.steam/steam/steamapps/compatdata/999/", RegistryMatch::Found, "steam:999"},
        {"~/.wine", RegistryMatch::Found, h + "/.wine"},
        {home.fake.path("loose"), RegistryMatch::Found, home.fake.path("loose")},
        {"fallout", RegistryMatch::NoMatch, "steam:377160 steam:377160.20250104"},
        {"nothing like it", RegistryMatch::NoMatch, ""},
        {"/no/such/folder", RegistryMatch::NoMatch, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        const RegistryMatch match = matchRegistry(found, c.text, h);
        EXPECT_EQ(match.status, c.status);
        std::string ids;
        for (const FoundRegistry &r : match.candidates)
            ids += (ids.empty() ? "" : " ") + r.id;
        EXPECT_EQ(c.status == RegistryMatch::Found ? match.registry.id : ids, c.id);
    }
    EXPECT_EQ(matchRegistry(found, home.fake.path("loose"), h).registry.kind, RegistryKind::Folder);
    // A Proton folder named directly leads to its pfx.
    home.fake.registry("proton/pfx");
    EXPECT_EQ(matchRegistry(found, home.fake.path("proton"), h).registry.folder,
              home.fake.path("proton/pfx"));

    // The same name twice, and the same id twice (a bottle both native and in Flatpak).
    std::vector<FoundRegistry> twice = found;
    twice.push_back({"bottles:Gaming", "Elden Ring", RegistryKind::Bottles, h});
    EXPECT_EQ(matchRegistry(twice, "Elden Ring", h).candidates.size(), 2u);
    EXPECT_EQ(matchRegistry(twice, "bottles:Gaming", h).status, RegistryMatch::Several);
}

TEST(RegistryFinder, FileFactsAddTheHives)
{
    FakeHome fake;
    fake.registry("r");
    fake.put("r/userdef.reg", "12345");
    const RegistryFileFacts facts = registryFileFacts(fake.path("r"));
    std::uint64_t bytes = 0;
    std::int64_t newest = 0;
    for (const char *file : {"r/system.reg", "r/userdef.reg", "r/user.reg"}) {
        struct stat st
        {
        };
        ::stat(fake.path(file).c_str(), &st);
        bytes += static_cast<std::uint64_t>(st.st_size);
        newest = std::max<std::int64_t>(newest, st.st_mtim.tv_sec);
    }
    EXPECT_EQ(facts.bytes, bytes);
    EXPECT_EQ(facts.changedAt, newest);
    EXPECT_FALSE(wineRunningOn(fake.path("r")));
}
