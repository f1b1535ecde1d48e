// What an edit may change, recorded exactly as it is before the edit starts, so
// that the record, written as a registry editor file, gives it all back: applied
// by ApplyUndo or imported by the registry editor. Works through TRegistry only.
//
// Paths are a root's display name ("HKEY_CURRENT_USER") and a key path below
// it; leading, trailing and doubled backslashes do not count, so the result
// list's Branch cells and the browser's node paths serve as they are.
#pragma once

#include "registry/regfile/RegEditFile.h"

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

class UndoCapture
{
public:
    // A key with all its values and all keys below it (a delete, or the old key of a move).
    void captureKey(const std::string &rootName, const std::string &keyPath);
    // One value: its type and stored bytes, or its removal when it does not exist now.
    void captureValue(const std::string &rootName, const std::string &keyPath,
                      const std::string &valueName);
    // The new name of a rename: removed again, unless a value of that name exists now.
    void captureNewValueName(const std::string &rootName, const std::string &keyPath,
                             const std::string &valueName);
    // The new path of a move: its topmost key that does not exist now is removed again.
    void captureNewKeyPath(const std::string &rootName, const std::string &keyPath);

    // Removals of created keys and of what a move put where a key captured here
    // was, then keys in full (links first), then removals of created values, then
    // single values: whatever part of the edit took place, applying this in order
    // gives back the state before it.
    RegEditFile file() const;
    bool empty() const;

private:
    using ValueId = std::pair<std::string, std::string>; // full key path, value name
    void addValue(std::vector<RegEditSection> &part, const std::string &path, RegEditValue value);
    bool belowCapturedKey(const std::string &full) const;
    // Whether `full` names a key captured whole or one below it, letter case aside.
    bool withinCapturedKey(const std::string &full) const;

    std::vector<RegEditSection> m_createdKeys;
    std::vector<RegEditSection> m_keys;
    std::vector<RegEditSection> m_createdValues;
    std::vector<RegEditSection> m_values;
    std::set<std::string> m_seenKeys;
    std::set<std::string> m_capturedLinks; // links met in keys captured whole
    std::set<ValueId> m_seenValues;
    std::set<std::u16string, std::less<>> m_foldedKeys; // keys captured whole, case folded
    std::vector<std::string> m_occupiedTargets;         // new paths of moves that exist now
    // Where each key's section is in m_values and m_createdValues.
    std::map<std::string, std::size_t> m_valueSections;
    std::map<std::string, std::size_t> m_createdValueSections;
};
