# make_icon draws app/tarvik.ico (how to run it: the top of make_icon.cpp). It is plain
# C++, built by the host compiler, where tests/resources.cmake checks that the
# checked-in icon is what it draws today. Its PNG writer serves the tests' screenshots too.
if(CMAKE_CROSSCOMPILING)
  return()
endif()
add_executable(make_icon make_icon.cpp png.cpp png.h)
