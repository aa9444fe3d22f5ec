// Windows-only helpers every Windows test shares, the end-to-end driver's too: colours
// as 0x00RRGGBB, paths from the build as Windows spells them, and whether this is Wine.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "text_util.h"

namespace tarvik::test {

/// A COLORREF as 0x00RRGGBB, the way pixels are read back.
inline uint32_t FromColorRef(COLORREF c) {
  return static_cast<uint32_t>(GetRValue(c)) << 16 | static_cast<uint32_t>(GetGValue(c)) << 8 | GetBValue(c);
}

/// 0x00RRGGBB as a COLORREF.
inline COLORREF ToColorRef(uint32_t rgb) { return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

/// Well-formed UTF-8 as Windows' UTF-16.
inline std::wstring Wide(std::string_view utf8) {
  const std::u16string units = Utf16(utf8);
  return {units.begin(), units.end()};
}

/// A path from the build as Windows spells it. Under Wine the build passes Unix paths,
/// which only Wine's own function can turn into drive paths; others pass unchanged.
inline std::wstring WindowsPath(const std::string& path) {
  using ToDos = WCHAR*(CDECL*)(const char*);
  const auto toDos = reinterpret_cast<ToDos>(reinterpret_cast<void (*)()>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
  WCHAR* dos = path.starts_with('/') && toDos ? toDos(path.c_str()) : nullptr;
  if (!dos) return Widen(path);
  std::wstring translated(dos);
  HeapFree(GetProcessHeap(), 0, dos);
  return translated;
}

/// Whether this runs under Wine. TARVIK_NOT_WINE=1 in the environment makes a run under
/// Wine count as one on Windows, to show what a marked gap does there.
inline bool UnderWine() {
  const char* notWine = std::getenv("TARVIK_NOT_WINE");
  if (notWine && *notWine == '1') return false;
  return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

}  // namespace tarvik::test
