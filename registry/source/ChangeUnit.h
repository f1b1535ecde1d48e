// Makes the registry changes of one compound edit (a key tree deleted, a key
// moved, an undo) one unit: they reach the registry files all together or not
// at all. A start after a crash in the middle of a unit applies none of it and
// says so; a unit whose changes cannot all be journaled (a full disk) is taken
// back whole. Units nest: the outermost one decides. Without registry files
// (the in-memory registry, the real Win32 registry) a unit does nothing.
//
//   ChangeUnit unit("the deletion of HKEY_CURRENT_USER\\Software\\X");
//   ...the changes...
//   if (!done) return false;   // leaving without commit() takes everything back
//   return unit.commit();
#pragma once

#include <string>

namespace quarnel::platform {

class ChangeUnit
{
public:
    // `undoFile`: for an undo, the undo file it applies, named when it is cut short;
    // `record`: the undo file the undo wrote. An undo cut short leaves neither
    // changed: what was appended to `undoFile` since (its mark) and `record` go.
    explicit ChangeUnit(const std::string &description, const std::string &undoFile = {},
                        const std::string &record = {});
    ~ChangeUnit();
    ChangeUnit(const ChangeUnit &) = delete;
    ChangeUnit &operator=(const ChangeUnit &) = delete;

    // Closes the unit. False when it was (or, nested, will be) taken back: a
    // change of it could not be journaled; error() may say more.
    bool commit();
    // Takes back every change the unit made.
    void abandon();
    // Why the registry took the unit back, when a takeNotice() does not tell it.
    const std::string &error() const { return m_error; }

private:
    void end(bool keep);

    bool m_open = true;
    bool m_kept = false;
    std::string m_error;
};

} // namespace quarnel::platform
