# Installs the documentation next to the programs (which their own
# folders install into bin/): the man pages into share/man/man1, the user
# manual, the licence and the example programs into share/doc/<project>.
# The documentation folder is named as the Debian package is.
set(CMAKE_INSTALL_DOCDIR share/doc/stack-machine-toolchain CACHE PATH "documentation")
include(GNUInstallDirs)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/man)
file(GLOB MAN_SOURCES ${PROJECT_SOURCE_DIR}/docs/man/*.1)

# The man pages compressed, as Debian's policy asks and man reads them (no
# name or time in the gzip header, so the same page gives the same bytes).
foreach(page assembler simulator debugger checker disassembler language-server debug-adapter)
  execute_process(COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/docs/man/${page}.1
    OUTPUT_FILE ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
  install(FILES ${CMAKE_BINARY_DIR}/man/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${MAN_SOURCES})

install(FILES ${PROJECT_SOURCE_DIR}/docs/manual.md ${PROJECT_SOURCE_DIR}/LICENSE
  DESTINATION ${CMAKE_INSTALL_DOCDIR})

install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/
  DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples
  FILES_MATCHING PATTERN "*.asm")

# The editor files (syntax, filetype detection, the extension that starts
# language-server), to copy into an editor's configuration.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/editors/
  DESTINATION ${CMAKE_INSTALL_DOCDIR}/editors
  PATTERN "test" EXCLUDE PATTERN ".gitignore" EXCLUDE)

# The Vim files where the editors look: Debian's Vim reads
# /usr/share/vim/vimfiles, Neovim the site folder under every data folder.
foreach(editor_dir vim/vimfiles nvim/site)
  foreach(kind ftdetect ftplugin syntax)
    install(FILES ${PROJECT_SOURCE_DIR}/editors/vim/${kind}/stackasm.vim
      DESTINATION ${CMAKE_INSTALL_DATADIR}/${editor_dir}/${kind})
  endforeach()
endforeach()

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

include(${CMAKE_CURRENT_LIST_DIR}/package.cmake)
