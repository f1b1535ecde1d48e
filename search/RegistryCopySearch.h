// A search of a registry other than the open one: its files read as they stand
// (no lock, nothing written, a Wine running on it no obstacle) and walked on the
// calling thread by the same engine and matching as the open registry's search.
// For the window's "Find in all registries" and `quarnel search --all`; several
// threads may each search one registry at a time.
#pragma once

#include "search/SearchEngine.h"

#include <string>
#include <string_view>

class Matcher;

// Searches `scope` of the registry in `folder` for what `matcher` matches, every
// row to `sink`. False, with `error`, when its files cannot be read or the walk
// met a registry error.
bool searchRegistryCopy(const std::string &folder, const Matcher &matcher, const SearchScope &scope,
                        SearchSink &sink, std::string &error,
                        SearchStatistics *statistics = nullptr);
// The plain search for `searchText` (as typed).
bool searchRegistryCopy(const std::string &folder, std::string_view searchText,
                        const SearchScope &scope, SearchSink &sink, std::string &error,
                        SearchStatistics *statistics = nullptr);
