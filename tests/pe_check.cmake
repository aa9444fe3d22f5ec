# A program's PE headers and imports as objdump -p prints them: a 32-bit program the
# loader can move (ASLR) and run with DEP, small, that needs nothing but DLLs every
# Windows since XP has in its system folder. By default a window program, which
# prepares the common controls; CONSOLE=ON for the command-line tool. DLLS narrows the
# DLLs it may import.
#   cmake -DOBJDUMP=... -DEXE=... [-DCONSOLE=ON] [-DDLLS=a.dll,b.dll] [-DMAX_BYTES=n] -P pe_check.cmake
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND ${OBJDUMP} -p ${EXE} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${EXE} failed (${rc})")
endif()
set(failures "")
macro(expect regex what)
  if(NOT dump MATCHES "${regex}")
    string(APPEND failures "\n  ${what}")
  endif()
endmacro()
expect("file format pei-i386" "not an i386 PE image")
expect("Magic[ \t]+010b" "not PE32 (32-bit)")
if(CONSOLE)
  expect("Subsystem[ \t]+00000003" "not a console program")
else()
  expect("Subsystem[ \t]+00000002" "not a window (GUI) program")
endif()
expect("DllCharacteristics[^\n]*\n([ \t]+[A-Z_]+\n)*[ \t]+DYNAMIC_BASE" "DllCharacteristics lacks DYNAMIC_BASE")
expect("DllCharacteristics[^\n]*\n([ \t]+[A-Z_]+\n)*[ \t]+NX_COMPAT" "DllCharacteristics lacks NX_COMPAT")
# Without relocations the loader cannot move the image, whatever DYNAMIC_BASE says.
expect("Entry 5 [0-9a-f]+ 0*[1-9a-f][0-9a-f]* Base Relocation" "no .reloc")
if(dump MATCHES "relocations stripped")
  string(APPEND failures "\n  the relocations are stripped")
endif()

set(system kernel32.dll user32.dll gdi32.dll comctl32.dll msvcrt.dll advapi32.dll shell32.dll ole32.dll
    oleaut32.dll uxtheme.dll shlwapi.dll comdlg32.dll)
if(DLLS)
  string(REPLACE "," ";" system "${DLLS}")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]+" dlls "${dump}")
if(NOT dlls)
  string(APPEND failures "\n  no import table")
endif()
foreach(line IN LISTS dlls)
  string(REPLACE "DLL Name: " "" dll "${line}")
  string(TOLOWER "${dll}" lower)
  if(lower MATCHES "^(libgcc|libstdc\\+\\+|libwinpthread)")
    string(APPEND failures "\n  ${dll} is MinGW's runtime, which must be linked in statically")
  elseif(NOT lower IN_LIST system)
    string(APPEND failures "\n  ${dll} is not a Windows system DLL it may import")
  endif()
endforeach()
# A window's start-up prepares the common controls through comctl32's
# InitCommonControls: the functions objdump lists under that DLL, up to the blank line
# that ends them.
if(NOT CONSOLE)
  string(TOLOWER "${dump}" lower_dump)
  string(FIND "${lower_dump}" "dll name: comctl32.dll\n" at)
  set(comctl32 "")
  if(at GREATER -1)
    string(SUBSTRING "${dump}" ${at} -1 comctl32)
    string(FIND "${comctl32}" "\n\n" end)
    string(SUBSTRING "${comctl32}" 0 ${end} comctl32)
  endif()
  if(NOT comctl32 MATCHES "[ \t]InitCommonControls(\n|$)")
    string(APPEND failures "\n  InitCommonControls is not imported from comctl32.dll")
  endif()
endif()

if(MAX_BYTES)
  # What a program links beyond what it does is paid for by every user at every start
  # (a link map beside tarvik.exe shows where).
  file(SIZE ${EXE} size)
  if(size GREATER MAX_BYTES)
    string(APPEND failures "\n  ${size} bytes, more than ${MAX_BYTES}")
  endif()
endif()
if(failures)
  message(FATAL_ERROR "${EXE}:${failures}")
endif()
