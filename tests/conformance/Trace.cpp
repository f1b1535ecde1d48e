#include "tests/conformance/Trace.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace conformance {

const Key HKCR{HKEY_CLASSES_ROOT, "HKCR"};
const Key HKCU{HKEY_CURRENT_USER, "HKCU"};
const Key HKLM{HKEY_LOCAL_MACHINE, "HKLM"};
const Key HKU{HKEY_USERS, "HKU"};
const Key HKPD{HKEY_PERFORMANCE_DATA, "HKPD"};
const Key HKCC{HKEY_CURRENT_CONFIG, "HKCC"};
const Key HKDD{HKEY_DYN_DATA, "HKDD"};
const Key NullKey{nullptr, "null"};
const Key BogusKey{reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x0BAD0000u)), "bogus"};

namespace {

// Out-values start as these, so a value the call left alone shows as "-".
constexpr DWORD kUnset = 0xCCCCCCCCu;
constexpr unsigned char kFill = 0xCC;
const HKEY kUnsetKey = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0xC0C0C0C0u));
constexpr std::size_t kShown = 48;

int g_lines = 0;

void emit(const std::string &text)
{
    std::fputs(text.c_str(), stdout);
    std::fputc('\n', stdout);
    ++g_lines;
}

std::string num(DWORD v)
{
    return v == kUnset ? "-" : std::to_string(v);
}

std::string typeText(DWORD t)
{
    return t == kUnset ? "-" : "0x" + [&] {
        char b[16];
        std::snprintf(b, sizeof b, "%x", static_cast<unsigned>(t));
        return std::string(b);
    }();
}

std::string outKey(HKEY out, const Key &base)
{
    if (out == kUnsetKey) return "untouched";
    if (!out) return "null";
    if (out == base.h) return "same as base";
    return "handle ok";
}

std::string accessText(REGSAM access)
{
    if (access == KEY_ALL_ACCESS) return "";
    char b[32];
    std::snprintf(b, sizeof b, ", access=0x%x", static_cast<unsigned>(access));
    return b;
}

std::string fileTime(const FILETIME &ft)
{
    return (ft.dwLowDateTime == kUnset && ft.dwHighDateTime == kUnset) ? "-" : "set";
}

// A name buffer after a call: untouched, a text up to its NUL, or raw bytes.
std::string bufferText(const std::vector<char> &buf, std::size_t size)
{
    bool untouched = true;
    for (std::size_t i = 0; i < size && untouched; ++i)
        untouched = static_cast<unsigned char>(buf[i]) == kFill;
    if (untouched) return "untouched";
    const void *nul = std::memchr(buf.data(), 0, size);
    if (nul) return quote(buf.data(), static_cast<const char *>(nul) - buf.data());
    return "unterminated " + hex(buf.data(), size);
}

std::string dataText(const std::vector<unsigned char> &buf, int size)
{
    if (size < 0) return "null";
    // Bytes the call left alone are summed up at the end.
    std::size_t used = static_cast<std::size_t>(size);
    while (used > 0 && buf[used - 1] == kFill)
        --used;
    const std::size_t rest = static_cast<std::size_t>(size) - used;
    return "[" + hex(buf.data(), used) + (used && rest ? " " : "") +
           (rest ? "cc*" + std::to_string(rest) : "") + "]";
}

} // namespace

void section(const char *name)
{
    emit(std::string("== ") + name);
}

void note(const std::string &text)
{
    emit("   " + text);
}

int lineCount()
{
    return g_lines;
}

std::string quote(const char *text, std::size_t n)
{
    if (!text) return "null";
    if (n == std::string::npos) n = std::strlen(text);
    auto escape = [](unsigned char c) {
        char b[8];
        if (c == '\\' || c == '"') return std::string("\\") + static_cast<char>(c);
        if (c >= 0x20 && c < 0x7F) return std::string(1, static_cast<char>(c));
        std::snprintf(b, sizeof b, "\\x%02x", c);
        return std::string(b);
    };
    std::string out = "\"";
    if (n > kShown) {
        for (std::size_t i = 0; i < 8; ++i)
            out += escape(static_cast<unsigned char>(text[i]));
        out += "...";
        for (std::size_t i = n - 4; i < n; ++i)
            out += escape(static_cast<unsigned char>(text[i]));
        return out + "\"(" + std::to_string(n) + ")";
    }
    for (std::size_t i = 0; i < n; ++i)
        out += escape(static_cast<unsigned char>(text[i]));
    return out + "\"";
}

