# The TRegForm members of the key tree, the value list and browser deletions and editing.
target_sources(quarnel_window PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/KeyTree.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ValueList.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ValueListModel.cpp
    ${CMAKE_CURRENT_LIST_DIR}/BrowserDelete.cpp
    ${CMAKE_CURRENT_LIST_DIR}/BrowserEdit.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ImportProgress.cpp
    ${CMAKE_CURRENT_LIST_DIR}/InPlaceName.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ValueEditors.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ValueListCopy.cpp)
