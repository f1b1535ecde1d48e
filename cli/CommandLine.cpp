#include "cli/CommandLine.h"

#include <array>
#include <string_view>

#ifndef QUARNEL_VERSION
#define QUARNEL_VERSION "0"
#endif

namespace quarnel::cli {

namespace {

struct CommandWord
{
    const char *name;
    Command command;
    std::size_t fewest, most; // operands
};

constexpr std::array kCommands{
    CommandWord{"search", Command::Search, 1, 1},     CommandWord{"delete", Command::Delete, 1, 1},
    CommandWord{"replace", Command::Replace, 2, 2},   CommandWord{"export", Command::Export, 1, 2},
    CommandWord{"import", Command::Import, 1, 1},     CommandWord{"undo", Command::Undo, 0, 0},
    CommandWord{"prefixes", Command::Prefixes, 0, 0},
};

enum Option : unsigned
{
    kPrefix = 1,
    kKey = 2,
    kMirrored = 4,
    kFormat = 8,
    kDryRun = 16,
    kYes = 32,
    kList = 64,
    kSearchOptions = 128,
    kAll = 256,
};

unsigned optionsOf(Command command)
{
    switch (command) {
    case Command::Search: return kPrefix | kKey | kMirrored | kFormat | kSearchOptions | kAll;
    case Command::Delete:
    case Command::Replace:
        return kPrefix | kKey | kMirrored | kFormat | kDryRun | kYes | kSearchOptions;
    case Command::Export: return kPrefix;
    case Command::Import: return kPrefix | kDryRun | kYes;
    case Command::Undo: return kPrefix | kList | kYes;
    case Command::Prefixes: return kFormat;
    case Command::None: return 0;
    }
    return 0;
}

const char *const kDryRunStatus =
    "\nExit status is 0 on success, 1 if nothing was found, 2 on trouble or when an\n"
    "item is (or, with --dry-run, would be) refused.\n";

// An option's --help entry: its word, then its text from the 27th column on (on
// a line of its own when the word is too long).
std::string optionHelp(const std::string &word, std::string_view text)
{
    constexpr std::size_t kTextColumn = 26;
    std::string help = "      " + word;
    help += help.size() + 2 <= kTextColumn ? std::string(kTextColumn - help.size(), ' ')
                                           : "\n" + std::string(kTextColumn, ' ');
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find('\n', start) + 1;
        if (start > 0) help.append(kTextColumn, ' ');
        help += text.substr(start, end - start);
        start = end;
    }
    return help;
}

std::string searchOptionsHelp()
{
    std::string help;
    for (const SearchOptionRow &option : searchOptionRows()) {
        if (!*option.help) continue;
        switch (option.kind) {
        case SearchOptionRow::Kind::Flag: help += optionHelp(option.word, option.help); break;
        case SearchOptionRow::Kind::Place:
            help += optionHelp(std::string(kPlacesWord) + "=PLACES", option.help);
            break;
        case SearchOptionRow::Kind::Time:
            help += optionHelp(std::string(option.word) + "=DATE", option.help);
            break;
        }
    }
    return help;
}

const CommandWord *commandWord(std::string_view word)
{
    for (const CommandWord &c : kCommands)
        if (word == c.name) return &c;
    return nullptr;
}

} // namespace

const char *commandName(Command command)
{
    for (const CommandWord &c : kCommands)
        if (c.command == command) return c.name;
    return "";
}

bool wantsCommandLine(int argc, char **argv)
{
    if (argc < 2) return false;
    const std::string_view first = argv[1];
    return !first.starts_with("-") || first.starts_with("--") || first == "-h";
}

