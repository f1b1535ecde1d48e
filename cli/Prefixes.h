// The registries on the machine as the command line names them: the listing of
// `quarnel prefixes` and `quarnel search TEXT --all`, which searches each of
// them read-only. What --prefix names is chosen in prefixes/ChoosePrefix.h.
#pragma once

#include "cli/Session.h"

namespace quarnel::cli {

int runPrefixes(Session &session);
int runSearchAll(Session &session);

} // namespace quarnel::cli
