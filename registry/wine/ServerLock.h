// Keeps Wine and a second Quarnel away from a registry while Quarnel works on it.
// A running wineserver holds a write lock on byte 0 of its lock file; taking that
// lock ourselves both proves that no server runs and makes a Wine started
// meanwhile fail instead of overwriting our changes later.
#pragma once

#include <string>
#include <sys/types.h>
#include <system_error>
#include <vector>

namespace quarnel::platform::wine {

// The wineserver lock files a prefix may have: this Debian build's
// ${TMPDIR:-/tmp}/<tag>/server-<dev>-<ino>/lock, where <tag> is the content of
// the prefix's `wineserver` file, and upstream's /tmp/.wine-<uid>/server-<dev>-<ino>/lock.
// With `createTag`, a missing tag file is created the way Wine would (so that a
// later Wine meets our lock); otherwise that location is left out. A tag file
// that cannot be read (no regular file, or a symbolic link) sets `error`.
std::vector<std::string> wineServerLockPaths(const std::string &prefix, bool createTag,
                                             std::string *error = nullptr);

// The process holding a write lock on byte 0 of `path`, or 0 when none does.
pid_t lockHolder(const std::string &path);

// A wineserver running for `prefix` however it was started (its lock may be
// under another TMPDIR): a process of that name holding the lock in a server
// folder named after the prefix's device and inode, wherever that folder is. 0
// when none is seen.
pid_t runningWineServer(const std::string &prefix);

// The TMPDIR a running wineserver of `prefix` was started with, as the folder
// its lock lies under ("wineserver -k" reaches it only with that TMPDIR), or ""
// when that is unknown or does not matter.
std::string wineServerTempFolder(pid_t server, const std::string &prefix);

class ServerLock
{
public:
    ServerLock() = default;
    ServerLock(const ServerLock &) = delete;
    ServerLock &operator=(const ServerLock &) = delete;
    ~ServerLock() { release(); }

    // Takes the lock on every path (creating missing directories 0700 and files
    // 0600; a lock file must be a regular file). With `sharedTemp` (Wine's server
    // folders, in temporary folders anyone writes into) the two folders above
    // each lock must be real folders of this user. On failure nothing stays
    // locked, and `holder` tells who has it.
    bool acquire(const std::vector<std::string> &paths, pid_t &holder, std::string &error,
                 bool sharedTemp = false);
    void release();
    bool held() const { return !m_fds.empty(); }

private:
    std::vector<int> m_fds;
};

// `mkdir -p` where every folder made gets mode 0700. A path that names
// something already is no error here, folder or not: the checks that follow judge it.
std::error_code makeOwnFolders(const std::string &path);

// A process's command name from /proc, or "" when unknown.
std::string processName(pid_t pid);

} // namespace quarnel::platform::wine
