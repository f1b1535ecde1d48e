// Opening the files beside the registry, which other programs and people can
// replace with anything: a symbolic link to someone else's file, a FIFO that
// blocks forever, a device that never ends. Nothing is read unless it is a
// regular file, and nothing is written unless it is a regular file of our own.
#pragma once

#include <cstddef>
#include <string>
#include <sys/types.h>

namespace quarnel::platform {

// More than any registry file or journal holds; a bigger file is refused unread.
inline constexpr std::size_t kMaxFileBytes = std::size_t(1) << 30;

// Opens `path` read-only when it is a regular file of at most kMaxFileBytes,
// never blocking on the way. With `followLink` false a symbolic link is refused.
// Returns the descriptor, or -1 with `error` saying what is wrong.
int openForReading(const std::string &path, bool followLink, std::string &error);

// Opens a file Quarnel writes, with `flags` (O_RDWR, O_CREAT...), never through
// a symbolic link, and only when it is a regular file with no other name (a
// hard link would carry the writes into someone else's file). Returns the
// descriptor, or -1 with `error` saying what is wrong.
int openForWriting(const std::string &path, int flags, mode_t mode, std::string &error);

} // namespace quarnel::platform
