# tarvik.exe: the window program, with its version information, manifest and icon.
configure_file(tarvik.manifest.in ${TARVIK_GENERATED_DIR}/tarvik.manifest @ONLY)

add_executable(tarvik WIN32 main.cpp tarvik.rc resource_ids.h)
target_include_directories(tarvik PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} ${TARVIK_GENERATED_DIR})
target_link_libraries(tarvik PRIVATE ui tarvik_version comctl32)
# windres reads the manifest and the icon by file name; rebuild when they change.
set_property(SOURCE tarvik.rc APPEND PROPERTY OBJECT_DEPENDS
  ${TARVIK_GENERATED_DIR}/tarvik.manifest ${CMAKE_CURRENT_SOURCE_DIR}/tarvik.ico)
