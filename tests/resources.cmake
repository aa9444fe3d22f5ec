# The checked-in icon must be exactly what the generator draws today.
if(NOT CMAKE_CROSSCOMPILING)
  tarvik_test(resources_icon_current make_icon ${CMAKE_CURRENT_BINARY_DIR}/tarvik.ico
              --compare-with ${PROJECT_SOURCE_DIR}/app/tarvik.ico)
endif()

# The built program's version information, manifest, icon and imports, read back.
if(TARGET tarvik)
  tarvik_gtest(resources_test resources_test.cpp)
  target_compile_definitions(resources_test PRIVATE
    TARVIK_EXE_PATH="$<TARGET_FILE:tarvik>" TARVIK_ICO_PATH="${PROJECT_SOURCE_DIR}/app/tarvik.ico")
  target_link_libraries(resources_test PRIVATE tarvik_version version user32 gdi32)
  if(CMAKE_BUILD_TYPE STREQUAL "MinSizeRel")
    target_compile_definitions(resources_test PRIVATE TARVIK_EXE_MAX_BYTES=49152)
  endif()
  add_dependencies(resources_test tarvik)
endif()
