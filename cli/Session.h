// What every command shares: the registry it works on (the one the window would
// open, or --prefix), messages on standard error that name the prefix, the
// question on the terminal, and the output on standard output.
#pragma once

#include "cli/CommandLine.h"
#include "registry/source/RegistryFiles.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class Matcher;
struct SearchRefusal;

namespace quarnel::cli {

enum ExitStatus : int
{
    kDone = 0,
    kNothingFound = 1,
    kTrouble = 2,
};

class Session
{
public:
    explicit Session(const Invocation &invocation) : m_invocation(invocation) {}
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    // Opens the registry. With `forChange`, one that takes no changes (Wine runs
    // on it, another Quarnel holds it) is refused; without, it is opened only to
    // read, and nothing is written into its folder. False after a message.
    bool open(bool forChange);
    // Saves and closes; kTrouble (after a message) when the save failed.
    int close(int status);

    // "quarnel: <prefix>: <reason>" on standard error; returns kTrouble.
    int fail(const std::string &reason) const;
    void note(const std::string &text) const; // standard error, without the prefix

    // Asks on the terminal; false for no. Without --yes and without a terminal it
    // refuses (with a message) and returns false.
    bool confirm(const std::string &question) const;

    const Invocation &invocation() const { return m_invocation; }
    const std::string &prefix() const { return m_prefix; }

private:
    const Invocation &m_invocation;
    std::string m_prefix;
    bool m_open = false;
};

void out(std::string_view text);

// Why the registry takes no changes, in the command line's words ("" when it takes them).
std::string refusalText(const platform::RegistryRefusal &refusal);
// Why a search cannot run, in the command line's words.
std::string refusalText(const SearchRefusal &refusal);
// The search of the command's TEXT (and NEW, for a replace), checked; null after
// a message that says why it cannot run.
std::shared_ptr<const Matcher> checkedSearch(const Session &session);

// `heading` and the first few `items`, one an indented line, then how many more:
// a failure's list stays short enough that its cause, said first, is read.
std::string listText(const std::string &heading, const std::vector<std::string> &items);

int runSearch(Session &session);
int runDelete(Session &session);
int runReplace(Session &session);
int runExport(Session &session);
int runImport(Session &session);
int runUndo(Session &session);

// The whole command line: parse, dispatch, exit status.
int run(int argc, char **argv);

} // namespace quarnel::cli
