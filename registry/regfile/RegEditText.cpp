#include "registry/regfile/RegEditText.h"

#include "registry/win32/RegText.h"
#include "registry/win32/WideText.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <clocale>
#include <iconv.h>
#include <locale.h>
#endif

namespace quarnel {

namespace {

// Windows-1252's 0x80..0x9F as Wine maps them: the five bytes the code page
// leaves open become the C1 controls of the same number, as on Windows.
constexpr char16_t k1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

struct Language
{
    std::string_view name;
    unsigned codePage;
};

// Windows' ANSI code page of each language that does not write in 1252.
constexpr Language kLanguages[] = {
    {"ja", 932},   {"ko", 949},  {"th", 874},  {"vi", 1258}, {"el", 1253}, {"he", 1255},
    {"iw", 1255},  {"yi", 1255}, {"tr", 1254}, {"az", 1254}, {"uz", 1254}, {"ar", 1256},
    {"fa", 1256},  {"ur", 1256}, {"ug", 1256}, {"et", 1257}, {"lt", 1257}, {"lv", 1257},
    {"ru", 1251},  {"uk", 1251}, {"be", 1251}, {"bg", 1251}, {"mk", 1251}, {"sr", 1251},
    {"kk", 1251},  {"ky", 1251}, {"tt", 1251}, {"mn", 1251}, {"ba", 1251}, {"tg", 1251},
    {"sah", 1251}, {"cs", 1250}, {"hu", 1250}, {"pl", 1250}, {"ro", 1250}, {"sk", 1250},
    {"sl", 1250},  {"hr", 1250}, {"sq", 1250}, {"bs", 1250}, {"tk", 1250},
};

// Standard UTF-8 only, no encoded surrogate either. Returns the offset of the
// first byte that does not decode, or npos.
std::size_t decodeUtf8(std::string_view bytes, std::u16string &out)
{
    // No more units than bytes; written by index, as most lines are ASCII all through.
    const std::size_t start = out.size();
    out.resize(start + bytes.size());
    char16_t *to = out.data() + start;
    std::size_t i = 0, bad = std::string_view::npos;
    while (i < bytes.size()) {
        const auto b0 = static_cast<unsigned char>(bytes[i]);
        if (b0 < 0x80) {
            *to++ = b0;
            ++i;
            continue;
        }
        char32_t cp = 0;
        const std::size_t len = platform::utf8Sequence(bytes.substr(i), cp);
        if (len == 0 || (cp >= 0xD800 && cp <= 0xDFFF)) {
            bad = i;
            break;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            *to++ = static_cast<char16_t>(0xD800 + (cp >> 10));
            *to++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            *to++ = static_cast<char16_t>(cp);
        }
        i += len;
    }
    out.resize(std::size_t(to - out.data()));
    return bad;
}

std::string_view trimmedAscii(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// The first line that is not blank, of 8-bit text.
std::string_view firstTextLine(std::string_view bytes)
{
    while (!bytes.empty()) {
        const std::size_t end = bytes.find_first_of("\r\n");
        const std::string_view line = trimmedAscii(bytes.substr(0, end));
        if (!line.empty() || end == std::string_view::npos) return line;
        bytes.remove_prefix(end + 1);
    }
    return {};
}

std::string byteText(unsigned char b)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", b);
    return text;
}

} // namespace

unsigned ansiCodePageOf(std::string_view localeName)
{
    // language[_TERRITORY][.codeset][@modifier]
    constexpr std::size_t npos = std::string_view::npos;
    const std::size_t at = localeName.find('@');
    const std::string_view modifier = at == npos ? "" : localeName.substr(at + 1);
    const std::string_view name = localeName.substr(0, localeName.find_first_of(".@"));
    const std::size_t underscore = name.find('_');
    const std::string_view language = name.substr(0, underscore);
    const std::string_view territory = underscore == npos ? "" : name.substr(underscore + 1);
    if (language == "zh")
        return territory == "TW" || territory == "HK" || territory == "MO" ? 950 : 936;
    if (language == "sr" && modifier == "latin") return 1250;
    if (modifier == "cyrillic") return 1251; // Uzbek, Azeri
    for (const Language &l : kLanguages)
        if (l.name == language) return l.codePage;
    return 1252;
}

unsigned userAnsiCodePage()
{
#ifdef _WIN32
    return GetACP();
#else
    std::string name;
    for (const char *variable : {"LC_ALL", "LC_CTYPE", "LANG"})
        if (const char *value = std::getenv(variable); value && *value) {
            name = value;
            break;
        }
    if (name.empty()) return 1252;
    const locale_t installed = newlocale(LC_CTYPE_MASK, name.c_str(), locale_t(nullptr));
    if (!installed) return 1252;
    freelocale(installed);
    return ansiCodePageOf(name);
#endif
}

std::size_t decodeAnsi(unsigned codePage, std::string_view bytes, std::u16string &out)
{
    if (codePage == 1252) {
        for (char c : bytes) {
            const auto b = static_cast<unsigned char>(c);
            out.push_back(b >= 0x80 && b < 0xA0 ? k1252High[b - 0x80] : char16_t(b));
        }
        return std::string_view::npos;
    }
#ifdef _WIN32
    const int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(),
                                      int(bytes.size()), nullptr, 0);
    if (n <= 0 && !bytes.empty()) return 0;
    const std::size_t at = out.size();
    out.resize(at + std::size_t(n));
    MultiByteToWideChar(codePage, 0, bytes.data(), int(bytes.size()),
                        reinterpret_cast<wchar_t *>(out.data() + at), n);
    return std::string_view::npos;
#else
    // One converter a thread, kept: a file is decoded a line at a time.
    struct Converter
    {
        unsigned codePage = 0;
        iconv_t handle = iconv_t(-1);
        ~Converter()
        {
            if (handle != iconv_t(-1)) iconv_close(handle);
        }
    };
    thread_local Converter converter;
    if (converter.codePage != codePage) {
        if (converter.handle != iconv_t(-1)) iconv_close(converter.handle);
        converter.handle = iconv_open("UTF-16LE", ("CP" + std::to_string(codePage)).c_str());
        converter.codePage = codePage;
    }
    if (converter.handle == iconv_t(-1)) return 0;
    iconv(converter.handle, nullptr, nullptr, nullptr, nullptr);
    char *in = const_cast<char *>(bytes.data());
    std::size_t inLeft = bytes.size();
    // Each byte gives at most two units.
    std::string units(4 * bytes.size() + 8, '\0');
    char *to = units.data();
    std::size_t toLeft = units.size();
    const std::size_t result = iconv(converter.handle, &in, &inLeft, &to, &toLeft);
    const std::size_t made = (units.size() - toLeft) / 2;
    for (std::size_t i = 0; i < made; ++i)
        out.push_back(utf16leUnit(units.data() + 2 * i));
    if (result == std::size_t(-1)) return bytes.size() - inLeft;
    return std::string_view::npos;
#endif
}

