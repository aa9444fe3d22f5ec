# Installation and the two packages, both named after the project version:
#   windows build: tarvik-<version>-win32.zip, the two programs, a README and the licence;
#   native build:  tarvik_<version>_<arch>.deb, tarvik-id with its manual page, and
#                  tarvik.exe from the windows build with a launcher, desktop entry and icons.
# scripts/package.sh builds both; it hands the Debian package its tarvik.exe through
# TARVIK_WINDOWS_EXE.

# Installing and packaging build nothing: a package is made from the targets
# scripts/package.sh built, not from every test program of the build tree.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(tarvik_packaging_dir ${PROJECT_SOURCE_DIR}/packaging)
set(tarvik_staged_dir ${PROJECT_BINARY_DIR}/packaging)
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${TARVIK_VERSION_SHORT})
set(CPACK_PACKAGE_VENDOR "the tarvik developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")

# The page of the web build, which scripts/package.sh hands to both packages: beside
# the programs in the zip; in the .deb under share/tarvik, where the launcher opens it
# when Wine is missing.
set(TARVIK_WEB_PAGE "" CACHE FILEPATH "tarvik.html of the web build, shipped in the package (scripts/package.sh sets it)")
if(TARVIK_WEB_PAGE)
  if(WIN32)
    install(FILES ${TARVIK_WEB_PAGE} DESTINATION .)
  else()
    install(FILES ${TARVIK_WEB_PAGE} DESTINATION share/tarvik)
  endif()
endif()

if(WIN32)
  install(TARGETS tarvik tarvik-id RUNTIME DESTINATION .)
  # Notepad before Windows 10 shows a file with bare LF endings as one long line.
  configure_file(${tarvik_packaging_dir}/README.txt ${tarvik_staged_dir}/README.txt @ONLY NEWLINE_STYLE CRLF)
  configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${tarvik_staged_dir}/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${tarvik_staged_dir}/README.txt ${tarvik_staged_dir}/LICENSE.txt DESTINATION .)

  # binutils' ld stamps a PE header with SOURCE_DATE_EPOCH when it is set, else with the
  # clock; in the link's command line, a new date links the programs again.
  if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set_property(TARGET tarvik tarvik-id PROPERTY CXX_LINKER_LAUNCHER
                 ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=$ENV{SOURCE_DATE_EPOCH})
  endif()

  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME ${PROJECT_NAME}-${TARVIK_VERSION_SHORT}-win32)
  include(CPack)
  return()
endif()

include(GNUInstallDirs)
# The windows build strips when it links; stripping again would rewrite tarvik.exe, and
# the two packages are to hold the same one.
set(CPACK_STRIP_FILES ON)
set(TARVIK_WINDOWS_EXE "" CACHE FILEPATH
    "tarvik.exe of the windows build, installed with its launcher (scripts/package.sh sets it)")
set(TARVIK_MAINTAINER "tarvik developers <tarvik@example.org>" CACHE STRING
    "Maintainer of the Debian package; the project has no address of its own yet")

# Debian wants manual pages and changelogs compressed with gzip -9n: the best
# compression, and no time stamp, so that rebuilding gives the same bytes.
find_program(TARVIK_GZIP gzip REQUIRED)
set(tarvik_staged_files)
function(tarvik_gzip source name)
  set(plain ${tarvik_staged_dir}/${name})
  configure_file(${source} ${plain}.in-build @ONLY)
  add_custom_command(OUTPUT ${plain}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${plain}.in-build ${plain}
    COMMAND ${TARVIK_GZIP} -9nf ${plain}
    DEPENDS ${plain}.in-build VERBATIM)
  set(tarvik_staged_files ${tarvik_staged_files} ${plain}.gz PARENT_SCOPE)
endfunction()

