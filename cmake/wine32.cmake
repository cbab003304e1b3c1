# Whether the win32 build's programs can run here, under 32-bit Wine, and
# which way: directly where the kernel runs 32-bit x86 programs (a static -m32
# probe must run; kernels built without that support refuse it), through
# qemu-i386 elsewhere, or on any machine where KADREL_WINE32_THROUGH_QEMU is set
# in the environment. Directly, every test program runs through
# cmake/run-wine32. Through qemu, where each Windows process costs a minute or
# more of CPU to start, the tests are one program (tests/CMakeLists.txt) and
# run through cmake/run-wine32-qemu, in a prefix without Wine's boot.
# KADREL_WINE32_WAY says which way; KADREL_WINE32_UNAVAILABLE why neither runs.
option(KADREL_WINE32 "Run the win32 test programs under 32-bit Wine where the machine can" ON)
set(KADREL_WINE32_RUNS FALSE)
set(KADREL_WINE32_VIA_QEMU FALSE)
set(way "")
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
  if(built EQUAL 0)
    execute_process(COMMAND ${probe_dir}/probe RESULT_VARIABLE ran OUTPUT_QUIET ERROR_QUIET)
  endif()
  find_program(KADREL_QEMU_I386 qemu-i386)
  set(why "")
  if(ran EQUAL 42 AND NOT "$ENV{KADREL_WINE32_THROUGH_QEMU}")
    set(way "directly")
  elseif(KADREL_QEMU_I386 AND (built EQUAL 0 OR "$ENV{KADREL_WINE32_THROUGH_QEMU}"))
    set(KADREL_WINE32_VIA_QEMU TRUE)
    set(way "through qemu-i386")
  elseif(NOT built EQUAL 0 AND NOT "$ENV{KADREL_WINE32_THROUGH_QEMU}")
    set(why "no static -m32 program can be built to probe the kernel (gcc-multilib)")
  else()
    set(why "qemu-i386 (qemu-user) is missing, and this kernel does not run 32-bit x86 programs or KADREL_WINE32_THROUGH_QEMU asks for it")
  endif()
endif()

if(KADREL_WINE32_VIA_QEMU)
  set(KADREL_WINE32_RUNS TRUE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/cmake/run-wine32-qemu ${PROJECT_BINARY_DIR}/wine32-qemu-prefix)
elseif(way)
  set(KADREL_WINE32_RUNS TRUE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/cmake/run-wine32 ${wine32_prefix})
  # Made once, before any test: tests that ran side by side would each start
  # making it.
  if(NOT EXISTS ${wine32_prefix}/system.reg)
    execute_process(COMMAND ${PROJECT_SOURCE_DIR}/cmake/run-wine32 ${wine32_prefix} wineboot --init
                    OUTPUT_QUIET ERROR_QUIET)
  endif()
else()
  message(STATUS "32-bit Wine cannot run the win32 tests here: ${why}")
endif()
set(KADREL_WINE32_WAY "${way}" CACHE INTERNAL "How 32-bit Wine runs the win32 tests here")
set(KADREL_WINE32_UNAVAILABLE "${why}" CACHE INTERNAL "Why 32-bit Wine cannot run the win32 tests here")
