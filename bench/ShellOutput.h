// What a shell command prints, for the benchmarks that measure beside Wine's tools.
#pragma once

#include <cstdio>
#include <string>

inline std::string sh(const std::string &cmd)
{
    FILE *p = popen(cmd.c_str(), "r");
    std::string out;
    char buf[256];
    while (p && fgets(buf, sizeof buf, p))
        out += buf;
    if (p) pclose(p);
    return out;
}
