# The TRegForm members of the search run and the key walker.
target_sources(quarnel_window PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/SearchRun.cpp
    ${CMAKE_CURRENT_LIST_DIR}/KeyWalker.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PaintPacer.cpp)
target_sources(quarnel_window PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/StatisticsLine.cpp)
target_link_libraries(quarnel_window PUBLIC quarnel_search_logic)
# The search options' button and panel, remembered in the settings file.
target_sources(quarnel_window PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/SearchOptionsBox.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SearchRefusalText.cpp)
# "Find in all registries" of the registry chooser.
target_sources(quarnel_window PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/RegistryHits.cpp)
