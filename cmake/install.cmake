# What `cmake --install` puts where, and the packages CPack makes of it: a Debian
# package (`cpack -G DEB` in the build folder) and, for the Windows build, the zip
# that scripts/build-windows makes (`cpack -G ZIP` in build-windows).

set(CPACK_PACKAGE_NAME quorve)
set(CPACK_PACKAGE_VENDOR "quorve maintainers")
set(CPACK_PACKAGE_CONTACT "quorve maintainers <quorve@example.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://quorve.example.org/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "fast search and replace in text files")
set(CPACK_PACKAGE_DESCRIPTION
    "quorve replaces text in a file from the command line: one or more search=replace\n"
    "pairs, applied in order, as plain text (case-insensitive unless asked) or as\n"
    "regular expressions with groups, over the whole file at once or line by line\n"
    "for files larger than memory.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

if(WIN32)
  # Everything at the top of one folder: the program, its README and the licences,
  # as text files with CR LF line ends.
  set(QUORVE_BUNDLED_LICENCES "" CACHE STRING
      "Licence texts of the libraries linked in statically, each NAME-LICENCE.txt")
  set(windows_texts ${PROJECT_BINARY_DIR}/windows-texts)
  function(quorve_crlf_copy source target)
    file(READ ${source} text)
    string(REPLACE "\r\n" "\n" text "${text}")
    string(REPLACE "\n" "\r\n" text "${text}")
    file(WRITE ${target} "${text}")
    set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
  endfunction()
  quorve_crlf_copy(${PROJECT_SOURCE_DIR}/README.md ${windows_texts}/README.txt)
  quorve_crlf_copy(${PROJECT_SOURCE_DIR}/LICENSE ${windows_texts}/LICENSE.txt)
  foreach(licence ${QUORVE_BUNDLED_LICENCES})
    get_filename_component(name ${licence} NAME)
    quorve_crlf_copy(${licence} ${windows_texts}/${name})
  endforeach()

  install(TARGETS quorve RUNTIME DESTINATION .)
  install(DIRECTORY ${windows_texts}/ DESTINATION .)

  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME quorve-${PROJECT_VERSION}-windows-x64)
else()
  include(GNUInstallDirs)
  # The man page's roff is made from its source by scdoc.
  find_program(SCDOC scdoc)
  if(NOT SCDOC)
    message(FATAL_ERROR "scdoc is missing (Debian package scdoc); it makes the man page")
  endif()
  set(man_page ${PROJECT_BINARY_DIR}/quorve.1)
  add_custom_command(
    OUTPUT ${man_page}
    COMMAND sh -c "\"$0\" < \"$1\" > \"$2\"" ${SCDOC} ${PROJECT_SOURCE_DIR}/doc/quorve.1.scd
            ${man_page}
    DEPENDS ${PROJECT_SOURCE_DIR}/doc/quorve.1.scd
    COMMENT "Making the man page quorve.1"
    VERBATIM)
  add_custom_target(man_page ALL DEPENDS ${man_page})

  install(TARGETS quorve RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
          DESTINATION ${CMAKE_INSTALL_DOCDIR})
  # Where a Debian system looks for a package's licence.
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)
  install(FILES ${PROJECT_SOURCE_DIR}/completion/quorve.bash
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions RENAME quorve)

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # Depends: worked out by dpkg-shlibdeps (dpkg-dev) from the shared libraries the
  # program links.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

include(CPack)
