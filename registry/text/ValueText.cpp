#include "registry/text/ValueText.h"

#include "registry/text/ValueEditText.h"

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

std::string_view namedType(DWORD regType)
{
    switch (regType) {
    case REG_NONE: return "REG_NONE";
    case REG_SZ: return "REG_SZ";
    case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    case REG_BINARY: return "REG_BINARY";
    case REG_DWORD: return "REG_DWORD";
    case REG_DWORD_BIG_ENDIAN: return "REG_DWORD_BIG_ENDIAN";
    case REG_LINK: return "REG_LINK";
    case REG_MULTI_SZ: return "REG_MULTI_SZ";
    case REG_RESOURCE_LIST: return "REG_RESOURCE_LIST";
    case REG_FULL_RESOURCE_DESCRIPTOR: return "REG_FULL_RESOURCE_DESCRIPTOR";
    case REG_RESOURCE_REQUIREMENTS_LIST: return "REG_RESOURCE_REQUIREMENTS_LIST";
    case REG_QWORD: return "REG_QWORD";
    default: return {};
    }
}

} // namespace

uint64_t NumberOfBytes(std::string_view bytes, bool bigEndian)
{
    uint64_t value = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const std::size_t at = bigEndian ? i : bytes.size() - 1 - i;
        value = value << 8 | static_cast<unsigned char>(bytes[at]);
    }
    return value;
}

std::string_view TypeText(DWORD regType)
{
    const std::string_view name = namedType(regType);
    return name.empty() ? "REG_UNKNOWN" : name;
}

std::string TypeTextOrNumber(DWORD regType)
{
    const std::string_view name = namedType(regType);
    if (!name.empty()) return std::string(name);
    return "type 0x" + ValueEditText::formatNumber(regType, true);
}

int ValueImageIndex(DWORD regType)
{
    return regType == REG_SZ || regType == REG_EXPAND_SZ ? kImageTextValue : kImageBinaryValue;
}

std::string DwordText(uint32_t value)
{
    std::string text(8, '0');
    for (int i = 7; i >= 0; --i, value >>= 4)
        text[static_cast<std::size_t>(i)] = kHexDigits[value & 0xF];
    return text;
}

std::string QwordText(uint64_t value)
{
    return DwordText(uint32_t(value >> 32)) + DwordText(uint32_t(value));
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

std::string OtherValueText(DWORD regType, std::string_view bytes)
{
    switch (regType) {
    case REG_DWORD: return DwordText(uint32_t(NumberOfBytes(bytes.substr(0, 4), false)));
    // A number of another size than its type's is no number: its bytes are shown.
    case REG_DWORD_BIG_ENDIAN:
        if (bytes.size() == 4) return DwordText(uint32_t(NumberOfBytes(bytes, true)));
        break;
    case REG_QWORD:
        if (bytes.size() == 8) return QwordText(NumberOfBytes(bytes, false));
        break;
    default: break;
    }
    return BinaryText(bytes.data(), bytes.size());
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
