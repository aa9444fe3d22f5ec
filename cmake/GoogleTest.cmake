# GoogleTest is built from Debian's sources so that the same framework serves the
# native build and the MinGW cross build.
set(TARVIK_GOOGLETEST_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
if(NOT EXISTS ${TARVIK_GOOGLETEST_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found in ${TARVIK_GOOGLETEST_DIR}; run scripts/setup.sh")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${TARVIK_GOOGLETEST_DIR} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
# Third-party code: our warning flags are for our code (GCC 12 also misreports its
# string handling under -Wrestrict).
target_compile_options(gtest PRIVATE -w)
target_compile_options(gtest_main PRIVATE -w)
