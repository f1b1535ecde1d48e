// Cells of a list as one line of text: tab separated, each cell written exactly
// but for what would break the line or reach a terminal as a command (any
// program in a prefix can store an escape sequence), comma separated, or as JSON.
// The command line's formats and the window's Copy and Export… write rows this way.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The cell with a tab, line break or backslash written \t \n \r \\, any other
// control character \xHH (C1 controls \u0080..\u009F), a byte that is no part of
// UTF-8 \xHH and a lone UTF-16 half \uD800..\uDFFF: the line is valid UTF-8.
std::string tsvEscaped(std::string_view cell);
std::string tsvLine(const std::vector<std::string_view> &cells);

// For the eye on a terminal: escaped as in tsv, but backslashes (in every key
// path) stay as they are; with `lineBreaks`, LF and tab too (a message of
// several lines).
std::string screenText(std::string_view text, bool lineBreaks = false);

// Cells as one line of comma-separated values for a spreadsheet (RFC 4180): each
// cell exactly, in double quotes when it holds a comma, a quote or a line break,
// quotes doubled; the line ends in CR LF.
std::string csvField(std::string_view cell);
std::string csvLine(const std::vector<std::string_view> &cells);

// A JSON string with its quotes. Text that is not UTF-8 stays as bytes, except
// that a lone UTF-16 half kept in the registry's 8-bit text becomes \uXXXX, as do
// control characters (DEL and C1 too).
std::string jsonString(std::string_view text);
// Cells as one JSON object on a line, each under its header in lower case (blanks
// as "_"): {"root":"HKEY_CURRENT_USER","branch":...}.
std::string jsonLine(const std::vector<std::string> &headers,
                     const std::vector<std::string_view> &cells);
