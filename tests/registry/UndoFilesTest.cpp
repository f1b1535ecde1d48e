// The undo folder as a list: each file names its edit in a comment line our
// reader skips, the newest comes first, and one taken back leaves the list.
#include "registry/UndoFiles.h"
#include "registry/RegEditFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

RegEditFile sample(const std::string &name)
{
    RegEditFile file;
    file.sections.push_back({"HKEY_CURRENT_USER\\Software\\X", false, {}});
    file.sections.back().values.push_back({name, false, 4, {1, 0, 0, 0}});
    return file;
}

std::string read(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace

TEST(UndoFilesTest, DescribedFilesReadBackListNewestFirstAndLeaveOnceTakenBack)
{
    char pattern[] = "/tmp/quarnel-undo-files-XXXXXX";
    const fs::path folder = mkdtemp(pattern);
    fs::create_directories(folder / "undo");
    const std::string names[] = {"2026-01-02_03-04-05-delete.reg",
                                 "2026-01-02_03-04-06-replace.reg",
                                 "2026-01-02_03-04-06-replace-2.reg"};
    for (const std::string &name : names) {
        const std::string bytes = UndoFiles::described(sample(name).write(), "unfinished\nedit");
        std::ofstream(folder / "undo" / name, std::ios::binary) << bytes;
        RegEditFile back;
        ASSERT_TRUE(RegEditFile::parse(bytes, back).ok);
        EXPECT_EQ(back.sections, sample(name).sections);
        EXPECT_EQ(UndoFiles::descriptionOf(bytes), "unfinished edit"); // one line
    }
    std::ofstream(folder / "undo" / "notes.txt") << "not an undo file";
    ASSERT_TRUE(UndoFiles::describe((folder / "undo" / names[0]).string(), "3 items deleted"));
    ASSERT_TRUE(UndoFiles::describe((folder / "undo" / names[0]).string(), "4 items deleted"));

    std::vector<UndoFiles::Entry> list = UndoFiles::pending(folder.string());
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(fs::path(list[2].path).filename(), names[0]);
    EXPECT_EQ(list[2].description, "4 items deleted");
    EXPECT_EQ(list[2].time, 1767323045); // 2026-01-02 03:04:05 UTC

    const fs::path newest = list[0].path;
    EXPECT_EQ(UndoFiles::markTakenBack(newest.string()), "");
    RegEditFile back;
    ASSERT_TRUE(RegEditFile::parse(read(newest), back).ok); // still an import file
    EXPECT_EQ(back.sections, sample(newest.filename().string()).sections);
    list = UndoFiles::pending(folder.string());
    ASSERT_EQ(list.size(), 2u);
    EXPECT_NE(list[0].path, newest.string());
    EXPECT_EQ(list[0].description, "unfinished edit");
    fs::remove_all(folder);
}
