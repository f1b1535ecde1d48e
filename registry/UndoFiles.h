// The undo files in <safety folder>/undo/ as a list the user picks from: each
// says what its edit was in a comment line of its own (";Quarnel-edit: 3 items
// deleted", after the first line; Wine's regedit skips it), and one that has
// been taken back says so in another (";Quarnel-undone: <time>"), so that no
// face takes it back twice. The files keep their names.
#pragma once

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace UndoFiles {

struct Entry
{
    std::string path;
    std::time_t time = 0;    // when it was written
    std::string description; // "3 items deleted"; "" in files of older versions
};

// `bytes` (a registry editor file as RegEditFile::write() makes it) with the
// comment line that names the edit after its first line.
std::string described(const std::string &bytes, std::string_view description);
// Replaces (or adds) the comment line of the file at `path`. False when the file
// could not be rewritten.
bool describe(const std::string &path, std::string_view description);
// The comment line's text in `bytes`, or "".
std::string descriptionOf(std::string_view bytes);

// The undo files in <safetyFolder>/undo not yet taken back, newest first.
std::vector<Entry> pending(const std::string &safetyFolder);
// Marks the file as taken back (rewritten whole, so a crash leaves it one way or
// the other). "" or what failed.
std::string markTakenBack(const std::string &path);

} // namespace UndoFiles
