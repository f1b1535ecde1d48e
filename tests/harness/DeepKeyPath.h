// A key path longer than the 8-bit registry calls take in one piece (260 UTF-16
// units). Real registries hold keys this deep; the program must reach them.
#pragma once

#include <string>

inline std::string DeepKeyPath(const std::string &top = "Software\\Deep")
{
    std::string path = top;
    for (int i = 0; path.size() <= 300; ++i)
        path += "\\Level" + std::to_string(i) + "_with_a_long_name";
    return path;
}
