// Functions that not every Windows the program runs on has (XP lacks the DPI calls of
// later versions), found at run time so that the program still starts without them.
#pragma once

#include <windows.h>

namespace tarvik::ui {

/// The function of that name in a DLL the process has loaded, or null.
template <typename F>
F SystemFunction(const wchar_t* dll, const char* name) {
  const HMODULE module = GetModuleHandleW(dll);
  return module ? reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(module, name))) : nullptr;
}

/// A DLL from the system directory, by its full path: a bare name would also search the
/// program's own folder, where anyone could have put a DLL of that name.
HMODULE LoadSystemLibrary(const wchar_t* name);

}  // namespace tarvik::ui
