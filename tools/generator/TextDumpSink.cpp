#include "tools/generator/TextDumpSink.h"

#include "registry/text/ValueText.h"
#include "registry/win32/winreg.h"

#include <cstdint>
#include <cstring>

namespace quarnel::generator {

namespace {

constexpr std::size_t kFlushAt = 1 << 20;

void appendHex(std::string &out, const std::string &bytes)
{
    static const char digits[] = "0123456789abcdef";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (i) out += ',';
        out += digits[b >> 4];
        out += digits[b & 15];
    }
}

void appendData(std::string &out, const GeneratedValue &value)
{
    const std::string &data = value.data;
    switch (value.type) {
    case REG_SZ:
    case REG_EXPAND_SZ: out.append(data.c_str(), std::strlen(data.c_str())); return;
    case REG_MULTI_SZ: {
        std::size_t pos = 0;
        while (pos < data.size() && data[pos] != '\0') {
            const std::size_t end = data.find('\0', pos);
            out.append(data, pos, end - pos);
            out += ' ';
            pos = end + 1;
        }
        return;
    }
    case REG_DWORD:
    case REG_QWORD:
        if (data.size() == 4 || data.size() == 8) {
            uint64_t number = 0;
            for (std::size_t i = data.size(); i-- > 0;)
                number = (number << 8) | static_cast<unsigned char>(data[i]);
            out += std::to_string(number);
            return;
        }
        break;
    default: break;
    }
    appendHex(out, data);
}

} // namespace

void TextDumpSink::beginKey(Hive hive, std::string_view path, std::size_t)
{
    m_buffer += hive == Hive::Machine ? "HKEY_LOCAL_MACHINE\\" : "HKEY_USERS\\";
    m_buffer += path;
    m_buffer += "\\\n";
    flushIfFull();
}

void TextDumpSink::addValue(const GeneratedValue &value)
{
    m_buffer += '\t';
    m_buffer += value.name.empty() ? kStandardName : std::string_view(value.name);
    m_buffer += '\t';
    m_buffer += TypeText(value.type);
    m_buffer += '\t';
    appendData(m_buffer, value);
    m_buffer += '\n';
    flushIfFull();
}

void TextDumpSink::finish()
{
    m_out.write(m_buffer.data(), static_cast<std::streamsize>(m_buffer.size()));
    m_buffer.clear();
    m_out.flush();
}

void TextDumpSink::flushIfFull()
{
    if (m_buffer.size() < kFlushAt) return;
    m_out.write(m_buffer.data(), static_cast<std::streamsize>(m_buffer.size()));
    m_buffer.clear();
}

} // namespace quarnel::generator
