// Carries out an undo file through TRegistry: a [-key] section deletes the key
// with everything below it, a [key] section creates or opens the key (a link
// section the link, as a link), and each of its values is removed or stored
// byte for byte. It goes on past anything that fails and returns one line per
// failure for the user (none: all applied).
#pragma once

#include "registry/RegEditFile.h"

#include <string>
#include <vector>

std::vector<std::string> ApplyUndo(const RegEditFile &file);
// Reads and parses the file first; a file that cannot be read is one failure.
std::vector<std::string> ApplyUndoFile(const std::string &path);
