# libpq for the Windows presets' kadrel.exe sync: built from Debian's
# PostgreSQL source by scripts/build-mingw-libpq, once per architecture, under
# KADREL_MINGW_LIBPQ_DIR (the first configure of a preset builds it, a few
# minutes of CPU). Defines PostgreSQL::PostgreSQL and PostgreSQL_FOUND as the
# native build's find_package does, KADREL_LIBPQ_DLL, the DLL that ships
# beside kadrel.exe, and KADREL_LIBPQ_LICENSE, its licence.
option(KADREL_MINGW_SYNC "Build kadrel.exe sync, with a libpq built from Debian's PostgreSQL source" ON)
set(KADREL_MINGW_LIBPQ_DIR ${PROJECT_SOURCE_DIR}/build/mingw-libpq CACHE PATH
    "Where scripts/build-mingw-libpq puts libpq for each mingw-w64 architecture")
if(NOT KADREL_MINGW_SYNC)
  return()
endif()
set(libpq ${KADREL_MINGW_LIBPQ_DIR}/${KADREL_MINGW_ARCH}-w64-mingw32)
if(NOT EXISTS ${libpq}/built)
  message(STATUS "Building libpq for ${KADREL_MINGW_ARCH}-w64-mingw32 into ${libpq}")
  execute_process(COMMAND ${CMAKE_COMMAND} -E env KADREL_MINGW_LIBPQ_DIR=${KADREL_MINGW_LIBPQ_DIR}
                          ${PROJECT_SOURCE_DIR}/scripts/build-mingw-libpq ${KADREL_MINGW_ARCH}
                  RESULT_VARIABLE built)
  if(NOT built EQUAL 0)
    message(FATAL_ERROR "libpq for ${KADREL_MINGW_ARCH}-w64-mingw32 could not be built (see above); "
                        "-DKADREL_MINGW_SYNC=OFF builds kadrel.exe without sync")
  endif()
endif()
add_library(PostgreSQL::PostgreSQL SHARED IMPORTED)
set_target_properties(PostgreSQL::PostgreSQL PROPERTIES IMPORTED_LOCATION ${libpq}/bin/libpq.dll
                      IMPORTED_IMPLIB ${libpq}/lib/libpq.a INTERFACE_INCLUDE_DIRECTORIES ${libpq}/include)
set(PostgreSQL_FOUND TRUE)
set(KADREL_LIBPQ_DLL ${libpq}/bin/libpq.dll)
set(KADREL_LIBPQ_LICENSE ${libpq}/COPYRIGHT)
