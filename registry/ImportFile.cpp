#include "registry/ImportFile.h"

#include "registry/RegistryPathText.h"
#include "registry/TRegistry.h"
#include "registry/UndoCapture.h"
#include "registry/WideText.h"

#include <algorithm>

namespace quarnel {

namespace {

constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::size_t kMostFaults = 1000;

// The file as 8-bit (UTF-8) text.
std::string asUtf8(std::string_view bytes)
{
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    bool wide = false;
    if (bytes.size() >= 2 && at(0) == 0xFF && at(1) == 0xFE) {
        bytes.remove_prefix(2);
        wide = true;
    } else if (bytes.size() >= 2 && at(0) != 0 && at(1) == 0) {
        wide = true; // UTF-16LE without its mark: "W\0i\0..."
    }
    if (!wide) {
        if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
        return std::string(bytes);
    }
    std::u16string units(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(at(2 * i) | at(2 * i + 1) << 8);
    return BytesFromWide(units);
}

std::vector<std::string> splitLines(const std::string &text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != '\r' && text[i] != '\n') continue;
        lines.push_back(text.substr(start, i - start));
        if (i + 1 < text.size() && text[i] == '\r' && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    return lines;
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

std::string joined(const std::vector<std::string> &lines)
{
    std::string text;
    for (const std::string &line : lines)
        text += line + "\n";
    return text;
}

// REGEDIT4 keeps expandable and multi-string data in hex as 8-bit text; the
// registry stores them as UTF-16.
void widenOldData(RegEditFile &file)
{
    for (RegEditSection &section : file.sections)
        for (RegEditValue &value : section.values) {
            if (value.removal || (value.type != 2 && value.type != 7)) continue;
            const std::string narrow(value.data.begin(), value.data.end());
            std::vector<uint8_t> data;
            for (char16_t u : WideFromBytes(narrow)) {
                data.push_back(static_cast<uint8_t>(u & 0xFF));
                data.push_back(static_cast<uint8_t>(u >> 8));
            }
            value.data = std::move(data);
        }
}

} // namespace

ImportRead readImportFile(std::string_view bytes)
{
    ImportRead read;
    std::vector<std::string> lines = splitLines(asUtf8(bytes));
    std::size_t first = 0;
    while (first < lines.size() && trimmed(lines[first]).empty())
        ++first;
    const std::string_view header = first < lines.size() ? trimmed(lines[first]) : "";
    const bool old = header == kHeader4;
    if (!old && header != kHeader5) {
        read.faults.push_back({first + 1, "not a registry editor file (\"" + std::string(kHeader5) +
                                              "\" or \"" + std::string(kHeader4) + "\" expected)"});
        return read;
    }
    lines[first] = kHeader5;

    // Key lines the reader would take but that name no root of the registry:
    // such a section is a fault of its own, and stands in the reading as a
    // harmless key so that its values do not fault too.
    for (std::size_t i = first + 1; i < lines.size(); ++i) {
        const std::string_view line = trimmed(lines[i]);
        if (!line.starts_with("[")) continue;
        const std::size_t close = line.rfind(']');
        if (close == std::string_view::npos || close < 2) continue; // the reader says it
        std::string_view path = line.substr(1, close - 1);
        const bool removal = path.starts_with("-");
        if (removal) path.remove_prefix(1);
        const RegistryPathText at = RegistryPathText::fromFull(path);
        std::string reason;
        if (!at.root())
            reason =
                "\"" + std::string(path.substr(0, path.find('\\'))) + "\" is not a registry root";
        else if (removal && at.below().empty())
            reason = "a whole root cannot be deleted";
        if (reason.empty()) continue;
        read.faults.push_back({i + 1, reason});
        lines[i] = "[HKEY_CURRENT_USER]";
    }

    // The reader stops at the first fault: each fault found is noted and its
    // line emptied (keeping the numbering), until the rest reads through.
    for (;;) {
        RegEditFile file;
        const RegEditParseResult parsed = RegEditFile::parse(joined(lines), file);
        if (parsed.ok) {
            read.file = std::move(file);
            break;
        }
        read.faults.push_back({parsed.line, parsed.message});
        if (parsed.line == 0 || parsed.line > lines.size() || read.faults.size() >= kMostFaults)
            break;
        std::string &faulty = lines[parsed.line - 1];
        faulty = trimmed(faulty).starts_with("[") ? "[HKEY_CURRENT_USER]" : "";
    }
    std::stable_sort(read.faults.begin(), read.faults.end(),
                     [](const ImportFault &a, const ImportFault &b) { return a.line < b.line; });
    if (read.faults.empty() && old) widenOldData(read.file);
    if (!read.faults.empty()) read.file = {};
    return read;
}

void captureImport(UndoCapture &capture, const RegEditFile &file)
{
    for (const RegEditSection &section : file.sections) {
        const RegistryPathText at = RegistryPathText::fromFull(section.path);
        if (section.removal) {
            TRegistry reg;
            reg.SelectRoot(at.root());
            if (reg.HasKey("\\" + at.below())) capture.captureKey(at.rootName(), at.below());
            continue;
        }
        capture.captureNewKeyPath(at.rootName(), at.below());
        for (const RegEditValue &value : section.values)
            capture.captureValue(at.rootName(), at.below(), value.name);
    }
}

std::string exportKey(const std::string &rootName, const std::string &keyPath)
{
    UndoCapture capture;
    capture.captureKey(rootName, keyPath);
    return capture.file().write();
}

} // namespace quarnel
