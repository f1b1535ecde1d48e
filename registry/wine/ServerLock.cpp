#include "registry/wine/ServerLock.h"

#include "registry/source/SafeOpen.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quarnel::platform::wine {

namespace {

// The prefix's tag; "" when it has none. A tag file that is no regular file
// (a FIFO would block the read for good) or a symbolic link (its target's text
// would name a folder of someone else's choosing) sets `error`.
std::string readTag(const std::string &prefix, std::string *error = nullptr)
{
    const std::string path = prefix + "/wineserver";
    struct stat st
    {
    };
    if (::lstat(path.c_str(), &st) != 0) return {};
    std::string failure;
    const int fd = openForReading(path, false, failure);
    if (fd < 0) {
        if (error) *error = failure;
        return {};
    }
    char text[256]; // Wine's tags are a dozen characters
    const ssize_t n = ::read(fd, text, sizeof text);
    ::close(fd);
    std::string tag(text, n > 0 ? static_cast<std::size_t>(n) : 0);
    tag = tag.substr(0, tag.find('\0'));
    while (!tag.empty() && (tag.back() == '\n' || tag.back() == '\r'))
        tag.pop_back();
    // The tag becomes a directory name; anything path-like is not Wine's.
    if (tag.find('/') != std::string::npos || tag == "." || tag == "..") return {};
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
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0400);
    if (fd < 0) return readTag(prefix); // someone else created it meanwhile
    const bool ok = ::write(fd, tag.data(), tag.size()) == static_cast<ssize_t>(tag.size());
    ::close(fd);
    return ok ? tag : std::string();
}

std::string directoryOf(const std::string &path)
{
    return path.substr(0, path.rfind('/'));
}

// The folders a lock file sits in must be this user's own: through a link
// planted there, our lock (and Wine's) would land in someone else's folder.
bool ownFolder(const std::string &path, std::string &error)
{
    struct stat st
    {
    };
    if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid())
        return true;
    error = path + " is not a folder of this user (a link or someone else's is in the way)";
    return false;
}

// Wine's name for the server folder of a prefix: its device and inode.
std::string serverFolderName(const std::string &prefix)
{
    struct stat st
    {
    };
    if (::stat(prefix.c_str(), &st) != 0) return {};
    char server[64];
    std::snprintf(server, sizeof server, "server-%llx-%llx",
                  static_cast<unsigned long long>(st.st_dev),
                  static_cast<unsigned long long>(st.st_ino));
    return server;
}

std::string linkTarget(const std::string &link)
{
    char target[4096];
    const ssize_t n = ::readlink(link.c_str(), target, sizeof target);
    return n > 0 ? std::string(target, static_cast<std::size_t>(n)) : std::string();
}

// What a wineserver process has open that tells whether it serves a prefix.
// Wine's server holds the lock in its server folder for as long as it serves
// (and lets go of it before it ends), and keeps its prefix open.
struct ServerView
{
    int prefixOpen = 0; // 1 the prefix; -1 only a removed folder that had its inode
    std::string lock;   // its lock file in the prefix's server folder, if open
};

ServerView inspect(const std::string &process, const struct stat &prefix, const std::string &server)
{
    ServerView view;
    std::vector<std::string> links{process + "/cwd"};
    if (DIR *fds = ::opendir((process + "/fd").c_str())) {
        while (const dirent *fd = ::readdir(fds))
            if (fd->d_name[0] != '.') links.push_back(process + "/fd/" + fd->d_name);
        ::closedir(fds);
    }
    for (const std::string &link : links) {
        const std::string target = linkTarget(link);
        if (target.ends_with("/" + server + "/lock")) view.lock = target;
        struct stat st
        {
        };
        if (view.prefixOpen == 1 || ::stat(link.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) ||
            st.st_dev != prefix.st_dev || st.st_ino != prefix.st_ino)
            continue;
        // A new folder may get the inode of a removed one.
        view.prefixOpen = target.ends_with(" (deleted)") ? -1 : 1;
    }
    return view;
}

} // namespace

