// The registry object's edits that change more than one key or value: deleting
// a tree, renaming a value and moving a key. The platform has no recursive
// delete, copy or rename, so they are built from the object's basic operations.
// While they run they point KeyHandle at handles of their own; KeySwitch and
// OwnedKey undo that and close those handles on every way out, exceptions included.
#include "PathSteps.h"
#include "TRegistry.h"

#ifndef _WIN32
#include "platform/RegText.h"
#endif

#include <cstdint>
#include <string>
#include <vector>

namespace {

// The registry cannot hold keys deeper than this; a copy that gets there is
// copying into itself (through a link, say) and would otherwise never end.
constexpr unsigned kMaxCopyDepth = 512;

// A handle the operation opened itself; closed when the step ends.
class OwnedKey
{
public:
    explicit OwnedKey(HKEY handle) : m_handle(handle) {}
    ~OwnedKey()
    {
        if (m_handle)
            RegCloseKey(m_handle);
    }
    OwnedKey(const OwnedKey &) = delete;
    OwnedKey &operator=(const OwnedKey &) = delete;
    HKEY get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }

private:
    HKEY m_handle;
};

std::vector<std::string> SplitPath(const std::string &path, std::vector<std::string> parts = {})
{
    // Empty parts fall away, as the registry ignores doubled and trailing separators.
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string::npos)
            end = path.size();
        if (end > start)
            parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

// Key names compare as the registry compares them: case-insensitively, also
// beyond ASCII, or a move into "a" below "A" would not be seen as one into itself.
bool SameKeyName(const std::string &a, const std::string &b)
{
#ifdef _WIN32
    auto wide = [](const std::string &s) {
        const int n = MultiByteToWideChar(CP_ACP, 0, s.data(), int(s.size()), nullptr, 0);
        std::wstring w(std::size_t(n > 0 ? n : 0), L'\0');
        if (n > 0)
            MultiByteToWideChar(CP_ACP, 0, s.data(), int(s.size()), w.data(), n);
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
    if (p.relative && m_keyHandle)
        parts = SplitPath(m_keyPath);
    return SplitPath(p.stripped, std::move(parts));
}

bool TRegistry::IsSameOrBelow(const std::string &inner, const std::string &outer) const
{
    const std::vector<std::string> in = AbsoluteParts(inner), out = AbsoluteParts(outer);
    if (in.size() < out.size())
        return false;
    for (std::size_t i = 0; i < out.size(); ++i)
        if (!SameKeyName(in[i], out[i]))
            return false;
    return true;
}

bool TRegistry::DeleteTree(const std::string &path)
{
    // The root itself is never deleted, and the registry refuses its hive roots
    // (a user's whole registry, say): emptying either first would lose everything
    // below it and still fail.
    const std::vector<std::string> names = AbsoluteParts(path);
    if (names.empty() || IsHiveRoot(names))
        return false;
    return DeleteSubtree(path);
}

bool TRegistry::DeleteSubtree(const std::string &path)
{
    {
        // A symbolic link is deleted itself; following it would empty its target.
        const OwnedKey key(OpenSubHandle(path, REG_OPTION_OPEN_LINK));
        if (key) {
            const KeySwitch into(*this, key.get());
            TKeyInfoRec info;
            if (QueryKeyInfo(info)) {
                const uint32_t bufferSize = NameBufferSize(info.MaxSubkeyNameLen);
                std::string name(bufferSize, '\0');
                // From the last index down: a deleted subkey never shifts those still to come.
                // Keys below one that may go may all go, so they need no check of their own.
                for (uint32_t i = info.SubkeyCount; i-- > 0;) {
                    DWORD length = bufferSize;
                    if (RegEnumKeyExA(m_keyHandle, i, name.data(), &length, nullptr, nullptr,
                                      nullptr, nullptr) == ERROR_SUCCESS)
                        DeleteSubtree(std::string(name.data(), length));
                }
            }
            // Through the handle, the very key that was emptied goes: deleting by name
            // would follow a link to its target.
            return RegDeleteKeyA(key.get(), "") == ERROR_SUCCESS;
        }
    }
    // Resolved again against the open key that is back in place.
    const ResolvedPath again = Resolve(path);
    const SteppedPath at(again.base, again.stripped, false);
    return at.reached() && RegDeleteKeyA(at.base(), at.last()) == ERROR_SUCCESS;
}

void TRegistry::RenameValueName(const std::string &oldName, const std::string &newName)
{
    // A new name that differs only in case is the same value: HasValue(newName) holds.
    if (!HasValue(oldName) || HasValue(newName))
        return;
    // The stored bytes: through the 8-bit calls string data of odd length would
    // lose its last byte.
    std::vector<uint8_t> bytes;
    DWORD regType = REG_NONE;
    if (!FetchStored(oldName, bytes, regType) || bytes.empty()) return;
    // Store first: if that fails the value still has its old name. A failing
    // remove afterwards leaves both names, which loses nothing.
    StoreStored(newName, bytes, regType);
    RemoveValue(oldName);
}

void TRegistry::RelocateKey(const std::string &oldPath, const std::string &newPath, bool deleteOld)
{
    // A target that differs only in letter case is the old key itself, so
    // HasKey(newPath) holds and the key stays as it is, contents and name: copying
    // onto itself and deleting the old key would lose everything in it.
    if (!HasKey(oldPath) || HasKey(newPath))
        return;
    // A key moved below itself would copy its own copy again and again.
    if (IsSameOrBelow(newPath, oldPath))
        return;
    // A key the registry never deletes cannot move: it would only be copied.
    if (deleteOld && IsHiveRoot(AbsoluteParts(oldPath)))
        return;
    const OwnedKey source(OpenSubHandle(oldPath));
    if (!source)
        return;
    CreatePath(newPath);
    const OwnedKey target(OpenSubHandle(newPath));
    if (!target)
        return;
    CopyAllValues(source.get(), target.get());
    CopySubtree(source.get(), target.get(), 0);
    if (deleteOld)
        DeleteTree(oldPath);
    // target closes before source as the owners leave scope.
}

void TRegistry::CopyAllValues(HKEY source, HKEY target)
{
    const KeySwitch into(*this, source);
    TKeyInfoRec info;
    if (!QueryKeyInfo(info))
        return;
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

void TRegistry::CopySubtree(HKEY source, HKEY target, unsigned depth)
{
    const KeySwitch into(*this, source);
    TKeyInfoRec info;
    if (!QueryKeyInfo(info))
        return;
    const uint32_t bufferSize = NameBufferSize(info.MaxSubkeyNameLen);
    std::string buffer(bufferSize, '\0');
    for (uint32_t i = 0; i < info.SubkeyCount; ++i) {
        DWORD length = bufferSize;
        if (RegEnumKeyExA(source, i, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            continue;
        const std::string name(buffer.data(), length);
        const OwnedKey sourceChild(OpenSubHandle(name));
        if (!sourceChild)
            continue;
        if (depth + 1 >= kMaxCopyDepth)
            throw ERegistryException("Erzeugung von Schlüssel " + name + " misslungen");
        const OwnedKey targetChild([&] {
            const KeySwitch toTarget(*this, target);
            CreatePath(name);
            return OpenSubHandle(name);
        }());
        if (!targetChild)
            continue;
        CopyAllValues(sourceChild.get(), targetChild.get());
        CopySubtree(sourceChild.get(), targetChild.get(), depth + 1);
    }
}