std::string hex(const void *data, std::size_t n)
{
    const auto *p = static_cast<const unsigned char *>(data);
    std::string out;
    const std::size_t shown = n > kShown ? kShown : n;
    for (std::size_t i = 0; i < shown; ++i) {
        char b[4];
        std::snprintf(b, sizeof b, "%s%02x", i ? " " : "", p[i]);
        out += b;
    }
    if (shown < n) out += " ...(" + std::to_string(n) + ")";
    return out;
}

Key createKey(const Key &base, const char *sub, const std::string &label, const CreateArgs &a)
{
    HKEY out = kUnsetKey;
    DWORD disposition = kUnset;
    const LONG rc = RegCreateKeyExA(base.h, sub, a.reserved, const_cast<LPSTR>(a.cls), a.options,
                                    a.access, nullptr, a.nullOut ? nullptr : &out,
                                    a.nullDisposition ? nullptr : &disposition);
    emit("RegCreateKeyExA(" + base.label + ", " + quote(sub) +
         ", reserved=" + std::to_string(a.reserved) + ", class=" + quote(a.cls) + ", options=" +
         std::to_string(a.options) + accessText(a.access) + (a.nullOut ? ", out=null" : "") +
         ") = " + std::to_string(rc) + (a.nullOut ? "" : " key=" + outKey(out, base)) +
         (a.nullDisposition ? "" : " disposition=" + num(disposition)));
    return Key{rc == ERROR_SUCCESS && !a.nullOut ? out : nullptr, label};
}

Key openKey(const Key &base, const char *sub, const std::string &label, const OpenArgs &a)
{
    HKEY out = kUnsetKey;
    const LONG rc = RegOpenKeyExA(base.h, sub, a.options, a.access, a.nullOut ? nullptr : &out);
    emit("RegOpenKeyExA(" + base.label + ", " + quote(sub) + ", options=" +
         std::to_string(a.options) + accessText(a.access) + (a.nullOut ? ", out=null" : "") +
         ") = " + std::to_string(rc) + (a.nullOut ? "" : " key=" + outKey(out, base)));
    return Key{rc == ERROR_SUCCESS && !a.nullOut ? out : nullptr, label};
}

LONG closeKey(const Key &key)
{
    const LONG rc = RegCloseKey(key.h);
    emit("RegCloseKey(" + key.label + ") = " + std::to_string(rc));
    return rc;
}

LONG deleteKey(const Key &base, const char *sub)
{
    const LONG rc = RegDeleteKeyA(base.h, sub);
    emit("RegDeleteKeyA(" + base.label + ", " + quote(sub) + ") = " + std::to_string(rc));
    return rc;
}

LONG deleteValue(const Key &key, const char *name)
{
    const LONG rc = RegDeleteValueA(key.h, name);
    emit("RegDeleteValueA(" + key.label + ", " + quote(name) + ") = " + std::to_string(rc));
    return rc;
}

LONG setValue(const Key &key, const char *name, DWORD type, const void *data, DWORD count)
{
    const LONG rc = RegSetValueExA(key.h, name, 0, type, static_cast<const BYTE *>(data), count);
    emit("RegSetValueExA(" + key.label + ", " + quote(name) + ", type=" + typeText(type) +
         ", data=" + (data ? "[" + hex(data, count) + "]" : "null") +
         ", count=" + std::to_string(count) + ") = " + std::to_string(rc));
    return rc;
}

LONG queryValue(const Key &key, const char *name, const QueryArgs &a)
{
    std::vector<unsigned char> buf(a.buffer < 0 ? 1 : static_cast<std::size_t>(a.buffer) + 1,
                                   kFill);
    DWORD type = kUnset;
    DWORD count = a.buffer < 0 ? kUnset : static_cast<DWORD>(a.buffer);
    DWORD reserved = 0;
    const LONG rc = RegQueryValueExA(
        key.h, name, a.reserved ? &reserved : nullptr, a.withType ? &type : nullptr,
        a.buffer < 0 ? nullptr : buf.data(), a.withCount ? &count : nullptr);
    emit("RegQueryValueExA(" + key.label + ", " + quote(name) +
         ", buffer=" + (a.buffer < 0 ? std::string("null") : std::to_string(a.buffer)) +
         (a.withType ? "" : ", type=null") + (a.withCount ? "" : ", count=null") +
         (a.reserved ? ", reserved=set" : "") + ") = " + std::to_string(rc) +
         (a.withType ? " type=" + typeText(type) : "") +
         (a.withCount ? " count=" + num(count) : "") +
         (a.buffer < 0 ? "" : " data=" + dataText(buf, a.buffer + 1)));
    return rc;
}

WideName wide(const char16_t *text)
{
    WideName out;
    for (; *text; ++text)
        out.push_back(static_cast<WCHAR>(*text));
    return out;
}

