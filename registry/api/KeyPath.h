// Key paths below a root: the key names of a backslash path, and the path as a
// value in the three text shapes the program writes it in, made and read here only.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The key names of `path` in order, as views into it. Empty names fall away:
// leading, trailing and doubled backslashes name no key, as the registry ignores
// them. A path without a name ("", "\") gives none.
std::vector<std::string_view> KeyNames(std::string_view path);

// A key's path below its root. Its shapes, for the key b below a (and for the root):
//   walker path  "\a\b\"  ("\")  how the search walks and the edits open keys
//   Branch cell  "a\b\"   ("")   a result row's Branch
//   node path    "\a\b"   ("")   the browser's tree, and how it opens keys
//   relative     "a\b"    ("")   below the root, as the undo records name keys
// Reading a shape takes its text as it is (only its own outer backslashes go):
// a name never holds a backslash, and what a text holds beyond that is kept.
class KeyPath
{
public:
    KeyPath() = default; // the root itself

    static KeyPath fromWalkerPath(std::string_view text);
    static KeyPath fromBranch(std::string_view text);
    static KeyPath fromNodePath(std::string_view text);
    static KeyPath fromRelative(std::string_view text) { return KeyPath(std::string(text)); }
    // Any shape, or a path typed by hand: empty names fall away (KeyNames).
    static KeyPath fromNames(std::string_view text);

    std::string walkerPath() const;
    std::string branch() const;
    std::string nodePath() const;
    const std::string &relative() const { return m_relative; }

    bool isRoot() const { return m_relative.empty(); }
    // Key names from the root down: 0 for the root, 1 for a key right below it.
    std::size_t depth() const;
    KeyPath join(std::string_view name) const;
    KeyPath parent() const;
    std::string_view leaf() const;

    bool operator==(const KeyPath &) const = default;

    // For the walk, which makes a walker path for every key it enters: the Branch
    // cell of a walker path, and a subkey's walker path, without a KeyPath between.
    static std::string_view branchOfWalkerPath(std::string_view walkerPath)
    {
        return walkerPath.empty() ? walkerPath : walkerPath.substr(1);
    }
    static std::string walkerChild(std::string_view walkerPath, std::string_view name)
    {
        std::string child;
        child.reserve(walkerPath.size() + name.size() + 1);
        child.append(walkerPath).append(name).push_back('\\');
        return child;
    }

private:
    explicit KeyPath(std::string relative) : m_relative(std::move(relative)) {}
    std::string m_relative;
};
