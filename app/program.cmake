# tarvik.exe: the window program, with its version information, manifest and icon.
configure_file(tarvik.manifest.in ${TARVIK_GENERATED_DIR}/tarvik.manifest @ONLY)
include(icon_data.cmake)
tarvik_icon_data(${CMAKE_CURRENT_SOURCE_DIR}/tarvik.ico ${TARVIK_GENERATED_DIR}/tarvik/icon_data.h)

# Makes `target` the window program from its start-up, window and resources, built as
# tarvik.exe is; a test can add a source of its own to a copy.
function(tarvik_window_program target)
  set(TARVIK_APP_DIR ${CMAKE_CURRENT_FUNCTION_LIST_DIR})
  add_executable(${target} WIN32 ${TARVIK_APP_DIR}/main.cpp ${TARVIK_APP_DIR}/tarvik.rc)
  target_include_directories(${target} PRIVATE ${TARVIK_APP_DIR} ${TARVIK_GENERATED_DIR})
  target_link_libraries(${target} PRIVATE ui tarvik_version comctl32)
  # The build does not track what windres reads, so the resources name it: the headers
  # and the manifest. tarvik.ico reaches them through icon_data.h.
  set_property(SOURCE ${TARVIK_APP_DIR}/tarvik.rc TARGET_DIRECTORY ${target} APPEND PROPERTY OBJECT_DEPENDS
    ${PROJECT_SOURCE_DIR}/ui/resource_ids.h ${TARVIK_GENERATED_DIR}/tarvik/version.h
    ${TARVIK_GENERATED_DIR}/tarvik/icon_data.h ${TARVIK_GENERATED_DIR}/tarvik.manifest)
  tarvik_lean(${target})
  if(MINGW)
    # The program starts at an entry point of its own (see main.cpp), so the C
    # runtime's start-up stays out. The window's files are optimised together at the
    # link, for size as they were built; the objects carry plain code too, for a link
    # that cannot take the optimisation.
    target_compile_options(${target} PRIVATE -flto -ffat-lto-objects)
    target_link_options(${target} PRIVATE -flto -nostartfiles -Wl,--entry=_TarvikStart@0
      ${TARVIK_APP_DIR}/no_constructors.ld)
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${TARVIK_APP_DIR}/no_constructors.ld)
  endif()
endfunction()

tarvik_window_program(tarvik)
