#include "registry/api/TRegistry.h"

#include "registry/api/PathSteps.h"

#include <algorithm>
#include <cstring>

namespace {

std::string Format(const char *pattern, const std::string &arg)
{
    std::string text(pattern);
    const auto at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, arg);
    return text;
}

[[noreturn]] void Raise(const char *pattern, const std::string &arg)
{
    throw ERegistryException(Format(pattern, arg));
}

constexpr const char *kCreateFailed = "Erzeugung von Schlüssel %s misslungen";
constexpr const char *kFetchFailed = "Fehler beim Holen der Daten für '%s'";
constexpr const char *kStoreFailed = "Fehler beim Setzen der Daten für '%s'";
constexpr const char *kWrongType = "Ungültiger Datentyp für '%s'";

bool IsTextKind(TValueKind kind)
{
    return kind == TValueKind::vkString || kind == TValueKind::vkExpandString;
}

} // namespace

TValueKind KindOfRegType(DWORD regType)
{
    switch (regType) {
    case REG_SZ: return TValueKind::vkString;
    case REG_EXPAND_SZ: return TValueKind::vkExpandString;
    case REG_BINARY: return TValueKind::vkBinary;
    case REG_DWORD: return TValueKind::vkInteger;
    case REG_DWORD_BIG_ENDIAN: return TValueKind::vkDwordBigEndian;
    case REG_LINK: return TValueKind::vkLink;
    case REG_MULTI_SZ: return TValueKind::vkMultiString;
    case REG_RESOURCE_LIST: return TValueKind::vkResourceList;
    case REG_FULL_RESOURCE_DESCRIPTOR: return TValueKind::vkFullResourceDescriptor;
    case REG_RESOURCE_REQUIREMENTS_LIST: return TValueKind::vkResourceRequirementsList;
    default: return TValueKind::vkUnknown;
    }
}

DWORD RegTypeOfKind(TValueKind kind)
{
    switch (kind) {
    case TValueKind::vkString: return REG_SZ;
    case TValueKind::vkExpandString: return REG_EXPAND_SZ;
    case TValueKind::vkBinary: return REG_BINARY;
    case TValueKind::vkInteger:
    case TValueKind::vkDwordLittleEndian: return REG_DWORD;
    case TValueKind::vkDwordBigEndian: return REG_DWORD_BIG_ENDIAN;
    case TValueKind::vkLink: return REG_LINK;
    case TValueKind::vkMultiString: return REG_MULTI_SZ;
    case TValueKind::vkResourceList: return REG_RESOURCE_LIST;
    case TValueKind::vkFullResourceDescriptor: return REG_FULL_RESOURCE_DESCRIPTOR;
    case TValueKind::vkResourceRequirementsList: return REG_RESOURCE_REQUIREMENTS_LIST;
    case TValueKind::vkUnknown: break;
    }
    return REG_NONE;
}

TRegistry::TRegistry() = default;

TRegistry::~TRegistry()
{
    ClosePath();
}

TRegistry::ResolvedPath TRegistry::Resolve(const std::string &path) const
{
    const bool relative = path.empty() || path[0] != '\\';
    return {relative && m_keyHandle ? m_keyHandle : m_rootHandle, relative ? path : path.substr(1),
            relative};
}

uint32_t TRegistry::NameBufferSize(uint32_t maxNameLen)
{
#ifdef _WIN32
    // Double-byte code pages take up to two bytes per character.
    return maxNameLen * 2 + 1;
#else
    // UTF-8 takes up to three bytes per UTF-16 unit.
    return maxNameLen * 3 + 1;
#endif
}

void TRegistry::SelectRoot(HKEY root)
{
    if (root == m_rootHandle) return;
    ClosePath();
    m_rootHandle = root;
}

bool TRegistry::OpenPath(const std::string &path)
{
    const ResolvedPath p = Resolve(path);
    HKEY handle = OpenStepped(p.base, p.stripped, 0);
    if (!handle) return false;
    TakeOpenedKey(handle, p);
    return true;
}

void TRegistry::TakeOpenedKey(HKEY handle, const ResolvedPath &p)
{
    // Extended in place: keys entered one name at a time, thousands deep, would
    // otherwise copy the whole path at every step.
    if (p.relative && m_keyHandle) {
        m_keyPath += '\\';
        m_keyPath += p.stripped;
    } else {
        m_keyPath = p.stripped;
    }
    if (m_keyHandle) RegCloseKey(m_keyHandle);
    m_keyHandle = handle;
}

void TRegistry::ClosePath()
{
    if (!m_keyHandle) return;
    RegCloseKey(m_keyHandle);
    m_keyHandle = nullptr;
    m_keyPath.clear();
}

bool TRegistry::CreatePath(const std::string &path)
{
    const ResolvedPath p = Resolve(path);
    const SteppedPath at(p.base, p.stripped, true);
    HKEY handle = nullptr;
    DWORD disposition = 0;
    if (!at.reached() ||
        RegCreateKeyExA(at.base(), at.last(), 0, nullptr, REG_OPTION_NON_VOLATILE, kAllAccess,
                        nullptr, &handle, &disposition) != ERROR_SUCCESS)
        Raise(kCreateFailed, path);
    RegCloseKey(handle);
    return true;
}

