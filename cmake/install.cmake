# Installs the documentation next to the programs (which their own
# folders install into bin/): the man pages into share/man/man1, the user
# manual, the licence and the example programs into share/doc/<project>.
include(GNUInstallDirs)

install(FILES
  ${PROJECT_SOURCE_DIR}/docs/man/assembler.1
  ${PROJECT_SOURCE_DIR}/docs/man/simulator.1
  ${PROJECT_SOURCE_DIR}/docs/man/debugger.1
  ${PROJECT_SOURCE_DIR}/docs/man/checker.1
  ${PROJECT_SOURCE_DIR}/docs/man/disassembler.1
  ${PROJECT_SOURCE_DIR}/docs/man/language-server.1
  ${PROJECT_SOURCE_DIR}/docs/man/debug-adapter.1
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(FILES ${PROJECT_SOURCE_DIR}/docs/manual.md ${PROJECT_SOURCE_DIR}/LICENSE
  DESTINATION ${CMAKE_INSTALL_DOCDIR})

install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/
  DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples
  FILES_MATCHING PATTERN "*.asm")

# The editor files (syntax, filetype detection, the extension that starts
# language-server), to copy into an editor's configuration.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/editors/
  DESTINATION ${CMAKE_INSTALL_DOCDIR}/editors
  PATTERN "test" EXCLUDE)

# Bash completion of the programs' options, one file under each program's
# name so that bash-completion finds it when the program is first completed.
foreach(program assembler simulator debugger checker disassembler language-server)
  install(FILES ${PROJECT_SOURCE_DIR}/completion/stack_machine.bash
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME ${program})
endforeach()

# The man pages state the version of the project() line (the one --version
# prints): a page that states another stops the configuration.
file(GLOB MAN_PAGES ${PROJECT_SOURCE_DIR}/docs/man/*.1)
foreach(page ${MAN_PAGES})
  file(STRINGS ${page} title REGEX "^\\.TH ")
  if(NOT title MATCHES "\"stack machine toolchain ${PROJECT_VERSION}\"")
    message(FATAL_ERROR "${page}: its .TH line does not state version ${PROJECT_VERSION}")
  endif()
endforeach()
