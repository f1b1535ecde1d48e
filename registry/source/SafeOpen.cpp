#include "registry/source/SafeOpen.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quarnel::platform {

namespace {

std::string problemWith(const std::string &path, const struct stat &st, bool writing)
{
    if (S_ISLNK(st.st_mode))
        return path + " is a symbolic link; Quarnel does not " +
               (writing ? "write through it" : "follow it");
    if (!S_ISREG(st.st_mode)) return path + " is not a regular file";
    if (writing && st.st_nlink > 1)
        return path + " has other names (hard links); Quarnel does not write into it";
    if (static_cast<uint64_t>(st.st_size) > kMaxFileBytes)
        return path + " is too large for a registry file (" + std::to_string(st.st_size) +
               " bytes)";
    return {};
}

// Why opening failed: the kind of file in the way where there is one.
std::string openFailure(const std::string &path, int err, bool writing)
{
    struct stat st
    {
    };
    if (::lstat(path.c_str(), &st) == 0) {
        std::string problem = problemWith(path, st, writing);
        if (!problem.empty()) return problem;
    }
    return "cannot open " + path + ": " + std::strerror(err);
}

// Checks what was opened (it may have been swapped since anyone looked).
int checked(int fd, const std::string &path, bool writing, std::string &error)
{
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0) {
        error = "cannot open " + path + ": " + std::strerror(errno);
    } else {
        error = problemWith(path, st, writing);
        if (error.empty()) return fd;
    }
    ::close(fd);
    return -1;
}

} // namespace

int openForReading(const std::string &path, bool followLink, std::string &error)
{
    // Look before opening: opening a FIFO or a device can block or do things of its own.
    struct stat st
    {
    };
    if ((followLink ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) != 0) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return -1;
    }
    error = problemWith(path, st, false);
    if (!error.empty()) return -1;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC |
                                            (followLink ? 0 : O_NOFOLLOW));
    if (fd < 0) {
        error = openFailure(path, errno, false);
        return -1;
    }
    return checked(fd, path, false, error);
}

int openForWriting(const std::string &path, int flags, mode_t mode, std::string &error)
{
    const int fd =
        ::open(path.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, mode);
    if (fd < 0) {
        error = openFailure(path, errno, true);
        return -1;
    }
    if (checked(fd, path, true, error) < 0) return -1;
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

} // namespace quarnel::platform
