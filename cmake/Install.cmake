# Installing Vorland and building its Debian package.
#
#   cmake --install build --prefix PREFIX     installs into PREFIX
#   cd build-package && cpack -G DEB          builds vorland_<version>_<arch>.deb from a build
#                                             without tests, benchmarks or test hooks (configure
#                                             with -DVORLAND_MAINTAINER="Name <address>" first)
#
# Layout under the prefix:
#   bin/vorland                                   the program
#   lib/vorland/libzipengine.so                   the engine; the program finds it through its run path
#   lib/vorland/libvorland-windows.so             the windows, loaded only when the program opens them
#   share/vorland/Languages/                      caption files and about texts
#   share/vorland/help.html                       the help page (the program opens it from here)
#   share/icons/hicolor/scalable/apps/vorland.svg the application icon, and PNG sizes in NxN/apps
#   share/man/man1/vorland.1.gz                   the manual page
#   share/metainfo/org.orvane.Vorland.metainfo.xml what software centres show
#   share/doc/vorland/copyright                   the licence (GPL-3.0-or-later)
#   share/applications/vorland.desktop            the menu entry (opens a .vrl file in the editor)
#   share/mime/packages/vorland.xml               the type of *.vrl files
# A package's menu entry and file type are registered by the triggers of desktop-file-utils and
# shared-mime-info; a plain install into a prefix registers them with update-mime-database (below).

set(VORLAND_ENGINE_DIR lib/vorland)

# The program looks for its engine beside itself, then through its run path: the engine's folder
# relative to the program, so the installed tree can be moved as a whole.
set_target_properties(vorland PROPERTIES INSTALL_RPATH "$ORIGIN/../${VORLAND_ENGINE_DIR}")
install(TARGETS vorland RUNTIME DESTINATION bin)
install(TARGETS zipengine LIBRARY DESTINATION ${VORLAND_ENGINE_DIR})
# The window module is found the same way: beside the program, then in the engine's folder.
if(TARGET vorland-windows)
    install(TARGETS vorland-windows LIBRARY DESTINATION ${VORLAND_ENGINE_DIR})
endif()

if(EXISTS ${PROJECT_SOURCE_DIR}/Languages)
    install(DIRECTORY ${PROJECT_SOURCE_DIR}/Languages DESTINATION share/vorland)
endif()
if(EXISTS ${PROJECT_SOURCE_DIR}/docs/help.html)
    install(FILES ${PROJECT_SOURCE_DIR}/docs/help.html DESTINATION share/vorland)
endif()
# One drawing for every place the icon shows: the window and the about box take it from the
# program's resources, the menu entry from the icon theme.
set(VORLAND_ARTWORK ${PROJECT_SOURCE_DIR}/framework/artwork)
install(FILES ${VORLAND_ARTWORK}/Vorland.svg DESTINATION share/icons/hicolor/scalable/apps RENAME vorland.svg)
# The sizes MakeArtwork draws.
foreach(size 16 22 24 32 48 64 128 256)
    install(FILES ${VORLAND_ARTWORK}/icons/vorland-${size}.png DESTINATION share/icons/hicolor/${size}x${size}/apps
            RENAME vorland.png)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/packaging/org.orvane.Vorland.metainfo.xml DESTINATION share/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION share/doc/vorland)

# The manual page, compressed as Debian keeps them (-n: no name or time stamp, so builds repeat).
set(vorland_man_page ${PROJECT_BINARY_DIR}/generated/vorland.1.gz)
add_custom_command(OUTPUT ${vorland_man_page}
    COMMAND gzip -9 -n -c ${PROJECT_SOURCE_DIR}/docs/vorland.1 > ${vorland_man_page}
    DEPENDS ${PROJECT_SOURCE_DIR}/docs/vorland.1
    COMMENT "Compressing the manual page")
add_custom_target(vorland_man_page ALL DEPENDS ${vorland_man_page})
install(FILES ${vorland_man_page} DESTINATION share/man/man1)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/vorland.desktop DESTINATION share/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/vorland-mime.xml DESTINATION share/mime/packages
        RENAME vorland.xml)

# A plain install into a prefix also builds that prefix's file type database, so the type works at
# once when the prefix's share folder is in XDG_DATA_DIRS. Packages leave it to the triggers.
install(CODE [[
    if(NOT DEFINED ENV{DESTDIR} OR "$ENV{DESTDIR}" STREQUAL "")
        find_program(VORLAND_UPDATE_MIME update-mime-database)
        if(VORLAND_UPDATE_MIME)
            execute_process(COMMAND ${VORLAND_UPDATE_MIME} "${CMAKE_INSTALL_PREFIX}/share/mime"
                            RESULT_VARIABLE mime_result OUTPUT_QUIET ERROR_QUIET)
        endif()
    endif()
]])

# The Debian package.
set(CPACK_PACKAGE_NAME vorland)
set(CPACK_PACKAGE_VENDOR "Orvane")
# The package's Maintainer field ("Name <address>"): whoever builds the package sets it, from
# DEBFULLNAME and DEBEMAIL when those are set. Without one, cpack stops and says so.
set(vorland_default_maintainer "")
if(DEFINED ENV{DEBFULLNAME} AND DEFINED ENV{DEBEMAIL})
    set(vorland_default_maintainer "$ENV{DEBFULLNAME} <$ENV{DEBEMAIL}>")
endif()
set(VORLAND_MAINTAINER "${vorland_default_maintainer}" CACHE STRING
    "Maintainer field of the Debian package, \"Name <address>\"")
if(VORLAND_MAINTAINER)
    set(CPACK_PACKAGE_CONTACT "${VORLAND_MAINTAINER}")
endif()
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "repeatable backups of folders into zip archives or copies")
set(CPACK_PACKAGE_DESCRIPTION "Vorland keeps batch files of backup jobs: each job zips the chosen files of a
folder into an archive, updating it or rebuilding it, or copies new and changed
files into a target folder. Batches are edited in a window and run unattended
from the command line or a desktop launcher, with exit codes that say whether
anything went wrong.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The private engine folder is searched by dpkg-shlibdeps too.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/bin)
# The window system plugins of Qt are a separate package that the libraries only recommend. Qt's own
# translations give the standard buttons and file dialogs the language of the rest of the windows.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, xdg-user-dirs, libglib2.0-bin, shared-mime-info, desktop-file-utils, fonts-dejavu-core")
set(CPACK_STRIP_FILES ON)
# The package ships no test hooks: cpack refuses a build that has them (cmake/PackageCheck.cmake).
set(CPACK_VORLAND_TEST_HOOKS ${VORLAND_TEST_HOOKS})
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/PackageCheck.cmake)
include(CPack)
