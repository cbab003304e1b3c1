# The operators' Debian package of the release build: kadrel in /usr/bin, the
# plug-in it plays matches against in /usr/lib/<arch>/kadrel (where kadrel
# looks when none lies beside it), the man page made from the program's own help, and
# the examples, the guide and the licences in /usr/share/doc/kadrel.
set(doc share/doc/kadrel)
set(built ${CMAKE_CURRENT_BINARY_DIR})

kadrel_operators_guide(${built}/operators-guide.txt Linux kadrel /srv/quorlen "/usr/share/doc/kadrel/copyright")

# The man page is the text `kadrel help` prints for the program and each
# command, so the two never differ.
add_custom_command(OUTPUT ${built}/kadrel.1.gz
  COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:kadrel_cli> -DVERSION=${PROJECT_VERSION}
          -DOUTPUT=${built}/kadrel.1 -P ${PROJECT_SOURCE_DIR}/cmake/man_page.cmake
  COMMAND gzip -9nf ${built}/kadrel.1
  DEPENDS kadrel_cli kadrel ${PROJECT_SOURCE_DIR}/cmake/man_page.cmake
  COMMENT "Writing kadrel's man page from its help")
add_custom_target(kadrel_man_page ALL DEPENDS ${built}/kadrel.1.gz)

# Debian wants the package's history and licences in its doc folder, both
# compressed but the copyright file.
string(TIMESTAMP date "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(WRITE ${built}/changelog
  "kadrel (${PROJECT_VERSION}) unstable; urgency=medium\n\n  * Kadrel ${PROJECT_VERSION}.\n\n"
  " -- Kadrel developers <kadrel@quorlen.invalid>  ${date}\n")
# A licence in the copyright file is indented, its blank lines a lone dot.
file(READ ${PROJECT_SOURCE_DIR}/third_party/uplot/LICENSE uplot_licence)
string(STRIP "${uplot_licence}" uplot_licence)
string(REGEX REPLACE "\n[ \t]*\n" "\n.\n" uplot_licence "${uplot_licence}")
string(REPLACE "\n" "\n " uplot_licence " ${uplot_licence}")
configure_file(copyright ${built}/copyright @ONLY)
add_custom_command(OUTPUT ${built}/changelog.gz COMMAND gzip -9nkf ${built}/changelog DEPENDS ${built}/changelog)
add_custom_target(kadrel_changelog ALL DEPENDS ${built}/changelog.gz)

install(TARGETS kadrel_cli RUNTIME DESTINATION bin)
install(TARGETS kadrel LIBRARY DESTINATION ${KADREL_INSTALLED_PLUGIN_DIR})
install(FILES ${built}/kadrel.1.gz DESTINATION share/man/man1)
install(FILES ${PROJECT_SOURCE_DIR}/examples/credits.ini ${PROJECT_SOURCE_DIR}/examples/buy.ini
              ${PROJECT_SOURCE_DIR}/examples/demo.arena DESTINATION ${doc}/examples)
install(FILES ${built}/operators-guide.txt ${built}/copyright ${built}/changelog.gz DESTINATION ${doc})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kadrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Kadrel developers <kadrel@quorlen.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "operators' tool of the Kadrel credits economy")
set(CPACK_PACKAGE_DESCRIPTION "kadrel plays a match against the Kadrel plug-in, lists, changes,
undoes and exports the balances of a bot's bank file and its history,
checks the shop's and the rewards' INI files the way the plug-in reads
them, and draws the economy of a bank's folder as one offline web page.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)

add_test(NAME debian_package COMMAND bash ${PROJECT_SOURCE_DIR}/tests/check_debian_package.sh ${PROJECT_BINARY_DIR}
                                     ${PROJECT_SOURCE_DIR})
