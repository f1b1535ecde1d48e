#include "AtomicFile.h"

#include "WinePrefix.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quarnel::platform::wine {

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
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0)
        return {};
    return idOf(st);
}

bool FileContent::read(const std::string &path, std::string &error)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = describe("open", path);
        return false;
    }
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = path + " is not a regular file";
        ::close(fd);
        return false;
    }
    std::size_t capacity = static_cast<std::size_t>(st.st_size) + 1;
    m_data = std::make_unique_for_overwrite<char[]>(capacity);
    m_size = 0;
    for (;;) {
        if (m_size == capacity) { // the file grew meanwhile
            auto bigger = std::make_unique_for_overwrite<char[]>(capacity * 2);
            std::memcpy(bigger.get(), m_data.get(), m_size);
            m_data = std::move(bigger);
            capacity *= 2;
        }
        const ssize_t r = ::read(fd, m_data.get() + m_size, capacity - m_size);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0) {
            error = describe("read", path);
            ::close(fd);
            return false;
        }
        if (r == 0)
            break;
        m_size += static_cast<std::size_t>(r);
    }
    ::close(fd);
    return true;
}

bool replaceFile(const std::string &path, const std::string &text, bool syncToDisk, FileId &written,
                 std::string &error)
{
    return replaceFile(
        path, [&text](const ChunkSink &sink) { sink(text); }, syncToDisk, written, error);
}

bool replaceFile(const std::string &path, const std::function<void(const ChunkSink &)> &produce,
                 bool syncToDisk, FileId &written, std::string &error)
{
    const std::string temp = path + kTempSuffix;
    struct stat old{};
    const bool hadFile = ::stat(path.c_str(), &old) == 0;
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = describe("create", temp);
        return false;
    }
    bool ok = !hadFile || ::fchmod(fd, old.st_mode & 07777) == 0;
    produce([&ok, fd](std::string_view chunk) {
        for (std::size_t done = 0; ok && done < chunk.size();) {
            const ssize_t w = ::write(fd, chunk.data() + done, chunk.size() - done);
            if (w < 0 && errno == EINTR)
                continue;
            ok = w > 0;
            if (ok)
                done += static_cast<std::size_t>(w);
        }
    });
    if (ok && syncToDisk)
        ok = ::fdatasync(fd) == 0;
    struct stat st{};
    ok = ok && ::fstat(fd, &st) == 0;
    if (!ok)
        error = describe("write", temp);
    if (::close(fd) != 0 && ok) {
        error = describe("write", temp);
        ok = false;
    }
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

} // namespace quarnel::platform::wine
