#include "prefixes/Settings.h"

#include "tests/prefixes/FakeHome.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

using quarnel::prefixes::Settings;
using quarnel::prefixes::test::FakeHome;

namespace {

std::string contentOf(const std::string &path)
{
    std::ostringstream out;
    out << std::ifstream(path, std::ios::binary).rdbuf();
    return out.str();
}

} // namespace

TEST(Settings, KeepsWhatItDoesNotKnowAndWritesAReadableFile)
{
    FakeHome fake;
    const std::string path = fake.path("config/quarnel/settings.json");
    fake.put("config/quarnel/settings.json",
             R"({"registries": {"added": ["/a", 7, "/b"], "recent": "not a list", "later": 1},
                 "search": {"caseSensitive": true, "limit": 50, "name": 3}})");
    Settings settings = Settings::load(path);
    EXPECT_EQ(settings.problem(), "");
    EXPECT_EQ(settings.addedFolders(), (std::vector<std::string>{"/a", "/b"}));
    EXPECT_TRUE(settings.recentRegistries().empty()); // wrong type: read as missing
    EXPECT_EQ(settings.flag("search", "caseSensitive"), true);
    EXPECT_EQ(settings.number("search", "limit"), 50);
    EXPECT_EQ(settings.text("search", "name"), std::nullopt);
    EXPECT_EQ(settings.number("nosection", "limit"), std::nullopt);

    settings.addFolder("/c");
    settings.addFolder("/a"); // already there: stays where it was
    settings.removeFolder("/b");
    for (const char *id : {"steam:1", "bottles:x", "steam:1", "heroic:h"})
        settings.noteOpened(id, 2);
    settings.setText("search", "name", "x");
    std::string error;
    ASSERT_TRUE(settings.save(error)) << error;

    const std::string written = contentOf(path);
    EXPECT_NE(written.find("\n  \"registries\": {\n"), std::string::npos) << written;
    Settings again = Settings::load(path);
    EXPECT_EQ(again.addedFolders(), (std::vector<std::string>{"/a", "/c"}));
    EXPECT_EQ(again.recentRegistries(), (std::vector<std::string>{"heroic:h", "steam:1"}));
    EXPECT_EQ(again.number("registries", "later"), 1);
    EXPECT_EQ(again.text("search", "name"), "x");
    EXPECT_EQ(again.flag("search", "caseSensitive"), true);
}

TEST(Settings, AMissingOrBrokenFileReadsAsEmptyAndIsKeptAside)
{
    struct Case
    {
        const char *content; // null: no file
        bool problem;
        bool keptAside;
    };
    const Case cases[] = {
        {nullptr, false, false},
        {"{\"registries\": {\"added\": [\"/a\"", true, true},
        {"[\"/a\"]", true, true},
        {"", true, true},
        {"{\"registries\": [1]}", false, false}, // a section of the wrong type is replaced
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.content ? c.content : "(none)");
        FakeHome fake;
        const std::string path = fake.path("q/settings.json");
        if (c.content) fake.put("q/settings.json", c.content);
        Settings settings = Settings::load(path);
        EXPECT_EQ(!settings.problem().empty(), c.problem) << settings.problem();
        EXPECT_TRUE(settings.addedFolders().empty());
        settings.addFolder("/new");
        std::string error;
        ASSERT_TRUE(settings.save(error)) << error;
        EXPECT_EQ(Settings::load(path).addedFolders(), std::vector<std::string>{"/new"});
        struct stat st
        {
        };
        EXPECT_EQ(::stat((path + ".broken").c_str(), &st) == 0, c.keptAside);
        if (c.keptAside) {
            EXPECT_EQ(contentOf(path + ".broken"), c.content);
        }
    }

    // A folder where the file should be is kept aside like a broken file.
    FakeHome fake;
    fake.put("q/settings.json/inside", "x");
    Settings settings = Settings::load(fake.path("q/settings.json"));
    EXPECT_NE(settings.problem(), "");
    std::string error;
    EXPECT_TRUE(settings.save(error)) << error;
    EXPECT_EQ(contentOf(fake.path("q/settings.json.broken/inside")), "x");
}

TEST(Settings, ALinkedFileStaysLinked)
{
    FakeHome fake;
    fake.put("dotfiles/quarnel.json", R"({"registries": {"added": ["/a"]}})");
    fake.link("config/quarnel/settings.json", fake.path("dotfiles/quarnel.json"));
    Settings settings = Settings::load(fake.path("config/quarnel/settings.json"));
    settings.addFolder("/b");
    std::string error;
    ASSERT_TRUE(settings.save(error)) << error;
    struct stat st
    {
    };
    ASSERT_EQ(::lstat(fake.path("config/quarnel/settings.json").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(Settings::load(fake.path("dotfiles/quarnel.json")).addedFolders(),
              (std::vector<std::string>{"/a", "/b"}));

    fake.link("config/quarnel/dangling.json", fake.path("nowhere/x.json"));
    Settings dangling = Settings::load(fake.path("config/quarnel/dangling.json"));
    EXPECT_FALSE(dangling.save(error));
}

TEST(Settings, DefaultPathFollowsTheEnvironment)
{
    ::setenv("HOME", "/h", 1);
    ::setenv("XDG_CONFIG_HOME", "/c", 1);
    EXPECT_EQ(Settings::defaultPath(), "/c/quarnel/settings.json");
    ::setenv("XDG_CONFIG_HOME", "relative", 1);
    EXPECT_EQ(Settings::defaultPath(), "/h/.config/quarnel/settings.json");
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(Settings::defaultPath(), "/h/.config/quarnel/settings.json");
}
