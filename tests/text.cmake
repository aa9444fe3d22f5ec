# The text layer against code page 1252 facts: the system's own functions on Windows,
# the dumped tables elsewhere.
tarvik_gtest(text_test text_test.cpp)
target_link_libraries(text_test PRIVATE engine text)

if(CMAKE_CROSSCOMPILING)
  # Each locale (tarvik_test's C.UTF-8 by default) with the suites for it.
  set_property(TEST text_test APPEND PROPERTY ENVIRONMENT GTEST_FILTER=-DoubleByteCodePage.*)

  # A Japanese locale gives code page 932, where codes of two bytes are negative.
  tarvik_test(text_test_cp932 text_test --gtest_filter=DoubleByteCodePage.*)
  set_property(TEST text_test_cp932 APPEND PROPERTY ENVIRONMENT LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8)

  # The committed tables must be exactly what the generator prints today.
  tarvik_test(text_tables_current ${CMAKE_COMMAND}
    -DEMULATOR=${CMAKE_CROSSCOMPILING_EMULATOR}
    -DDUMP=$<TARGET_FILE:dump_text_tables>
    -DTABLES=${PROJECT_SOURCE_DIR}/text/cp1252_tables.inc
    -DOUTPUT=${CMAKE_CURRENT_BINARY_DIR}/cp1252_tables.dumped.inc
    -P ${PROJECT_SOURCE_DIR}/tools/check_text_tables.cmake)
endif()
