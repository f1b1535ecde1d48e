// Cuts REG_MULTI_SZ bytes into entries for display and search: at NUL, CR and
// LF alike, ending at the first entry that would start with NUL.
#pragma once

#include <string>
#include <vector>

std::vector<std::string> SplitMultiString(const void *buffer, int size);
