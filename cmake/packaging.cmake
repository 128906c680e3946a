# Installation and the Debian package.
#   cmake --install BUILD --prefix PREFIX
#   cpack --config BUILD/CPackConfig.cmake      (from a Release build)

include(GNUInstallDirs)

if(TARGET korva)
  install(TARGETS korva RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(TARGETS korva-asm RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES ${PROJECT_SOURCE_DIR}/resources/korva.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/resources/korva.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/resources/korva-asm.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/docs/notation.md
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
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Assembler for PIC mid-range microcontrollers")
set(CPACK_PACKAGE_DESCRIPTION
    "KORVA assembles programs for PIC mid-range microcontrollers (14-bit program
words) written in its compact operator notation. It writes a tab-separated
listing, a binary program image and, on request, Intel HEX. The package holds
the batch assembler korva-asm and, when built, the desktop window korva.")
set(CPACK_PACKAGE_CONTACT "KORVA developers <korva@example.org>")
set(CPACK_GENERATOR "DEB")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "KORVA developers <korva@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION "devel")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
include(CPack)
