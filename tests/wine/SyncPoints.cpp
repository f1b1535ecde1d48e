// The calls are taken over in the test program itself, so that the program's own
// code and the C++ library's (std::filesystem::rename) both come here.
#include "tests/wine/SyncPoints.h"

#include <csignal>
#include <cstdio>
#include <dlfcn.h>
#include <unistd.h>

namespace {
int g_passed = 0, g_killAt = 0;
} // namespace

void quarnel::test::killAtSyncPoint(int n)
{
    g_passed = 0;
    g_killAt = n;
}

// Counts the call, kills the process at the chosen one, else makes the real call.
#define SYNC_POINT(name, params, args, ...)                                                        \
    extern "C" int name params __VA_ARGS__                                                         \
    {                                                                                              \
        static const auto real = reinterpret_cast<int(*) params>(::dlsym(RTLD_NEXT, #name));       \
        if (++g_passed == g_killAt) ::kill(::getpid(), SIGKILL);                                   \
        return real args;                                                                          \
    }
SYNC_POINT(fsync, (int fd), (fd))
SYNC_POINT(fdatasync, (int fd), (fd))
SYNC_POINT(rename, (const char *from, const char *to), (from, to), noexcept)
SYNC_POINT(renameat2, (int fromDir, const char *from, int toDir, const char *to, unsigned flags),
           (fromDir, from, toDir, to, flags), noexcept)
