# tarvik.exe's PE headers and imports as objdump -p prints them: a 32-bit window
# program the loader can move (ASLR) and run with DEP, small, that needs nothing but
# DLLs every Windows since XP has in its system folder.
#   cmake -DOBJDUMP=... -DEXE=... [-DMAX_BYTES=n] -P pe_check.cmake
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
expect("Subsystem[ \t]+00000002" "not a window (GUI) program")
expect("DllCharacteristics[^\n]*\n([ \t]+[A-Z_]+\n)*[ \t]+DYNAMIC_BASE" "DllCharacteristics lacks DYNAMIC_BASE")
expect("DllCharacteristics[^\n]*\n([ \t]+[A-Z_]+\n)*[ \t]+NX_COMPAT" "DllCharacteristics lacks NX_COMPAT")
# Without relocations the loader cannot move the image, whatever DYNAMIC_BASE says.
expect("Entry 5 [0-9a-f]+ 0*[1-9a-f][0-9a-f]* Base Relocation" "no .reloc")
if(dump MATCHES "relocations stripped")
  string(APPEND failures "\n  the relocations are stripped")
endif()

set(system kernel32.dll user32.dll gdi32.dll comctl32.dll msvcrt.dll advapi32.dll shell32.dll ole32.dll
    oleaut32.dll uxtheme.dll shlwapi.dll comdlg32.dll)
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
    string(APPEND failures "\n  ${dll} is not a Windows system DLL")
  endif()
endforeach()
# Start-up prepares the common controls through comctl32's InitCommonControls.
expect("DLL Name: [Cc][Oo][Mm][Cc][Tt][Ll]32\\.[Dd][Ll][Ll]\n([ \t]+[0-9a-f]+[ \t]+[0-9]+[ \t]+[A-Za-z_0-9]+\n)*[ \t]+[0-9a-f]+[ \t]+[0-9]+[ \t]+InitCommonControls\n"
       "InitCommonControls is not imported from comctl32.dll")

if(MAX_BYTES)
  # One window with six controls: what the program links beyond that is paid for by
  # every user at every start (a link map, tarvik.map beside the program, shows where).
  file(SIZE ${EXE} size)
  if(size GREATER MAX_BYTES)
    string(APPEND failures "\n  ${size} bytes, more than ${MAX_BYTES}")
  endif()
endif()
if(failures)
  message(FATAL_ERROR "${EXE}:${failures}")
endif()
