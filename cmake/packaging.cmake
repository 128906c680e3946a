# Installation and the Debian package.
#   cmake --install BUILD --prefix PREFIX
#   cpack --config BUILD/CPackConfig.cmake      (from a Release build)

include(GNUInstallDirs)

install(TARGETS korva-asm korva-dis RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The language server, where it is built.
if(TARGET korva-lsp)
  install(TARGETS korva-lsp RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
# The window, with what a desktop needs to start it: the entry and its icon.
if(TARGET korva)
  install(TARGETS korva RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/resources/korva.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/resources/korva.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/resources/korva-mime.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME korva.xml)

# The chip definitions, where korva-asm --chip looks for them: share/korva/chips
# beside the bin folder.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/chips/
        DESTINATION ${CMAKE_INSTALL_DATADIR}/korva/chips
        FILES_MATCHING PATTERN "*.inc")

# The playground's static site, where scripts/playground.sh has built it
# (playground/dist): any web server serves share/korva/playground.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/playground/dist/
        DESTINATION ${CMAKE_INSTALL_DATADIR}/korva/playground OPTIONAL)

# Manual pages and the changelog are installed compressed, as Debian wants
# them; -n keeps the archive free of names and times, so it is reproducible.
find_program(KORVA_GZIP gzip REQUIRED)
set(korva_compressed "")
foreach(source IN ITEMS resources/korva-asm.1 resources/korva-dis.1 resources/korva.1 resources/korva-lsp.1
                        resources/debian/changelog)
  get_filename_component(name ${source} NAME)
  set(compressed ${CMAKE_CURRENT_BINARY_DIR}/compressed/${name}.gz)
  add_custom_command(OUTPUT ${compressed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/compressed
    COMMAND ${KORVA_GZIP} -9n -c ${PROJECT_SOURCE_DIR}/${source} > ${compressed}
    DEPENDS ${PROJECT_SOURCE_DIR}/${source} VERBATIM)
  list(APPEND korva_compressed ${compressed})
endforeach()
add_custom_target(korva_compressed_docs ALL DEPENDS ${korva_compressed})
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/compressed/korva-asm.1.gz
              ${CMAKE_CURRENT_BINARY_DIR}/compressed/korva-dis.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
if(TARGET korva)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/compressed/korva.1.gz
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
if(TARGET korva-lsp)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/compressed/korva-lsp.1.gz
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/compressed/changelog.gz
              ${PROJECT_SOURCE_DIR}/resources/debian/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/docs/notation.md
              ${PROJECT_SOURCE_DIR}/docs/limits.md ${PROJECT_SOURCE_DIR}/docs/performance.md
              ${PROJECT_SOURCE_DIR}/docs/map-and-debug-files.md
              ${PROJECT_SOURCE_DIR}/docs/language-server.md
              ${PROJECT_SOURCE_DIR}/docs/disassembler.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The notation for editors: korva.xml (Kate, KWrite, KDevelop, Qt Creator);
# korva.tmLanguage.json with package.json and language-configuration.json, so
# that the folder is also a VS Code extension.
install(FILES
          ${PROJECT_SOURCE_DIR}/syntax/editors/korva.xml
          ${PROJECT_SOURCE_DIR}/syntax/editors/korva.tmLanguage.json
          ${PROJECT_SOURCE_DIR}/syntax/editors/package.json
          ${PROJECT_SOURCE_DIR}/syntax/editors/language-configuration.json
        DESTINATION ${CMAKE_INSTALL_DATADIR}/korva/syntax)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples
        FILES_MATCHING PATTERN "*.amk" PATTERN "*.as" PATTERN "*.inc")

set(CPACK_PACKAGE_NAME "korva")
set(CPACK_PACKAGE_VENDOR "KORVA developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "assembler for PIC mid-range microcontrollers")
set(CPACK_PACKAGE_DESCRIPTION
    "KORVA assembles programs for PIC mid-range microcontrollers (14-bit program
words) written in its compact operator notation. It writes a tab-separated
listing, a binary program image and, on request, Intel HEX for a simulator
or a programmer.
.
The package holds the batch assembler korva-asm, the language server
korva-lsp for editors, the desktop window korva (when built), definition
files for the classic mid-range chips (10F32x, 12F, 16C, 16F, 16LF and
16HV parts) and the language reference.")
set(CPACK_PACKAGE_CONTACT "KORVA developers <korva@example.org>")
set(CPACK_GENERATOR "DEB")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "KORVA developers <korva@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION "devel")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Without a Japanese font the window's menus are empty boxes; gpsim runs the
# HEX files.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk | fonts-ipafont-gothic, gpsim")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_STRIP_FILES ON)
include(CPack)
