#include "tests/prefixes/FakeHome.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace quarnel::prefixes::test {

FakeHome::FakeHome()
{
    std::string pattern = (fs::temp_directory_path() / "quarnel-home-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    m_root = pattern;
}

FakeHome::~FakeHome()
{
    std::error_code ignored;
    fs::remove_all(m_root, ignored);
}

void FakeHome::put(const std::string &relative, const std::string &content) const
{
    const fs::path file = path(relative);
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << content;
}

void FakeHome::registry(const std::string &relative) const
{
    put(relative + "/system.reg", "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n");
    put(relative + "/user.reg", "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S\n");
}

void FakeHome::folder(const std::string &relative) const
{
    fs::create_directories(path(relative));
}

void FakeHome::link(const std::string &relative, const std::string &target) const
{
    const fs::path at = path(relative);
    fs::create_directories(at.parent_path());
    fs::create_symlink(target, at);
}

std::map<std::string, std::string> FakeHome::picture() const
{
    std::map<std::string, std::string> out;
    for (auto it = fs::recursive_directory_iterator(m_root); it != fs::end(it); ++it) {
        struct stat st
        {
        };
        const std::string p = it->path().string();
        ::lstat(p.c_str(), &st);
        std::ostringstream line;
        line << st.st_mode << ' ' << st.st_size << ' ' << st.st_mtim.tv_sec << '.'
             << st.st_mtim.tv_nsec << ' ' << st.st_ctim.tv_sec << '.' << st.st_ctim.tv_nsec;
        if (S_ISREG(st.st_mode)) line << ' ' << std::ifstream(p, std::ios::binary).rdbuf();
        out[p.substr(m_root.size())] = line.str();
    }
    return out;
}

} // namespace quarnel::prefixes::test
