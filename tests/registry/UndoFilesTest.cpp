// The undo folder as a list: each file names its edit in a comment line our
// reader skips, the newest comes first, and one taken back leaves the list.
#include "registry/undo/UndoFiles.h"
#include "registry/regfile/RegEditFile.h"

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

// Many small undo files of several ages: those past the age go, then the oldest
// until the rest fit the size; none of the running program's, whatever the size.
TEST(UndoFilesTest, PruningRemovesByAgeThenOldestBySizeButNeverTheRunningProgramsFiles)
{
    char pattern[] = "/tmp/quarnel-undo-prune-XXXXXX";
    const fs::path folder = mkdtemp(pattern);
    fs::create_directories(folder / "undo");
    const std::time_t now = 1767323045; // 2026-01-02 03:04:05 UTC
    constexpr int kFiles = 300;         // one an hour, newest first
    constexpr std::size_t kBytes = 1000;
    std::vector<std::string> names;
    for (int i = 0; i < kFiles; ++i) {
        const std::time_t when = now - std::time_t(i) * 3600;
        std::tm tm{};
        gmtime_r(&when, &tm);
        char name[64];
        std::strftime(name, sizeof name, "%Y-%m-%d_%H-%M-%S-delete.reg", &tm);
        names.push_back(name);
        std::ofstream(folder / "undo" / name, std::ios::binary)
            << UndoFiles::described(sample(name).write(), "edit") << std::string(kBytes, ';');
    }
    const std::uintmax_t each = fs::file_size(folder / "undo" / names[0]);

    // Ten days: the files of the first 240 hours stay (the one of exactly ten days too).
    UndoFiles::Limits limits{10LL * 24 * 3600, std::uintmax_t(1) << 40};
    EXPECT_EQ(UndoFiles::prune(folder.string(), limits, now, now + 1).size(), 59u);
    EXPECT_EQ(UndoFiles::all(folder.string()).size(), 241u);
    EXPECT_TRUE(fs::exists(folder / "undo" / names[240]));
    EXPECT_FALSE(fs::exists(folder / "undo" / names[241]));

    // A hundred files' worth: the oldest go first.
    limits.maxBytes = 100 * each;
    UndoFiles::prune(folder.string(), limits, now, now + 1);
    std::vector<UndoFiles::Entry> left = UndoFiles::all(folder.string());
    ASSERT_EQ(left.size(), 100u);
    EXPECT_EQ(fs::path(left.front().path).filename(), names[0]);
    EXPECT_EQ(fs::path(left.back().path).filename(), names[99]);

    // The running program started 20 hours ago: its 21 files stay, over the size too.
    limits.maxBytes = 5 * each;
    UndoFiles::prune(folder.string(), limits, now, now - 20 * 3600);
    left = UndoFiles::all(folder.string());
    ASSERT_EQ(left.size(), 21u);
    EXPECT_EQ(fs::path(left.back().path).filename(), names[20]);
    fs::remove_all(folder);
}

// Taking back writes a record; records of undos are the redo chain until an edit.
TEST(UndoFilesTest, RecordsOfUndosAreRedoneUntilANewEditEndsTheChain)
{
    char pattern[] = "/tmp/quarnel-undo-redo-XXXXXX";
    const fs::path folder = mkdtemp(pattern);
    fs::create_directories(folder / "undo");
    const auto write = [&](const std::string &name, const std::string &description) {
        const fs::path path = folder / "undo" / name;
        std::ofstream(path, std::ios::binary)
            << UndoFiles::described(sample(name).write(), description);
        return UndoFiles::entryOf(path.string()).value();
    };
    const UndoFiles::Entry edit = write("2026-01-02_03-04-05-delete.reg", "3 items deleted");
    EXPECT_FALSE(UndoFiles::redoable(folder.string()));
    EXPECT_EQ(UndoFiles::recordDescription(edit), "undo of 3 items deleted");

    const UndoFiles::Entry undo = write("2026-01-02_03-04-06-undo.reg", "undo of 3 items deleted");
    ASSERT_EQ(UndoFiles::markRecord(undo.path, UndoFiles::recordKind(edit), edit.path), "");
    ASSERT_EQ(UndoFiles::markTakenBack(edit.path), "");
    const auto redo = UndoFiles::redoable(folder.string());
    ASSERT_TRUE(redo);
    EXPECT_EQ(redo->path, undo.path);
    EXPECT_EQ(redo->kind, UndoFiles::Kind::Undo);
    EXPECT_EQ(UndoFiles::recordDescription(*redo), "redo of 3 items deleted");
    EXPECT_TRUE(UndoFiles::undoable(folder.string()).empty()); // the record waits for a redo
    RegEditFile back;
    ASSERT_TRUE(RegEditFile::parse(read(undo.path), back).ok); // still an import file

    const UndoFiles::Entry later = write("2026-01-02_03-04-07-replace.reg", "1 items replaced");
    EXPECT_FALSE(UndoFiles::redoable(folder.string()));
    EXPECT_EQ(UndoFiles::undoable(folder.string()).size(), 1u);
    // Also once that edit is taken back: the undo before it found another registry.
    ASSERT_EQ(UndoFiles::markTakenBack(later.path), "");
    EXPECT_FALSE(UndoFiles::redoable(folder.string()));
    fs::remove_all(folder);
}
