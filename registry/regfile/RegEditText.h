// The text of a registry editor file, a line at a time as UTF-16 units: UTF-16LE
// (with or without its byte-order mark), UTF-8 (with or without its mark), or,
// under the header "REGEDIT4" in 8-bit text, the ANSI code page that Wine's
// regedit reads it in for the user's locale. A byte that does not decode is a
// fault of its line, never a character made up in its place.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quarnel {

// The ANSI code page Wine gives programs under a locale named as in LC_CTYPE
// ("ru_RU.UTF-8", "sr_RS@latin"): 1252 unless the language writes in another.
unsigned ansiCodePageOf(std::string_view localeName);
// The same for this process: LC_ALL, LC_CTYPE or LANG, the first set. A locale
// that is not installed counts as "C", as it does for Wine.
unsigned userAnsiCodePage();

// Appends `bytes` in `codePage` to `out` as UTF-16; returns the offset of the
// first byte that does not decode (npos: none), `out` then holding what came
// before it.
std::size_t decodeAnsi(unsigned codePage, std::string_view bytes, std::u16string &out);

class RegEditText
{
public:
    enum class Form
    {
        Utf16,
        Utf8,
        Ansi
    };

    // `bytes` must outlive this; `codePage` counts only for REGEDIT4 files.
    explicit RegEditText(std::string_view bytes, unsigned codePage = userAnsiCodePage());

    Form form() const { return m_form; }
    unsigned codePage() const { return m_codePage; }
    // The next line without its line end (CR, LF or CR LF) into `line`; false
    // when there is none. `fault` says why the line did not decode whole ("" when
    // it did); `line` then holds what did.
    bool next(std::u16string &line, std::string &fault);
    // Appends 8-bit text in the file's ANSI code page to `out` (REGEDIT4 keeps
    // string data in hex so); "" or the fault.
    std::string decodeAnsiText(std::string_view bytes, std::u16string &out) const;
    // The number of the line last read, counted from 1.
    std::size_t lineNumber() const { return m_number; }
    // How much of the file the lines read so far took.
    std::size_t bytesRead() const { return m_at; }
    std::size_t size() const { return m_bytes.size(); }

private:
    std::string_view m_bytes;
    std::size_t m_at = 0;
    std::size_t m_number = 0;
    bool m_done = false;
    Form m_form = Form::Utf8;
    unsigned m_codePage = 1252;
};

} // namespace quarnel
