# What `make install` puts where on Linux, and the Debian package CPack builds from it (`make package`).
install(TARGETS zendrel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The window module in the program's private library folder, where the program looks for it: not a library for others
# to link, so no soname and no ldconfig. dpkg-shlibdeps reads its dependencies (Qt) for the package all the same.
if(TARGET zendrel_window)
  install(TARGETS zendrel_window LIBRARY DESTINATION ${ZENDREL_PRIVATE_LIBDIR})
endif()
install(FILES packaging/linux/zendrel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/linux/zendrel.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# Debian keeps manual pages and the package's changelog compressed, reproducibly (no name or time in the header).
# Both name the version as @PROJECT_VERSION@, filled in here.
set(ZENDREL_PACKAGE_FILES ${PROJECT_BINARY_DIR}/package-files)
foreach(source zendrel.1 changelog)
  configure_file(packaging/linux/${source} ${ZENDREL_PACKAGE_FILES}/${source} @ONLY)
  add_custom_command(OUTPUT ${ZENDREL_PACKAGE_FILES}/${source}.gz
    COMMAND gzip -9n -c ${ZENDREL_PACKAGE_FILES}/${source} > ${ZENDREL_PACKAGE_FILES}/${source}.gz
    DEPENDS ${ZENDREL_PACKAGE_FILES}/${source} VERBATIM)
endforeach()
add_custom_target(package_files ALL DEPENDS ${ZENDREL_PACKAGE_FILES}/zendrel.1.gz ${ZENDREL_PACKAGE_FILES}/changelog.gz)
install(FILES ${ZENDREL_PACKAGE_FILES}/zendrel.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${ZENDREL_PACKAGE_FILES}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR}
  RENAME changelog.Debian.gz)
install(FILES packaging/linux/copyright README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

# What software centres show: the AppStream file, named after its component id, with the releases of the changelog
# and the README's pictures as its screenshots (below ZENDREL_SCREENSHOT_URL, where the docs/ folder is published).
include(cmake/appstream_releases.cmake)
set(ZENDREL_HOMEPAGE "https://zendrel.example/")
set(ZENDREL_SCREENSHOT_URL "${ZENDREL_HOMEPAGE}docs/" CACHE STRING "Where the README's pictures are published")
zendrel_appstream_releases(${ZENDREL_PACKAGE_FILES}/changelog ZENDREL_RELEASES)
set(ZENDREL_METAINFO example.zendrel.Zendrel.metainfo.xml)
configure_file(packaging/linux/zendrel.metainfo.xml.in ${ZENDREL_PACKAGE_FILES}/${ZENDREL_METAINFO} @ONLY)
install(FILES ${ZENDREL_PACKAGE_FILES}/${ZENDREL_METAINFO} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zendrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Zendrel developers <packages@zendrel.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "save the attachments of selected mails from a POP3 mailbox")
# CPack puts the summary first; the description is the long text under it.
set(CPACK_PACKAGE_DESCRIPTION "Zendrel watches one POP3 mailbox and saves the attachments of the mails it is
told to keep (by sender, by a text in the subject, by file extension) into a
folder, on a schedule. It has a settings window with an activity log and a tray
icon, runs as a systemd user service, and can be set up and run from the
command line alone.")
set(CPACK_DEBIAN_PACKAGE_SECTION mail)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${ZENDREL_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt draws on X11 (or XWayland) with what the package depends on; a Wayland session without XWayland needs Qt's
# Wayland platform plugin.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-wayland)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Folders the package shares with the system belong to it only as far as they are its own.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/debian_without_ldconfig.cmake)
include(CPack)
