# A program's PE headers and imports as objdump -p prints them: a 32-bit program the
# loader can move (ASLR) and run with DEP, small, that needs nothing but DLLs every
# Windows since XP has in its system folder. By default a window program, which
# prepares the common controls; CONSOLE=ON for the command-line tool. DLLS narrows the
# DLLs it may import. XP=ON: the program must still start on Windows XP, so it asks
# for no subsystem later than 5.1 and imports only functions of the allow-list below,
# each of which XP has; anything newer is looked up at run time.
#   cmake -DOBJDUMP=... -DEXE=... [-DCONSOLE=ON] [-DDLLS=a.dll,b.dll] [-DMAX_BYTES=n] [-DXP=ON] -P pe_check.cmake
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND ${OBJDUMP} -p ${EXE} OUTPUT_VARIABLE dump COMMAND_ERROR_IS_FATAL ANY)
# Semicolons would split the lists made of its lines.
string(REPLACE ";" "," dump "${dump}")

# Each check: what it means if it fails, then the condition as if() takes it.
macro(check what)
  if(NOT (${ARGN}))
    string(APPEND failures "\n  ${what}")
  endif()
endmacro()

check("not an i386 PE image" dump MATCHES "file format pei-i386")
check("not PE32 (32-bit)" dump MATCHES "Magic[ \t]+010b")
check("not a console program" NOT CONSOLE OR dump MATCHES "Subsystem[ \t]+00000003")
check("not a window (GUI) program" CONSOLE OR dump MATCHES "Subsystem[ \t]+00000002")
foreach(flag DYNAMIC_BASE NX_COMPAT NO_SEH TERMINAL_SERVICE_AWARE)
  check("DllCharacteristics lacks ${flag}" dump MATCHES "DllCharacteristics[^\n]*\n([ \t]+[A-Z_]+\n)*[ \t]+${flag}")
endforeach()
# Without relocations the loader cannot move the image, whatever DYNAMIC_BASE says.
check("no .reloc" dump MATCHES "Entry 5 [0-9a-f]+ 0*[1-9a-f][0-9a-f]* Base Relocation")
check("the relocations are stripped" NOT dump MATCHES "relocations stripped")
file(SIZE ${EXE} size)
# What a program links beyond what it does is paid for by every user at every start
# (a link map beside tarvik.exe shows where).
check("${size} bytes, more than ${MAX_BYTES}" NOT MAX_BYTES OR NOT size GREATER MAX_BYTES)

set(system kernel32.dll user32.dll gdi32.dll comctl32.dll msvcrt.dll advapi32.dll shell32.dll ole32.dll
    oleaut32.dll uxtheme.dll shlwapi.dll comdlg32.dll)
if(DLLS)
  string(REPLACE "," ";" system "${DLLS}")
endif()
set(runtime "^(libgcc|libstdc[+][+]|libwinpthread)")
# The imports as dll:function, each DLL in lower case: objdump lists a DLL's functions
# under its name, a line of address, hint and name each, up to a blank line.
string(REGEX MATCHALL "DLL Name: [^\n]+(\n[^\n]+)*" blocks "${dump}")
check("no import table" blocks)
foreach(block IN LISTS blocks)
  string(REGEX MATCH "DLL Name: ([^\n]+)" name "${block}")
  string(TOLOWER "${CMAKE_MATCH_1}" dll)
  check("${dll} is MinGW's runtime, which must be linked in statically" NOT dll MATCHES "${runtime}")
  check("${dll} is not a Windows system DLL it may import" dll IN_LIST system OR dll MATCHES "${runtime}")
  string(REGEX MATCHALL "\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_0-9@]+\n" functions "${block}\n")
  list(TRANSFORM functions REPLACE "^.* ([^ ]+)\n$" "${dll}:\\1")
  list(APPEND imports ${functions})
endforeach()
# A window's start-up prepares the common controls through comctl32's InitCommonControls.
check("InitCommonControls is not imported from comctl32.dll"
      CONSOLE OR "comctl32.dll:InitCommonControls" IN_LIST imports)

if(XP)
  # What XP's DLLs have of what the program imports, DLL by DLL.
  set(xp_comctl32.dll InitCommonControls)
  set(xp_gdi32.dll CreateFontW DeleteObject GetDeviceCaps GetTextExtentPoint32W SelectObject SetTextColor)
  set(xp_kernel32.dll ExitProcess FormatMessageW GetLastError GetModuleHandleW GetProcAddress GetProcessHeap
      GetStartupInfoW GetSystemDirectoryW HeapAlloc HeapFree LoadLibraryW WideCharToMultiByte lstrcatW lstrcpyW
      lstrlenW)
  set(xp_msvcrt.dll memcmp)
  set(xp_user32.dll AdjustWindowRectEx CallWindowProcW CharLowerBuffW GetParent ClientToScreen CreateWindowExW
      DefWindowProcW DeleteMenu DestroyIcon DispatchMessageW GetCapture GetClassLongW GetClientRect GetDC GetDlgItem
      GetFocus GetMessageW GetSysColor GetSystemMenu GetSystemMetrics GetWindowLongW GetWindowRect
      GetWindowTextLengthW GetWindowTextW InvalidateRect IsChild IsDialogMessageW IsWindow IsWindowEnabled
      IsWindowVisible IsZoomed LoadCursorW LoadImageW MessageBoxW PostQuitMessage RegisterClassExW ReleaseCapture
      ReleaseDC SendMessageW SetCapture SetCursor SetFocus SetWindowLongW SetWindowPos SetWindowTextW ShowWindow
      SystemParametersInfoW TranslateMessage UpdateWindow WindowFromPoint wsprintfW)
  string(REGEX MATCH "MajorSubsystemVersion[ \t]+([0-9]+)\nMinorSubsystemVersion[ \t]+([0-9]+)" version "${dump}")
  set(version "${CMAKE_MATCH_1}.${CMAKE_MATCH_2}")
  check("no subsystem version" version MATCHES "^[0-9]+[.][0-9]+$")
  check("subsystem version ${version}: Windows XP runs 5.1 at most" version VERSION_LESS_EQUAL 5.1)
  check("no imported function could be read" imports)
  foreach(import IN LISTS imports)
    string(REGEX MATCH "^(.+):(.+)$" import "${import}")
    check("${import} is imported, and is not on the list of what XP has" CMAKE_MATCH_2 IN_LIST xp_${CMAKE_MATCH_1})
  endforeach()
endif()

if(failures)
  message(FATAL_ERROR "${EXE}:${failures}")
endif()
