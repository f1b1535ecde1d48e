#include "registry/api/KeyPath.h"

#include "registry/win32/KeyNames.h"

#include <algorithm>

std::vector<std::string_view> KeyNames(std::string_view path)
{
    std::vector<std::string_view> names;
    quarnel::platform::forEachKeyName(path, [&](std::string_view name) { names.push_back(name); });
    return names;
}

namespace {

std::string_view withoutLeading(std::string_view text)
{
    return !text.empty() && text.front() == '\\' ? text.substr(1) : text;
}

std::string_view withoutTrailing(std::string_view text)
{
    return !text.empty() && text.back() == '\\' ? text.substr(0, text.size() - 1) : text;
}

} // namespace

KeyPath KeyPath::fromWalkerPath(std::string_view text)
{
    return KeyPath(std::string(withoutTrailing(withoutLeading(text))));
}

KeyPath KeyPath::fromBranch(std::string_view text)
{
    return KeyPath(std::string(withoutTrailing(text)));
}

KeyPath KeyPath::fromNodePath(std::string_view text)
{
    return KeyPath(std::string(withoutLeading(text)));
}

KeyPath KeyPath::fromNames(std::string_view text)
{
    KeyPath path;
    for (std::string_view name : KeyNames(text))
        path = path.join(name);
    return path;
}

std::string KeyPath::walkerPath() const
{
    return isRoot() ? std::string("\\") : '\\' + m_relative + '\\';
}

std::string KeyPath::branch() const
{
    return isRoot() ? std::string() : m_relative + '\\';
}

std::string KeyPath::nodePath() const
{
    return isRoot() ? std::string() : '\\' + m_relative;
}

std::size_t KeyPath::depth() const
{
    return isRoot() ? 0 : std::size_t(std::count(m_relative.begin(), m_relative.end(), '\\')) + 1;
}

KeyPath KeyPath::join(std::string_view name) const
{
    return KeyPath(isRoot() ? std::string(name) : m_relative + '\\' + std::string(name));
}

KeyPath KeyPath::parent() const
{
    const std::size_t slash = m_relative.rfind('\\');
    return KeyPath(slash == std::string::npos ? std::string() : m_relative.substr(0, slash));
}

std::string_view KeyPath::leaf() const
{
    const std::size_t slash = m_relative.rfind('\\');
    return slash == std::string::npos ? std::string_view(m_relative)
                                      : std::string_view(m_relative).substr(slash + 1);
}