namespace {

std::string quoteWide(const WCHAR *text)
{
    if (!text) return "null";
    std::string out = "L\"";
    for (; *text; ++text) {
        const auto unit = static_cast<unsigned>(*text);
        char b[8];
        if (unit == '\\' || unit == '"')
            out += std::string("\\") + static_cast<char>(unit);
        else if (unit >= 0x20 && unit < 0x7F)
            out += static_cast<char>(unit);
        else {
            std::snprintf(b, sizeof b, "\\u%04x", unit);
            out += b;
        }
    }
    return out + "\"";
}

} // namespace

LONG setValueW(const Key &key, const WCHAR *name, DWORD type, const void *data, DWORD count)
{
    const LONG rc = RegSetValueExW(key.h, name, 0, type, static_cast<const BYTE *>(data), count);
    emit("RegSetValueExW(" + key.label + ", " + quoteWide(name) + ", type=" + typeText(type) +
         ", data=" + (data ? "[" + hex(data, count) + "]" : "null") +
         ", count=" + std::to_string(count) + ") = " + std::to_string(rc));
    return rc;
}

LONG queryValueW(const Key &key, const WCHAR *name, const QueryArgs &a)
{
    std::vector<unsigned char> buf(a.buffer < 0 ? 1 : static_cast<std::size_t>(a.buffer) + 1,
                                   kFill);
    DWORD type = kUnset;
    DWORD count = a.buffer < 0 ? kUnset : static_cast<DWORD>(a.buffer);
    DWORD reserved = 0;
    const LONG rc = RegQueryValueExW(
        key.h, name, a.reserved ? &reserved : nullptr, a.withType ? &type : nullptr,
        a.buffer < 0 ? nullptr : buf.data(), a.withCount ? &count : nullptr);
    emit("RegQueryValueExW(" + key.label + ", " + quoteWide(name) +
         ", buffer=" + (a.buffer < 0 ? std::string("null") : std::to_string(a.buffer)) +
         (a.withType ? "" : ", type=null") + (a.withCount ? "" : ", count=null") +
         (a.reserved ? ", reserved=set" : "") + ") = " + std::to_string(rc) +
         (a.withType ? " type=" + typeText(type) : "") +
         (a.withCount ? " count=" + num(count) : "") +
         (a.buffer < 0 ? "" : " data=" + dataText(buf, a.buffer + 1)));
    return rc;
}

LONG queryInfo(const Key &key, const InfoArgs &a)
{
    std::vector<char> cls(a.classBuffer < 0 ? 1 : static_cast<std::size_t>(a.classBuffer) + 1,
                          static_cast<char>(kFill));
    DWORD classLen = a.classLength < 0 ? kUnset : static_cast<DWORD>(a.classLength);
    DWORD reserved = 0;
    DWORD subkeys = kUnset, maxSub = kUnset, maxClass = kUnset, values = kUnset, maxName = kUnset,
          maxData = kUnset, security = kUnset;
    FILETIME ft{kUnset, kUnset};
    const bool f = a.figures;
    const LONG rc = RegQueryInfoKeyA(
        key.h, a.classBuffer < 0 ? nullptr : cls.data(), a.classLength < 0 ? nullptr : &classLen,
        a.reserved ? &reserved : nullptr, f ? &subkeys : nullptr, f ? &maxSub : nullptr,
        f ? &maxClass : nullptr, f ? &values : nullptr, f ? &maxName : nullptr,
        f ? &maxData : nullptr, f ? &security : nullptr, f ? &ft : nullptr);
    std::string line =
        "RegQueryInfoKeyA(" + key.label +
        ", class=" + (a.classBuffer < 0 ? std::string("null") : std::to_string(a.classBuffer)) +
        ", classLen=" + (a.classLength < 0 ? std::string("null") : std::to_string(a.classLength)) +
        (a.reserved ? ", reserved=set" : "") + (f ? "" : ", figures=null") +
        ") = " + std::to_string(rc);
    if (a.classBuffer >= 0) line += " class=" + bufferText(cls, cls.size());
    if (a.classLength >= 0) line += " classLen=" + num(classLen);
    if (f)
        line += " subkeys=" + num(subkeys) + " maxSubkeyLen=" + num(maxSub) +
                " maxClassLen=" + num(maxClass) + " values=" + num(values) +
                " maxValueNameLen=" + num(maxName) + " maxValueLen=" + num(maxData) +
                " security=" + num(security) + " time=" + fileTime(ft);
    emit(line);
    return rc;
}

