#include "tests/wine/WineTestSupport.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace quarnel::test {

std::string freshPrefix()
{
    const std::string dir = QUARNEL_TEST_PREFIX;
    return access((dir + "/system.reg").c_str(), R_OK) == 0 ? dir : std::string();
}

namespace {

// Scratch prefixes go when the test program ends.
struct ScratchDirs
{
    std::vector<std::string> dirs;
    ~ScratchDirs()
    {
        for (const auto &dir : dirs)
            std::system(("rm -rf '" + dir + "'").c_str());
    }
};

ScratchDirs &scratchDirs()
{
    static ScratchDirs dirs;
    return dirs;
}

} // namespace

std::string scratchPrefix(bool runnable)
{
    char templ[] = "/tmp/quarnel-prefix-XXXXXX";
    const std::string dir = mkdtemp(templ);
    scratchDirs().dirs.push_back(dir);
    const std::string from = freshPrefix();
    std::string cmd;
    if (runnable) cmd = "cp -al '" + from + "/.' '" + dir + "/' && ";
    cmd += "cd '" + from + "' && cp --remove-destination system.reg user.reg userdef.reg '" + dir +
           "/'";
    if (!runnable) cmd += " && cp wineserver '" + dir + "/'";
    if (std::system(cmd.c_str()) != 0) return {};
    return dir;
}

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::string &path, const std::string &text)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

std::string withinDeadline(const std::function<std::string()> &scenario, int seconds)
{
    int fds[2];
    if (pipe(fds) != 0) return "no pipe";
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        const std::string report = scenario();
        (void)!write(fds[1], report.data(), report.size());
        _exit(0);
    }
    close(fds[1]);
    std::string report;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{fds[0], POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) {
            kill(pid, SIGKILL);
            report = "hung";
            break;
        }
        char buf[4096];
        const ssize_t n = read(fds[0], buf, sizeof buf);
        if (n <= 0) break;
        report.append(buf, static_cast<std::size_t>(n));
    }
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (report != "hung" && !(WIFEXITED(status) && WEXITSTATUS(status) == 0))
        report += " (the child died: status " + std::to_string(status) + ")";
    return report;
}

int runInPrefix(const std::string &prefix, const std::string &command, std::string *output)
{
    const std::string full =
        "WINEPREFIX='" + prefix + "' WINEDEBUG=-all sh -c '" + command + "' 2>&1";
    FILE *p = popen(full.c_str(), "r");
    if (!p) return -1;
    std::string out;
    char buf[4096];
    while (std::size_t n = fread(buf, 1, sizeof buf, p))
        out.append(buf, n);
    const int status = pclose(p);
    if (output) *output = out;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace quarnel::test

namespace {

class KillAt : public quarnel::platform::StoreHooks
{
public:
    KillAt(StoreHooks &files, std::string journal, uint64_t size)
        : m_files(files), m_journal(std::move(journal)), m_size(size)
    {
    }
    long beforeChange(const quarnel::platform::RegKey &key) override
    {
        return m_files.beforeChange(key);
    }
    long recordChange(const quarnel::platform::RegKey &key,
                      const quarnel::platform::PendingChange &change) override
    {
        std::error_code ec;
        if (std::filesystem::file_size(m_journal, ec) >= m_size && !ec) ::kill(::getpid(), SIGKILL);
        return m_files.recordChange(key, change);
    }

private:
    StoreHooks &m_files;
    std::string m_journal;
    uint64_t m_size;
};

} // namespace

std::shared_ptr<quarnel::platform::StoreHooks>
quarnel::test::killAtJournalSize(quarnel::platform::StoreHooks &files, const std::string &journal,
                                 uint64_t size)
{
    return std::make_shared<KillAt>(files, journal, size);
}
