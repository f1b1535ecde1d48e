// Registry text between the program's 8-bit form and UTF-16, converted the way
// the registry calls convert it: losslessly with UTF-8 as the 8-bit code page
// off Windows, through the ANSI code page on Windows.
#pragma once

#include <string>
#include <string_view>

std::u16string WideFromBytes(std::string_view bytes);
std::string BytesFromWide(std::u16string_view units);