Parsed parse(const std::vector<std::string> &args)
{
    Parsed parsed;
    Invocation &inv = parsed.invocation;
    const CommandWord *word = nullptr;
    bool optionsEnded = false;
    auto fail = [&](const std::string &what) {
        parsed.error = what;
        return parsed;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (optionsEnded || arg == "-" || !arg.starts_with("-")) {
            if (!word) {
                word = commandWord(arg);
                if (!word) return fail("unknown command '" + arg + "'");
                inv.command = word->command;
            } else {
                inv.operands.push_back(arg);
            }
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            inv.help = true;
            continue;
        }
        if (arg == "--version") {
            inv.version = true;
            continue;
        }
        std::string name = arg;
        std::string value;
        bool hasValue = false;
        if (const std::size_t eq = arg.find('=');
            eq != std::string::npos && arg.starts_with("--")) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            hasValue = true;
        }
        const unsigned allowed = word ? optionsOf(word->command) : kPrefix;
        auto takeValue = [&]() -> bool {
            if (hasValue) return true;
            if (i + 1 >= args.size()) return false;
            value = args[++i];
            return true;
        };
        auto flag = [&](unsigned option, bool &target) {
            if (!(allowed & option)) return false;
            target = true;
            return !hasValue;
        };
        if (name == "--prefix" && (allowed & kPrefix)) {
            if (!takeValue() || value.empty()) return fail("option '--prefix' needs a folder");
            inv.hasPrefix = true;
            inv.prefix = value;
        } else if (name == "--key" && (allowed & kKey)) {
            if (!takeValue() || value.empty()) return fail("option '--key' needs ROOT\\PATH");
            inv.hasKey = true;
            inv.key = value;
        } else if (name == "--format" && (allowed & kFormat)) {
            if (!takeValue()) return fail("option '--format' needs text, tsv, jsonl or reg");
            const RowFormatName *format = rowFormatOfWord(value);
            if (!format) return fail("unknown format '" + value + "' (text, tsv, jsonl or reg)");
            inv.format = format->format;
        } else if (const SearchOptionRow *option = searchOptionOfWord(name);
                   option && option->time && (allowed & kSearchOptions)) {
            if (!takeValue() || value.empty()) return fail("option '" + name + "' needs a DATE");
            std::string error;
            if (!readOptionText(*option, value, fileTimeNow(), inv.searchOptions, error))
                return fail("option '" + name + "': " + error);
        } else if (name == kPlacesWord && (allowed & kSearchOptions)) {
            if (!takeValue() || value.empty())
                return fail("option '" + name + "' needs a list of keys, names, data");
            std::string error;
            if (!parsePlaces(value, inv.searchOptions, error))
                return fail("option '" + name + "': " + error);
        } else if (option && option->flag ? flag(kSearchOptions, inv.searchOptions.*option->flag)
                   : name == "--mirrored" ? flag(kMirrored, inv.mirrored)
                   : name == "--dry-run"  ? flag(kDryRun, inv.dryRun)
                   : name == "--yes" || name == "-y" ? flag(kYes, inv.yes)
                   : name == "--list"                ? flag(kList, inv.list)
                   : name == "--all"                 ? flag(kAll, inv.all)
                                                     : false) {
        } else {
            std::string error = std::string("unrecognized option '") + arg + "'";
            if (word) error += std::string(" for ") + word->name;
            // A text to search for may start with '-' too.
            if (word && word->most > 0)
                error += std::string("; an operand that starts with '-' goes after '--', as in "
                                     "'quarnel ") +
                         word->name + " -- " + arg + "'";
            return fail(error);
        }
    }
    if (inv.help || inv.version) return parsed;
    if (!word) {
        parsed.opensWindow = inv.hasPrefix;
        return fail("no command given");
    }
    if (inv.operands.size() < word->fewest)
        return fail(std::string("missing operand for ") + word->name);
    if (inv.operands.size() > word->most) {
        const std::string &extra = inv.operands[word->most];
        return fail("extra operand '" + extra + "'" +
                    (optionsEnded && extra.starts_with("-") ? " (options go before '--')" : ""));
    }
    if (inv.format == RowFormat::Reg &&
        (inv.command == Command::Delete || inv.command == Command::Replace))
        return fail("--format reg is for search only");
    if (inv.format == RowFormat::Reg && inv.command == Command::Prefixes)
        return fail("--format reg is for search only");
    if (inv.format == RowFormat::Reg && inv.all)
        return fail("--format reg writes one registry's keys; it does not go with --all");
    if (inv.all && inv.hasPrefix) return fail("--all searches every registry; leave out --prefix");
    return parsed;
}

bool opensWindowOn(int argc, char **argv, std::string &prefix)
{
    const Parsed parsed = parse(std::vector<std::string>(argv + 1, argv + argc));
    if (parsed.opensWindow) prefix = parsed.invocation.prefix;
    return parsed.opensWindow;
}

std::string versionText()
{
    return "quarnel " QUARNEL_VERSION "\n"
           "Searches, edits and restores the registry of a Wine prefix.\n";
}

