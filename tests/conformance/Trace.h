// Traced wrappers around the ten registry calls. Each wrapper makes one call and
// prints one line: the call, its arguments, the return code and every out-value.
// Handle values and time stamps differ legitimately between implementations, so
// handles print by the label the case gave them and times only as "set"/"-".
#pragma once

#include "registry/win32/winreg.h"

#include <cstdint>
#include <string>

namespace conformance {

struct Key
{
    HKEY h = nullptr;
    std::string label;
};

// Predefined roots and deliberately bad handles.
extern const Key HKCR, HKCU, HKLM, HKU, HKPD, HKCC, HKDD;
extern const Key NullKey, BogusKey;

void section(const char *name);
void note(const std::string &text);
int lineCount();

// Text of up to `n` bytes (or up to the NUL when n is npos) in a readable, escaped form;
// long texts are shortened to their ends and their length.
std::string quote(const char *text, std::size_t n = std::string::npos);
std::string hex(const void *data, std::size_t n);

struct CreateArgs
{
    DWORD options = 0;
    const char *cls = nullptr;
    DWORD reserved = 0;
    bool nullOut = false;
    bool nullDisposition = false;
    REGSAM access = KEY_ALL_ACCESS;
};
Key createKey(const Key &base, const char *sub, const std::string &label, const CreateArgs &a = {});

struct OpenArgs
{
    DWORD options = 0;
    bool nullOut = false;
    REGSAM access = KEY_ALL_ACCESS;
};
Key openKey(const Key &base, const char *sub, const std::string &label, const OpenArgs &a = {});

LONG closeKey(const Key &key);
LONG deleteKey(const Key &base, const char *sub);
LONG deleteValue(const Key &key, const char *name);
LONG setValue(const Key &key, const char *name, DWORD type, const void *data, DWORD count);

// Buffer sizes of -1 mean "pass a null pointer".
struct QueryArgs
{
    int buffer = -1; // data buffer size
    bool withType = true;
    bool withCount = true;
    bool reserved = false;
};
LONG queryValue(const Key &key, const char *name, const QueryArgs &a = {});

// The wide value calls; names are UTF-16 (WCHAR is 16 bits on both sides).
using WideName = std::basic_string<WCHAR>;
WideName wide(const char16_t *text);
LONG setValueW(const Key &key, const WCHAR *name, DWORD type, const void *data, DWORD count);
LONG queryValueW(const Key &key, const WCHAR *name, const QueryArgs &a = {});

struct InfoArgs
{
    int classBuffer = -1; // class buffer size
    int classLength = -1; // the length passed in lpcchClass; -1 = null pointer
    bool figures = true;  // counts and maximum lengths
    bool reserved = false;
};
LONG queryInfo(const Key &key, const InfoArgs &a = {});

struct EnumArgs
{
    DWORD nameBuffer = 300;
    int classBuffer = -1;
    int classLength = -1;
    int dataBuffer = -1;
    bool withType = true;
    bool withCount = true;
    bool reserved = false;
};
LONG enumKey(const Key &key, DWORD index, const EnumArgs &a = {});
LONG enumValue(const Key &key, DWORD index, const EnumArgs &a = {});

// Enumerates until ERROR_NO_MORE_ITEMS (or another error), one line per index.
void listKeys(const Key &key);
void listValues(const Key &key, int dataBuffer = 64);

// Removes a tree without tracing (the scratch keys before and after the run).
void removeTreeQuietly(HKEY base, const char *sub);

} // namespace conformance
