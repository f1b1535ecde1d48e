// What the bench programs measure with: time (the wall clock and the process's
// CPU time, as the machine is shared and wall-clock figures carry other people's
// load), the heap in use, and a process's memory as /proc reports it.
#pragma once

#include <chrono>
#include <cstddef>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <malloc.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char **environ;

namespace measure {

inline double cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

inline double wallSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

inline double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Bytes the heap has handed out and not taken back, large blocks (mapped on
// their own) included: exact, whatever the load.
inline std::size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// A field of a process's status ("VmRSS:", "VmHWM:"), in KiB; 0 when unknown.
inline long statusKiB(const std::string &field, const std::string &pid = "self")
{
    std::ifstream status("/proc/" + pid + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0) return std::stol(line.substr(field.size()));
    return 0;
}

// Lets VmHWM measure from here on.
inline void resetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

struct ChildFigures
{
    double seconds = 1e9;
    double peakMiB = 0;
    int status = -1;
};

// Runs argv with standard output to `out` (and standard error to `err`, when
// given): its wall time and peak resident memory.
inline ChildFigures runChild(const std::vector<std::string> &args, const std::string &out,
                             const std::string &err = {})
{
    std::vector<char *> argv;
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (!err.empty())
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
    ChildFigures f;
    const double start = wallSeconds();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        f.seconds = wallSeconds() - start;
        f.peakMiB = double(usage.ru_maxrss) / 1024.0;
        f.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return f;
}

} // namespace measure
