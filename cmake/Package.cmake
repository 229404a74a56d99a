# Installation into the system and the Debian package that scripts/package makes with CPack. The
# bundle goes to /opt, the filesystem hierarchy's place for add-on software, which Pelora's
# installation check accepts beside ~/Applications and /Applications; the rest goes where
# desktops look for it under the prefix (/usr in the package), where gnome-extension/ also puts
# Pelora's GNOME Shell extension.
include(GNUInstallDirs)
set(PELORA_SYSTEM_BUNDLE /opt/Pelora.app)
set(PELORA_SYSTEM_EXECUTABLE ${PELORA_SYSTEM_BUNDLE}/Contents/MacOS/pelora)
set(PELORA_MAINTAINER "The Pelora developers <developers@${PELORA_WEB_HOST}>")
set(PELORA_DEBIAN_VERSION ${PROJECT_VERSION}-${PELORA_BUILD_NUMBER})
set(_package_src ${PROJECT_SOURCE_DIR}/resources/package)
set(_package_out ${CMAKE_BINARY_DIR}/package)
set(_doc ${CMAKE_INSTALL_DATADIR}/doc/pelora)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS pelora RUNTIME DESTINATION ${PELORA_SYSTEM_BUNDLE}/Contents/MacOS)
install(FILES ${PELORA_BUNDLE_DIR}/Contents/Info.json DESTINATION ${PELORA_SYSTEM_BUNDLE}/Contents)
install(DIRECTORY ${PELORA_BUNDLE_DIR}/Contents/Resources
    DESTINATION ${PELORA_SYSTEM_BUNDLE}/Contents FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

# The command line's pelora: a link to the executable, whose real path tells it its bundle.
file(MAKE_DIRECTORY ${_package_out}/bin)
file(CREATE_LINK ${PELORA_SYSTEM_EXECUTABLE} ${_package_out}/bin/pelora SYMBOLIC)
install(FILES ${_package_out}/bin/pelora DESTINATION ${CMAKE_INSTALL_BINDIR})

# The launcher entry, named after the bundle identifier. Its Exec names the executable itself:
# KWin grants the window list to the program the entry names, and the link is not that program.
set(PELORA_DESKTOP_EXEC ${PELORA_SYSTEM_EXECUTABLE})
set(PELORA_DESKTOP_TRYEXEC ${PELORA_SYSTEM_EXECUTABLE})
set(PELORA_DESKTOP_ICON ${PELORA_BUNDLE_IDENTIFIER})
configure_file(${_package_src}/pelora.desktop.in
    ${_package_out}/${PELORA_BUNDLE_IDENTIFIER}.desktop @ONLY)
install(FILES ${_package_out}/${PELORA_BUNDLE_IDENTIFIER}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/AppIcon.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${PELORA_BUNDLE_IDENTIFIER}.svg)

# The documents Debian asks of every package, compressed as it wants them (gzip -9n).
string(TIMESTAMP PELORA_CHANGELOG_DATE "%a, %d %b %Y 00:00:00 +0000" UTC)
configure_file(${_package_src}/changelog.Debian.in ${_package_out}/changelog.Debian @ONLY)
configure_file(${_package_src}/pelora.1 ${_package_out}/pelora.1 @ONLY)
find_program(GZIP_PROGRAM gzip REQUIRED)
foreach(_f changelog.Debian pelora.1)
    add_custom_command(OUTPUT ${_package_out}/${_f}.gz
        COMMAND ${GZIP_PROGRAM} -9nc ${_package_out}/${_f} > ${_package_out}/${_f}.gz
        DEPENDS ${_package_out}/${_f})
    list(APPEND _package_docs ${_package_out}/${_f}.gz)
endforeach()
add_custom_target(pelora_package_docs ALL DEPENDS ${_package_docs})
install(FILES ${_package_out}/changelog.Debian.gz ${_package_src}/copyright DESTINATION ${_doc})
install(FILES ${_package_out}/pelora.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${_package_src}/lintian-overrides
    DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME pelora)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pelora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT ${PELORA_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "recent documents, folders, applications and the clipboard, one click away")
set(CPACK_PACKAGE_DESCRIPTION [=[
Pelora lives in the system tray and keeps a small floating bar, the strip, at
the edge of the screen. Its five buttons pop up menus of the documents,
folders and applications used lately and the favorite ones, the clipboard
history, and the applications running now. It runs on X11 and on Wayland
desktops (GNOME, KDE Plasma, sway and other wlroots compositors).]=])
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${PELORA_BUILD_NUMBER})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://${PELORA_WEB_HOST}/)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Depends: what the executable links, as dpkg-shlibdeps finds it. The tray needs a host, which
# GNOME lacks without its AppIndicator extension (the other desktops' panels have one); native
# Wayland (QT_QPA_PLATFORM=wayland) and more picture formats on the clipboard need Qt's plugins.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "gnome-shell-extension-appindicator | plasma-workspace | xfce4-panel | lxqt-panel | mate-panel, qt6-wayland, qt6-image-formats-plugins")
include(CPack)
