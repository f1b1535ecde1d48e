// Cells of a list as one line of text: tab separated, each cell written exactly
// but for a tab, line break or backslash inside it, marked as \t \n \r \\ so that
// one row stays one line. The command line's tsv and the window's Copy write
// rows this way.
#pragma once

#include <string>
#include <string_view>
#include <vector>

std::string tsvEscaped(std::string_view cell);
std::string tsvLine(const std::vector<std::string_view> &cells);

// Cells as one line of comma-separated values for a spreadsheet (RFC 4180): each
// cell exactly, in double quotes when it holds a comma, a quote or a line break,
// quotes doubled; the line ends in CR LF.
std::string csvField(std::string_view cell);
std::string csvLine(const std::vector<std::string_view> &cells);
