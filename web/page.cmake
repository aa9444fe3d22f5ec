# Writes the page: the template with the module in base64 in place of @MODULE@.
#   cmake -DMODULE=tarvik.wasm -DTEMPLATE=tarvik.html -DBASE64=base64 -DOUT=page.html -P page.cmake
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND ${BASE64} -w0 ${MODULE} OUTPUT_VARIABLE module COMMAND_ERROR_IS_FATAL ANY)
file(READ ${TEMPLATE} page)
string(REPLACE "@MODULE@" "${module}" page "${page}")
string(LENGTH "${page}" size)
# A page to keep on a stick and mail around: the limit it is held to.
if(size GREATER 32768)
  message(FATAL_ERROR "${OUT} would be ${size} bytes, more than 32 KiB")
endif()
file(WRITE ${OUT} "${page}")
