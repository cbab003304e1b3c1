# Windows through mingw-w64. KADREL_MINGW_ARCH chooses the target: i686 for
# the shipped 32-bit DLL, x86_64 for tests run under wine64 against the
# system's own profile reader.
set(CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KADREL_MINGW_ARCH)
# What it needs of scripts/packages beside the native group.
set(KADREL_PACKAGE_GROUPS windows)
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${KADREL_MINGW_ARCH})
set(triple ${KADREL_MINGW_ARCH}-w64-mingw32)
# The posix thread model: GoogleTest needs std::mutex.
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
if(KADREL_MINGW_ARCH STREQUAL "x86_64")
  set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
endif()
