// Helpers for tests on real Wine-written registry files: the fresh prefix the
// test run made, scratch copies of it, and running Wine on them.
#pragma once

#include "registry/win32/KeyStore.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace quarnel::test {

// The fresh prefix of this test run, or "" (the test then skips).
std::string freshPrefix();

// Skips a test that needs the fresh prefix when there is none (a test program run
// by hand, outside CTest's fixture).
#define REQUIRE_PREFIX()                                                                           \
    if (::quarnel::test::freshPrefix().empty())                                                    \
    GTEST_SKIP() << "no fresh Wine prefix (run through CTest, which makes one)"

// A scratch prefix holding copies of the fresh prefix's registry files (enough
// for Quarnel). With `runnable`, the rest of the prefix is hard-linked in too so
// that Wine can run on it.
std::string scratchPrefix(bool runnable = false);

std::string readFile(const std::string &path);
void writeFile(const std::string &path, const std::string &text);

// Runs `scenario` in a child process and returns what it reported, or "hung"
// when it did not end in time: a FIFO must fail the test, not stop it. The
// child ends without closing anything, as a killed process would.
std::string withinDeadline(const std::function<std::string()> &scenario, int seconds = 15);

// Runs a shell command with WINEPREFIX set; returns its exit status and output.
int runInPrefix(const std::string &prefix, const std::string &command,
                std::string *output = nullptr);

// Hooks that hand every change on to `files` (the registry files' own hooks),
// but kill the process with SIGKILL just before a change once the journal has
// grown to `size` bytes: a crash at a chosen point of a long change.
std::shared_ptr<quarnel::platform::StoreHooks>
killAtJournalSize(quarnel::platform::StoreHooks &files, const std::string &journal, uint64_t size);

} // namespace quarnel::test
