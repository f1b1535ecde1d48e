// The display vocabulary shared by the result list and the registry browser.
#pragma once

#include "registry/api/TRegistry.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::string_view kStandardName = "(Standard)";
inline constexpr std::string_view kValueNotSet = "(Value not set)";
inline constexpr std::string_view kMyComputer = "My Computer";

// Image indexes in the shared image list.
enum ImageIndex : int
{
    kImageComputer = 0,
    kImageClosedFolder = 1,
    kImageOpenFolder = 2,
    kImageTextValue = 3,
    kImageBinaryValue = 4,
};

// The registry type's name, as the lists show it: "REG_SZ" ... "REG_QWORD";
// "REG_UNKNOWN" for a type without a name (the lists keep a handful of type texts).
std::string_view TypeText(DWORD regType);
// The name where the type has one, else its number: "type 0x1234".
std::string TypeTextOrNumber(DWORD regType);
int ValueImageIndex(DWORD regType);
// REG_SZ and REG_EXPAND_SZ: one text, shown and searched up to its first NUL.
inline bool IsTextKind(TValueKind kind)
{
    return kind == TValueKind::vkString || kind == TValueKind::vkExpandString;
}

// The bytes (at most eight) as one unsigned number, the first byte the lowest
// unless `bigEndian`.
uint64_t NumberOfBytes(std::string_view bytes, bool bigEndian);
// Eight upper-case hex digits, unsigned: 255 gives 000000FF.
std::string DwordText(uint32_t value);
// Sixteen upper-case hex digits, unsigned.
std::string QwordText(uint64_t value);
// Every byte as two upper-case hex digits and a blank.
std::string BinaryText(const void *bytes, std::size_t size);
// The Value cell of a value that is neither a string nor a multi-string, as the
// value list and the result list show it: a REG_DWORD as DwordText (missing bytes
// of a short one read as zero), a REG_DWORD_BIG_ENDIAN of four bytes and a
// REG_QWORD of eight as their number, everything else as BinaryText.
std::string OtherValueText(DWORD regType, std::string_view bytes);
// Every entry followed by one blank.
std::string MultiStringText(const std::vector<std::string> &entries);
// The text of a string value, "(Value not set)" when it is empty.
std::string StringValueText(const std::string &text);

// "My Computer\" + root name + node path (a backslash before each key name).
std::string PathDisplayText(std::string_view rootName, std::string_view nodePath);
