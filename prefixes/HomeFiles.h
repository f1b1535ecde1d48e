// The few file operations the search for registries needs, all read-only and
// none of them throwing: whatever a home holds (a missing folder, a file with
// no read permission, a link in a loop) is an answer, never a stop.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quarnel::prefixes {

// The config files read here are small; anything bigger is not one of them.
inline constexpr std::uint64_t kMaxConfigFileBytes = 4u << 20;

// A regular file's content, up to `limit` bytes (a bigger file is refused).
// False with `error` for anything else. Links are followed; the file's access
// time is left alone where the system allows.
bool readSmallFile(const std::string &path, std::string &content, std::string &error,
                   std::uint64_t limit = kMaxConfigFileBytes);

// The names in a folder (without "." and ".."), sorted by their bytes; empty
// when it cannot be read.
std::vector<std::string> folderNames(const std::string &folder);

bool isFolder(const std::string &path);

// The path with every link resolved; "" when it does not lead anywhere (a
// missing part, a link in a loop).
std::string resolvedPath(const std::string &path);

// The last part of a path ("/a/b/" gives "b").
std::string lastPart(const std::string &path);

// `path` with a leading "~" standing for `home`.
std::string expandHome(const std::string &path, const std::string &home);

} // namespace quarnel::prefixes
