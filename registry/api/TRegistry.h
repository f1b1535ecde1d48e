// The registry object: one predefined root selected, at most one key open.
// Every part of the program reads and changes the registry through it; it is
// the only caller of the Win32 registry calls (platform/winreg.h).
#pragma once

#include "registry/win32/winreg.h"

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

enum class TValueKind : uint8_t
{
    vkUnknown = 0,
    vkString = 1,
    vkExpandString = 2,
    vkBinary = 3,
    vkInteger = 4,
    vkDwordLittleEndian = 5,
    vkDwordBigEndian = 6,
    vkLink = 7,
    vkMultiString = 8,
    vkResourceList = 9,
    vkFullResourceDescriptor = 10,
    vkResourceRequirementsList = 11,
};

TValueKind KindOfRegType(DWORD regType);
DWORD RegTypeOfKind(TValueKind kind);

struct TKeyInfoRec
{
    uint32_t SubkeyCount = 0;
    uint32_t MaxSubkeyNameLen = 0;
    uint32_t ValueCount = 0;
    uint32_t MaxValueNameLen = 0;
    uint32_t MaxDataSize = 0;
    uint64_t LastWriteTime = 0;
};

struct TValueInfoRec
{
    TValueKind Kind = TValueKind::vkUnknown;
    uint32_t DataSize = 0;
    DWORD RegType = REG_NONE; // the exact registry type, also for kinds that have no own kind
};

class ERegistryException : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

class TRegistry
{
public:
    static constexpr uint32_t kAllAccess = 0x000F003F;
    static constexpr uint32_t kReadAccess = 0x00020009;

    TRegistry();
    ~TRegistry();
    TRegistry(const TRegistry &) = delete;
    TRegistry &operator=(const TRegistry &) = delete;

    HKEY KeyHandle() const { return m_keyHandle; }
    HKEY RootHandle() const { return m_rootHandle; }
    const std::string &KeyPath() const { return m_keyPath; }
    uint32_t AccessMask() const { return m_accessMask; }
    void SetAccessMask(uint32_t mask) { m_accessMask = mask; }

    void SelectRoot(HKEY root);
    bool OpenPath(const std::string &path);
    void ClosePath();
    bool CreatePath(const std::string &path);
    bool RemoveValue(const std::string &name);
    bool QueryKeyInfo(TKeyInfoRec &info);
    void ListSubkeys(std::vector<std::string> &list);
    void ListValueNames(std::vector<std::string> &list);
    bool QueryValueInfo(const std::string &name, TValueInfoRec &info);
    int QueryValueSize(const std::string &name);
    TValueKind QueryValueKind(const std::string &name);
    bool HasValue(const std::string &name);
    bool HasKey(const std::string &path);
    // The absolute path of the topmost key of `path` that does not exist: what
    // creating `path` adds. Empty when the whole path exists.
    std::string FirstMissingKey(const std::string &path) const;
    // `options` may hold REG_OPTION_OPEN_LINK to open a symbolic link itself, not its target.
    HKEY OpenSubHandle(const std::string &path, DWORD options = 0);

    // Delivers up to `size` bytes; returns the count delivered and sets `kind`.
    int FetchData(const std::string &name, void *buffer, int size, TValueKind &kind);
    void StoreData(const std::string &name, const void *bytes, int count, TValueKind kind);

    // A value's bytes as stored and its exact registry type, through the wide
    // calls: string data stays UTF-16LE, byte for byte, whatever its length.
    // False when the value does not exist; raises when it cannot be read.
    bool FetchStored(const std::string &name, std::vector<uint8_t> &bytes, DWORD &regType);
    void StoreStored(const std::string &name, const std::vector<uint8_t> &bytes, DWORD regType);
    // OpenPath for a key that may be a symbolic link: opens the link itself, not its target.
    bool OpenLinkPath(const std::string &path);

    // A value's type, size and bytes from one lookup. `bytes` keeps its room for
    // the next call, grows to fit and never shrinks; the data is its first
    // info.DataSize bytes. False when the data could not be fetched; `info` then
    // tells what QueryValueInfo does (empty when the value does not exist).
    bool FetchValue(const std::string &name, TValueInfoRec &info, std::vector<char> &bytes);

    std::string ReadText(const std::string &name);
    uint32_t ReadDword(const std::string &name);
    int ReadRaw(const std::string &name, void *buffer, int size);
    void WriteText(const std::string &name, const std::string &text);
    void WriteExpandText(const std::string &name, const std::string &text);
    void WriteMultiText(const std::string &name, const void *buffer, int count);

    // Symbolic links (LinkKeys.cpp). Whether `path`, its last name not followed,
    // names a link; a key that merely holds a "SymbolicLinkValue" is none.
    bool IsLink(const std::string &path);
    // Makes `path` a new link (the keys on the way ordinary ones) and opens it as
    // itself. False when a key is there already or the link cannot be made.
    bool CreateLinkPath(const std::string &path);

    // Compound edits (CompoundEdits.cpp).
    bool DeleteTree(const std::string &path);
    void RenameValueName(const std::string &oldName, const std::string &newName);
    void RelocateKey(const std::string &oldPath, const std::string &newPath, bool deleteOld);

