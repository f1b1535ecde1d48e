// The registries on the machine as the command line names them: the listing of
// `quarnel prefixes`, the registry --prefix names (a folder, an id or a name)
// and `quarnel search TEXT --all`, which searches each of them read-only.
#pragma once

#include "cli/Session.h"
#include "prefixes/RegistryFinder.h"

#include <string>
#include <vector>

namespace quarnel::cli {

// The registry `text` names among `registries` (see prefixes::matchRegistry);
// a relative path that is a folder counts as that folder. False with `error`
// when it names none or several, listing the candidates.
bool choosePrefixAmong(const std::vector<prefixes::FoundRegistry> &registries,
                       const std::string &text, const std::string &home,
                       prefixes::FoundRegistry &chosen, std::string &error);
// The same among the registries found on this machine.
bool choosePrefix(const std::string &text, prefixes::FoundRegistry &chosen, std::string &error);

int runPrefixes(Session &session);
int runSearchAll(Session &session);

} // namespace quarnel::cli
