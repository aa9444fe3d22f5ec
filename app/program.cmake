# tarvik.exe: the window program, with its version information, manifest and icon.
configure_file(tarvik.manifest.in ${TARVIK_GENERATED_DIR}/tarvik.manifest @ONLY)
include(icon_data.cmake)
tarvik_icon_data(${CMAKE_CURRENT_SOURCE_DIR}/tarvik.ico ${TARVIK_GENERATED_DIR}/tarvik/icon_data.h)

add_executable(tarvik WIN32 main.cpp tarvik.rc)
target_include_directories(tarvik PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} ${TARVIK_GENERATED_DIR})
target_link_libraries(tarvik PRIVATE ui tarvik_version comctl32)
# The build does not track what windres reads, so the resources name it: the headers
# and the manifest. tarvik.ico reaches them through icon_data.h.
set_property(SOURCE tarvik.rc APPEND PROPERTY OBJECT_DEPENDS
  ${PROJECT_SOURCE_DIR}/ui/resource_ids.h ${TARVIK_GENERATED_DIR}/tarvik/version.h
  ${TARVIK_GENERATED_DIR}/tarvik/icon_data.h ${TARVIK_GENERATED_DIR}/tarvik.manifest)
if(MINGW)
  # As the window code: nothing here throws or asks a type at run time. The link map
  # shows what each library brings in (tarvik.map beside the program).
  target_compile_options(tarvik PRIVATE -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables)
  target_link_options(tarvik PRIVATE -Wl,-Map,$<TARGET_FILE_DIR:tarvik>/tarvik.map)
endif()
