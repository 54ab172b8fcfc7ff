# Installing the client: `cmake --install <build> [--prefix P]` (default /usr/local) and a
# Debian package (`cpack -G DEB` in the build tree).
#
#   P/lib/talmar2/Zorvik_talmar2        the client, with the web module beside it, where it
#   P/lib/talmar2/libtalmar2-web.so     looks first (/proc/self/exe is the real file)
#   P/bin/Zorvik_talmar2                a relative link to it, the command users type
#   P/share/applications/Zorvik_talmar2.desktop
#   P/share/icons/hicolor/<n>x<n>/apps/talmar2.png   for n = 16, 32, 48, 256
#
# The command keeps the executable's name so that the windows' class (the toolkit takes it from
# the program name) is the same however the client is started; the desktop entry's
# StartupWMClass names it. The updater is not installed: the client carries it.
#
# `cmake --build <build> --target uninstall` removes what the last install put in place, by
# its manifest, and the directories it made that are empty then.

include(GNUInstallDirs)

set(CLIENT_PKG_DIR ${CMAKE_INSTALL_LIBDIR}/talmar2)
set(CLIENT_ICON_NAME talmar2)
set(CLIENT_WM_CLASS Zorvik_talmar2)

install(TARGETS Zorvik_talmar2 RUNTIME DESTINATION ${CLIENT_PKG_DIR})
install(TARGETS talmar2-web LIBRARY DESTINATION ${CLIENT_PKG_DIR})

# The link is made in the staging or target tree, relative so a moved tree keeps working.
file(RELATIVE_PATH CLIENT_LINK_TARGET ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}
     ${CMAKE_INSTALL_PREFIX}/${CLIENT_PKG_DIR}/Zorvik_talmar2)
install(CODE "
  set(dir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  file(RELATIVE_PATH target \"\${dir}\" \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CLIENT_PKG_DIR}/Zorvik_talmar2\")
  file(MAKE_DIRECTORY \"\${dir}\")
  file(CREATE_LINK \"\${target}\" \"\${dir}/Zorvik_talmar2\" SYMBOLIC)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/Zorvik_talmar2\")
  message(STATUS \"Installing: \${dir}/Zorvik_talmar2 -> \${target}\")
")

# The desktop entry names the command by its full path (a prefix's bin need not be on PATH), so
# it is written at install time, when the prefix is known (CPack installs into /usr).
set(CLIENT_TITLE "ZorvikTalmar2")         # name and caption as the windows show them
set(CLIENT_CAPTION "ZorvikTalmar2客户端")  # (common/Settings.h)
set(CLIENT_ICON ${CLIENT_ICON_NAME})
install(CODE "
  set(CLIENT_TITLE \"${CLIENT_TITLE}\")
  set(CLIENT_CAPTION \"${CLIENT_CAPTION}\")
  set(CLIENT_ICON \"${CLIENT_ICON}\")
  set(CLIENT_WM_CLASS \"${CLIENT_WM_CLASS}\")
  set(CLIENT_EXEC \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/Zorvik_talmar2\")
  set(entry \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications/Zorvik_talmar2.desktop\")
  configure_file(\"${CMAKE_SOURCE_DIR}/packaging/Zorvik_talmar2.desktop.in\" \"\$ENV{DESTDIR}\${entry}\" @ONLY)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${entry}\")
  message(STATUS \"Installing: \$ENV{DESTDIR}\${entry}\")
")
foreach(size 16 32 48 256)
  install(FILES ${CMAKE_BINARY_DIR}/art/icon-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${CLIENT_ICON_NAME}.png)
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zorvik-talmar2
        RENAME copyright)

configure_file(${CMAKE_SOURCE_DIR}/cmake/uninstall.cmake.in ${CMAKE_BINARY_DIR}/cmake_uninstall.cmake @ONLY)
add_custom_target(uninstall COMMAND ${CMAKE_COMMAND} -P ${CMAKE_BINARY_DIR}/cmake_uninstall.cmake
                  COMMENT "Removing the installed client" VERBATIM)

# The Debian package. Its dependencies are found by dpkg-shlibdeps from the libraries the client
# and the web module link, plus what the client needs without linking it: a CJK font for its
# texts and the icon theme of its message boxes.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zorvik-talmar2)
set(CPACK_PACKAGE_VENDOR "ZorvikTalmar2 client developers")
set(CPACK_PACKAGE_CONTACT "ZorvikTalmar2 client developers <maintainers@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop client for the browser game ZorvikTalmar2")
set(CPACK_PACKAGE_DESCRIPTION "The game in a skinned window of its own, with its own update check,\n login screen, tabs, tray icon and hot key.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY talmar2)
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wqy-microhei, adwaita-icon-theme")
set(CPACK_STRIP_FILES ON)
include(CPack)
