// Key paths longer than the 8-bit registry calls take. Wine converts their path
// argument into a buffer of 260 UTF-16 units and refuses longer ones, yet its
// registry holds deeper keys, reached by opening relative to a key on the way.
// So a long path is walked in steps, each a relative open within the limit, and
// the one platform call is made for the last step from the key before it.
#pragma once

#include "registry/win32/winreg.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

constexpr std::size_t kMaxPathStepUnits = 260;

// UTF-16 units of 8-bit registry text.
std::size_t Utf16Length(std::string_view bytes);

// The path itself when it fits, else its names grouped into steps that do (a
// single name too long for a step stays a step of its own, which the registry
// then refuses). Empty names fall away there, as the registry ignores them.
std::vector<std::string> PathSteps(const std::string &path);

// Where the platform call for a path starts: from `base()` with `last()`.
class SteppedPath
{
public:
    // Opens every step before the last below `base`; with `create`, creates them
    // as needed (with full access, as CreatePath does). `path` must outlive this.
    SteppedPath(HKEY base, const std::string &path, bool create);
    ~SteppedPath();
    SteppedPath(const SteppedPath &) = delete;
    SteppedPath &operator=(const SteppedPath &) = delete;

    // False when a step before the last failed; the call cannot be made then.
    bool reached() const { return m_reached; }
    HKEY base() const { return m_base; }
    const char *last() const { return m_last; }

private:
    HKEY m_base;
    HKEY m_owned = nullptr; // the key of the step before the last, when there were steps
    std::string m_lastStep;
    const char *m_last; // the caller's path itself when it fits in one step
    bool m_reached = true;
};
