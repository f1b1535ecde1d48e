// Keys named by their path below the registry object's root, split into names.
// Paths longer than one registry call takes (260 units) are walked one name at
// a time, so that an undo record reaches every key the edit could reach.
#pragma once

#include "TRegistry.h"

#include <string>
#include <vector>

// Opens the key; symbolic links on the way are followed, the key itself is
// opened as the link when `linkItself` is set.
bool OpenKeyByParts(TRegistry &reg, const std::vector<std::string> &parts, bool linkItself = false);
// Creates the key and any missing parents; raises as CreatePath does. Closes the open key.
void CreateKeyByParts(TRegistry &reg, const std::vector<std::string> &parts);
bool KeyExistsByParts(HKEY root, const std::vector<std::string> &parts);
// DeleteTree of the key (its parent opened by parts, the key by its name).
bool DeleteTreeByParts(TRegistry &reg, const std::vector<std::string> &parts);