bool TRegistry::RemoveValue(const std::string &name)
{
    return RegDeleteValueA(m_keyHandle, name.c_str()) == ERROR_SUCCESS;
}

bool TRegistry::QueryKeyInfo(TKeyInfoRec &info)
{
    info = TKeyInfoRec{};
    DWORD subkeys = 0, maxSubkey = 0, values = 0, maxValueName = 0, maxData = 0;
    FILETIME written{};
    if (RegQueryInfoKeyA(m_keyHandle, nullptr, nullptr, nullptr, &subkeys, &maxSubkey, nullptr,
                         &values, &maxValueName, &maxData, nullptr, &written) != ERROR_SUCCESS)
        return false;
    info.SubkeyCount = subkeys;
    info.MaxSubkeyNameLen = maxSubkey;
    info.ValueCount = values;
    info.MaxValueNameLen = maxValueName;
    info.MaxDataSize = maxData;
    info.LastWriteTime = (uint64_t(written.dwHighDateTime) << 32) | written.dwLowDateTime;
    return true;
}

namespace {

// Enumerates `count` names with one buffer of `bufferSize` bytes; an index whose
// enumeration fails adds nothing.
template <typename Enumerate>
void ListNames(std::vector<std::string> &list, uint32_t count, uint32_t bufferSize,
               Enumerate enumerate)
{
    std::string buffer(bufferSize, '\0');
    list.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        DWORD length = bufferSize;
        if (enumerate(i, buffer.data(), &length) == ERROR_SUCCESS)
            list.emplace_back(buffer.data(), length);
    }
}

} // namespace

