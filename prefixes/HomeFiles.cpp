#include "prefixes/HomeFiles.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quarnel::prefixes {

bool readSmallFile(const std::string &path, std::string &content, std::string &error,
                   std::uint64_t limit)
{
    content.clear();
    // O_NONBLOCK: a FIFO planted where a config file should be must not hang the listing.
    const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK;
    int fd = ::open(path.c_str(), flags | O_NOATIME);
    if (fd < 0 && errno == EPERM) fd = ::open(path.c_str(), flags);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    struct stat st
    {
    };
    bool ok = ::fstat(fd, &st) == 0;
    if (!ok) {
        error = path + ": " + std::strerror(errno);
    } else if (!S_ISREG(st.st_mode)) {
        error = path + ": not a regular file";
        ok = false;
    } else if (static_cast<std::uint64_t>(st.st_size) > limit) {
        error = path + ": too big for a config file";
        ok = false;
    }
    if (ok) {
        content.resize(static_cast<std::size_t>(st.st_size));
        std::size_t got = 0;
        // The file may shrink while we read it; what was there is what we take.
        while (got < content.size()) {
            const ssize_t n = ::read(fd, content.data() + got, content.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                error = path + ": " + std::strerror(errno);
                ok = false;
                break;
            }
            if (n == 0) break;
            got += static_cast<std::size_t>(n);
        }
        content.resize(got);
    }
    ::close(fd);
    return ok;
}

std::vector<std::string> folderNames(const std::string &folder)
{
    std::vector<std::string> names;
    DIR *dir = ::opendir(folder.c_str());
    if (!dir) return names;
    while (const dirent *entry = ::readdir(dir)) {
        const char *n = entry->d_name;
        if (std::strcmp(n, ".") != 0 && std::strcmp(n, "..") != 0) names.emplace_back(n);
    }
    ::closedir(dir);
    // The order the file system keeps differs from machine to machine; what is
    // found in it (and the ids made from it) must not.
    std::sort(names.begin(), names.end());
    return names;
}

bool isFolder(const std::string &path)
{
    struct stat st
    {
    };
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string resolvedPath(const std::string &path)
{
    char *real = ::realpath(path.c_str(), nullptr);
    if (!real) return {};
    std::string out(real);
    std::free(real);
    return out;
}

std::string lastPart(const std::string &path)
{
    std::string p = path;
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    const std::size_t slash = p.rfind('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

std::string expandHome(const std::string &path, const std::string &home)
{
    if (home.empty() || path.empty() || path[0] != '~') return path;
    if (path.size() == 1) return home;
    if (path[1] == '/') return home + path.substr(1);
    return path; // "~user" is someone else's home: left as written
}

} // namespace quarnel::prefixes
