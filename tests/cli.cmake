# tarvik-id: its UTF-8 decoder as a unit, and the tool in-process and as a process.
tarvik_gtest(utf8_test utf8_test.cpp)
target_link_libraries(utf8_test PRIVATE id_tool)

# In-process with its input cut anywhere, and: natively, as a process; on Windows, its
# file's resources, next to the window program's.
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
set(tarvik_id_max_bytes "")
if(CMAKE_BUILD_TYPE STREQUAL "MinSizeRel")
  set(tarvik_id_max_bytes -DMAX_BYTES=40960)
endif()
add_test(NAME cli_exe_file COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DEXE=$<TARGET_FILE:tarvik-id>
         -DCONSOLE=ON -DDLLS=kernel32.dll,msvcrt.dll,user32.dll ${tarvik_id_max_bytes}
         -P ${CMAKE_CURRENT_SOURCE_DIR}/pe_check.cmake)

# The Windows build under Wine: what differs there is the wide entry point and the
# stream modes, so a few runs check those. Each Wine start costs a second or two.
# An unwanted CR from text mode would show as <CR> and break the match; standard
# error stays in text mode, so its CR is allowed.
function(tarvik_cli_wine name input expected)
  tarvik_test(${name} bash ${CMAKE_CURRENT_SOURCE_DIR}/cli_pipe.sh "${input}"
              ${PROJECT_SOURCE_DIR}/scripts/wine-run $<TARGET_FILE:tarvik-id> ${ARGN})
  set_tests_properties(${name} PROPERTIES PASS_REGULAR_EXPRESSION "${expected}")
  # Wine takes the ANSI code page from the locale; the numbers here are code page 1252's.
  set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT LC_ALL=C.UTF-8)
endfunction()

# Quoting survives the trip through the command line, and "*" is not expanded to file names.
tarvik_cli_wine(cli_wine_arguments --input= "^999494\n999494\n992827\n42\nstatus 0\n$" abc ABC "a b" "*")
# UTF-16 arguments: a 1252 character, a best-fit one, and one beyond U+FFFF as two units.
tarvik_cli_wine(cli_wine_unicode_arguments --input= "^128\n108\n6426\nstatus 0\n$" "€" "ł" "😀")
# Binary standard input: CR LF is split by the tool, and Ctrl+Z (\x1a) is not an end of file.
tarvik_cli_wine(cli_wine_input [[--input=ABC\r\n\xff\r\n\xe2\x82\xac\n\na\x1ab]]
                "^999494\n128\n0\n992221\nstatus 1\ntarvik-id: line 2: invalid UTF-8 at byte 1(<CR>)?\n$")
tarvik_cli_wine(cli_wine_version --input= "^tarvik-id ${TARVIK_VERSION_SHORT}\nstatus 0\n$" --version)
tarvik_cli_wine(cli_wine_unknown_option --input= "^status 2\ntarvik-id: unknown option '--frobnicate'" --frobnicate)
# --match: arguments printed in UTF-8 as given, lines as read but with LF only.
tarvik_cli_wine(cli_wine_match --input= "^€\n€\nstatus 0\n$" "€" abc --match 128 ABC "€")
tarvik_cli_wine(cli_wine_match_lines [[--input=xyz\r\nABC\r\n\xe2\x82\xac\n]] "^ABC\nstatus 0\n$" --match 999494)
tarvik_cli_wine(cli_wine_match_none [[--input=xyz\r\n]] "^status 1\n$" --match 999494)
tarvik_cli_wine(cli_wine_match_bad --input= "^status 2\ntarvik-id: --match takes an id number .* not '-1'" --match -1 abc)
# The system's reason when a stream fails.
# Wine reads a directory as ERROR_INVALID_FUNCTION, which the C runtime calls EINVAL.
tarvik_cli_wine(cli_wine_directory_input --input-file=/
                "^status 1\ntarvik-id: cannot read the input: Invalid argument(<CR>)?\n$")
tarvik_cli_wine(cli_wine_full_output --output-file=/dev/full
                "^status 1\ntarvik-id: cannot write the output: No space left on device(<CR>)?\n$" abc)
