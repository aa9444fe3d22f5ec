# End-to-end test of tarvik.exe on a real window: a driver program works the window with
# real keyboard and mouse input under Wine, on a display and a Wine prefix of its own.
if(NOT (CMAKE_CROSSCOMPILING OR WIN32) OR NOT TARGET tarvik)
  return()
endif()

add_executable(tarvik_e2e_driver e2e/driver.cpp e2e/check.cpp e2e/desktop.cpp e2e/pixels.cpp
               ${PROJECT_SOURCE_DIR}/tools/png.cpp)
set_target_properties(tarvik_e2e_driver PROPERTIES OUTPUT_NAME tarvik-e2e)
target_include_directories(tarvik_e2e_driver PRIVATE support ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tools)
target_link_libraries(tarvik_e2e_driver PRIVATE tarvik_version user32 gdi32 oleacc ole32 oleaut32 uuid)

# tarvik.exe built again, with startup_fault.cpp taking over the imports that create
# the window class, the window, its controls and the font: the one TARVIK_FAULT names
# fails, as the system can. Never shipped.
tarvik_window_program(tarvik_startup_fault)
target_sources(tarvik_startup_fault PRIVATE e2e/startup_fault.cpp)
# Its import pointers take the place of the import libraries' only in a plain link:
# link-time optimisation would call the system's functions past them.
target_link_options(tarvik_startup_fault PRIVATE -fno-lto -fno-use-linker-plugin)

add_executable(tarvik_e2e_minimal_window WIN32 e2e/minimal_window.cpp)
set_target_properties(tarvik_e2e_minimal_window PROPERTIES OUTPUT_NAME minimal_window)

# wmain and wWinMain as the entry points.
target_link_options(tarvik_e2e_driver PRIVATE $<$<BOOL:${MINGW}>:-municode>)
target_link_options(tarvik_e2e_minimal_window PRIVATE $<$<BOOL:${MINGW}>:-municode>)

set(full_suite --minimal $<TARGET_FILE:tarvik_e2e_minimal_window> --faulty $<TARGET_FILE:tarvik_startup_fault>
  --known-answers ${CMAKE_CURRENT_SOURCE_DIR}/known_answers.tsv)
file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/e2e)
if(CMAKE_CROSSCOMPILING)
  # Under Wine the test brings its own X server and prefix: the DPI it sets and the
  # virtual desktop it asks for would otherwise reach the other Windows tests.
  add_test(NAME e2e COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e/run-e2e.sh ${PROJECT_BINARY_DIR}/e2e-wineprefix
    ${CMAKE_CURRENT_BINARY_DIR}/e2e $<TARGET_FILE:tarvik_e2e_driver> $<TARGET_FILE:tarvik> ${full_suite})
  set_tests_properties(e2e PROPERTIES TIMEOUT 3600 LABELS e2e)
else()
  # On Windows itself the driver runs on the user's desktop at the system's DPI, and
  # takes over the keyboard and the mouse while it does.
  add_test(NAME e2e COMMAND tarvik_e2e_driver --tarvik $<TARGET_FILE:tarvik> ${full_suite}
    --screenshot ${CMAKE_CURRENT_BINARY_DIR}/e2e/tarvik-96dpi.png)
  set_tests_properties(e2e PROPERTIES RUN_SERIAL TRUE LABELS e2e)
endif()
