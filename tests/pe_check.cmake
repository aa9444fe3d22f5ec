# A program's PE headers and imports as objdump -p prints them: a 32-bit program the
# loader can move (ASLR) and run with DEP, small, that needs nothing but DLLs every
# Windows since XP has in its system folder. By default a window program, which
# prepares the common controls; CONSOLE=ON for the command-line tool. DLLS narrows the
# DLLs it may import. XP=ON: the program must still start on Windows XP, so it asks
# for no subsystem later than 5.1 and imports only functions of the allow-list below,
# each of which XP has; anything newer is looked up at run time.
#   cmake -DOBJDUMP=... -DEXE=... [-DCONSOLE=ON] [-DDLLS=a.dll,b.dll] [-DMAX_BYTES=n] [-DXP=ON] -P pe_check.cmake
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
expect("DllCharacteristics[^\n]*\n([ \t]+[A-Z_]+\n)*[ \t]+NO_SEH" "DllCharacteristics lacks NO_SEH")
expect("DllCharacteristics[^\n]*\n([ \t]+[A-Z_]+\n)*[ \t]+TERMINAL_SERVICE_AWARE" "DllCharacteristics lacks TERMINAL_SERVICE_AWARE")
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

if(XP)
  set(xp_imports
    comctl32.dll:InitCommonControls
    gdi32.dll:CreateFontW gdi32.dll:DeleteObject gdi32.dll:GetDeviceCaps gdi32.dll:GetTextExtentPoint32W
    gdi32.dll:SelectObject gdi32.dll:SetTextColor
    kernel32.dll:ExitProcess kernel32.dll:FormatMessageW kernel32.dll:GetLastError kernel32.dll:GetModuleHandleW
    kernel32.dll:GetProcAddress kernel32.dll:GetProcessHeap kernel32.dll:GetStartupInfoW
    kernel32.dll:GetSystemDirectoryW kernel32.dll:HeapAlloc kernel32.dll:HeapFree kernel32.dll:LoadLibraryW
    kernel32.dll:WideCharToMultiByte kernel32.dll:lstrcatW kernel32.dll:lstrcpyW kernel32.dll:lstrlenW msvcrt.dll:memcmp
    user32.dll:AdjustWindowRectEx user32.dll:CallWindowProcW user32.dll:CharLowerBuffW user32.dll:GetParent user32.dll:ClientToScreen user32.dll:CreateWindowExW
    user32.dll:DefWindowProcW user32.dll:DeleteMenu user32.dll:DestroyIcon user32.dll:DispatchMessageW
    user32.dll:GetCapture user32.dll:GetClassLongW user32.dll:GetClientRect user32.dll:GetDC user32.dll:GetDlgItem
    user32.dll:GetFocus user32.dll:GetMessageW user32.dll:GetSysColor user32.dll:GetSystemMenu
    user32.dll:GetSystemMetrics user32.dll:GetWindowLongW user32.dll:GetWindowRect user32.dll:GetWindowTextLengthW
    user32.dll:GetWindowTextW user32.dll:InvalidateRect user32.dll:IsChild user32.dll:IsDialogMessageW
    user32.dll:IsWindow user32.dll:IsWindowEnabled user32.dll:IsWindowVisible user32.dll:IsZoomed
    user32.dll:LoadCursorW user32.dll:LoadImageW user32.dll:MessageBoxW user32.dll:PostQuitMessage
    user32.dll:RegisterClassExW user32.dll:ReleaseCapture user32.dll:ReleaseDC user32.dll:SendMessageW
    user32.dll:SetCapture user32.dll:SetCursor user32.dll:SetFocus user32.dll:SetWindowLongW user32.dll:SetWindowPos
    user32.dll:SetWindowTextW user32.dll:ShowWindow user32.dll:SystemParametersInfoW user32.dll:TranslateMessage
    user32.dll:UpdateWindow user32.dll:WindowFromPoint user32.dll:wsprintfW)
  if(dump MATCHES "MajorSubsystemVersion[ \t]+([0-9]+)\nMinorSubsystemVersion[ \t]+([0-9]+)")
    if(CMAKE_MATCH_1 GREATER 5 OR (CMAKE_MATCH_1 EQUAL 5 AND CMAKE_MATCH_2 GREATER 1))
      string(APPEND failures "\n  subsystem version ${CMAKE_MATCH_1}.${CMAKE_MATCH_2}: Windows XP runs 5.1 at most")
    endif()
  else()
    string(APPEND failures "\n  no subsystem version")
  endif()
  # Each import as objdump lists it: under "DLL Name:", a line of address, hint and name.
  string(REPLACE ";" "," lines "${dump}")
  string(REPLACE "\n" ";" lines "${lines}")
  set(dll "")
  set(read 0)
  foreach(line IN LISTS lines)
    if(line MATCHES "DLL Name: (.+)")
      string(TOLOWER "${CMAKE_MATCH_1}" dll)
    elseif(line STREQUAL "")
      set(dll "")
    elseif(dll AND line MATCHES "^\t[0-9a-f]+\t +[0-9]+ +([A-Za-z_0-9@]+)$")
      math(EXPR read "${read} + 1")
      if(NOT "${dll}:${CMAKE_MATCH_1}" IN_LIST xp_imports)
        string(APPEND failures "\n  ${dll}:${CMAKE_MATCH_1} is imported, and is not on the list of what XP has")
      endif()
    endif()
  endforeach()
  if(read EQUAL 0)
    string(APPEND failures "\n  no imported function could be read")
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
