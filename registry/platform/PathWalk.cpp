#include "PathWalk.h"

#include "RegText.h"

#include <vector>

namespace quarnel::platform {

namespace {

constexpr int kMaxLinkHops = 16;

std::vector<std::u16string_view> splitPath(std::u16string_view path)
{
    std::vector<std::u16string_view> parts;
    std::size_t start = 0;
    while (start < path.size()) {
        std::size_t end = path.find(u'\\', start);
        if (end == std::u16string_view::npos) end = path.size();
        if (end > start) parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

RegKey *followLink(RegKey *link, int hops);

// Resolves an absolute NT path (\Registry\Machine\...) from the store's top key.
RegKey *keyAtNtPath(std::u16string_view path, int hops)
{
    const auto parts = splitPath(path);
    RegKey *key = &activeStore().top();
    if (parts.empty() || !sameName(parts[0], key->name)) return nullptr;
    for (std::size_t i = 1; i < parts.size() && key; ++i) {
        key = key->findSubkey(parts[i]);
        if (key && key->isLink) key = followLink(key, hops + 1);
    }
    return key;
}

RegKey *followLink(RegKey *link, int hops)
{
    if (hops > kMaxLinkHops) return nullptr;
    const RegValue *target = link->findValue(u"SymbolicLinkValue");
    if (!target || target->type != REG_LINK) return nullptr;
    // The target is an NT path in UTF-16LE, possibly with a terminator.
    std::u16string path;
    for (std::size_t i = 0; i + 1 < target->data.size(); i += 2)
        path.push_back(static_cast<char16_t>(target->data[i] | (target->data[i + 1] << 8)));
    while (!path.empty() && path.back() == u'\0')
        path.pop_back();
    return keyAtNtPath(path, hops);
}

LONG checkNameLength(std::u16string_view name, std::size_t limit)
{
    return name.size() > limit ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
}

} // namespace

LONG walkPath(RegKey *base, std::u16string_view path, DWORD options, bool create,
              const std::u16string *cls, RegKey *&out, bool &created)
{
    created = false;
    if (!path.empty() && path[0] == u'\\') return ERROR_BAD_PATHNAME;
    const auto parts = splitPath(path);
    for (const auto part : parts)
        if (LONG rc = checkNameLength(part, kMaxKeyNameUnits)) return rc;
    KeyStore &store = activeStore();
    std::vector<RegKey *> visited;
    visited.reserve(create ? parts.size() : 0);
    RegKey *key = base;
    std::size_t missing = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const bool last = i + 1 == parts.size();
        RegKey *child = missing ? nullptr : key->findSubkey(parts[i]);
        if (child && child->isLink && !(last && (options & REG_OPTION_OPEN_LINK))) {
            child = followLink(child, 0);
            if (!child) return ERROR_FILE_NOT_FOUND;
        }
        if (!child) {
            if (!create) return ERROR_FILE_NOT_FOUND;
            const bool wantVolatile = (options & REG_OPTION_VOLATILE) != 0;
            if (key->isVolatile && !wantVolatile && key != &store.top())
                return ERROR_CHILD_MUST_BE_VOLATILE;
            if (long rc = store.hooks().beforeChange(*key)) return static_cast<LONG>(rc);
            bool isNew;
            child = &key->addSubkey(parts[i], isNew);
            child->isVolatile = wantVolatile || key->isVolatile;
            key->lastWriteTime = child->lastWriteTime;
            ++missing;
            store.hooks().afterChange(*child);
        }
        if (create) visited.push_back(child);
        key = child;
    }
    out = key;
    if (!create) return ERROR_SUCCESS;
    // Wine reports an empty path as a newly created key.
    created = missing > 0 || parts.empty();
    if (visited.empty()) visited.push_back(key);
    const std::u16string none;
    const std::u16string &newClass = cls ? *cls : none;
    const std::size_t first = missing > 1 ? 0 : visited.size() - 1;
    for (std::size_t i = first; i < visited.size(); ++i) {
        RegKey &k = *visited[i];
        if (k.className == newClass) continue;
        if (long rc = store.hooks().beforeChange(k)) return static_cast<LONG>(rc);
        k.className = newClass;
        store.hooks().afterChange(k);
    }
    return ERROR_SUCCESS;
}

} // namespace quarnel::platform