// How many subkeys (or values) the open key has and the longest name among them;
// only what a list needs: the other counts make the call visit every value too.
bool TRegistry::CountNames(bool subkeys, DWORD &count, DWORD &maxName)
{
    count = maxName = 0;
    DWORD *const none = nullptr;
    return RegQueryInfoKeyA(m_keyHandle, nullptr, nullptr, nullptr, subkeys ? &count : none,
                            subkeys ? &maxName : none, nullptr, subkeys ? none : &count,
                            subkeys ? none : &maxName, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

void TRegistry::ListSubkeys(std::vector<std::string> &list)
{
    list.clear();
    DWORD count, maxName;
    if (!CountNames(true, count, maxName)) return;
    ListNames(list, count, NameBufferSize(maxName), [this](DWORD i, LPSTR name, LPDWORD length) {
        return RegEnumKeyExA(m_keyHandle, i, name, length, nullptr, nullptr, nullptr, nullptr);
    });
}

void TRegistry::ListValueNames(std::vector<std::string> &list)
{
    list.clear();
    DWORD count, maxName;
    if (!CountNames(false, count, maxName)) return;
    ListNames(list, count, NameBufferSize(maxName), [this](DWORD i, LPSTR name, LPDWORD length) {
        return RegEnumValueA(m_keyHandle, i, name, length, nullptr, nullptr, nullptr, nullptr);
    });
}

bool TRegistry::QueryValueInfo(const std::string &name, TValueInfoRec &info)
{
    info = TValueInfoRec{};
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(m_keyHandle, name.c_str(), nullptr, &type, nullptr, &size) !=
        ERROR_SUCCESS)
        return false;
    info.Kind = KindOfRegType(type);
    info.DataSize = size;
    info.RegType = type;
    return true;
}

int TRegistry::QueryValueSize(const std::string &name)
{
    TValueInfoRec info;
    return QueryValueInfo(name, info) ? static_cast<int>(info.DataSize) : -1;
}

TValueKind TRegistry::QueryValueKind(const std::string &name)
{
    TValueInfoRec info;
    QueryValueInfo(name, info);
    return info.Kind;
}

bool TRegistry::HasValue(const std::string &name)
{
    TValueInfoRec info;
    return QueryValueInfo(name, info);
}

bool TRegistry::HasKey(const std::string &path)
{
    const uint32_t saved = m_accessMask;
    m_accessMask = kReadAccess;
    HKEY handle = OpenSubHandle(path); // never throws
    m_accessMask = saved;
    if (handle) RegCloseKey(handle);
    return handle != nullptr;
}

HKEY TRegistry::OpenSubHandle(const std::string &path, DWORD options)
{
    const ResolvedPath p = Resolve(path);
    return OpenStepped(p.base, p.stripped, options);
}

HKEY TRegistry::OpenStepped(HKEY base, const std::string &stripped, DWORD options) const
{
    const SteppedPath at(base, stripped, false);
    HKEY handle = nullptr;
    if (!at.reached() ||
        RegOpenKeyExA(at.base(), at.last(), options, m_accessMask, &handle) != ERROR_SUCCESS)
        return nullptr;
    return handle;
}

int TRegistry::FetchData(const std::string &name, void *buffer, int size, TValueKind &kind)
{
    DWORD regType = REG_NONE;
    DWORD count = size < 0 ? 0 : static_cast<DWORD>(size);
    if (RegQueryValueExA(m_keyHandle, name.c_str(), nullptr, &regType, static_cast<LPBYTE>(buffer),
                         &count) != ERROR_SUCCESS)
        Raise(kFetchFailed, name);
    kind = KindOfRegType(regType);
    return static_cast<int>(count);
}

void TRegistry::StoreData(const std::string &name, const void *bytes, int count, TValueKind kind)
{
    if (count < 0 || RegSetValueExA(m_keyHandle, name.c_str(), 0, RegTypeOfKind(kind),
                                    static_cast<const BYTE *>(bytes),
                                    static_cast<DWORD>(count)) != ERROR_SUCCESS)
        Raise(kStoreFailed, name);
}

bool TRegistry::FetchValue(const std::string &name, TValueInfoRec &info, std::vector<char> &bytes)
{
    info = TValueInfoRec{};
    // A walk reads every value once: info, size and data each by its own lookup
    // would find the value three times.
    constexpr std::size_t kFirstRoom = 256;
    if (bytes.size() < kFirstRoom) bytes.resize(kFirstRoom);
    // Twice at most: the data cannot grow between the two calls of one thread.
    for (int attempt = 0; attempt < 2; ++attempt) {
        DWORD type = REG_NONE;
        DWORD count = static_cast<DWORD>(bytes.size());
        const LONG rc = RegQueryValueExA(m_keyHandle, name.c_str(), nullptr, &type,
                                         reinterpret_cast<LPBYTE>(bytes.data()), &count);
        if (rc == ERROR_MORE_DATA && count > bytes.size()) {
            bytes.resize(count);
            continue;
        }
        if (rc != ERROR_SUCCESS) break;
        info.Kind = KindOfRegType(type);
        info.DataSize = count;
        info.RegType = type;
        return true;
    }
    QueryValueInfo(name, info);
    return false;
}

std::string TRegistry::ReadText(const std::string &name)
{
    const int size = QueryValueSize(name);
    if (size <= 0) return std::string();
    std::string text(static_cast<std::size_t>(size), '\0');
    TValueKind kind;
    const int count = FetchData(name, text.data(), size, kind);
    if (!IsTextKind(kind)) Raise(kWrongType, name);
    text.resize(static_cast<std::size_t>(count));
    const auto nul = text.find('\0');
    if (nul != std::string::npos) text.resize(nul);
    return text;
}

uint32_t TRegistry::ReadDword(const std::string &name)
{
    // A REG_DWORD shorter than four bytes reads its missing bytes as zero.
    unsigned char bytes[4] = {0, 0, 0, 0};
    TValueKind kind;
    FetchData(name, bytes, sizeof bytes, kind);
    if (kind != TValueKind::vkInteger) Raise(kWrongType, name);
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
           uint32_t(bytes[3]) << 24;
}

int TRegistry::ReadRaw(const std::string &name, void *buffer, int size)
{
    TValueInfoRec info;
    if (!QueryValueInfo(name, info)) return 0;
    const bool rawKind = info.Kind == TValueKind::vkBinary || info.Kind == TValueKind::vkUnknown ||
                         info.Kind == TValueKind::vkMultiString;
    if (!rawKind || size < 0 || info.DataSize > static_cast<uint32_t>(size))
        Raise(kWrongType, name);
    TValueKind kind;
    FetchData(name, buffer, size, kind);
    return static_cast<int>(info.DataSize);
}

void TRegistry::WriteText(const std::string &name, const std::string &text)
{
    StoreData(name, text.c_str(), static_cast<int>(text.size() + 1), TValueKind::vkString);
}

void TRegistry::WriteExpandText(const std::string &name, const std::string &text)
{
    StoreData(name, text.c_str(), static_cast<int>(text.size() + 1), TValueKind::vkExpandString);
}

void TRegistry::WriteMultiText(const std::string &name, const void *buffer, int count)
{
    StoreData(name, buffer, count, TValueKind::vkMultiString);
}

bool TRegistry::OpenLinkPath(const std::string &path)
{
    const HKEY handle = OpenSubHandle(path, REG_OPTION_OPEN_LINK);
    if (!handle) return false;
    TakeOpenedKey(handle, Resolve(path));
    return true;
}

std::size_t ReadRawData(TRegistry &reg, const std::string &name, std::vector<char> &bytes)
{
    const int size = std::max(reg.QueryValueSize(name), 0);
    if (bytes.size() < std::size_t(size)) bytes.resize(std::size_t(size));
    const int count = reg.ReadRaw(name, size > 0 ? bytes.data() : nullptr, size);
    return std::size_t(std::clamp(count, 0, size));
}

ValueRemoval DeleteOrEmptyValue(TRegistry &reg, const std::string &name)
{
    if (name.empty()) {
        reg.WriteText(std::string(), std::string());
        return ValueRemoval::Emptied;
    }
    return reg.RemoveValue(name) ? ValueRemoval::Deleted : ValueRemoval::Failed;
}
