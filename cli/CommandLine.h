// The command line's words: which command, its operands and its options, read
// from the arguments in GNU style (options anywhere after the command, "--opt
// value" or "--opt=value", "--" ends them), and the --help and --version texts.
#pragma once

#include "results/RowExport.h"
#include "search/SearchOptions.h"

#include <optional>
#include <string>
#include <vector>

namespace quarnel::cli {

enum class Command
{
    None, // quarnel --help / --version without a command
    Search,
    Delete,
    Replace,
    Export,
    Import,
    Undo,
    Prefixes,
};

struct Invocation
{
    Command command = Command::None;
    bool help = false;
    bool version = false;
    std::vector<std::string> operands;
    bool hasPrefix = false;
    std::string prefix; // a folder, a registry's id or its name (see cli/Prefixes.h)
    bool all = false;   // search every registry on the machine
    bool hasKey = false;
    std::string key; // ROOT\PATH
    bool mirrored = false;
    std::optional<RowFormat> format; // unset: text on a terminal, else tsv
    bool dryRun = false;
    bool yes = false;
    bool list = false;
    // search, delete, replace: --match-case, --whole, --regex, --in, --numbers,
    // --binary, --changed-since, --changed-before.
    SearchOptions searchOptions;
};

struct Parsed
{
    Invocation invocation;
    std::string error; // a usage error, said in one line; "" when none
    // --prefix and no command: not one for the command line, but the window on
    // that registry (opensWindowOn).
    bool opensWindow = false;
};

// `args` without the program's name.
Parsed parse(const std::vector<std::string> &args);

// Whether these arguments ask for the command line rather than the window: a
// command word or a long option. Qt's own one-dash options (-platform ...) and
// no arguments at all open the window.
bool wantsCommandLine(int argc, char **argv);

// `quarnel --prefix ID` and nothing else: the window, opened on that registry.
// Sets `prefix` to what followed --prefix, read as every command reads it.
bool opensWindowOn(int argc, char **argv, std::string &prefix);

std::string helpText(Command command);
std::string versionText();
const char *commandName(Command command);

} // namespace quarnel::cli
