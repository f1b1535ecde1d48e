// What the value editors show and what they make of the user's text, without Qt:
// a value's stored bytes (UTF-16LE for the string types, as FetchStored gives
// them) to editable 8-bit text and back, numbers in decimal or hexadecimal, hex
// pairs, and the names the browser makes up or is given.
#pragma once

#include "registry/win32/AsciiText.h"
#include "registry/win32/winreg.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ValueEditText {

using Bytes = std::vector<uint8_t>;

// The editor a value gets: its kind of text and, for numbers, its width.
enum class Editor
{
    Text,      // REG_SZ, REG_EXPAND_SZ: one line
    MultiText, // REG_MULTI_SZ: one entry a line
    Number,    // REG_DWORD, REG_DWORD_BIG_ENDIAN, REG_QWORD of their exact size
    Hex        // everything else, numbers of another size too: every byte kept
};
Editor editorFor(DWORD regType, std::size_t size);
// 4 or 8 for the number types, else 0.
std::size_t numberWidth(DWORD regType);

// String data: the text up to its terminating NUL (all of it when it has none)
// and the bytes of a text as the registry stores it, with the terminating NUL.
std::string textOf(const Bytes &stored);
Bytes storedText(std::string_view text);

// Multi-string data: one entry a line (the empty entry the list ends with does
// not count), and entries as stored, each with its NUL and one more at the end.
// Empty lines are left out: the format cannot hold an empty entry.
std::vector<std::string> linesOf(const Bytes &stored);
Bytes storedLines(const std::vector<std::string> &lines);
// The editor's text split at its line breaks (splitLines) and joined with \n.
std::string joinLines(const std::vector<std::string> &lines);

// A number's stored bytes (little-endian, big-endian for REG_DWORD_BIG_ENDIAN)
// and back; `regType` one of the number types.
uint64_t numberOf(const Bytes &stored, DWORD regType);
Bytes storedNumber(uint64_t number, DWORD regType);
std::string formatNumber(uint64_t number, bool hex);
// The number the user typed, no larger than `width` bytes hold; "" in `error`
// when it reads. Hexadecimal may start with "0x"; blanks around do not count.
std::optional<uint64_t> parseNumber(std::string_view text, bool hex, std::size_t width,
                                    std::string &error);
// The number typed in the other base as `hex` shows it, for the editor's base
// switch: "" when the text is no number there (of at most 64 bits), so that no
// text is ever read in a base it was not typed in.
std::string otherBase(std::string_view text, bool hex);

// Hex pairs: "4a 00 ff", sixteen a line, and back; blanks, line breaks and
// commas between pairs do not count.
std::string hexPairs(const Bytes &bytes);
std::optional<Bytes> parseHexPairs(std::string_view text, std::string &error);
// The hex editor's two margins for the same bytes, a line each per sixteen
// bytes: the offsets ("00000010") and the bytes as text (printable ASCII, the
// rest as ".").
std::string offsetColumn(std::size_t size);
std::string printableColumn(const Bytes &bytes);

// "New Key #1", "New Key #2", ...: the first that `taken` does not hold.
template <typename Taken> std::string uniqueName(std::string_view base, Taken taken)
{
    for (unsigned n = 1;; ++n) {
        std::string name = std::string(base) + " #" + std::to_string(n);
        if (!taken(name)) return name;
    }
}

} // namespace ValueEditText
