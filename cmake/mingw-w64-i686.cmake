# Cross toolchain for 32-bit Windows with MinGW-w64; the tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(triplet i686-w64-mingw32)
foreach(tool IN ITEMS g++ gcc windres)
  # The posix threading flavour: GoogleTest needs std::mutex, which the win32 one lacks
  # in this GCC. Linked statically, its threads library needs no DLL either.
  find_program(tarvik_${tool} NAMES ${triplet}-${tool}-posix ${triplet}-${tool} NO_CACHE)
  if(NOT tarvik_${tool})
    message(FATAL_ERROR "${triplet}-${tool} not found: install g++-mingw-w64-i686 (scripts/setup.sh does)")
  endif()
endforeach()
set(CMAKE_CXX_COMPILER ${tarvik_g++})
set(CMAKE_C_COMPILER ${tarvik_gcc})
set(CMAKE_RC_COMPILER ${tarvik_windres})

set(CMAKE_FIND_ROOT_PATH /usr/${triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# No MinGW runtime DLL beside the programs: everything but Windows' own DLLs is linked
# in, and what of it goes unused is dropped again. ASLR and DEP are asked for
# explicitly, whatever the binutils default.
# Paths are written relative to the source tree, so that no build's directory is in a program.
get_filename_component(tarvik_source_root ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
set(CMAKE_CXX_FLAGS_INIT "-ffunction-sections -fdata-sections -ffile-prefix-map=${tarvik_source_root}=.")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--gc-sections,--dynamicbase,--nxcompat")
set(CMAKE_EXE_LINKER_FLAGS_MINSIZEREL_INIT "-s")

# Only the tests run anything, so only they need Wine: a packager or a builder on
# Windows configures with TARVIK_BUILD_TESTS=OFF and needs none.
# The compiler checks' own projects see neither the option nor need Wine.
get_property(tarvik_in_try_compile GLOBAL PROPERTY IN_TRY_COMPILE)
if(NOT tarvik_in_try_compile AND (NOT DEFINED TARVIK_BUILD_TESTS OR TARVIK_BUILD_TESTS))
  find_program(tarvik_wine NAMES wine NO_CACHE)
  if(NOT tarvik_wine)
    message(FATAL_ERROR "wine not found: the Windows tests run under Wine (scripts/setup.sh installs it); "
                        "without tests, configure with -DTARVIK_BUILD_TESTS=OFF")
  endif()
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
endif()
