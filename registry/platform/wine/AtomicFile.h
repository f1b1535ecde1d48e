// File access for the registry files: whole-file reads, saves that replace a
// file in one rename (never a half-written file), and an identity to notice
// when someone else changed a file since we read it.
#pragma once

#include <cstdint>
#include <string>

namespace quarnel::platform::wine {

struct FileId
{
    bool exists = false;
    uint64_t device = 0, inode = 0, size = 0;
    int64_t mtimeSec = 0, mtimeNsec = 0;

    bool operator==(const FileId &) const = default;
};

FileId fileIdOf(const std::string &path);

// Returns false with `error` set; a missing file is an error too.
bool readWholeFile(const std::string &path, std::string &text, std::string &error);

// Writes `text` to a temporary file beside `path`, flushes it to disk and renames
// it over `path`, keeping the old file's permissions.
bool replaceFile(const std::string &path, const std::string &text, bool syncToDisk, FileId &written,
                 std::string &error);

} // namespace quarnel::platform::wine
