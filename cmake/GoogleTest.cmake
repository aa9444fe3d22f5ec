# GoogleTest: the installed package's own CMake config where it fits, else built from
# Debian's sources. The cross build always builds from the sources: Debian ships no
# MinGW build of the library. Either way the tests link gtest_main (or GTest::gtest_main).
if(NOT CMAKE_CROSSCOMPILING)
  find_package(GTest CONFIG QUIET)
endif()
if(GTest_FOUND)
  add_library(gtest ALIAS GTest::gtest)
  add_library(gtest_main ALIAS GTest::gtest_main)
  return()
endif()

set(TARVIK_GOOGLETEST_DIR /usr/src/googletest CACHE PATH "GoogleTest sources, used when no installed GoogleTest fits")
if(NOT EXISTS ${TARVIK_GOOGLETEST_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest not found: neither its CMake config nor its sources in "
                      "${TARVIK_GOOGLETEST_DIR}; run scripts/setup.sh")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${TARVIK_GOOGLETEST_DIR} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
# Third-party code: our warning flags are for our code (GCC 12 also misreports its
# string handling under -Wrestrict).
target_compile_options(gtest PRIVATE -w)
target_compile_options(gtest_main PRIVATE -w)
if(NOT TARGET GTest::gtest_main)
  add_library(GTest::gtest ALIAS gtest)
  add_library(GTest::gtest_main ALIAS gtest_main)
endif()
