// The registry object's edits that change more than one key or value: deleting
// a tree, renaming a value and moving a key. The platform has no recursive
// delete, copy or rename, so they are built from the object's basic operations.
// While they run they point KeyHandle at handles of their own; KeySwitch and
// OwnedKey undo that and close those handles on every way out, exceptions included.
// Their walks keep a stack of their own, as trees may nest deeper than the call stack.
#include "registry/api/KeyPath.h"
#include "registry/api/PathSteps.h"
#include "registry/api/RootTable.h"
#include "registry/api/TRegistry.h"
#include "registry/source/ChangeUnit.h"

#ifndef _WIN32
#include "registry/win32/RegText.h"
#endif

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

// Windows holds no deeper trees. A deeper one (a Wine file may hold one) is not
// copied: a move is refused up front. Links are copied as links, never entered.
constexpr unsigned kMaxCopyDepth = 512;
const char *const kTooDeep = "the keys below it lie more than 512 levels deep";
// The change failed after its checks passed; the registry's notice says why when it knows.
const char *const kRefusedChange = "the registry refused the change";

// A handle the operation opened itself; closed when the step ends.
class OwnedKey
{
public:
    explicit OwnedKey(HKEY handle) : m_handle(handle) {}
    ~OwnedKey() { reset(); }
    OwnedKey(const OwnedKey &) = delete;
    OwnedKey &operator=(const OwnedKey &) = delete;
    OwnedKey(OwnedKey &&other) noexcept : m_handle(std::exchange(other.m_handle, nullptr)) {}
    OwnedKey &operator=(OwnedKey &&other) noexcept
    {
        if (this != &other) {
            reset();
            m_handle = std::exchange(other.m_handle, nullptr);
        }
        return *this;
    }
    HKEY get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }

private:
    void reset()
    {
        if (m_handle) RegCloseKey(std::exchange(m_handle, nullptr));
    }

    HKEY m_handle;
};

std::vector<std::string> SplitPath(const std::string &path, std::vector<std::string> parts = {})
{
    for (const std::string_view name : KeyNames(path))
        parts.emplace_back(name);
    return parts;
}

// Names compare as the registry compares them: case-insensitively, also beyond
// ASCII, or a move into "a" below "A" would not be seen as one into itself.
bool SameName(const std::string &a, const std::string &b)
{
#ifdef _WIN32
    auto wide = [](const std::string &s) {
        const int n = MultiByteToWideChar(CP_ACP, 0, s.data(), int(s.size()), nullptr, 0);
        std::wstring w(std::size_t(n > 0 ? n : 0), L'\0');
        if (n > 0) MultiByteToWideChar(CP_ACP, 0, s.data(), int(s.size()), w.data(), n);
        return w;
    };
    const std::wstring wa = wide(a), wb = wide(b);
    return CompareStringOrdinal(wa.data(), int(wa.size()), wb.data(), int(wb.size()), TRUE) ==
           CSTR_EQUAL;
#else
    using namespace quarnel::platform;
    return sameName(utf16FromBytes(a), utf16FromBytes(b));
#endif
}

} // namespace