std::string helpText(Command command)
{
    const std::string options =
        "      --prefix=PREFIX     work on the registry PREFIX: a folder, an id from\n"
        "                          'quarnel prefixes' (steam:1245620, bottles:Gaming)\n"
        "                          or a registry's name (default: WINEPREFIX, else\n"
        "                          ~/.wine, else Quarnel's own registry)\n";
    const std::string searchOptions =
        "      --key=ROOT\\PATH     search only below this key, e.g.\n"
        "                          HKEY_CURRENT_USER\\Software\\Wine or HKCU\\Software\\Wine\n"
        "      --mirrored          include the mirrored roots HKEY_CLASSES_ROOT,\n"
        "                          HKEY_CURRENT_USER and HKEY_CURRENT_CONFIG\n" +
        searchOptionsHelp();
    const std::string common = "  -h, --help              display this help and exit\n";
    switch (command) {
    case Command::Search:
        return "Usage: quarnel search TEXT [OPTION]...\n"
               "List every key, value name and string datum that holds TEXT (letters A-Z\n"
               "in either case), in the order and with the cells of the window's list.\n\n" +
               options + searchOptions +
               "      --all               search every registry 'quarnel prefixes' lists, read\n"
               "                          only; each row starts with the registry's id\n"
               "      --format=FORMAT     text (aligned columns; the default on a terminal),\n"
               "                          tsv (the default otherwise), jsonl, or reg (a\n"
               "                          registry editor file of the keys and values found)\n" +
               common + "\nExit status is 0 if something was found, 1 if nothing, 2 on trouble.\n";
    case Command::Delete:
        return "Usage: quarnel delete TEXT [OPTION]...\n"
               "Delete every key, value and datum a search for TEXT finds, as the window's\n"
               "Delete does with all hits selected, after a backup and with an undo file.\n\n" +
               options + searchOptions +
               "      --format=FORMAT     how to list the rows: text, tsv or jsonl\n"
               "      --dry-run           list what would be deleted; change nothing\n"
               "  -y, --yes               do not ask before deleting\n" +
               common + kDryRunStatus;
    case Command::Replace:
        return "Usage: quarnel replace TEXT NEW [OPTION]...\n"
               "Replace the first TEXT in every key name, value name and string datum a\n"
               "search for TEXT finds by NEW, as the window's Replace does with all hits\n"
               "selected, after a backup and with an undo file. An empty NEW asks twice.\n\n" +
               options + searchOptions +
               "      --format=FORMAT     how to list the rows: text, tsv or jsonl\n"
               "      --dry-run           list each old and new text, and each row the\n"
               "                          replace would refuse with why; change nothing\n"
               "  -y, --yes               do not ask before replacing\n" +
               common + kDryRunStatus;
    case Command::Export:
        return "Usage: quarnel export ROOT\\PATH [FILE] [OPTION]...\n"
               "Write the key ROOT\\PATH with everything below it as a registry editor file\n"
               "(Version 5.00, UTF-16) to FILE, or to standard output.\n\n" +
               options + common;
    case Command::Import:
        return "Usage: quarnel import FILE [OPTION]...\n"
               "Apply a registry editor file (Version 5.00 in UTF-16 or UTF-8, or REGEDIT4)\n"
               "after a backup and with an undo file. The whole file is checked first: if\n"
               "any line is faulty, every fault is listed and nothing is changed.\n\n" +
               options + "      --dry-run           list what would change; change nothing\n" +
               "  -y, --yes               do not ask before importing\n" + common;
    case Command::Undo:
        return "Usage: quarnel undo [OPTION]...\n"
               "Take back the newest change not yet taken back, made by this command line\n"
               "or by the window, from its undo file in the prefix's quarnel-backups/undo.\n\n" +
               options +
               "      --list              list the changes that can be taken back, newest\n"
               "                          first, with their time and description\n"
               "  -y, --yes               do not ask before taking back\n" +
               common;
    case Command::Prefixes:
        return "Usage: quarnel prefixes [OPTION]...\n"
               "List every registry found on this machine: the Wine prefixes of Steam's\n"
               "Proton, Bottles, Lutris and Heroic, plain Wine prefixes, Quarnel's own\n"
               "registry and the folders added in the window, with the id, name, kind and\n"
               "folder of each. Any of the id, the folder or a name goes after --prefix.\n\n"
               "      --format=FORMAT     text (the default on a terminal), tsv (the\n"
               "                          default otherwise) or jsonl\n" +
               common;
    case Command::None: break;
    }
    return "Usage: quarnel [COMMAND [ARGUMENT]... [OPTION]...]\n"
           "Search, edit and restore the registry of a Wine prefix. Without a command,\n"
           "open the window (on --prefix PREFIX, when given).\n\n"
           "Commands:\n"
           "  search TEXT               list the keys, values and data that hold TEXT\n"
           "  delete TEXT               delete what a search for TEXT finds\n"
           "  replace TEXT NEW          replace TEXT by NEW in what a search finds\n"
           "  export ROOT\\PATH [FILE]   write a key as a registry editor file\n"
           "  import FILE               apply a registry editor file\n"
           "  undo                      take back the newest change\n"
           "  prefixes                  list every registry found on this machine\n\n"
           "Options:\n" +
           options + common + "      --version           output version information and exit\n\n" +
           "Run 'quarnel COMMAND --help' for the options of a command.\n"
           "Every change is preceded by a backup of the registry files and recorded in an\n"
           "undo file. Nothing is changed while Wine runs on the prefix.\n\n"
           "Exit status is 0 on success, 1 if a search found nothing, 2 on trouble.\n";
}

} // namespace quarnel::cli
