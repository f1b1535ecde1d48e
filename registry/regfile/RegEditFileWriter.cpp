// Writing the registry editor's format. The forms follow what Wine's regedit
// reads back unchanged: inside quotes it understands only the escapes \\ \" \r
// \n (a \0 there makes it drop the rest of the file), so string data with a NUL
// anywhere but at its end is written as hex(1).
#include "registry/regfile/RegEditFile.h"

#include "registry/win32/WideText.h"

#include <cstdio>

namespace {

constexpr uint32_t kString = 1, kBinary = 3, kDword = 4;
constexpr uint32_t kExpandString = 2, kMultiString = 7;
constexpr std::size_t kWrapAfter = 76; // as regedit wraps hex data

class Output
{
public:
    void unit(char16_t u)
    {
        appendUtf16le(m_bytes, std::u16string_view(&u, 1));
        ++m_column;
    }
    void text(std::u16string_view units)
    {
        for (char16_t u : units)
            unit(u);
    }
    void ascii(std::string_view s)
    {
        for (char c : s)
            unit(static_cast<char16_t>(c));
    }
    void newline()
    {
        ascii("\r\n");
        m_column = 0;
    }
    std::size_t column() const { return m_column; }
    std::string take() { return std::move(m_bytes); }

private:
    std::string m_bytes = "\xFF\xFE";
    std::size_t m_column = 0;
};

std::u16string unitsOf(const std::vector<uint8_t> &data)
{
    return utf16leUnits(data);
}

void quoted(Output &out, std::u16string_view units)
{
    out.unit(u'"');
    for (char16_t u : units) {
        switch (u) {
        case u'\\': out.ascii("\\\\"); break;
        case u'"': out.ascii("\\\""); break;
        case u'\n': out.ascii("\\n"); break;
        case u'\r': out.ascii("\\r"); break;
        case u'\0': out.ascii("\\0"); break; // only in names, which the calls cannot make
        default: out.unit(u);
        }
    }
    out.unit(u'"');
}

// Whole units ending in the one NUL that the quoted form adds, and no other NUL.
bool isFriendlyString(const RegEditValue &v)
{
    if (v.type != kString || v.data.size() < 2 || v.data.size() % 2 != 0) return false;
    const std::u16string units = unitsOf(v.data);
    return units.back() == u'\0' && units.find(u'\0') == units.size() - 1;
}

void hexData(Output &out, const RegEditValue &v, bool wrap)
{
    if (v.type == kBinary) {
        out.ascii("hex:");
    } else {
        char prefix[24];
        std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(v.type));
        out.ascii(prefix);
    }
    static constexpr char kDigits[] = "0123456789abcdef";
    for (std::size_t i = 0; i < v.data.size(); ++i) {
        out.unit(static_cast<char16_t>(kDigits[v.data[i] >> 4]));
        out.unit(static_cast<char16_t>(kDigits[v.data[i] & 0xF]));
        if (i + 1 == v.data.size()) break;
        out.unit(u',');
        if (wrap && out.column() > kWrapAfter) {
            out.unit(u'\\');
            out.newline();
            out.ascii("  ");
        }
    }
}

// Our own lines are comments to regedit: one line each, never wrapped.
constexpr std::string_view kOwnLine = ";Quarnel: ";

void valueLine(Output &out, const RegEditValue &v, bool own)
{
    if (own) out.ascii(kOwnLine);
    if (v.name.empty())
        out.unit(u'@');
    else
        quoted(out, WideFromBytes(v.name));
    out.unit(u'=');
    if (v.removal) {
        out.unit(u'-');
    } else if (isFriendlyString(v)) {
        const std::u16string units = unitsOf(v.data);
        quoted(out, std::u16string_view(units).substr(0, units.size() - 1));
    } else if (v.type == kDword && v.data.size() == 4) {
        char digits[16];
        std::snprintf(digits, sizeof digits, "dword:%02x%02x%02x%02x", v.data[3], v.data[2],
                      v.data[1], v.data[0]);
        out.ascii(digits);
    } else {
        hexData(out, v, !own);
    }
    out.newline();
}

// Wine's regedit crashes on string data of a single byte (and Wine's debugger
// then adds keys of its own).
bool crashesWinesRegedit(const RegEditValue &v)
{
    return !v.removal && v.data.size() == 1 &&
           (v.type == kString || v.type == kExpandString || v.type == kMultiString);
}

// Wine's regedit hands a section's path below its root to one call, which cuts it
// to this many units: a longer one would be made, or removed, elsewhere.
constexpr std::size_t kRegeditPathUnits = 32766;

bool isBelow(const std::string &path, const std::string &above)
{
    return path.size() > above.size() && path[above.size()] == '\\' &&
           path.compare(0, above.size(), above) == 0;
}

// Why Wine's regedit must not see this section, or null. Below a link it would
// make an ordinary key where the link was, since it cannot make the link itself.
const char *regeditCannotTake(const RegEditSection &s, const std::vector<std::string> &links)
{
    if (s.link) return "a symbolic link";
    if (s.path.find_first_of("\r\n") != std::string::npos) return "a line break in a key name";
    // A path has no more units than bytes: only a long one is measured.
    if (s.path.size() > kRegeditPathUnits) {
        const std::u16string units = WideFromBytes(s.path);
        const std::size_t root = units.find(u'\\');
        if (root != std::u16string::npos && units.size() - root - 1 > kRegeditPathUnits)
            return "a path longer than regedit takes";
    }
    for (const std::string &link : links)
        if (isBelow(s.path, link)) return "a key below a symbolic link";
    return nullptr;
}

void sectionLine(Output &out, const RegEditSection &s, const char *ownReason)
{
    if (ownReason) {
        out.ascii("; Wine's regedit cannot restore this key (");
        out.ascii(ownReason);
        out.ascii("); Quarnel's undo does");
        out.newline();
        out.ascii(kOwnLine);
        out.ascii(s.removal ? "delete " : s.link ? "link " : "key ");
        quoted(out, WideFromBytes(s.path));
        out.newline();
        return;
    }
    out.unit(u'[');
    if (s.removal) out.unit(u'-');
    out.text(WideFromBytes(s.path));
    out.unit(u']');
    out.newline();
}

} // namespace

std::string RegEditFile::write() const
{
    Output out;
    out.ascii("Windows Registry Editor Version 5.00");
    out.newline();
    std::vector<std::string> links;
    for (const RegEditSection &s : sections)
        if (s.link) links.push_back(s.path);
    for (const RegEditSection &s : sections) {
        out.newline();
        const char *ownReason = regeditCannotTake(s, links);
        sectionLine(out, s, ownReason);
        for (const RegEditValue &v : s.values) {
            const bool own = ownReason || crashesWinesRegedit(v);
            if (own && !ownReason) {
                out.ascii("; Wine's regedit crashes on string data of one byte; Quarnel's undo "
                          "restores it");
                out.newline();
            }
            valueLine(out, v, own);
        }
    }
    out.newline();
    return out.take();
}