std::vector<std::string> wineServerLockPaths(const std::string &prefix, bool create,
                                             std::string *error)
{
    const std::string server = serverFolderName(prefix);
    if (server.empty()) return {};
    std::vector<std::string> paths;
    std::string tag = readTag(prefix, error);
    if (tag.empty() && create && !(error && !error->empty())) tag = createTag(prefix);
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
    std::string error;
    const int fd = openForReading(path, false, error);
    if (fd < 0) return 0; // no lock file: no server there
    struct flock fl
    {
    };
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = 0;
    fl.l_len = 0;
    pid_t pid = 0;
    if (::fcntl(fd, F_GETLK, &fl) == 0 && fl.l_type != F_UNLCK) pid = fl.l_pid;
    ::close(fd);
    return pid;
}

pid_t runningWineServer(const std::string &prefix)
{
    struct stat config
    {
    };
    const std::string server = serverFolderName(prefix);
    DIR *proc =
        server.empty() || ::stat(prefix.c_str(), &config) != 0 ? nullptr : ::opendir("/proc");
    if (!proc) return 0;
    pid_t found = 0;
    while (const dirent *entry = ::readdir(proc)) {
        char *end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (pid <= 0 || *end || processName(static_cast<pid_t>(pid)).rfind("wineserver", 0) != 0)
            continue;
        const ServerView view = inspect(std::string("/proc/") + entry->d_name, config, server);
        if (view.prefixOpen >= 0 && !view.lock.empty() && lockHolder(view.lock) == pid) {
            found = static_cast<pid_t>(pid);
            break;
        }
    }
    ::closedir(proc);
    return found;
}

std::string wineServerTempFolder(pid_t server, const std::string &prefix)
{
    struct stat config
    {
    };
    const std::string folder = serverFolderName(prefix);
    if (folder.empty() || ::stat(prefix.c_str(), &config) != 0) return {};
    const std::string lock = inspect("/proc/" + std::to_string(server), config, folder).lock;
    // Upstream's /tmp/.wine-<uid>/server-<dev>-<ino>/lock does not depend on TMPDIR.
    if (lock.empty() || lock.rfind("/tmp/.wine-", 0) == 0) return {};
    // This build's <TMPDIR>/<tag>/server-<dev>-<ino>/lock.
    std::string at = lock;
    for (int up = 0; up < 3; ++up) {
        const std::size_t slash = at.rfind('/');
        if (slash == 0 || slash == std::string::npos) return {};
        at.erase(slash);
    }
    return at;
}

std::error_code makeOwnFolders(const std::string &path)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    std::vector<fs::path> missing;
    for (fs::path at = path; !at.empty() && !fs::exists(fs::symlink_status(at, ec));
         at = at.parent_path())
        missing.push_back(at);
    if (missing.empty()) return {};
    if (!fs::create_directories(path, ec) && ec) return ec;
    // create_directories leaves the mode to the umask; ours are closed to others.
    for (auto at = missing.rbegin(); at != missing.rend(); ++at) {
        fs::permissions(*at, fs::perms::owner_all, ec);
        if (ec) return ec;
    }
    return {};
}

std::string processName(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(in, name);
    return name;
}

bool ServerLock::acquire(const std::vector<std::string> &paths, pid_t &holder, std::string &error,
                         bool sharedTemp)
{
    holder = 0;
    for (const std::string &path : paths) {
        const std::string folder = directoryOf(path);
        if (const std::error_code made = makeOwnFolders(folder)) {
            error = "cannot create " + folder + ": " + made.message();
            release();
            return false;
        }
        const bool safe =
            !sharedTemp || (ownFolder(directoryOf(folder), error) && ownFolder(folder, error));
        const int fd = safe ? openForWriting(path, O_RDWR | O_CREAT, 0600, error) : -1;
        if (fd < 0) {
            release();
            return false;
        }
        struct flock fl
        {
        };
        fl.l_type = F_WRLCK;
        fl.l_whence = SEEK_SET;
        fl.l_start = 0;
        fl.l_len = 1;
        if (::fcntl(fd, F_SETLK, &fl) != 0) {
            const int err = errno;
            struct flock probe
            {
            };
            probe.l_type = F_WRLCK;
            probe.l_whence = SEEK_SET;
            probe.l_len = 1;
            if (::fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK) holder = probe.l_pid;
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