RegEditText::RegEditText(std::string_view bytes, unsigned codePage) : m_bytes(bytes)
{
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (bytes.size() >= 2 && at(0) == 0xFF && at(1) == 0xFE) {
        m_form = Form::Utf16;
        m_at = 2;
    } else if (bytes.size() >= 2 && at(0) != 0 && at(1) == 0) {
        m_form = Form::Utf16; // without its mark: "W\0i\0..."
    } else if (bytes.starts_with("\xEF\xBB\xBF")) {
        m_at = 3;
    } else if (firstTextLine(bytes) == "REGEDIT4") {
        m_form = Form::Ansi;
    }
    m_codePage = codePage;
}

bool RegEditText::next(std::u16string &line, std::string &fault)
{
    line.clear();
    fault.clear();
    if (m_done) return false;
    ++m_number;
    const char *data = m_bytes.data();
    if (m_form == Form::Utf16) {
        const std::size_t units = (m_bytes.size() - m_at) / 2;
        const auto *p = reinterpret_cast<const unsigned char *>(data + m_at);
        std::size_t n = 0;
        while (n < units && !(p[2 * n + 1] == 0 && (p[2 * n] == '\r' || p[2 * n] == '\n')))
            ++n;
        // In place: a big file's lines reuse the one buffer.
        line.resize(n);
        for (std::size_t i = 0; i < n; ++i)
            line[i] = utf16leUnit(p + 2 * i);
        m_at += 2 * n;
        if (n == units) {
            m_done = true;
            if (m_at < m_bytes.size()) {
                fault = "the file ends in half a UTF-16 character";
                m_at = m_bytes.size();
            }
            return true;
        }
        const bool pair =
            p[2 * n] == '\r' && n + 1 < units && p[2 * n + 2] == '\n' && p[2 * n + 3] == 0;
        m_at += pair ? 4 : 2;
        return true;
    }
    std::size_t end = m_at;
    while (end < m_bytes.size() && data[end] != '\n' && data[end] != '\r')
        ++end;
    const std::string_view text = m_bytes.substr(m_at, end - m_at);
    if (end == m_bytes.size()) {
        m_done = true;
        m_at = end;
    } else {
        m_at =
            end + (data[end] == '\r' && end + 1 < m_bytes.size() && data[end + 1] == '\n' ? 2 : 1);
    }
    if (m_form == Form::Ansi) {
        fault = decodeAnsiText(text, line);
    } else if (const std::size_t bad = decodeUtf8(text, line); bad != std::string_view::npos) {
        fault = "byte " + byteText(static_cast<unsigned char>(text[bad])) + " is not UTF-8";
    }
    return true;
}

std::string RegEditText::decodeAnsiText(std::string_view bytes, std::u16string &out) const
{
    const std::size_t bad = decodeAnsi(m_codePage, bytes, out);
    if (bad == std::string_view::npos) return {};
    return "byte " + byteText(static_cast<unsigned char>(bytes[bad])) +
           " is no character of code page " + std::to_string(m_codePage);
}

} // namespace quarnel
