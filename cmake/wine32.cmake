# Whether the win32 build's programs can run here, under 32-bit Wine: only
# where the kernel runs 32-bit x86 programs (a static -m32 probe must run;
# kernels built without that support refuse it) and Wine's 32-bit half is
# installed. When they can, every test program of the win32 build runs
# through cmake/run-wine32; KADREL_WINE32_UNAVAILABLE says why not otherwise.
option(KADREL_WINE32 "Run the win32 test programs under 32-bit Wine where the machine can" ON)
set(KADREL_WINE32_UNAVAILABLE "" CACHE INTERNAL "Why 32-bit Wine cannot run the win32 tests here")
set(KADREL_WINE32_RUNS FALSE)
set(probe_dir ${PROJECT_BINARY_DIR}/wine32-probe)
set(wine32_prefix ${PROJECT_BINARY_DIR}/wine32-prefix)

if(NOT KADREL_WINE32)
  set(why "switched off (KADREL_WINE32=OFF)")
elseif(NOT EXISTS /usr/lib/wine/wine OR NOT EXISTS /usr/lib/i386-linux-gnu/wine)
  set(why "Wine's 32-bit half (package wine32:i386) is not installed")
else()
  file(WRITE ${probe_dir}/probe.c "int main(void) { return 42; }\n")
  execute_process(COMMAND gcc -m32 -static ${probe_dir}/probe.c -o ${probe_dir}/probe
                  RESULT_VARIABLE built OUTPUT_QUIET ERROR_QUIET)
  if(NOT built EQUAL 0)
    set(why "no static -m32 program can be built to probe the kernel (gcc-multilib)")
  else()
    execute_process(COMMAND ${probe_dir}/probe RESULT_VARIABLE ran OUTPUT_QUIET ERROR_QUIET)
    if(NOT ran EQUAL 42)
      set(why "this kernel does not run 32-bit x86 programs")
    else()
      set(why "")
    endif()
  endif()
endif()

if(why STREQUAL "")
  set(KADREL_WINE32_RUNS TRUE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/cmake/run-wine32 ${wine32_prefix})
  # Made once, before any test: tests that ran side by side would each start
  # making it.
  if(NOT EXISTS ${wine32_prefix}/system.reg)
    execute_process(COMMAND ${PROJECT_SOURCE_DIR}/cmake/run-wine32 ${wine32_prefix} wineboot --init
                    OUTPUT_QUIET ERROR_QUIET)
  endif()
  set(KADREL_WINE32_UNAVAILABLE "" CACHE INTERNAL "")
else()
  set(KADREL_WINE32_UNAVAILABLE "${why}" CACHE INTERNAL "")
  message(STATUS "32-bit Wine cannot run the win32 tests here: ${why}")
endif()
