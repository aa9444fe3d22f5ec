# The project version is the only place the version is written down: the caption,
# the version resource, the manifest and tarvik-id --version all come from here.
set(TARVIK_VERSION_MAJOR ${PROJECT_VERSION_MAJOR})
set(TARVIK_VERSION_MINOR ${PROJECT_VERSION_MINOR})
set(TARVIK_VERSION_BUILD ${PROJECT_VERSION_PATCH})
set(TARVIK_VERSION_REVISION ${PROJECT_VERSION_TWEAK})

# The version strings of the resource pad the minor number to two digits and the
# revision to four ("1.00.0002").
function(tarvik_pad out value width)
  string(LENGTH "${value}" length)
  set(padded "${value}")
  while(length LESS width)
    string(PREPEND padded "0")
    math(EXPR length "${length} + 1")
  endwhile()
  set(${out} "${padded}" PARENT_SCOPE)
endfunction()
tarvik_pad(minor_padded ${TARVIK_VERSION_MINOR} 2)
tarvik_pad(revision_padded ${TARVIK_VERSION_REVISION} 4)
set(TARVIK_VERSION_TEXT "${TARVIK_VERSION_MAJOR}.${minor_padded}.${revision_padded}")
set(TARVIK_VERSION_SHORT "${TARVIK_VERSION_MAJOR}.${TARVIK_VERSION_MINOR}.${TARVIK_VERSION_REVISION}")

# The release date, in the manual pages and the Debian changelog: that of the last
# commit, so that configuring again changes nothing; SOURCE_DATE_EPOCH overrides it, and
# outside a clone without it, it is today.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(COMMAND git -C ${PROJECT_SOURCE_DIR} log -1 --format=%ct
    OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE status)
  if(status EQUAL 0 AND epoch MATCHES "^[0-9]+$")
    set(ENV{SOURCE_DATE_EPOCH} ${epoch})
  endif()
endif()
# string(TIMESTAMP) reads SOURCE_DATE_EPOCH.
string(TIMESTAMP TARVIK_RELEASE_DATE "%Y-%m-%d" UTC)
string(TIMESTAMP TARVIK_RELEASE_DATE_RFC2822 "%a, %d %b %Y %H:%M:%S +0000" UTC)

set(TARVIK_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)
configure_file(${PROJECT_SOURCE_DIR}/cmake/version.h.in ${TARVIK_GENERATED_DIR}/tarvik/version.h @ONLY)

add_library(tarvik_version INTERFACE)
target_include_directories(tarvik_version INTERFACE ${TARVIK_GENERATED_DIR})