    // The checked forms, for every edit that renames a value or a key: why the
    // change is refused ("a value named Dw already exists"), "" when it may go
    // ahead. WhyNot... change nothing; RenameValue and MoveKey make the change,
    // whole or not at all (the other name is never left behind), and return why
    // it did not happen. A new name equal to the old one is no change: "".
    // The forms with `oldThere`/`newThere` judge the registry as a caller expects
    // it to be by then (the replace's preview, after the rows before); the others
    // ask the registry as it is.
    std::string WhyNotRenameValue(const std::string &oldName, const std::string &newName);
    std::string WhyNotRenameValue(const std::string &oldName, const std::string &newName,
                                  bool oldThere, bool newThere) const;
    std::string RenameValue(const std::string &oldName, const std::string &newName);
    std::string WhyNotMoveKey(const std::string &oldPath, const std::string &newPath);
    std::string WhyNotMoveKey(const std::string &oldPath, const std::string &newPath, bool oldThere,
                              bool newThere);
    std::string MoveKey(const std::string &oldPath, const std::string &newPath);

    // What deleting the key at `path` with DeleteTree takes along: the keys below
    // it at every level and the values of the key and of all of them. A link
    // counts as a key with its values; what it leads to is not counted.
    struct TreeCount
    {
        uint64_t subkeys = 0;
        uint64_t values = 0;
    };
    TreeCount CountTree(const std::string &path);

private:
    struct ResolvedPath
    {
        HKEY base;
        std::string stripped;
        bool relative;
    };
    ResolvedPath Resolve(const std::string &path) const;
    // Opens with AccessMask, in steps when the path is longer than the platform takes.
    HKEY OpenStepped(HKEY base, const std::string &stripped, DWORD options) const;
    // Makes a handle opened for `p` the open key, closing the one before.
    void TakeOpenedKey(HKEY handle, const ResolvedPath &p);

    // Whether `self`, opened as itself by `stripped` from `base`, is a link.
    bool IsLinkAt(HKEY base, const std::string &stripped, HKEY self) const;
    // A new link at `path`, opened as itself; null when it cannot be made.
    HKEY CreateLinkHandle(const std::string &path) const;

    // Steps of the compound edits (CompoundEdits.cpp).
    class KeySwitch;    // puts the displaced open key back when it goes out of scope
    class SubkeyCursor; // a key on a walk's stack and the subkeys still to visit
    void CopyAllValues(HKEY source, HKEY target);
    void CopyOneValue(HKEY source, HKEY target, const std::string &name);
    // Makes `name` below `targetParent` a link with the values of `link`, a link
    // opened as itself: a move takes a link along, not what it leads to.
    void CopyLink(HKEY link, HKEY targetParent, const std::string &name);
    // False, part done, when it had to go deeper than `maxDepth` below `source`.
    bool CopySubtree(HKEY source, HKEY target, unsigned maxDepth);
    // Levels of keys below `key`, as a copy opens them; stops once past `limit`.
    unsigned SubtreeDepth(HKEY key, unsigned limit) const;
    // Every key below `key` as a copy or a delete opens it (a link as itself, never
    // entered), depth first, with its level (1 for a subkey); stops at a false.
    void WalkBelow(HKEY key, const std::function<bool(HKEY, unsigned)> &visit) const;
    // Whether `inner` names `outer` itself or a key below it, by the registry's name rules.
    bool IsSameOrBelow(const std::string &inner, const std::string &outer) const;
    // RelocateKey and MoveKey: "" when moved (or copied), else why not.
    std::string Relocate(const std::string &oldPath, const std::string &newPath, bool deleteOld);
    // The checks of a move or copy that need no walk of the tree below the key.
    std::string MoveRefusal(const std::string &oldPath, const std::string &newPath, bool oldThere,
                            bool newThere, bool deleteOld) const;
    std::vector<std::string> AbsoluteParts(const std::string &path) const;
    // The key as the user reads it: HKEY_CURRENT_USER\Software\X.
    std::string DescribeKey(const std::string &path) const;
    // Whether the key named by these names below the root is one the registry
    // never deletes: a hive root or a root above hives (HiveRoots.cpp).
    bool IsHiveRoot(const std::vector<std::string> &names) const;
    // DeleteTree after its check: every key below one that may go may go too.
    bool DeleteSubtree(const std::string &path);
    // Bytes a name buffer needs per unit that RegQueryInfoKeyA counts.
    static uint32_t NameBufferSize(uint32_t maxNameLen);
    bool CountNames(bool subkeys, DWORD &count, DWORD &maxName);

    HKEY m_keyHandle = nullptr;
    HKEY m_rootHandle = HKEY_CURRENT_USER;
    std::string m_keyPath;
    uint32_t m_accessMask = kAllAccess;
};

// How the window's handlers open a key: `reg` switched to `root` with full access,
// then `path` opened. False when it did not open.
inline bool OpenWithAllAccess(TRegistry &reg, HKEY root, const std::string &path)
{
    reg.SelectRoot(root);
    reg.SetAccessMask(TRegistry::kAllAccess);
    return reg.OpenPath(path);
}

// The data of the open key's binary, multi-string or unknown-kind value, read in
// one call into `bytes`, which grows to fit and never shrinks. Returns the data's
// size; a read that fails raises, as every read does.
std::size_t ReadRawData(TRegistry &reg, const std::string &name, std::vector<char> &bytes);

// Deletes the open key's value `name`. The default value (the empty name) is
// emptied instead, never deleted: every key keeps one.
enum class ValueRemoval
{
    Deleted,
    Emptied,
    Failed
};
ValueRemoval DeleteOrEmptyValue(TRegistry &reg, const std::string &name);
