# Before the compilers are looked for, every package of scripts/packages that
# this configure needs must be installed; a missing one is named in one line
# with the command that installs it. The native group always; the toolchain
# files add theirs in KADREL_PACKAGE_GROUPS. Nothing is checked where there
# is no dpkg.
find_program(KADREL_DPKG_QUERY dpkg-query)
if(KADREL_DPKG_QUERY)
  set(groups native ${KADREL_PACKAGE_GROUPS})
  if(KADREL_BUILD_FUZZERS)
    list(APPEND groups fuzz)
  endif()
  if(KADREL_BUILD_BENCHMARKS)
    list(APPEND groups bench)
  endif()
  file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/../scripts/packages lines REGEX "^[a-z0-9]+:")
  foreach(line IN LISTS lines)
    string(REGEX MATCH "^[a-z0-9]+" group "${line}")
    if(NOT group IN_LIST groups)
      continue()
    endif()
    string(REGEX REPLACE "^[a-z0-9]+:[ ]*" "" packages "${line}")
    separate_arguments(packages UNIX_COMMAND "${packages}")
    foreach(package IN LISTS packages)
      execute_process(COMMAND ${KADREL_DPKG_QUERY} -W -f=\${Status} ${package}
                      OUTPUT_VARIABLE status ERROR_QUIET)
      if(NOT status MATCHES "install ok installed")
        message(FATAL_ERROR "missing package ${package}; scripts/ensure-packages ${group} installs it")
      endif()
    endforeach()
  endforeach()
endif()
