# Installing the client: `cmake --install <build> [--prefix P]` (default /usr/local) and a
# Debian package (`cpack -G DEB` in the build tree).
#
#   P/lib/talmar2/Zorvik_talmar2        the client, with the web module beside it, where it
#   P/lib/talmar2/libtalmar2-web.so     looks first (/proc/self/exe is the real file)
#   P/bin/Zorvik_talmar2                a relative link to it, the command users type
#                                       (P/games/ when P is /usr, as in the package)
#   P/share/applications/net.zorvik.talmar2.desktop
#   P/share/metainfo/net.zorvik.talmar2.metainfo.xml    what software centres show
#   P/share/icons/hicolor/<n>x<n>/apps/talmar2.png       for n = 16, 32, 48, 64, 128, 256
#   P/share/man/man6/Zorvik_talmar2.6.gz                 the manual page (section 6: games)
#   P/share/doc/zorvik-talmar2/copyright, changelog.Debian.gz
#
# The command keeps the executable's name so that the windows' class (the toolkit takes it from
# the program name) is the same however the client is started; the desktop entry's
# StartupWMClass names it. The updater is not installed: the client carries it.
#
# `cmake --build <build> --target uninstall` removes what the installs from this build tree put
# in place, and the directories they made, where each install is still there
# (cmake/uninstall.cmake.in).

include(GNUInstallDirs)

option(CLIENT_INSTALL_STRIP "Strip the client and its web module on cmake --install" ON)

set(CLIENT_PKG_DIR_NAME talmar2)
set(CLIENT_PKG_DIR ${CMAKE_INSTALL_LIBDIR}/${CLIENT_PKG_DIR_NAME})
set(CLIENT_COMMAND Zorvik_talmar2)
set(CLIENT_ICON_NAME talmar2)
set(CLIENT_WM_CLASS Zorvik_talmar2)
set(CLIENT_TITLE "ZorvikTalmar2")         # name and caption as the windows show them
set(CLIENT_CAPTION "ZorvikTalmar2客户端")  # (common/Settings.h)
# One reverse-DNS name, the one the client's session-bus service is under, for the desktop
# entry and the AppStream component.
set(CLIENT_APPSTREAM_ID net.zorvik.talmar2)
set(CLIENT_DESKTOP_ID ${CLIENT_APPSTREAM_ID}.desktop)
set(CLIENT_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/zorvik-talmar2)
set(CLIENT_ICON_SIZES 16 32 48 64 128 256)  # as tools/artgen draws them
set(CLIENT_MAN_DIR ${CMAKE_INSTALL_MANDIR}/man6)

# The maker's site, as https, and the domain of its addresses.
string(REGEX REPLACE "^http://" "https://" CLIENT_HOMEPAGE "${CLIENT_HOME_HOST}/")
string(REGEX REPLACE "^[a-z]+://(www\\.)?([^/:]+).*$" "\\2" _client_domain "${CLIENT_HOME_HOST}")
set(CLIENT_SCREENSHOT_URL "${CLIENT_HOMEPAGE}client/screens" CACHE STRING
    "https address of the folder where the pictures of docs/screens are published (AppStream screenshots)")
set(CLIENT_PACKAGE_MAINTAINER "${CLIENT_TITLE} client developers <packages@${_client_domain}>" CACHE STRING
    "Maintainer of the Debian package: name <address>")

# Every directory the install puts something in, below the prefix (the command's is added at
# install time).
set(CLIENT_INSTALL_DIRS ${CLIENT_PKG_DIR} ${CMAKE_INSTALL_DATADIR}/applications
    ${CMAKE_INSTALL_DATADIR}/metainfo ${CLIENT_DOC_DIR} ${CLIENT_MAN_DIR})
