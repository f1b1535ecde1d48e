#include "KeyParts.h"

namespace {

// What one 8-bit call takes is 260 units; a unit is at least one byte.
constexpr std::size_t kOneCallBytes = 260;

std::string Joined(const std::vector<std::string> &parts, std::size_t count)
{
    std::string path;
    for (std::size_t i = 0; i < count; ++i)
        path += (i ? "\\" : "") + parts[i];
    return path;
}

} // namespace

bool OpenKeyByParts(TRegistry &reg, const std::vector<std::string> &parts, bool linkItself)
{
    reg.ClosePath();
    const std::string path = Joined(parts, parts.size());
    if (path.size() <= kOneCallBytes)
        return linkItself ? reg.OpenLinkPath("\\" + path) : reg.OpenPath("\\" + path);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string step = (i ? "" : "\\") + parts[i];
        const bool ok =
            linkItself && i + 1 == parts.size() ? reg.OpenLinkPath(step) : reg.OpenPath(step);
        if (!ok) return false;
    }
    return true;
}

void CreateKeyByParts(TRegistry &reg, const std::vector<std::string> &parts)
{
    reg.ClosePath();
    const std::string path = Joined(parts, parts.size());
    if (path.size() <= kOneCallBytes) {
        reg.CreatePath("\\" + path);
        return;
    }
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string step = (i ? "" : "\\") + parts[i];
        reg.CreatePath(step);
        if (!reg.OpenPath(step))
            throw ERegistryException("Erzeugung von Schlüssel " + path + " misslungen");
    }
    reg.ClosePath();
}

bool KeyExistsByParts(HKEY root, const std::vector<std::string> &parts)
{
    TRegistry reg;
    reg.SelectRoot(root);
    const std::string path = Joined(parts, parts.size());
    if (path.size() <= kOneCallBytes) return reg.HasKey("\\" + path);
    // The parent opened with full access, the key itself only looked at.
    if (!OpenKeyByParts(reg, {parts.begin(), parts.end() - 1})) return false;
    return reg.HasKey(parts.back());
}

bool DeleteTreeByParts(TRegistry &reg, const std::vector<std::string> &parts)
{
    if (parts.empty()) return false;
    const std::string path = Joined(parts, parts.size());
    if (path.size() <= kOneCallBytes) return reg.DeleteTree("\\" + path);
    if (!OpenKeyByParts(reg, {parts.begin(), parts.end() - 1})) return false;
    const bool deleted = reg.DeleteTree(parts.back());
    reg.ClosePath();
    return deleted;
}
