#include "registry/win32/PathWalk.h"

#include "registry/win32/KeyNames.h"
#include "registry/win32/RegText.h"
#include "registry/win32/WideText.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace quarnel::platform {

namespace {

constexpr int kMaxLinkHops = 16;

void splitPath(std::u16string_view path, std::vector<std::u16string_view> &parts)
{
    parts.clear();
    forEachKeyName(path, [&](std::u16string_view name) { parts.push_back(name); });
}

// The keys the last open walked through, so that the next open of a key below
// one of them (a walk over the tree opens every key by its full path) starts
// there instead of at its base. Valid while treeVersion() stays the same.
struct OpenedChain
{
    const RegKey *base = nullptr;
    uint64_t version = 0;
    std::size_t depth = 0;
    std::vector<RegKey *> keys;         // where each name led, links followed
    std::vector<std::size_t> positions; // each name's place among its siblings
    // When the last open was of an ASCII path: that path, and where in it each
    // name of `keys` ends.
    bool byAscii = false;
    std::string asciiPath;
    std::vector<std::size_t> ends;
};

OpenedChain &lastOpened()
{
    thread_local OpenedChain chain; // each thread's walks are its own (ThreadStoreScope)
    return chain;
}

// How many leading names of `parts` the last open resolved from `base`: those that
// name its keys exactly (a name given in another case, or a link's, is looked up
// afresh). The last name is always looked up again: its options decide whether a
// link is followed.
std::size_t reusableDepth(const RegKey *base, const std::vector<std::u16string_view> &parts)
{
    const OpenedChain &chain = lastOpened();
    if (chain.base != base || chain.version != treeVersion() || parts.empty()) return 0;
    const std::size_t limit = std::min(chain.depth, parts.size() - 1);
    std::size_t n = 0;
    while (n < limit && sameUnits(chain.keys[n]->name(), parts[n]))
        ++n;
    return n;
}

// Remembers the key the name at `index` led to and its place among its
// siblings, and for an ASCII path the end of that name in it.
void rememberStep(const RegKey *base, std::size_t index, RegKey *key, std::size_t position,
                  const std::size_t *end)
{
    OpenedChain &chain = lastOpened();
    if (index == 0) {
        chain.base = base;
        chain.version = treeVersion();
    }
    if (chain.keys.size() <= index) {
        chain.keys.push_back(nullptr);
        chain.positions.push_back(0);
    }
    chain.keys[index] = key;
    chain.positions[index] = position;
    chain.depth = index + 1;
    if (end) {
        if (chain.ends.size() <= index) chain.ends.push_back(0);
        chain.ends[index] = *end;
    }
}

LONG followLink(RegKey *link, int hops, bool create, RegKey *&out, bool &created);

// Makes a missing child under `parent` for a create, with Wine's volatility rule;
// a symbolic link when `link`.
LONG addChild(RegKey &parent, std::u16string_view name, DWORD options, bool link, RegKey *&child)
{
    KeyStore &store = activeStore();
    const bool wantVolatile = (options & REG_OPTION_VOLATILE) != 0;
    if (parent.isVolatile && !wantVolatile && &parent != &store.top())
        return ERROR_CHILD_MUST_BE_VOLATILE;
    const PendingChange change{.kind = StoreChange::KeyCreated,
                               .name = name,
                               .time = KeyStore::now(),
                               .link = link,
                               .volatileKey = wantVolatile || parent.isVolatile};
    if (long rc = admitChange(store.hooks(), parent, change)) return static_cast<LONG>(rc);
    bool isNew;
    child = &parent.addSubkey(name, isNew, change.time);
    child->isVolatile = change.volatileKey;
    child->isLink = link;
    child->lastWriteTime = parent.lastWriteTime = change.time;
    return ERROR_SUCCESS;
}

// Resolves an absolute NT path (\Registry\Machine\...) from the store's top key.
// A create through a link makes the target's last key when only that is missing.
LONG keyAtNtPath(std::u16string_view path, int hops, bool create, RegKey *&out, bool &created)
{
    std::vector<std::u16string_view> parts;
    splitPath(path, parts);
    RegKey *key = &activeStore().top();
    if (parts.empty() || !sameName(key->name(), parts[0])) return ERROR_FILE_NOT_FOUND;
    for (std::size_t i = 1; i < parts.size(); ++i) {
        RegKey *child = key->findSubkey(parts[i]);
        if (child && child->isLink) {
            if (LONG rc = followLink(child, hops + 1, false, child, created)) return rc;
        } else if (!child) {
            if (!create || i + 1 != parts.size()) return ERROR_FILE_NOT_FOUND;
            if (LONG rc = addChild(*key, parts[i], 0, false, child)) return rc;
            created = true;
        }
        key = child;
    }
    out = key;
    return ERROR_SUCCESS;
}

// A link whose value is missing leads nowhere; a chain of links too long to be
// anything but a loop gets Wine's answer for it.
LONG followLink(RegKey *link, int hops, bool create, RegKey *&out, bool &created)
{
    if (hops > kMaxLinkHops) return ERROR_INVALID_PARAMETER;
    const auto target = link->findValue(u"SymbolicLinkValue");
    if (!target || target->type != REG_LINK) return ERROR_FILE_NOT_FOUND;
    // The target is an NT path in UTF-16LE, possibly with a terminator.
    std::u16string path = utf16leUnits(target->data().bytes());
    while (!path.empty() && path.back() == u'\0')
        path.pop_back();
    if (LONG rc = keyAtNtPath(path, hops, create, out, created)) return rc;
    // A link to one of its own ancestors would make the tree below it endless for
    // every walker; Wine would follow it, we treat it as leading nowhere.
    if (link->isDescendantOf(*out)) return ERROR_FILE_NOT_FOUND;
    return ERROR_SUCCESS;
}

// What every path is refused for, split into `names` or not: a leading
// separator, and a name longer than a key's.
template <typename Char, typename Name>
LONG checkPath(std::basic_string_view<Char> path, const std::vector<Name> &names)
{
    if (!path.empty() && path[0] == Char('\\')) return ERROR_BAD_PATHNAME;
    for (const Name &name : names)
        if (name.size() > kMaxKeyNameUnits) return ERROR_INVALID_PARAMETER;
    return ERROR_SUCCESS;
}

// An open: existing keys only, starting below the first `reused` names, which
// the last open resolved. The name after them is tried first at subkey `guess`;
// `ends` (ASCII paths only) tells where each name ends.
template <typename Name>
LONG openPath(RegKey *base, const std::vector<Name> &parts, std::size_t reused, std::size_t guess,
              const std::vector<std::size_t> *ends, DWORD options, WalkResult &result)
{
    RegKey *key = reused ? lastOpened().keys[reused - 1] : base;
    for (std::size_t i = reused; i < parts.size(); ++i) {
        const bool last = i + 1 == parts.size();
        const UnitText name(parts[i]);
        // Only a name the same to the unit can be taken without the search.
        bool found = i == reused && guess < key->subkeys.size() &&
                     sameUnits(key->subkeys[guess]->name(), name);
        const std::size_t pos = found ? guess : key->subkeyPosition(name, found);
        if (!found) return ERROR_FILE_NOT_FOUND;
        RegKey *child = key->subkeys[pos].get();
        const bool openLink = last && (options & REG_OPTION_OPEN_LINK);
        if (child->isLink && !openLink) {
            bool created = false;
            if (LONG rc = followLink(child, 0, false, child, created)) return rc;
        }
        // A link opened as itself is no step for keys below it.
        if (!(openLink && child->isLink))
            rememberStep(base, i, child, pos, ends ? &(*ends)[i] : nullptr);
        key = child;
    }
    result.key = key;
    return ERROR_SUCCESS;
}

} // namespace

