# Installation and the Debian package: the program, its menu entry, its icon, its
# AppStream description and its bash completion in the places a desktop expects them.
include(GNUInstallDirs)

if(TARGET quarnel)
    install(TARGETS quarnel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(FILES ${PROJECT_SOURCE_DIR}/data/quarnel.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/data/io.github.quarnel.Quarnel.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/data/completion/quarnel
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
foreach(size 16 32 48 64 128 256)
    install(FILES ${PROJECT_SOURCE_DIR}/data/icons/hicolor/${size}x${size}/apps/quarnel.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/data/icons/quarnel.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quarnel)
set(CPACK_PACKAGE_VENDOR "Quarnel developers")
set(CPACK_PACKAGE_CONTACT "Quarnel developers <quarnel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Search the registry of a Wine prefix; delete, replace or locate the hits")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# dpkg-shlibdeps derives the Qt 6 runtime packages (libqt6widgets6 and the rest) from the binary.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The registry is a Wine prefix's; Quarnel reads and writes it without Wine, but is of use beside it.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "wine")
set(CPACK_STRIP_FILES ON)
include(CPack)
