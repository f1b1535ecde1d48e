// The display vocabulary shared by the result list and the registry browser.
#pragma once

#include "registry/TRegistry.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::string_view kStandardName = "(Standard)";
inline constexpr std::string_view kValueNotSet = "(Value not set)";
inline constexpr std::string_view kNotImplemented = "(not implemented)";
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

std::string_view TypeText(TValueKind kind);
int ValueImageIndex(TValueKind kind);
// REG_SZ and REG_EXPAND_SZ: one text, shown and searched up to its first NUL.
inline bool IsTextKind(TValueKind kind)
{
    return kind == TValueKind::vkString || kind == TValueKind::vkExpandString;
}

// Eight upper-case hex digits, unsigned: 255 gives 000000FF.
std::string DwordText(uint32_t value);
// Every byte as two upper-case hex digits and a blank.
std::string BinaryText(const void *bytes, std::size_t size);
// The Value cell of a value that is neither a string nor a multi-string, as the
// value list shows it: a REG_DWORD as DwordText (missing bytes of a short one read
// as zero), a REG_BINARY as BinaryText, any other type "(not implemented)".
std::string OtherValueText(TValueKind kind, std::string_view bytes);
// Every entry followed by one blank.
std::string MultiStringText(const std::vector<std::string> &entries);
// The text of a string value, "(Value not set)" when it is empty.
std::string StringValueText(const std::string &text);

// "My Computer\" + root name + node path (a backslash before each key name).
std::string PathDisplayText(std::string_view rootName, std::string_view nodePath);