LONG enumKey(const Key &key, DWORD index, const EnumArgs &a)
{
    std::vector<char> name(a.nameBuffer + 1, static_cast<char>(kFill));
    std::vector<char> cls(a.classBuffer < 0 ? 1 : static_cast<std::size_t>(a.classBuffer) + 1,
                          static_cast<char>(kFill));
    DWORD nameLen = a.nameBuffer;
    DWORD classLen = a.classLength < 0 ? kUnset : static_cast<DWORD>(a.classLength);
    DWORD reserved = 0;
    FILETIME ft{kUnset, kUnset};
    const LONG rc = RegEnumKeyExA(
        key.h, index, name.data(), &nameLen, a.reserved ? &reserved : nullptr,
        a.classBuffer < 0 ? nullptr : cls.data(), a.classLength < 0 ? nullptr : &classLen, &ft);
    std::string line = "RegEnumKeyExA(" + key.label + ", " + std::to_string(index) +
                       ", nameLen=" + std::to_string(a.nameBuffer) +
                       (a.classBuffer < 0 ? "" : ", class=" + std::to_string(a.classBuffer)) +
                       (a.classLength < 0 ? "" : ", classLen=" + std::to_string(a.classLength)) +
                       (a.reserved ? ", reserved=set" : "") + ") = " + std::to_string(rc) +
                       " name=" + bufferText(name, a.nameBuffer) + " nameLen=" + num(nameLen);
    if (a.classBuffer >= 0)
        line += " class=" + bufferText(cls, static_cast<std::size_t>(a.classBuffer));
    if (a.classLength >= 0) line += " classLen=" + num(classLen);
    emit(line + " time=" + fileTime(ft));
    return rc;
}

LONG enumValue(const Key &key, DWORD index, const EnumArgs &a)
{
    std::vector<char> name(a.nameBuffer + 1, static_cast<char>(kFill));
    std::vector<unsigned char> data(
        a.dataBuffer < 0 ? 1 : static_cast<std::size_t>(a.dataBuffer) + 1, kFill);
    DWORD nameLen = a.nameBuffer;
    DWORD type = kUnset;
    DWORD count = a.dataBuffer < 0 ? kUnset : static_cast<DWORD>(a.dataBuffer);
    DWORD reserved = 0;
    const LONG rc =
        RegEnumValueA(key.h, index, name.data(), &nameLen, a.reserved ? &reserved : nullptr,
                      a.withType ? &type : nullptr, a.dataBuffer < 0 ? nullptr : data.data(),
                      a.withCount ? &count : nullptr);
    emit("RegEnumValueA(" + key.label + ", " + std::to_string(index) +
         ", nameLen=" + std::to_string(a.nameBuffer) +
         ", data=" + (a.dataBuffer < 0 ? std::string("null") : std::to_string(a.dataBuffer)) +
         (a.withType ? "" : ", type=null") + (a.withCount ? "" : ", count=null") +
         (a.reserved ? ", reserved=set" : "") + ") = " + std::to_string(rc) +
         " name=" + bufferText(name, a.nameBuffer) + " nameLen=" + num(nameLen) +
         (a.withType ? " type=" + typeText(type) : "") +
         (a.withCount ? " count=" + num(count) : "") +
         (a.dataBuffer < 0 ? "" : " data=" + dataText(data, a.dataBuffer + 1)));
    return rc;
}

void listKeys(const Key &key)
{
    for (DWORD i = 0; i < 1000; ++i)
        if (enumKey(key, i) != ERROR_SUCCESS) return;
}

void listValues(const Key &key, int dataBuffer)
{
    EnumArgs a;
    a.dataBuffer = dataBuffer;
    for (DWORD i = 0; i < 1000; ++i)
        if (enumValue(key, i, a) != ERROR_SUCCESS) return;
}

void removeTreeQuietly(HKEY base, const char *sub)
{
    // Links are opened as themselves, so that their own key goes, not the target.
    HKEY key = nullptr;
    if (RegOpenKeyExA(base, sub, REG_OPTION_OPEN_LINK, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    std::vector<char> name(1024);
    for (DWORD index = 0;;) {
        DWORD len = static_cast<DWORD>(name.size());
        if (RegEnumKeyExA(key, index, name.data(), &len, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        removeTreeQuietly(key, name.data());
        // A child that could not be removed is stepped over.
        DWORD again = static_cast<DWORD>(name.size());
        std::vector<char> check(name.size());
        if (RegEnumKeyExA(key, index, check.data(), &again, nullptr, nullptr, nullptr, nullptr) ==
                ERROR_SUCCESS &&
            std::strcmp(check.data(), name.data()) == 0)
            ++index;
    }
    RegDeleteKeyA(key, "");
    RegCloseKey(key);
}

} // namespace conformance
