# The TRegForm members of the result list, delete, replace and locate.
target_sources(quarnel_window PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/ResultListHandlers.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DeleteSelected.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ReplaceSelected.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SelectedRows.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Locate.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ResultListCopy.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ExportDialog.cpp)
# The window reads result rows through the result list model.
target_link_libraries(quarnel_window PUBLIC quarnel_results_model)
