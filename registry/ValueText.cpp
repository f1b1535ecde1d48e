#include "registry/ValueText.h"

#include <algorithm>

std::string_view TypeText(TValueKind kind)
{
    switch (kind) {
    case TValueKind::vkString: return "REG_SZ";
    case TValueKind::vkExpandString: return "REG_EXPAND_SZ";
    case TValueKind::vkInteger: return "REG_DWORD";
    case TValueKind::vkBinary: return "REG_BINARY";
    case TValueKind::vkMultiString: return "REG_MULTI_SZ";
    default: return "REG_UNKNOWN";
    }
}

int ValueImageIndex(TValueKind kind)
{
    return IsTextKind(kind) ? kImageTextValue : kImageBinaryValue;
}

namespace {
constexpr char kHexDigits[] = "0123456789ABCDEF";
}

std::string DwordText(uint32_t value)
{
    std::string text(8, '0');
    for (int i = 7; i >= 0; --i, value >>= 4)
        text[static_cast<std::size_t>(i)] = kHexDigits[value & 0xF];
    return text;
}

std::string BinaryText(const void *bytes, std::size_t size)
{
    std::string text;
    text.reserve(size * 3);
    const auto *p = static_cast<const unsigned char *>(bytes);
    for (std::size_t i = 0; i < size; ++i) {
        text.push_back(kHexDigits[p[i] >> 4]);
        text.push_back(kHexDigits[p[i] & 0xF]);
        text.push_back(' ');
    }
    return text;
}

std::string OtherValueText(TValueKind kind, std::string_view bytes)
{
    switch (kind) {
    case TValueKind::vkInteger: {
        uint32_t value = 0;
        for (std::size_t i = std::min<std::size_t>(bytes.size(), 4); i-- > 0;)
            value = value << 8 | static_cast<unsigned char>(bytes[i]);
        return DwordText(value);
    }
    case TValueKind::vkBinary: return BinaryText(bytes.data(), bytes.size());
    default: return std::string(kNotImplemented);
    }
}

std::string MultiStringText(const std::vector<std::string> &entries)
{
    std::string text;
    for (const std::string &entry : entries) {
        text += entry;
        text += ' ';
    }
    return text;
}

std::string StringValueText(const std::string &text)
{
    return text.empty() ? std::string(kValueNotSet) : text;
}

std::string PathDisplayText(std::string_view rootName, std::string_view nodePath)
{
    std::string text(kMyComputer);
    text += '\\';
    text += rootName;
    text += nodePath;
    return text;
}
