#include "cli/Session.h"

#include "cli/Prefixes.h"
#include "prefixes/ChoosePrefix.h"
#include "registry/kinds/SourceKinds.h"
#include "registry/text/CellText.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <unistd.h>

namespace files = quarnel::platform;

namespace quarnel::cli {

void out(std::string_view text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
}

std::string listText(const std::string &heading, const std::vector<std::string> &items)
{
    constexpr std::size_t kListed = 10;
    std::string text = heading;
    for (std::size_t i = 0; i < items.size() && i < kListed; ++i)
        text += "\n  " + items[i];
    if (items.size() > kListed)
        text += "\n  and " + std::to_string(items.size() - kListed) + " more";
    return text;
}

Session::~Session()
{
    if (m_open) files::closeRegistry();
}

bool Session::open(bool forChange)
{
    // The same choice as the window's, unless --prefix names a registry. A command
    // that only reads leaves the registry's folder as it found it.
    const files::OpenFor purpose = forChange ? files::OpenFor::Change : files::OpenFor::Reading;
    files::RegistryOpened opened;
    if (m_invocation.hasPrefix) {
        prefixes::ChosenRegistry chosen;
        std::string why;
        if (!prefixes::choosePrefix(m_invocation.prefix, chosen, why)) {
            fail(why);
            return false;
        }
        opened = files::openRegistryAt(*chosen.kind, chosen.found.folder, {}, purpose);
    } else {
        opened = files::openRegistry({}, purpose);
    }
    m_prefix = opened.directory;
    if (opened.status == files::RegistryOpened::Status::Failed) {
        fail(opened.message.empty() ? "the registry could not be opened" : opened.message);
        return false;
    }
    m_open = true;
    if (opened.status == files::RegistryOpened::Status::ReadOnly && forChange) {
        const std::string reason = refusalText(files::registryRefusal());
        fail(reason.empty() ? opened.message : reason);
        return false;
    }
    if (!opened.message.empty()) note(opened.message);
    if (forChange) {
        if (const std::string reason = refusalText(files::registryRefusal()); !reason.empty()) {
            fail(reason);
            return false;
        }
    }
    return true;
}

std::string refusalText(const files::RegistryRefusal &refusal)
{
    using Kind = files::RegistryRefusal::Kind;
    const std::string process = "process " + std::to_string(refusal.holder);
    switch (refusal.kind) {
    case Kind::None: return {};
    case Kind::Other: return refusal.detail;
    case Kind::NotLocked:
        return "the registry cannot be locked (" + refusal.detail + "); nothing was changed";
    case Kind::WineRunning:
        if (refusal.holderEnded)
            return "Wine was running on this prefix a moment ago; nothing was changed. Run the "
                   "command again.";
        return "Wine is running on this prefix (wineserver, " + process +
               "), and it would overwrite any change; nothing was changed. Close the prefix's "
               "Windows programs or stop Wine with \"" +
               (refusal.wineTemp.empty() ? "" : "TMPDIR=" + refusal.wineTemp + " ") +
               "WINEPREFIX=" + refusal.directory + " wineserver -k\", then run the command again.";
    case Kind::InUse: {
        const std::string holder =
            process + (refusal.holderName.empty() ? "" : ", " + refusal.holderName);
        if (refusal.holderEnded)
            return "the registry was in use by another program (" + holder +
                   ") a moment ago; nothing was changed. Run the command again.";
        return "the registry is in use by another program (" + holder +
               "), perhaps Quarnel's window or another command; nothing was changed. Run the "
               "command again once that program has let go of it.";
    }
    }
    return {};
}

int Session::close(int status)
{
    if (!m_open) return status;
    m_open = false;
    std::fflush(stdout);
    const std::string message = files::closeRegistryForExit();
    if (message.empty()) return status;
    return fail(message);
}

int Session::fail(const std::string &reason) const
{
    std::fflush(stdout);
    std::string text = "quarnel: ";
    if (!m_prefix.empty()) text += m_prefix + ": ";
    text += reason;
    // Key names and values in a message are registry text, not commands to the terminal.
    text = screenText(text, true);
    if (text.back() != '\n') text += '\n';
    std::fputs(text.c_str(), stderr);
    return kTrouble;
}

void Session::note(const std::string &text) const
{
    std::fflush(stdout);
    std::fputs(screenText("quarnel: " + text + (text.ends_with('\n') ? "" : "\n"), true).c_str(),
               stderr);
}

bool Session::confirm(const std::string &question) const
{
    if (m_invocation.yes) return true;
    if (!::isatty(STDIN_FILENO)) {
        fail("no terminal to ask \"" + question + "\"; give --yes to go ahead without asking");
        return false;
    }
    std::fflush(stdout);
    std::fprintf(stderr, "%s [y/N] ", screenText(question, true).c_str());
    std::fflush(stderr);
    std::string answer;
    if (!std::getline(std::cin, answer)) answer.clear();
    const bool yes = !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
    if (!yes) note("nothing was changed");
    return yes;
}

int run(int argc, char **argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    const Parsed parsed = parse(args);
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "quarnel: %s\nTry 'quarnel%s%s --help' for more information.\n",
                     parsed.error.c_str(), parsed.invocation.command == Command::None ? "" : " ",
                     commandName(parsed.invocation.command));
        return kTrouble;
    }
    const Invocation &inv = parsed.invocation;
    if (inv.help) {
        out(helpText(inv.command));
        return kDone;
    }
    if (inv.version) {
        out(versionText());
        return kDone;
    }
    static char buffer[1 << 16];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    Session session(inv);
    int status = kTrouble;
    switch (inv.command) {
    case Command::Search: status = inv.all ? runSearchAll(session) : runSearch(session); break;
    case Command::Delete: status = runDelete(session); break;
    case Command::Replace: status = runReplace(session); break;
    case Command::Export: status = runExport(session); break;
    case Command::Import: status = runImport(session); break;
    case Command::Undo: status = runUndo(session); break;
    case Command::Prefixes: status = runPrefixes(session); break;
    case Command::None: break;
    }
    status = session.close(status);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fputs("quarnel: standard output could not be written\n", stderr);
        return kTrouble;
    }
    return status;
}

} // namespace quarnel::cli
