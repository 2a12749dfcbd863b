# The Debian package: `cpack -G DEB` in a build directory (scripts/package.sh
# builds one from scratch) writes stack-machine-toolchain_VERSION_amd64.deb
# with what `cmake --install` puts under /usr, the Vim files where Debian's
# Vim and Neovim look, a copyright file and a changelog. Its dependencies are
# computed by dpkg-shlibdeps.

# The copyright file in Debian's machine-readable form, the changelog
# compressed as policy asks (no name or time in the gzip header; a native
# package's is changelog.gz), and the
# overrides for the two programs linked statically on purpose.
set(DEB_GENERATED ${CMAKE_BINARY_DIR}/deb)
configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/copyright.in ${DEB_GENERATED}/copyright @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/changelog.in ${DEB_GENERATED}/changelog @ONLY)
execute_process(COMMAND gzip -9nc ${DEB_GENERATED}/changelog
  OUTPUT_FILE ${DEB_GENERATED}/changelog.gz)
install(FILES ${DEB_GENERATED}/copyright ${DEB_GENERATED}/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/lintian-overrides
  DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME stack-machine-toolchain)

set(CPACK_PACKAGE_NAME stack-machine-toolchain)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "the stack machine toolchain authors")
set(CPACK_PACKAGE_CONTACT "Stack machine toolchain maintainers <maintainers@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "toolchain of an 8-bit stack machine for teaching")
set(CPACK_PACKAGE_DESCRIPTION
  "Assembler, simulator, time-travel debugger, grading checker, disassembler,
language server and debug adapter for an 8-bit stack machine with 16-bit
addresses, written to learn and teach how such a machine works. The
manual and example programs are in /usr/share/doc/stack-machine-toolchain.")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "")
# Stripped programs, as Debian policy asks, and sorted members
# (CPack writes the data archive in the order it finds files).
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_IGNORE_FILES "/build.*/;/\\\\.git/")
include(CPack)
