#include "prefixes/ChoosePrefix.h"

#include "prefixes/HomeFiles.h"
#include "registry/source/RegistrySource.h"

#include <cstdlib>

namespace quarnel::prefixes {

namespace {

std::string candidateLines(const std::vector<FoundRegistry> &candidates)
{
    std::string lines;
    for (const FoundRegistry &r : candidates)
        lines += "\n  " + r.id + "  " + r.name + " (" + kindName(r.kind) + ", " + r.folder + ")";
    return lines;
}

bool named(const std::vector<FoundRegistry> &registries, const std::string &text,
           const std::string &home, FoundRegistry &chosen, std::string &error)
{
    RegistryMatch match = matchRegistry(registries, text, home);
    // A folder named as before, relative to here, is still that folder.
    if (match.status == RegistryMatch::NoMatch && match.candidates.empty() &&
        text.find('/') == std::string::npos && isFolder(text))
        match = matchRegistry(registries, "./" + text, home);
    switch (match.status) {
    case RegistryMatch::Found: chosen = match.registry; return true;
    case RegistryMatch::Several:
        error = "\"" + text + "\" names " + std::to_string(match.candidates.size()) +
                " registries; give the id of one:" + candidateLines(match.candidates);
        return false;
    case RegistryMatch::NoMatch: break;
    }
    // A text read as a path names a folder that is not there (or no folder).
    if (text.find('/') != std::string::npos || text.starts_with('~')) {
        error = "there is no folder " + text;
        return false;
    }
    error = "no registry is named \"" + text + "\"";
    if (match.candidates.empty())
        error += " ('quarnel prefixes' lists them; a folder needs a '/')";
    else
        error += "; did you mean one of these?" + candidateLines(match.candidates);
    return false;
}

} // namespace

bool choosePrefixAmong(const std::vector<FoundRegistry> &registries, const std::string &text,
                       const std::string &home, ChosenRegistry &chosen, std::string &error)
{
    if (!named(registries, text, home, chosen.found, error)) return false;
    const platform::SourceKind &kind = sourceKindOf(chosen.found);
    // A registry in part opens, and its opening says what is wrong with it.
    if (kind.holds(chosen.found.folder) == platform::SourceKind::Holding::None) {
        error = chosen.found.folder + ": " + kind.noneText();
        return false;
    }
    chosen.kind = &kind;
    return true;
}

bool choosePrefix(const std::string &text, ChosenRegistry &chosen, std::string &error)
{
    const char *home = std::getenv("HOME");
    return choosePrefixAmong(findRegistriesOnThisMachine(), text, home ? home : "", chosen, error);
}

} // namespace quarnel::prefixes