// One key on a walk's stack: its subkeys by index, one at a time, from the
// first or from the last. The count is taken once, when the key is reached.
class TRegistry::SubkeyCursor
{
public:
    SubkeyCursor(HKEY borrowed, bool lastFirst) : m_key(borrowed), m_lastFirst(lastFirst)
    {
        DWORD count = 0, maxName = 0;
        if (RegQueryInfoKeyA(m_key, nullptr, nullptr, nullptr, &count, &maxName, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return;
        m_count = m_left = count;
        m_buffer.resize(NameBufferSize(maxName));
    }
    SubkeyCursor(OwnedKey owned, bool lastFirst) : SubkeyCursor(owned.get(), lastFirst)
    {
        m_owned = std::move(owned);
    }

    HKEY key() const { return m_key; }

    // False once every index was tried; an index whose enumeration fails is skipped.
    bool next(std::string &name)
    {
        while (m_left > 0) {
            const uint32_t index = m_lastFirst ? m_left - 1 : m_count - m_left;
            --m_left;
            DWORD length = DWORD(m_buffer.size());
            if (RegEnumKeyExA(m_key, index, m_buffer.data(), &length, nullptr, nullptr, nullptr,
                              nullptr) == ERROR_SUCCESS) {
                name.assign(m_buffer.data(), length);
                return true;
            }
        }
        return false;
    }

private:
    HKEY m_key;
    OwnedKey m_owned{nullptr};
    std::string m_buffer;
    uint32_t m_count = 0;
    uint32_t m_left = 0;
    bool m_lastFirst;
};

class TRegistry::KeySwitch
{
public:
    KeySwitch(TRegistry &reg, HKEY handle) : m_reg(reg), m_saved(reg.m_keyHandle)
    {
        reg.m_keyHandle = handle;
    }
    ~KeySwitch() { m_reg.m_keyHandle = m_saved; }
    KeySwitch(const KeySwitch &) = delete;
    KeySwitch &operator=(const KeySwitch &) = delete;

private:
    TRegistry &m_reg;
    HKEY m_saved;
};

std::vector<std::string> TRegistry::AbsoluteParts(const std::string &path) const
{
    const ResolvedPath p = Resolve(path);
    std::vector<std::string> parts;
    if (p.relative && m_keyHandle) parts = SplitPath(m_keyPath);
    return SplitPath(p.stripped, std::move(parts));
}

bool TRegistry::IsSameOrBelow(const std::string &inner, const std::string &outer) const
{
    const std::vector<std::string> in = AbsoluteParts(inner), out = AbsoluteParts(outer);
    if (in.size() < out.size()) return false;
    for (std::size_t i = 0; i < out.size(); ++i)
        if (!SameName(in[i], out[i])) return false;
    return true;
}

bool TRegistry::DeleteTree(const std::string &path)
{
    // The root itself is never deleted, and the registry refuses its hive roots
    // (a user's whole registry, say): emptying either first would lose everything
    // below it and still fail.
    const std::vector<std::string> names = AbsoluteParts(path);
    if (names.empty() || IsHiveRoot(names)) return false;
    // The whole tree goes or none of it: a tree half deleted is worse than either.
    quarnel::platform::ChangeUnit unit("the deletion of " + DescribeKey(path) +
                                       " with everything below it");
    return DeleteSubtree(path) && unit.commit();
}

std::string TRegistry::DescribeKey(const std::string &path) const
{
    std::string text;
    for (const RootEntry &root : RootTable())
        if (root.handle == m_rootHandle) text = root.displayName;
    for (const std::string &name : AbsoluteParts(path))
        text += "\\" + name;
    return text;
}

bool TRegistry::DeleteSubtree(const std::string &path)
{
    // A symbolic link is deleted itself; following it would empty its target.
    OwnedKey top(OpenSubHandle(path, REG_OPTION_OPEN_LINK));
    if (!top) {
        const ResolvedPath p = Resolve(path);
        const SteppedPath at(p.base, p.stripped, false);
        return at.reached() && RegDeleteKeyA(at.base(), at.last()) == ERROR_SUCCESS;
    }
    // From the last index down: a deleted subkey never shifts those still to come.
    // Keys below one that may go may all go, so they need no check of their own.
    std::vector<SubkeyCursor> stack;
    stack.emplace_back(std::move(top), true);
    std::string name;
    for (;;) {
        SubkeyCursor &key = stack.back();
        if (key.next(name)) {
            OwnedKey child(OpenStepped(key.key(), name, REG_OPTION_OPEN_LINK));
            if (child)
                stack.emplace_back(std::move(child), true);
            else
                RegDeleteKeyA(key.key(), name.c_str()); // fails unless it has no subkeys
            continue;
        }
        // Through the handle, the very key that was emptied goes: deleting by name
        // would follow a link to its target.
        const bool deleted = RegDeleteKeyA(key.key(), "") == ERROR_SUCCESS;
        stack.pop_back();
        if (stack.empty()) return deleted;
    }
}

void TRegistry::RenameValueName(const std::string &oldName, const std::string &newName)
{
    // A new name that differs only in case is the same value: HasValue(newName) holds.
    if (!HasValue(oldName) || HasValue(newName)) return;
    // The stored bytes: through the 8-bit calls string data of odd length would
    // lose its last byte. A value without data is renamed too, as a move copies it.
    std::vector<uint8_t> bytes;
    DWORD regType = REG_NONE;
    if (!FetchStored(oldName, bytes, regType)) return;
    // Store first: if that fails the value still has its old name. A failing
    // remove afterwards leaves both names, which loses nothing.
    StoreStored(newName, bytes, regType);
    RemoveValue(oldName);
}

std::string TRegistry::WhyNotRenameValue(const std::string &oldName, const std::string &newName,
                                         bool oldThere, bool newThere) const
{
    if (newName == oldName) return {};
    // The empty name is the default value's: a rename would change what the value is.
    if (newName.empty() || oldName.empty()) return "a value name cannot be empty";
    if (SameName(oldName, newName))
        return "a name that differs only in letter case names the same value";
    if (!oldThere) return "the value is gone";
    if (newThere) return "a value named " + newName + " already exists";
    return {};
}

std::string TRegistry::WhyNotRenameValue(const std::string &oldName, const std::string &newName)
{
    return WhyNotRenameValue(oldName, newName, HasValue(oldName), HasValue(newName));
}

std::string TRegistry::RenameValue(const std::string &oldName, const std::string &newName)
{
    if (std::string why = WhyNotRenameValue(oldName, newName); !why.empty() || newName == oldName)
        return why;
    std::vector<uint8_t> bytes;
    DWORD regType = REG_NONE;
    if (!FetchStored(oldName, bytes, regType)) return "the value is gone";
    // Both names reach the files, or neither: never the value under both or none.
    quarnel::platform::ChangeUnit unit("the rename of value " + oldName + " of " +
                                       DescribeKey(std::string()));
    StoreStored(newName, bytes, regType);
    if (!RemoveValue(oldName) || !unit.commit()) return kRefusedChange;
    return {};
}

std::string TRegistry::MoveRefusal(const std::string &oldPath, const std::string &newPath,
                                   bool oldThere, bool newThere, bool deleteOld) const
{
    const std::vector<std::string> from = AbsoluteParts(oldPath), to = AbsoluteParts(newPath);
    if (from == to) return {};
    // A target that differs only in letter case is the old key itself: copying
    // onto itself and deleting the old key would lose everything in it.
    if (IsSameOrBelow(oldPath, newPath) && IsSameOrBelow(newPath, oldPath))
        return "a name that differs only in letter case names the same key";
    if (!oldThere) return "the key is gone";
    if (newThere) return "the key " + DescribeKey(newPath) + " already exists";
    // A key moved below itself would copy its own copy again and again.
    if (IsSameOrBelow(newPath, oldPath))
        return DescribeKey(newPath) + " would lie inside the key itself";
    // A key the registry never deletes cannot move: it would only be copied.
    if (deleteOld && IsHiveRoot(from))
        return "the registry never deletes " + DescribeKey(oldPath) + ", so it cannot move";
    return {};
}

std::string TRegistry::WhyNotMoveKey(const std::string &oldPath, const std::string &newPath,
                                     bool oldThere, bool newThere)
{
    if (std::string why = MoveRefusal(oldPath, newPath, oldThere, newThere, true); !why.empty())
        return why;
    if (oldThere && !IsLink(oldPath))
        if (const OwnedKey source(OpenSubHandle(oldPath));
            source && SubtreeDepth(source.get(), kMaxCopyDepth) > kMaxCopyDepth)
            return kTooDeep;
    return {};
}

std::string TRegistry::WhyNotMoveKey(const std::string &oldPath, const std::string &newPath)
{
    return WhyNotMoveKey(oldPath, newPath, HasKey(oldPath), HasKey(newPath));
}

std::string TRegistry::MoveKey(const std::string &oldPath, const std::string &newPath)
{
    return Relocate(oldPath, newPath, true);
}

void TRegistry::RelocateKey(const std::string &oldPath, const std::string &newPath, bool deleteOld)
{
    Relocate(oldPath, newPath, deleteOld);
}

std::string TRegistry::Relocate(const std::string &oldPath, const std::string &newPath,
                                bool deleteOld)
{
    if (std::string why =
            MoveRefusal(oldPath, newPath, HasKey(oldPath), HasKey(newPath), deleteOld);
        !why.empty() || AbsoluteParts(oldPath) == AbsoluteParts(newPath))
        return why;
    if (IsLink(oldPath)) {
        // A link moves as itself; what it leads to stays where it is.
        const OwnedKey link(OpenSubHandle(oldPath, REG_OPTION_OPEN_LINK));
        const OwnedKey made(link ? CreateLinkHandle(newPath) : nullptr);
        if (!made) return kRefusedChange;
        CopyAllValues(link.get(), made.get());
        if (deleteOld && !DeleteTree(oldPath)) return kRefusedChange;
        return {};
    }
    const OwnedKey source(OpenSubHandle(oldPath));
    if (!source) return "the key does not open";
    // The new key appears whole with the old one gone, or nothing changes; a
    // move cut short half-way goes back whole.
    quarnel::platform::ChangeUnit unit("the move of " + DescribeKey(oldPath) + " to " +
                                       DescribeKey(newPath));
    // Before anything is created: a tree too deep to copy changes nothing.
    const unsigned depth = SubtreeDepth(source.get(), kMaxCopyDepth);
    if (depth > kMaxCopyDepth) return kTooDeep;
    const std::string created = FirstMissingKey(newPath);
    CreatePath(newPath);
    const OwnedKey target(OpenSubHandle(newPath));
    if (!target) return kRefusedChange;
    CopyAllValues(source.get(), target.get());
    if (!CopySubtree(source.get(), target.get(), depth)) {
        // The new key lies inside the old one, reached through a link: the copy
        // would copy itself without end. What it made goes again.
        if (!created.empty()) DeleteTree(created);
        return DescribeKey(newPath) + " would lie inside the key itself";
    }
    if (deleteOld && !DeleteTree(oldPath)) return kRefusedChange;
    // target closes before source as the owners leave scope.
    return unit.commit() ? std::string() : kRefusedChange;
}

TRegistry::TreeCount TRegistry::CountTree(const std::string &path)
{
    TreeCount count;
    const auto valuesOf = [](HKEY key) {
        DWORD values = 0;
        RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                         nullptr, nullptr, nullptr, nullptr);
        return values;
    };
    // Opened as DeleteTree opens them: a link goes itself, what it leads to stays.
    OwnedKey top(OpenSubHandle(path, REG_OPTION_OPEN_LINK));
    if (!top) return count;
    count.values = valuesOf(top.get());
    if (IsLink(path)) return count;
    WalkBelow(top.get(), [&](HKEY child, unsigned) {
        ++count.subkeys;
        count.values += valuesOf(child);
        return true;
    });
    return count;
}

std::string TRegistry::FirstMissingKey(const std::string &path) const
{
    std::string prefix;
    HKEY at = m_rootHandle;
    OwnedKey owned(nullptr);
    for (const std::string &name : AbsoluteParts(path)) {
        prefix += '\\';
        prefix += name;
        HKEY next = nullptr;
        if (RegOpenKeyExA(at, name.c_str(), 0, 0, &next) != ERROR_SUCCESS) return prefix;
        owned = OwnedKey(next);
        at = next;
    }
    return {};
}

unsigned TRegistry::SubtreeDepth(HKEY key, unsigned limit) const
{
    unsigned deepest = 0;
    WalkBelow(key, [&](HKEY, unsigned depth) {
        deepest = std::max(deepest, depth);
        return deepest <= limit;
    });
    return deepest;
}

void TRegistry::WalkBelow(HKEY key, const std::function<bool(HKEY, unsigned)> &visit) const
{
    std::vector<SubkeyCursor> stack;
    stack.emplace_back(key, false);
    std::string name;
    while (!stack.empty()) {
        if (!stack.back().next(name)) {
            stack.pop_back();
            continue;
        }
        // Opened as the copy and the delete open them: a link as itself, not entered.
        OwnedKey child(OpenStepped(stack.back().key(), name, REG_OPTION_OPEN_LINK));
        if (!child) continue;
        if (!visit(child.get(), unsigned(stack.size()))) return;
        if (!IsLinkAt(stack.back().key(), name, child.get()))
            stack.emplace_back(std::move(child), false);
    }
}

void TRegistry::CopyAllValues(HKEY source, HKEY target)
{
    const KeySwitch into(*this, source);
    TKeyInfoRec info;
    if (!QueryKeyInfo(info)) return;
    CopyOneValue(source, target, std::string()); // the default value
    const uint32_t bufferSize = NameBufferSize(info.MaxValueNameLen);
    std::string name(bufferSize, '\0');
    for (uint32_t i = 0; i < info.ValueCount; ++i) {
        DWORD length = bufferSize;
        if (RegEnumValueA(source, i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) ==
            ERROR_SUCCESS)
            CopyOneValue(source, target, std::string(name.data(), length));
    }
}

void TRegistry::CopyOneValue(HKEY source, HKEY target, const std::string &name)
{
    const KeySwitch fromSource(*this, source);
    // The stored bytes, as in a rename. A value without data is a value too (a
    // REG_NONE marker, an empty REG_SZ): copied with its type and no bytes.
    std::vector<uint8_t> bytes;
    DWORD regType = REG_NONE;
    if (!FetchStored(name, bytes, regType))
        return; // missing (a key without a default value keeps having none)
    const KeySwitch toTarget(*this, target);
    StoreStored(name, bytes, regType);
}

void TRegistry::CopyLink(HKEY link, HKEY targetParent, const std::string &name)
{
    HKEY made = nullptr;
    if (RegCreateKeyExA(targetParent, name.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK, kAllAccess,
                        nullptr, &made, nullptr) != ERROR_SUCCESS)
        return;
    const OwnedKey owned(made);
    CopyAllValues(link, made);
}

bool TRegistry::CopySubtree(HKEY source, HKEY target, unsigned maxDepth)
{
    struct Level
    {
        SubkeyCursor source;
        OwnedKey ownedTarget;
        HKEY target;
    };
    std::vector<Level> stack;
    stack.push_back({SubkeyCursor(source, false), OwnedKey(nullptr), target});
    std::string name;
    while (!stack.empty()) {
        Level &level = stack.back();
        if (!level.source.next(name)) {
            stack.pop_back();
            continue;
        }
        OwnedKey sourceChild(OpenStepped(level.source.key(), name, REG_OPTION_OPEN_LINK));
        if (!sourceChild) continue;
        // Deeper than the source was before the copy began: the copy is inside it.
        if (stack.size() > maxDepth) return false;
        if (IsLinkAt(level.source.key(), name, sourceChild.get())) {
            CopyLink(sourceChild.get(), level.target, name);
            continue;
        }
        OwnedKey targetChild([&] {
            const KeySwitch toTarget(*this, level.target);
            CreatePath(name);
            return OpenSubHandle(name);
        }());
        if (!targetChild) continue;
        CopyAllValues(sourceChild.get(), targetChild.get());
        const HKEY newTarget = targetChild.get();
        stack.push_back(
            {SubkeyCursor(std::move(sourceChild), false), std::move(targetChild), newTarget});
    }
    return true;
}
