# Run by CPack once it has built the Debian package (CPACK_POST_BUILD_SCRIPTS). CPack gives every package with a
# shared object one folder below /usr/lib a postinst and a postrm that run ldconfig, taking the window module in
# /usr/lib/zendrel/ for a public library. The program loads the module by its path, never through the linker's cache:
# the two scripts are taken out again, and the package has no maintainer script, as before the module.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "\\.deb$")
    continue()
  endif()
  set(tree "${package}.tree")
  file(REMOVE_RECURSE "${tree}")
  execute_process(COMMAND dpkg-deb --raw-extract "${package}" "${tree}" COMMAND_ERROR_IS_FATAL ANY)
  if(EXISTS "${tree}/DEBIAN/postinst" OR EXISTS "${tree}/DEBIAN/postrm")
    file(REMOVE "${tree}/DEBIAN/postinst" "${tree}/DEBIAN/postrm")
    execute_process(COMMAND dpkg-deb --root-owner-group -Zgzip --build "${tree}" "${package}"
      OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  endif()
  file(REMOVE_RECURSE "${tree}")
endforeach()
