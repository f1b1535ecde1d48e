#include "registry/source/AtomicFile.h"

#include "registry/source/SafeOpen.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quarnel::platform {

namespace {

FileId idOf(const struct stat &st)
{
    FileId id;
    id.exists = true;
    id.device = static_cast<uint64_t>(st.st_dev);
    id.inode = static_cast<uint64_t>(st.st_ino);
    id.size = static_cast<uint64_t>(st.st_size);
    id.mtimeSec = st.st_mtim.tv_sec;
    id.mtimeNsec = st.st_mtim.tv_nsec;
    return id;
}

std::string describe(const std::string &what, const std::string &path)
{
    return "cannot " + what + " " + path + ": " + std::strerror(errno);
}

} // namespace

FileId fileIdOf(const std::string &path)
{
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) != 0) return {};
    return idOf(st);
}

bool FileContent::readFrom(int fd, const std::string &path, std::string &error)
{
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0) {
        error = describe("read", path);
        return false;
    }
    std::size_t capacity = std::min(static_cast<std::size_t>(st.st_size), kMaxFileBytes) + 1;
    m_data = std::make_unique_for_overwrite<char[]>(capacity);
    m_size = 0;
    for (;;) {
        if (m_size == capacity) { // the file grew meanwhile
            if (capacity > kMaxFileBytes) {
                error = path + " is too large for a registry file";
                return false;
            }
            const std::size_t more = std::min(capacity * 2, kMaxFileBytes + 1);
            auto bigger = std::make_unique_for_overwrite<char[]>(more);
            std::memcpy(bigger.get(), m_data.get(), m_size);
            m_data = std::move(bigger);
            capacity = more;
        }
        const ssize_t r = ::read(fd, m_data.get() + m_size, capacity - m_size);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) {
            error = describe("read", path);
            return false;
        }
        if (r == 0) break;
        m_size += static_cast<std::size_t>(r);
    }
    return true;
}

FilePieces::~FilePieces()
{
    if (m_fd >= 0) ::close(m_fd);
}

bool FilePieces::open(const std::string &path, std::string &error)
{
    m_path = path;
    m_fd = openForReading(path, true, error);
    if (m_fd < 0) return false;
    struct stat st
    {
    };
    if (::fstat(m_fd, &st) != 0) {
        error = describe("read", path);
        return false;
    }
    m_size = static_cast<uint64_t>(st.st_size);
    return true;
}

std::string FilePieces::error() const
{
    const std::lock_guard lock(m_errorLock);
    return m_error;
}

bool FilePieces::failed(std::string error)
{
    const std::lock_guard lock(m_errorLock);
    if (m_error.empty()) m_error = std::move(error); // the first one tells most
    return false;
}

bool FilePieces::readAt(uint64_t at, char *to, std::size_t room, std::size_t &got)
{
    got = 0;
    if (at > kMaxFileBytes) return failed(m_path + " is too large for a registry file");
    room = std::min<uint64_t>(room, kMaxFileBytes + 1 - at);
    for (;;) {
        const ssize_t r = ::pread(m_fd, to, room, static_cast<off_t>(at));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return failed(describe("read", m_path));
        got = static_cast<std::size_t>(r);
        break;
    }
    if (at + got > kMaxFileBytes) // it grew while we read it
        return failed(m_path + " is too large for a registry file");
    return true;
}

bool replaceFile(const std::string &path, const std::string &text, bool syncToDisk, FileId &written,
                 std::string &error)
{
    return replaceFile(
        path, [&text](const ChunkSink &sink) { sink(text); }, syncToDisk, written, error);
}

bool replaceFile(const std::string &path, const std::function<void(const ChunkSink &)> &produce,
                 bool syncToDisk, FileId &written, std::string &error,
                 const std::function<void(const FileId &)> &beforeRename)
{
    const std::string temp = path + kTempSuffix;
    struct stat old
    {
    };
    const bool hadFile = ::stat(path.c_str(), &old) == 0;
    // Only a file made here and now; a link planted under this name goes, unfollowed.
    ::unlink(temp.c_str());
    const int fd = openForWriting(temp, O_WRONLY | O_CREAT | O_EXCL, 0644, error);
    if (fd < 0) return false;
    bool ok = !hadFile || ::fchmod(fd, old.st_mode & 07777) == 0;
    produce([&ok, fd](std::string_view chunk) {
        for (std::size_t done = 0; ok && done < chunk.size();) {
            const ssize_t w = ::write(fd, chunk.data() + done, chunk.size() - done);
            if (w < 0 && errno == EINTR) continue;
            ok = w > 0;
            if (ok) done += static_cast<std::size_t>(w);
        }
    });
    if (ok && syncToDisk) ok = ::fdatasync(fd) == 0;
    struct stat st
    {
    };
    ok = ok && ::fstat(fd, &st) == 0;
    if (!ok) error = describe("write", temp);
    if (::close(fd) != 0 && ok) {
        error = describe("write", temp);
        ok = false;
    }
    if (ok && beforeRename) beforeRename(idOf(st));
    if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
        error = describe("replace", path);
        ok = false;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    written = idOf(st);
    return true;
}

} // namespace quarnel::platform
