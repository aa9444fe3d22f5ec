# The checked-in icon must be exactly what the generator draws today.
if(NOT CMAKE_CROSSCOMPILING)
  tarvik_test(resources_icon_current make_icon ${CMAKE_CURRENT_BINARY_DIR}/tarvik.ico
              --compare-with ${PROJECT_SOURCE_DIR}/app/tarvik.ico)
endif()

# The built program's version information, manifest and icon, read back.
if(TARGET tarvik)
  tarvik_gtest(resources_test resources_test.cpp)
  target_compile_definitions(resources_test PRIVATE
    TARVIK_EXE_PATH="$<TARGET_FILE:tarvik>" TARVIK_ICO_PATH="${PROJECT_SOURCE_DIR}/app/tarvik.ico")
  target_include_directories(resources_test PRIVATE support ${PROJECT_SOURCE_DIR})
  target_link_libraries(resources_test PRIVATE tarvik_version version user32 gdi32)
  add_dependencies(resources_test tarvik)

  # Its PE headers, imports and size, as objdump reads them; only the size-optimised
  # build has a size to keep.
  if(NOT CMAKE_OBJDUMP)
    message(FATAL_ERROR "the PE checks of tarvik.exe need objdump (binutils)")
  endif()
  add_test(NAME resources_pe COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DEXE=$<TARGET_FILE:tarvik>
           $<$<CONFIG:MinSizeRel>:-DMAX_BYTES=40960> -DXP=ON -P ${CMAKE_CURRENT_SOURCE_DIR}/pe_check.cmake
           COMMAND_EXPAND_LISTS)
endif()
