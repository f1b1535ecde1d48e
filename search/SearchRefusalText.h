// A search the window refuses, in the window's words: the search run's box, the
// replace's box and "Find in all registries".
#pragma once

#include <string>

struct SearchRefusal;

std::string windowRefusalText(const SearchRefusal &refusal);
