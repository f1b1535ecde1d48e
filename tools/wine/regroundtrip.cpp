// Reads a Wine registry file and writes it back: `regroundtrip in.reg out.reg`.
// A quick check that loading and saving changes nothing.
#include "registry/wine/WineRegReader.h"
#include "registry/wine/WineRegWriter.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>

using namespace quarnel::platform;

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: regroundtrip in.reg out.reg\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::stringstream buf;
    buf << in.rdbuf();
    const std::string text = buf.str();
    RegKey root;
    wine::Preamble preamble;
    auto t0 = std::chrono::steady_clock::now();
    const auto r = wine::readHive(text, root, preamble);
    auto t1 = std::chrono::steady_clock::now();
    if (!r.ok) {
        std::fprintf(stderr, "%s:%zu: %s\n", argv[1], r.line, r.message.c_str());
        return 1;
    }
    const std::string out = wine::writeHive(root, preamble);
    auto t2 = std::chrono::steady_clock::now();
    std::ofstream(argv[2], std::ios::binary) << out;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            std::fprintf(stderr, "%s (text still held)\n", line.c_str());
    std::fprintf(stderr, "read %.3f s, write %.3f s\n",
                 std::chrono::duration<double>(t1 - t0).count(),
                 std::chrono::duration<double>(t2 - t1).count());
    return 0;
}
