# Installs the documentation next to the two programs (which their own
# folders install into bin/): the man pages into share/man/man1, the user
# manual, the licence and the example programs into share/doc/<project>.
include(GNUInstallDirs)

install(FILES
  ${PROJECT_SOURCE_DIR}/docs/man/assembler.1
  ${PROJECT_SOURCE_DIR}/docs/man/simulator.1
  ${PROJECT_SOURCE_DIR}/docs/man/debugger.1
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(FILES ${PROJECT_SOURCE_DIR}/docs/manual.md ${PROJECT_SOURCE_DIR}/LICENSE
  DESTINATION ${CMAKE_INSTALL_DOCDIR})

install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/
  DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples
  FILES_MATCHING PATTERN "*.asm")
