// File access for the registry files: whole-file reads, saves that replace a
// file in one rename (never a half-written file), and an identity to notice
// when someone else changed a file since we read it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace quarnel::platform {

// The temporary file beside the one replaceFile() replaces.
inline constexpr const char *kTempSuffix = ".quarnel-tmp";

struct FileId
{
    bool exists = false;
    uint64_t device = 0, inode = 0, size = 0;
    int64_t mtimeSec = 0, mtimeNsec = 0;

    bool operator==(const FileId &) const = default;
};

FileId fileIdOf(const std::string &path);

// A whole file read into memory (not mapped: a file cut short by another
// program while we read it must not crash us). A missing file is an error too,
// and so is anything but a regular file of a sane size.
class FileContent
{
public:
    // The rest of an open file.
    bool readFrom(int fd, const std::string &path, std::string &error);
    std::string_view text() const { return {m_data.get(), m_size}; }

private:
    std::unique_ptr<char[]> m_data; // left uninitialised: readFrom() fills it
    std::size_t m_size = 0;
};

// A file read a piece at a time, with the same checks: a big registry file
// need not sit in memory whole while it is read, and its parts can be read
// side by side.
class FilePieces
{
public:
    FilePieces() = default;
    ~FilePieces();
    FilePieces(const FilePieces &) = delete;
    FilePieces &operator=(const FilePieces &) = delete;

    bool open(const std::string &path, std::string &error);
    // Up to `room` bytes from `at` on; `got` is 0 at the end. False on an
    // error, which error() then describes. Safe to call from several threads.
    bool readAt(uint64_t at, char *to, std::size_t room, std::size_t &got);
    // The file's size when it was opened.
    uint64_t size() const { return m_size; }
    std::string error() const;

private:
    bool failed(std::string error);

    int m_fd = -1;
    std::string m_path;
    uint64_t m_size = 0;
    mutable std::mutex m_errorLock;
    std::string m_error;
};

// Writes `text` to a temporary file beside `path`, flushes it to disk and renames
// it over `path`, keeping the old file's permissions.
bool replaceFile(const std::string &path, const std::string &text, bool syncToDisk, FileId &written,
                 std::string &error);

// The same with the text made piece by piece: `produce` hands its chunks to the
// function it is given, so that a big file never sits in memory as a whole.
// `beforeRename` learns the identity the file will have, before it has it.
using ChunkSink = std::function<void(std::string_view)>;
bool replaceFile(const std::string &path, const std::function<void(const ChunkSink &)> &produce,
                 bool syncToDisk, FileId &written, std::string &error,
                 const std::function<void(const FileId &)> &beforeRename = {});

} // namespace quarnel::platform
