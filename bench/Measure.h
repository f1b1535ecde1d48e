// What the bench programs measure with: time (the wall clock and the process's
// CPU time, as the machine is shared and wall-clock figures carry other people's
// load), the heap in use, and a process's memory as /proc reports it.
#pragma once

#include <chrono>
#include <cstddef>
#include <ctime>
#include <fstream>
#include <malloc.h>
#include <string>

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

} // namespace measure
