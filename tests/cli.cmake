# tarvik-id: its UTF-8 decoder as a unit, and the tool in-process and as a process,
# natively and, in the Windows build, under Wine from the same table.
tarvik_gtest(utf8_test utf8_test.cpp)
target_link_libraries(utf8_test PRIVATE id_tool)

tarvik_gtest(cli_test cli_test.cpp)
target_link_libraries(cli_test PRIVATE id_tool tarvik_version)
target_compile_definitions(cli_test PRIVATE TARVIK_ID_PATH="$<TARGET_FILE:tarvik-id>"
                           TARVIK_MANUAL_PATH="${PROJECT_SOURCE_DIR}/packaging/tarvik-id.1")
add_dependencies(cli_test tarvik-id)
if(NOT CMAKE_CROSSCOMPILING)
  return()
endif()
target_compile_definitions(cli_test PRIVATE TARVIK_EXE_PATH="$<TARGET_FILE:tarvik>")
target_link_libraries(cli_test PRIVATE version)
add_dependencies(cli_test tarvik)

# The file itself: a console program, small, needing no DLL but the few Windows ones
# it calls; only the size-optimised build has a size to keep.
add_test(NAME cli_exe_file COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DEXE=$<TARGET_FILE:tarvik-id>
         -DCONSOLE=ON -DDLLS=kernel32.dll,msvcrt.dll,user32.dll -DMAX_BYTES=$<$<CONFIG:MinSizeRel>:40960>
         -P ${CMAKE_CURRENT_SOURCE_DIR}/pe_check.cmake)
