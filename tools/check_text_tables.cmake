# Fails unless the dump prints exactly the committed tables, so that the tables the
# portable build uses can never drift from what the generator says.
#   cmake -DEMULATOR=<wine-run> -DDUMP=<dump_text_tables.exe> -DTABLES=<cp1252_tables.inc>
#         -DOUTPUT=<scratch file> -P check_text_tables.cmake
foreach(variable IN ITEMS EMULATOR DUMP TABLES OUTPUT)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "check_text_tables: ${variable} is not set")
  endif()
endforeach()

execute_process(COMMAND ${EMULATOR} ${DUMP} OUTPUT_FILE ${OUTPUT} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "check_text_tables: ${DUMP} failed (${result})")
endif()

execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${TABLES} ${OUTPUT} RESULT_VARIABLE differ)
if(differ)
  find_program(diff NAMES diff)
  if(diff)
    execute_process(COMMAND ${diff} -u ${TABLES} ${OUTPUT})
  endif()
  message(FATAL_ERROR "check_text_tables: ${TABLES} differs from the dump in ${OUTPUT}; "
                      "regenerate it as its first lines say")
endif()
message(STATUS "${TABLES} is what the dump prints")
