# The operators' download for Windows: the plug-in and the program beside it,
# stripped, with the example files and a guide, as kadrel-VERSION-win32.zip
# (win64 for the 64-bit build).
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(KADREL_PACKAGE_SYSTEM win32)
else()
  set(KADREL_PACKAGE_SYSTEM win64)
endif()

kadrel_operators_guide(${CMAKE_CURRENT_BINARY_DIR}/README.txt Windows kadrel.exe [[C:\Quorlen]] uPlot-LICENSE.txt)
# Operators open the examples in Notepad too.
set(examples)
foreach(name credits.ini buy.ini demo.arena)
  configure_file(${PROJECT_SOURCE_DIR}/examples/${name} ${CMAKE_CURRENT_BINARY_DIR}/examples/${name}
                 @ONLY NEWLINE_STYLE WIN32)
  list(APPEND examples ${CMAKE_CURRENT_BINARY_DIR}/examples/${name})
endforeach()

install(TARGETS kadrel kadrel_cli
  RUNTIME DESTINATION .
  ARCHIVE DESTINATION lib EXCLUDE_FROM_ALL)
# kadrel report's pages carry uPlot, whose licence goes with the program.
install(FILES ${PROJECT_SOURCE_DIR}/third_party/uplot/LICENSE DESTINATION . RENAME uPlot-LICENSE.txt)
install(FILES ${examples} ${CMAKE_CURRENT_BINARY_DIR}/README.txt DESTINATION .)
# kadrel.exe sync loads PostgreSQL's client library from beside it; its
# licence asks for its notice in every copy.
if(KADREL_SYNC)
  install(FILES ${KADREL_LIBPQ_DLL} DESTINATION .)
  install(FILES ${KADREL_LIBPQ_LICENSE} DESTINATION . RENAME libpq-COPYRIGHT.txt)
endif()

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME kadrel)
set(CPACK_PACKAGE_FILE_NAME kadrel-${PROJECT_VERSION}-${KADREL_PACKAGE_SYSTEM})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_STRIP_FILES ON)
include(CPack)
