// The calls are taken over in the test program itself, so that the program's own
// code and the C++ library's (std::filesystem::rename) both come here.
#include "tests/wine/SyncPoints.h"

#include <csignal>
#include <cstdio>
#include <dlfcn.h>
#include <unistd.h>

namespace {

int g_passed = 0;
int g_killAt = 0;

void passing()
{
    ++g_passed;
    if (g_killAt > 0 && g_passed >= g_killAt) ::kill(::getpid(), SIGKILL);
}

template <typename F> F next(const char *name)
{
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

} // namespace

namespace quarnel::test {

void killAtSyncPoint(int n)
{
    g_passed = 0;
    g_killAt = n;
}

int syncPointsPassed()
{
    return g_passed;
}

} // namespace quarnel::test

extern "C" {

int fsync(int fd)
{
    static const auto real = next<int (*)(int)>("fsync");
    passing();
    return real(fd);
}

int fdatasync(int fd)
{
    static const auto real = next<int (*)(int)>("fdatasync");
    passing();
    return real(fd);
}

int rename(const char *from, const char *to) noexcept
{
    static const auto real = next<int (*)(const char *, const char *)>("rename");
    passing();
    return real(from, to);
}

int renameat2(int fromDir, const char *from, int toDir, const char *to, unsigned flags) noexcept
{
    static const auto real =
        next<int (*)(int, const char *, int, const char *, unsigned)>("renameat2");
    passing();
    return real(fromDir, from, toDir, to, flags);
}

} // extern "C"
