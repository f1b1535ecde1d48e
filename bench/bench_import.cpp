// Times `quarnel import` as a script meets it, from start to exit, and its peak
// memory, on generated registry editor files of some size: a valid one in
// UTF-16LE (as regedit exports), the same text in UTF-8, and both with a fault
// every four lines (refused, every fault counted). Nothing here asserts a time.
//
//   bench_import [--mib N] [--registry FROM] [--dir DIR] [--keep]
// N: the size of each file in MiB (default 50). FROM: a folder whose three
// registry files each import starts from (default: three empty hives). DIR: where
// the files and registries go (default: a temporary folder, removed after).
#include "bench/Measure.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

// Writes text lines as UTF-16LE with a byte-order mark or as UTF-8, CRLF ended.
class RegFileOut
{
public:
    RegFileOut(const std::string &path, bool wide) : m_out(path, std::ios::binary), m_wide(wide)
    {
        if (m_wide) m_out.write("\xFF\xFE", 2);
    }
    void line(const std::string &text)
    {
        m_buffer.clear();
        for (char c : text + "\r\n") {
            m_buffer += c;
            if (m_wide) m_buffer += '\0';
        }
        m_out.write(m_buffer.data(), static_cast<std::streamsize>(m_buffer.size()));
        m_written += m_buffer.size();
    }
    std::size_t written() const { return m_written; }

private:
    std::ofstream m_out;
    bool m_wide;
    std::string m_buffer;
    std::size_t m_written = 0;
};

std::string hexBytes(std::size_t n, unsigned seed)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned b = (seed * 31 + unsigned(i) * 7) & 0xFF;
        if (i) text += ',';
        text += {digits[b >> 4], digits[b & 15]};
    }
    return text;
}

// Keys of five values each, as an export has them, until `bytes` are written;
// with `faulty`, groups of four lines of which the third is a faulty value.
void generate(const std::string &path, bool wide, bool faulty, std::size_t bytes)
{
    RegFileOut out(path, wide);
    out.line("Windows Registry Editor Version 5.00");
    out.line("");
    for (unsigned k = 0; out.written() < bytes; ++k) {
        const std::string n = std::to_string(k);
        out.line("[HKEY_CURRENT_USER\\Software\\QuarnelImportBench\\Group" +
                 std::to_string(k / 1000) + "\\Key" + n + "]");
        out.line("\"Name\"=\"Entry " + n + " of the import benchmark\"");
        if (faulty) {
            out.line("\"Count\"=dword:not" + n);
            out.line("");
            continue;
        }
        char dword[16];
        std::snprintf(dword, sizeof dword, "%08x", k);
        out.line("\"Count\"=dword:" + std::string(dword));
        out.line("@=\"default " + n + "\"");
        std::string expand;
        for (char c : "%TEMP%\\" + n) {
            char unit[8];
            std::snprintf(unit, sizeof unit, "%02x,00,", unsigned(c));
            expand += unit;
        }
        out.line("\"Path\"=hex(2):" + expand + "00,00");
        // Wrapped as regedit wraps binary data.
        const std::string blob = hexBytes(48, k);
        out.line("\"Blob\"=hex:" + blob.substr(0, 3 * 24) + "\\");
        out.line("  " + blob.substr(3 * 24));
        out.line("");
    }
}

std::string firstLine(const std::string &path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

} // namespace

int main(int argc, char **argv)
{
    std::size_t mib = 50;
    std::string from, dir;
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--mib" && i + 1 < argc)
            mib = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--registry" && i + 1 < argc)
            from = argv[++i];
        else if (arg == "--dir" && i + 1 < argc)
            dir = argv[++i];
        else if (arg == "--keep")
            keep = true;
        else {
            std::fprintf(stderr,
                         "usage: bench_import [--mib N] [--registry FROM] [--dir DIR] [--keep]\n");
            return 2;
        }
    }
    const bool temporary = dir.empty();
    if (temporary) {
        char pattern[] = "/tmp/quarnel-bench-import-XXXXXX";
        dir = mkdtemp(pattern);
    } else if (std::system(("mkdir -p '" + dir + "'").c_str()) != 0) {
        return 1;
    }
    ::unsetenv("WINEPREFIX");
    struct Case
    {
        const char *name;
        bool wide, faulty;
    };
    const Case cases[] = {
        {"valid-utf16", true, false},
        {"valid-utf8", false, false},
        {"faulty-utf16", true, true},
        {"faulty-utf8", false, true},
    };
    for (const Case &c : cases) {
        const std::string file = dir + "/" + c.name + ".reg";
        const std::string registry = dir + "/registry-" + c.name;
        generate(file, c.wide, c.faulty, mib << 20);
        std::string setUp = "rm -rf '" + registry + "' && mkdir -p '" + registry + "' && ";
        if (!from.empty())
            setUp += "cp '" + from + "'/system.reg '" + from + "'/user.reg '" + from +
                     "'/userdef.reg '" + registry + "'";
        else
            setUp += "for f in system user userdef; do printf 'WINE REGISTRY Version "
                     "2\\n\\n#arch=win64\\n' > '" +
                     registry + "'/$f.reg; done";
        if (std::system(setUp.c_str()) != 0) return 1;
        std::system(("cat '" + file + "' > /dev/null").c_str()); // into the page cache
        const measure::ChildFigures f =
            measure::runChild({QUARNEL_BINARY, "import", file, "--prefix", registry},
                              dir + "/out.txt", dir + "/err.txt");
        const double fileMiB = double(mib);
        std::printf(
            "quarnel import %s (%.0f MiB): %.2f s, peak memory %.1f MiB (%.1fx the file), "
            "exit %d: %s\n",
            c.name, fileMiB, f.seconds, f.peakMiB, f.peakMiB / fileMiB, f.status,
            firstLine(dir + (f.status == 0 ? "/out.txt" : "/err.txt")).substr(0, 100).c_str());
    }
    if (temporary && !keep) std::system(("rm -rf '" + dir + "'").c_str());
    return 0;
}
