# tarvik-id: its UTF-8 decoder as a unit, and the tool as a process.
tarvik_gtest(utf8_test utf8_test.cpp)
target_link_libraries(utf8_test PRIVATE id_tool)

if(NOT CMAKE_CROSSCOMPILING)
  tarvik_gtest(cli_test cli_test.cpp)
  target_link_libraries(cli_test PRIVATE id_tool tarvik_version)
  target_compile_definitions(cli_test PRIVATE TARVIK_ID_PATH="$<TARGET_FILE:tarvik-id>")
  add_dependencies(cli_test tarvik-id)
  return()
endif()

# The Windows build under Wine: what differs there is the wide entry point and the
# stream modes, so a few runs check those. Each Wine start costs a second or two.
# An unwanted CR from text mode would show as <CR> and break the match; standard
# error stays in text mode, so its CR is allowed.
function(tarvik_cli_wine name input expected)
  tarvik_test(${name} bash ${CMAKE_CURRENT_SOURCE_DIR}/cli_pipe.sh "--input=${input}"
              ${PROJECT_SOURCE_DIR}/scripts/wine-run $<TARGET_FILE:tarvik-id> ${ARGN})
  set_tests_properties(${name} PROPERTIES PASS_REGULAR_EXPRESSION "${expected}")
  # Wine takes the ANSI code page from the locale; the numbers here are code page 1252's.
  set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT LC_ALL=C.UTF-8)
endfunction()

# Quoting survives the trip through the command line, and "*" is not expanded to file names.
tarvik_cli_wine(cli_wine_arguments "" "^999494\n999494\n992827\n42\nstatus 0\n$" abc ABC "a b" "*")
# UTF-16 arguments: a 1252 character, a best-fit one, and one beyond U+FFFF as two units.
tarvik_cli_wine(cli_wine_unicode_arguments "" "^128\n108\n6426\nstatus 0\n$" "€" "ł" "😀")
# Binary standard input: CR LF is split by the tool, and Ctrl+Z (\x1a) is not an end of file.
tarvik_cli_wine(cli_wine_input [[ABC\r\n\xff\r\n\xe2\x82\xac\n\na\x1ab]]
                "^999494\n128\n0\n992221\nstatus 1\ntarvik-id: line 2: invalid UTF-8 at byte 1(<CR>)?\n$")
tarvik_cli_wine(cli_wine_version "" "^tarvik-id ${TARVIK_VERSION_SHORT}\nstatus 0\n$" --version)
tarvik_cli_wine(cli_wine_unknown_option "" "^status 2\ntarvik-id: unknown option '--frobnicate'" --frobnicate)