foreach(size ${CLIENT_ICON_SIZES})
  list(APPEND CLIENT_INSTALL_DIRS ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
list(JOIN CLIENT_INSTALL_DIRS " " CLIENT_INSTALL_DIRS)
set(CLIENT_INSTALL_RECORD ${CMAKE_BINARY_DIR}/install_record.cmake)
# The file in P/lib/talmar2 by which an uninstall knows the install of its record is still there.
set(CLIENT_INSTALL_MARK .install-mark)
configure_file(${CMAKE_SOURCE_DIR}/cmake/install-steps.cmake.in ${CMAKE_BINARY_DIR}/install-steps.cmake @ONLY)
install(SCRIPT ${CMAKE_BINARY_DIR}/install-steps.cmake)

install(TARGETS Zorvik_talmar2 RUNTIME DESTINATION ${CLIENT_PKG_DIR})
install(TARGETS talmar2-web LIBRARY DESTINATION ${CLIENT_PKG_DIR})
install(CODE "client_strip_sections()")
install(CODE "client_install_command()")
install(CODE "client_install_desktop_entry()")
foreach(size ${CLIENT_ICON_SIZES})
  install(FILES ${CMAKE_BINARY_DIR}/art/icon-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${CLIENT_ICON_NAME}.png)
endforeach()

# AppStream metadata, with the release of this version dated like the package's changelog
# (SOURCE_DATE_EPOCH when it is set, for reproducible builds). The package's version carries a
# revision (1.1.0-1), as a package of software made outside Debian does; its changelog is then
# changelog.Debian, the packaging's.
set(CPACK_DEBIAN_PACKAGE_NAME zorvik-talmar2)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CLIENT_DEB_VERSION ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})
string(TIMESTAMP CLIENT_RELEASE_DATE "%Y-%m-%d" UTC)
string(TIMESTAMP CLIENT_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(CLIENT_DEVELOPER "The ${CLIENT_TITLE} client developers")
configure_file(${CMAKE_SOURCE_DIR}/packaging/${CLIENT_APPSTREAM_ID}.metainfo.xml.in
               ${CMAKE_BINARY_DIR}/packaging/${CLIENT_APPSTREAM_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/${CLIENT_APPSTREAM_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The manual page, dated and compressed as the changelog below.
configure_file(${CMAKE_SOURCE_DIR}/packaging/${CLIENT_COMMAND}.6.in ${CMAKE_BINARY_DIR}/packaging/${CLIENT_COMMAND}.6 @ONLY)
execute_process(COMMAND gzip -9nc ${CMAKE_BINARY_DIR}/packaging/${CLIENT_COMMAND}.6
                OUTPUT_FILE ${CMAKE_BINARY_DIR}/packaging/${CLIENT_COMMAND}.6.gz COMMAND_ERROR_IS_FATAL ANY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/${CLIENT_COMMAND}.6.gz DESTINATION ${CLIENT_MAN_DIR})

# The copyright file in Debian's machine-readable form, from LICENSE, and the package's changelog
# (both where Debian's policy wants them; gzip -n keeps the package reproducible).
file(READ ${CMAKE_SOURCE_DIR}/LICENSE _license)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]+)" _ "${_license}")
set(CLIENT_COPYRIGHT "${CMAKE_MATCH_1}")
string(REGEX REPLACE "^.*Copyright \\(c\\) [^\n]+\n+" "" _license "${_license}")
string(STRIP "${_license}" _license)
string(REGEX REPLACE "\n\n" "\n.\n" _license "${_license}")
string(REPLACE "\n" "\n " CLIENT_LICENSE_TEXT " ${_license}")
configure_file(${CMAKE_SOURCE_DIR}/packaging/copyright.in ${CMAKE_BINARY_DIR}/packaging/copyright @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/packaging/changelog.Debian.in ${CMAKE_BINARY_DIR}/packaging/changelog.Debian @ONLY)
execute_process(COMMAND gzip -9nc ${CMAKE_BINARY_DIR}/packaging/changelog.Debian
                OUTPUT_FILE ${CMAKE_BINARY_DIR}/packaging/changelog.Debian.gz COMMAND_ERROR_IS_FATAL ANY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.Debian.gz
        DESTINATION ${CLIENT_DOC_DIR})

# Last: what uninstalling will take away.
install(CODE "client_install_record()")

configure_file(${CMAKE_SOURCE_DIR}/cmake/uninstall.cmake.in ${CMAKE_BINARY_DIR}/cmake_uninstall.cmake @ONLY)
add_custom_target(uninstall COMMAND ${CMAKE_COMMAND} -P ${CMAKE_BINARY_DIR}/cmake_uninstall.cmake
                  COMMENT "Removing the installed client" VERBATIM)

# The Debian package. Its dependencies are found by dpkg-shlibdeps from the libraries the client
# and the web module link (cmake/DebDepends.cmake), plus what the client needs without linking
# it: the HTTP and crypto libraries it opens at their first use (curl 7.85 for its protocol
# options by name), a CJK font for its texts and the icon theme of its message boxes.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${CPACK_DEBIAN_PACKAGE_NAME})
set(CPACK_PACKAGE_VENDOR "${CLIENT_DEVELOPER}")
set(CPACK_PACKAGE_CONTACT "${CLIENT_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CLIENT_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop client for the browser game ${CLIENT_TITLE}")
set(CPACK_PACKAGE_DESCRIPTION "The game in a skinned window of its own, with its own update check,\n login screen, tabs, tray icon and hot key.")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${CLIENT_HOMEPAGE}")
set(CPACK_PACKAGE_INSTALL_DIRECTORY talmar2)
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "libcurl4 (>= 7.85.0), libssl3 (>= 3.0.0), fonts-wqy-microhei, adwaita-icon-theme")
# CPack's own dpkg-shlibdeps run (CPACK_DEBIAN_PACKAGE_SHLIBDEPS) would also add maintainer
# scripts that run ldconfig, only because the web module lies below /usr/lib, though no library
# of the package is in the linker's path; and it takes no overrides. So it runs in a script of
# ours on the staged files, with packaging/shlibs.local.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
set(CPACK_CLIENT_ELF_FILES usr/${CLIENT_PKG_DIR}/${CLIENT_COMMAND} usr/${CLIENT_PKG_DIR}/libtalmar2-web.so)
set(CPACK_CLIENT_SHLIBS_LOCAL ${CMAKE_SOURCE_DIR}/packaging/shlibs.local)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/DebDepends.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/DebInstalledSize.cmake)
set(CPACK_STRIP_FILES ON)
include(CPack)