LONG walkPath(RegKey *base, std::u16string_view path, DWORD options, bool create,
              const std::u16string *cls, WalkResult &result)
{
    result = WalkResult{};
    // Reused for opens, which are frequent enough for an allocation to show; a
    // create calls the store's hooks and keeps its own.
    thread_local std::vector<std::u16string_view> openNames;
    std::vector<std::u16string_view> createNames;
    std::vector<std::u16string_view> &parts = create ? createNames : openNames;
    splitPath(path, parts);
    if (LONG rc = checkPath(path, parts)) return rc;
    if (!create) {
        lastOpened().byAscii = false;
        return openPath(base, parts, reusableDepth(base, parts), SIZE_MAX, nullptr, options,
                        result);
    }
    std::vector<RegKey *> visited;
    visited.reserve(parts.size());
    RegKey *key = base;
    std::size_t missing = 0;
    const bool makeLink = (options & REG_OPTION_CREATE_LINK) != 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const bool last = i + 1 == parts.size();
        RegKey *child = missing ? nullptr : key->findSubkey(parts[i]);
        if (child && last && makeLink) return ERROR_ALREADY_EXISTS;
        if (child && child->isLink && !(last && (options & REG_OPTION_OPEN_LINK))) {
            bool madeTarget = false;
            if (LONG rc = followLink(child, 0, last, child, madeTarget)) return rc;
            missing += madeTarget;
        }
        if (!child) {
            if (missing == 0) result.stepwise = parts.size() - i > 1;
            if (LONG rc =
                    addChild(*key, parts[i], last ? options : options & ~REG_OPTION_CREATE_LINK,
                             last && makeLink, child))
                return rc;
            ++missing;
        }
        visited.push_back(child);
        key = child;
    }
    result.key = key;
    // Wine reports an empty path as a newly created key.
    result.created = missing > 0 || parts.empty();
    if (visited.empty()) visited.push_back(key);
    KeyStore &store = activeStore();
    const std::u16string none;
    const std::u16string &newClass = cls ? *cls : none;
    const std::size_t first = result.stepwise ? 0 : visited.size() - 1;
    for (std::size_t i = first; i < visited.size(); ++i) {
        RegKey &k = *visited[i];
        if (k.className() == newClass) continue;
        const PendingChange change{.kind = StoreChange::KeyMarked,
                                   .name = newClass,
                                   .time = k.lastWriteTime,
                                   .link = k.isLink};
        if (long rc = admitChange(store.hooks(), k, change)) return static_cast<LONG>(rc);
        k.extras().className = newClass;
    }
    return ERROR_SUCCESS;
}

