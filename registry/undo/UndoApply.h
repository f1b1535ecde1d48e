// Carries out an undo file through TRegistry: a [-key] section deletes the key
// with everything below it, a [key] section creates or opens the key (a link
// section the link, as a link), and each of its values is removed or stored
// byte for byte. It returns one line per failure for the user (none: all
// applied). An undo is one unit: with registry files, when anything fails
// nothing of it is kept, and a crash in its middle leaves none of it (the next
// start offers to apply it again).
#pragma once

#include "registry/regfile/RegEditFile.h"

#include <functional>
#include <string>
#include <vector>

// `description` names the undo for the journal ("the undo of ...").
std::vector<std::string> ApplyUndo(const RegEditFile &file, const std::string &description,
                                   const std::string &undoFile = {});
// The same for sections handed over one at a time, in order, by `sections`
// (a big import is read from its file again rather than held as sections).
using SectionHandler = std::function<void(const RegEditSection &)>;
std::vector<std::string> ApplySections(const std::function<void(const SectionHandler &)> &sections,
                                       const std::string &description,
                                       const std::string &undoFile = {});
// Reads and parses an undo file; "" or the one failure (nothing was changed).
std::string ReadUndoFile(const std::string &path, RegEditFile &file);
// The undo's name in the journal, and in the message of a start after it was cut short.
std::string UndoJournalName(const std::string &path, const std::string &editDescription);
// Reads and parses the file first; a file that cannot be read is one failure.
// `editDescription` is what the undone edit was ("3 items deleted"), if known.
std::vector<std::string> ApplyUndoFile(const std::string &path,
                                       const std::string &editDescription = {});