tarvik_gzip(${tarvik_packaging_dir}/tarvik-id.1 tarvik-id.1)
# The changelog's own date stands for the release where there is no git to ask; the
# package says the date the manual pages say.
file(READ ${tarvik_packaging_dir}/changelog.in changelog)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${tarvik_packaging_dir}/changelog.in)
string(REGEX REPLACE "(\n -- [^\n]*  )[^\n]+" "\\1@TARVIK_RELEASE_DATE_RFC2822@" changelog "${changelog}")
file(WRITE ${tarvik_staged_dir}/changelog.in "${changelog}")
tarvik_gzip(${tarvik_staged_dir}/changelog.in changelog)

# Debian's machine-readable copyright file, from the licence's own text.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
if(NOT licence MATCHES "\nCopyright \\(c\\) ([^\n]+)\n\n(.*[^\n])\n*$")
  message(FATAL_ERROR "LICENSE: no copyright line followed by the licence text")
endif()
set(holders "${CMAKE_MATCH_1}")
string(REGEX REPLACE "\n\n" "\n.\n" body "${CMAKE_MATCH_2}")
string(REPLACE "\n" "\n " body "${body}")
file(CONFIGURE OUTPUT ${tarvik_staged_dir}/copyright CONTENT
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: ${PROJECT_NAME}

Files: *
Copyright: ${holders}
License: Expat
 ${body}
")

install(TARGETS tarvik-id RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Stripped as Debian strips its own programs: without the compiler's .comment section too.
install(CODE "if(CMAKE_INSTALL_DO_STRIP)
  execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/tarvik-id\" COMMAND_ERROR_IS_FATAL ANY)
endif()")
install(FILES ${tarvik_staged_dir}/tarvik-id.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${tarvik_staged_dir}/copyright ${tarvik_staged_dir}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${tarvik_packaging_dir}/tarvik.lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME tarvik)

if(TARVIK_WINDOWS_EXE)
  if(NOT EXISTS ${TARVIK_WINDOWS_EXE})
    message(WARNING "TARVIK_WINDOWS_EXE: ${TARVIK_WINDOWS_EXE} does not exist yet; build the windows "
                    "preset before installing or packaging")
  endif()
  # The launcher finds the program at ../lib/tarvik from where it is installed.
  install(PROGRAMS ${tarvik_packaging_dir}/tarvik DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${TARVIK_WINDOWS_EXE} DESTINATION lib/tarvik)
  tarvik_gzip(${tarvik_packaging_dir}/tarvik.1 tarvik.1)
  install(FILES ${tarvik_staged_dir}/tarvik.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${tarvik_packaging_dir}/tarvik.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  foreach(size IN ITEMS 16 32 48)
    set(png ${tarvik_staged_dir}/icons/${size}x${size}/tarvik.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${tarvik_staged_dir}/icons/${size}x${size}
      COMMAND make_icon --png ${size} ${png}
      DEPENDS make_icon VERBATIM)
    list(APPEND tarvik_staged_files ${png})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
endif()
add_custom_target(tarvik_package_files ALL DEPENDS ${tarvik_staged_files})

find_program(TARVIK_DPKG dpkg)
if(NOT TARVIK_DPKG)
  return()
endif()
execute_process(COMMAND ${TARVIK_DPKG} --print-architecture
  OUTPUT_VARIABLE arch OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME ${PROJECT_NAME}_${TARVIK_VERSION_SHORT}_${arch}.deb)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${arch})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TARVIK_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# tarvik-id needs none of these; the window needs 32-bit Wine and is drawn in Wine's fonts.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "wine, wine32, fonts-wine")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "MSN Messenger id numbers of e-mail addresses")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "tarvik works out the id number of an MSN Messenger account from its e-mail
address. The package holds tarvik-id, the command-line tool, which answers
addresses given as arguments or read from a pipe, and the tarvik window, a
32-bit Windows program that opens with Wine from the desktop's menu or with
the tarvik command; without Wine, that command opens the same window as a
page in the default browser.")
# Checked when the package is made, since the windows build must come first.
set(CPACK_TARVIK_WINDOWS_EXE "${TARVIK_WINDOWS_EXE}")
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/PackagingChecks.cmake)
include(CPack)
