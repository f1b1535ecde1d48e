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

