#include "registry/api/PathSteps.h"

#include "registry/api/KeyPath.h"

#ifndef _WIN32
#include "registry/win32/RegText.h"
#endif

std::size_t Utf16Length(std::string_view bytes)
{
#ifdef _WIN32
    if (bytes.empty()) return 0;
    const int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), int(bytes.size()), nullptr, 0);
    return n > 0 ? std::size_t(n) : bytes.size();
#else
    return quarnel::platform::utf16FromBytes(bytes).size();
#endif
}

namespace {

// No 8-bit character takes more than one UTF-16 unit, so a path of few bytes fits
// without being converted.
bool fitsOneStep(const std::string &path)
{
    return path.size() <= kMaxPathStepUnits || Utf16Length(path) <= kMaxPathStepUnits;
}

// The steps of a path known not to fit one.
std::vector<std::string> stepsOf(const std::string &path)
{
    std::vector<std::string> steps;
    std::string step;
    std::size_t stepUnits = 0;
    for (const std::string_view name : KeyNames(path)) {
        const std::size_t units = Utf16Length(name);
        if (!step.empty() && stepUnits + 1 + units > kMaxPathStepUnits) {
            steps.push_back(std::move(step));
            step.clear();
            stepUnits = 0;
        }
        if (!step.empty()) {
            step += '\\';
            ++stepUnits;
        }
        step += name;
        stepUnits += units;
    }
    steps.push_back(std::move(step));
    return steps;
}

} // namespace

std::vector<std::string> PathSteps(const std::string &path)
{
    if (fitsOneStep(path)) return {path};
    return stepsOf(path);
}

SteppedPath::SteppedPath(HKEY base, const std::string &path, bool create)
    : m_base(base), m_last(path.c_str())
{
    if (fitsOneStep(path)) return;
    std::vector<std::string> steps = stepsOf(path);
    m_lastStep = std::move(steps.back());
    m_last = m_lastStep.c_str();
    steps.pop_back();
    for (const std::string &step : steps) {
        HKEY next = nullptr;
        // A relative call needs no right on the key it starts from (Wine and Windows
        // agree), so the steps on the way ask for none: a one-call open of the whole
        // path would not check those keys either.
        const LONG rc =
            create ? RegCreateKeyExA(m_base, step.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_ALL_ACCESS, nullptr, &next, nullptr)
                   : RegOpenKeyExA(m_base, step.c_str(), 0, 0, &next);
        if (m_owned) RegCloseKey(m_owned);
        m_owned = nullptr;
        if (rc != ERROR_SUCCESS) {
            m_reached = false;
            return;
        }
        m_owned = m_base = next;
    }
}

SteppedPath::~SteppedPath()
{
    if (m_owned) RegCloseKey(m_owned);
}
