// The search's walk over the key tree, free of Qt and of the window: which keys
// and values it tests against the search's Matcher (search/Matcher.h), the rows
// that yields, their cells and their order. The window and the command line both drive it;
// each face decides through its sink what a row, a pause and a stop mean to it.
#pragma once

#include "registry/win32/winreg.h"
#include "search/ResultRow.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class Matcher;

// The roots and the key a search covers: the roots firstRoot..lastRoot of
// RootTable(), each from keyPath (walker shape: "\" for the root, else "\a\b\").
struct SearchScope
{
    int firstRoot = 2; // HKEY_LOCAL_MACHINE
    int lastRoot = 6;  // HKEY_DYN_DATA
    std::string keyPath = "\\";

    // No key chosen: HKEY_LOCAL_MACHINE to HKEY_DYN_DATA; with `mirrored` also the
    // two roots that mirror parts of them, all seven.
    static SearchScope defaultRoots(bool mirrored);
    // One key and all below it: the root's index in RootTable() and the key's node
    // path ("" for the root itself, else "\a\b").
    static SearchScope below(int rootIndex, std::string_view nodePath);
    // A key path as typed ("HKCU\Software\Wine", read by RegistryPathText::fromTyped),
    // or nothing when the text does not start with a root's name.
    static std::optional<SearchScope> parse(std::string_view rootAndPath);
};

// What a walk has gone through, for the status line at its end.
struct SearchStatistics
{
    std::int32_t keys = 0;   // subkeys entered below the starting keys
    std::int32_t values = 0; // values listed
    std::uint32_t bytes = 0; // data bytes of those values
    // A key with subkeys lay deeper than kMaxWalkDepth below a starting key: the
    // rows leave its subkeys out, and the user is to be told so.
    bool keysBeyondDepth = false;
};

// What a walk tells and asks its driver. Every hook but found() has a default
// that suits a driver with nothing to show: walk to the end, never pause.
class SearchSink
{
public:
    virtual ~SearchSink() = default;

    // One row, in walk order: a key before its values, a value's name row before
    // its data row, a key's values before its subkeys, subkeys in the order the
    // registry lists them. The views live until found() returns.
    virtual void found(const ResultRowView &row) = 0;

    // Before value `index` of `count` values of the key being walked is tested:
    // false ends the walk. The window lets its message loop run here.
    virtual bool nextValue(std::size_t /*index*/, std::size_t /*count*/) { return true; }

    // After a subkey's walk and before the subkeys below kMaxWalkDepth are left
    // out: false ends the walk. A walk ended by nextValue still enters each first
    // subkey down to a key without values on its way out, and reports its key rows.
    virtual bool goOn() { return true; }

    // A number that changes whenever others may have changed the registry during
    // the walk (the window: the message-loop passes made). When it changed while
    // a key's values were tested, the key is opened afresh to list its subkeys.
    virtual std::uint64_t changeMark() { return 0; }

    // A key with at least SearchEngine::kBigKey subkeys was listed; then each of
    // them is entered in turn. For progress shown by path and bar.
    virtual void bigKeyListed(std::string_view /*keyPath*/, std::size_t /*subkeys*/) {}
    virtual void bigKeyStep(std::size_t /*index*/, std::size_t /*subkeys*/) {}

    // run(): a root of the scope is about to be walked, or has been.
    virtual void rootStarted(int /*rootIndex*/) {}
    virtual void rootDone(int /*rootIndex*/) {}
};

class SearchEngine
{
public:
    // Keys deeper than this below the starting key are not entered. Windows allows
    // no more levels; deeper ones come from a link cycle or a file Wine loaded, and
    // the key paths of a walk down to them add up to the square of their depth.
    static constexpr int kMaxWalkDepth = 512;
    // Keys with at least this many subkeys are reported to bigKeyListed().
    static constexpr std::size_t kBigKey = 35;

    // Tests what `matcher` looks at: key paths, value names, string data, and with
    // "Numbers" or "Binary" other data (their rows' Value cell as the value list
    // shows it); with a changed range only keys last written in it. Both must
    // outlive the engine.
    SearchEngine(const Matcher &matcher, SearchSink &sink);
    // The plain search for `searchText` (default options).
    SearchEngine(std::string_view searchText, SearchSink &sink);
    ~SearchEngine();

    // Walks `keyPath` (walker shape "\a\b\", "\" for the root) of `root` and all
    // below it with a stack of its own; rows carry `rootName` as their Root cell.
    // Registry errors (ERegistryException) and whatever the sink throws end it.
    void walk(HKEY root, std::string_view rootName, const std::string &keyPath);

    // Walks every root of the scope in turn, the way the window's search does.
    void run(const SearchScope &scope);

    // Counted over every walk of this engine; a driver may also preset them.
    SearchStatistics &statistics() { return m_statistics; }
    const SearchStatistics &statistics() const { return m_statistics; }

    // The notice for statistics().keysBeyondDepth.
    static std::string keysBeyondDepthText();

private:
    struct Frame;
    // Tests the key, its values, lists its subkeys into `frame`. False: the key is
    // at the depth bound, its subkeys are not entered.
    bool visit(HKEY root, std::string_view rootName, Frame &frame, int depth);

    std::unique_ptr<const Matcher> m_ownMatcher;
    const Matcher &m_matcher;
    SearchSink &m_sink;
    SearchStatistics m_statistics;
    std::vector<char> m_valueBytes; // the room a long value needed serves the rest
    std::vector<std::string> m_names;
};

// The rows of a search, collected: for callers without a window (the command line,
// tests) that want every row of a scope and nothing else.
std::vector<ResultRow> searchRows(std::string_view searchText, const SearchScope &scope,
                                  SearchStatistics *statistics = nullptr);
std::vector<ResultRow> searchRows(const Matcher &matcher, const SearchScope &scope,
                                  SearchStatistics *statistics = nullptr);