LONG openAsciiPath(RegKey *base, std::string_view path, DWORD options, WalkResult &result)
{
    result = WalkResult{};
    thread_local std::vector<UnitText> parts;
    thread_local std::vector<std::size_t> ends;
    parts.clear();
    ends.clear();
    forEachKeyName(path, [&](std::string_view name) {
        parts.emplace_back(reinterpret_cast<const uint8_t *>(name.data()), name.size());
        ends.push_back(static_cast<std::size_t>(name.data() - path.data()) + name.size());
    });
    if (LONG rc = checkPath(path, parts)) return rc;
    // The names that end where the last ASCII open's did, with the same bytes up
    // to there, led to the same keys. The last name is looked up again: its
    // options decide whether a link is followed.
    OpenedChain &chain = lastOpened();
    std::size_t reused = 0, guess = SIZE_MAX;
    if (chain.byAscii && chain.base == base && chain.version == treeVersion() && !parts.empty()) {
        const std::size_t limit = std::min(chain.depth, parts.size() - 1);
        std::size_t from = 0;
        while (reused < limit && ends[reused] == chain.ends[reused] &&
               std::memcmp(path.data() + from, chain.asciiPath.data() + from,
                           ends[reused] - from) == 0)
            from = ends[reused++];
        // A walk opens a key's subkeys in turn: the next name is likely the next one.
        if (reused < chain.depth) guess = chain.positions[reused] + 1;
    }
    chain.byAscii = true;
    chain.asciiPath.assign(path);
    chain.depth = reused;
    return openPath(base, parts, reused, guess, &ends, options, result);
}

} // namespace quarnel::platform
