// The registry the text after --prefix names, chosen as both faces open it: the
// window's `quarnel --prefix ID` and every command's --prefix.
#pragma once

#include "prefixes/RegistryFinder.h"

#include <string>
#include <vector>

namespace quarnel::prefixes {

struct ChosenRegistry
{
    FoundRegistry found;
    const platform::SourceKind *kind = nullptr; // what opens it
};

// The registry `text` names among `registries` (see matchRegistry); a relative
// path that is a folder counts as that folder. False with `error` when it names
// none or several, listing the candidates, or a folder that holds no registry
// ("<folder>: not a Wine prefix (it has no system.reg)").
bool choosePrefixAmong(const std::vector<FoundRegistry> &registries, const std::string &text,
                       const std::string &home, ChosenRegistry &chosen, std::string &error);
// The same among the registries found on this machine.
bool choosePrefix(const std::string &text, ChosenRegistry &chosen, std::string &error);

} // namespace quarnel::prefixes
