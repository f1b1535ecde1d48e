// State that several handlers of the main window share. The run flag is not
// here: it is the cancel property of Button1.
#pragma once

#include <cstdint>
#include <string>

namespace UnitState {

inline std::string searchText;      // Edit1 lower-cased (ASCII letters only) at a run's start
inline std::string currentRootName; // display name of the root key being walked
inline std::string replaceText;     // Edit2 when a replace starts

inline int32_t keysCounter = 0;
inline int32_t valuesCounter = 0;
inline uint32_t byteTotal = 0;

inline int sortColumn = 0; // shared by the result list and the value list
inline bool valueListDescending = false;
inline bool modifierFlag = false; // Shift or Ctrl went down in the result list

} // namespace UnitState
