# Read by cpack for each package it makes (CPACK_PROJECT_CONFIG_FILE).
if(CPACK_GENERATOR STREQUAL "DEB" AND NOT CPACK_TARVIK_WINDOWS_EXE)
  message(FATAL_ERROR "The Debian package needs tarvik.exe of the windows build: "
                      "configure with -DTARVIK_WINDOWS_EXE=<path>, or run scripts/package.sh")
endif()
