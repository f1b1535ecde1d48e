#include "ServerLock.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace quarnel::platform::wine {

namespace {

std::string readTag(const std::string &prefix)
{
    std::ifstream in(prefix + "/wineserver", std::ios::binary);
    std::string tag;
    std::getline(in, tag, '\0');
    while (!tag.empty() && (tag.back() == '\n' || tag.back() == '\r'))
        tag.pop_back();
    // The tag becomes a directory name; anything path-like is not Wine's.
    if (tag.find('/') != std::string::npos || tag == "." || tag == "..")
        return {};
    return tag;
}

std::string createTag(const std::string &prefix)
{
    static const char alphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device rd;
    std::string tag = "wine-";
    for (int i = 0; i < 6; ++i)
        tag.push_back(alphabet[rd() % (sizeof alphabet - 1)]);
    const std::string path = prefix + "/wineserver";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0400);
    if (fd < 0)
        return readTag(prefix); // someone else created it meanwhile
    const bool ok = ::write(fd, tag.data(), tag.size()) == static_cast<ssize_t>(tag.size());
    ::close(fd);
    return ok ? tag : std::string();
}

bool makeDirs(const std::string &path)
{
    for (std::size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos != path.size() && path[pos] != '/')
            continue;
        const std::string part = path.substr(0, pos);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

std::string directoryOf(const std::string &path)
{
    return path.substr(0, path.rfind('/'));
}

} // namespace

std::vector<std::string> wineServerLockPaths(const std::string &prefix, bool create)
{
    struct stat st{};
    if (::stat(prefix.c_str(), &st) != 0)
        return {};
    char server[64];
    std::snprintf(server, sizeof server, "server-%llx-%llx", static_cast<unsigned long long>(st.st_dev),
                  static_cast<unsigned long long>(st.st_ino));
    std::vector<std::string> paths;
    std::string tag = readTag(prefix);
    if (tag.empty() && create)
        tag = createTag(prefix);
    if (!tag.empty()) {
        const char *tmp = std::getenv("TMPDIR");
        const std::string tmpDir = tmp && *tmp ? tmp : "/tmp";
        paths.push_back(tmpDir + "/" + tag + "/" + server + "/lock");
    }
    paths.push_back("/tmp/.wine-" + std::to_string(::getuid()) + "/" + server + "/lock");
    return paths;
}

pid_t lockHolder(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0; // no lock file: no server there
    struct flock fl{};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = 0;
    fl.l_len = 0;
    pid_t pid = 0;
    if (::fcntl(fd, F_GETLK, &fl) == 0 && fl.l_type != F_UNLCK)
        pid = fl.l_pid;
    ::close(fd);
    return pid;
}

std::string processName(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(in, name);
    return name;
}

bool ServerLock::acquire(const std::vector<std::string> &paths, pid_t &holder, std::string &error)
{
    holder = 0;
    for (const std::string &path : paths) {
        if (!makeDirs(directoryOf(path))) {
            error = "cannot create " + directoryOf(path) + ": " + std::strerror(errno);
            release();
            return false;
        }
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) {
            error = "cannot open " + path + ": " + std::strerror(errno);
            release();
            return false;
        }
        struct flock fl{};
        fl.l_type = F_WRLCK;
        fl.l_whence = SEEK_SET;
        fl.l_start = 0;
        fl.l_len = 1;
        if (::fcntl(fd, F_SETLK, &fl) != 0) {
            const int err = errno;
            struct flock probe{};
            probe.l_type = F_WRLCK;
            probe.l_whence = SEEK_SET;
            probe.l_len = 1;
            if (::fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK)
                holder = probe.l_pid;
            ::close(fd);
            error = holder ? "locked by process " + std::to_string(holder)
                           : "cannot lock " + path + ": " + std::strerror(err);
            release();
            return false;
        }
        m_fds.push_back(fd);
    }
    return true;
}

void ServerLock::release()
{
    // Closing the descriptor drops the fcntl lock.
    for (int fd : m_fds)
        ::close(fd);
    m_fds.clear();
}

} // namespace quarnel::platform::wine
