// Linked into a test-only copy of tarvik.exe. Its definitions of the import pointers
// come before the system's import libraries, so every call the program makes to these
// functions comes here; the one TARVIK_FAULT names fails with a last error set, the
// way the system fails it when memory or handles run out, and the others go through.
#include <windows.h>

#include <cwchar>

#include "ui/resource_ids.h"

namespace {

constexpr DWORD kError = ERROR_NOT_ENOUGH_MEMORY;
constexpr INT_PTR kText1Id = IDC_TEXT1;

bool Faulty(const wchar_t* step) {
  wchar_t fault[32] = {};
  GetEnvironmentVariableW(L"TARVIK_FAULT", fault, 32);
  return std::wcscmp(fault, step) == 0;
}

template <typename F>
F Real(const wchar_t* dll, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(dll), name)));
}

ATOM WINAPI FaultyRegisterClassExW(const WNDCLASSEXW* windowClass) {
  if (Faulty(L"class")) return SetLastError(kError), 0;
  return Real<decltype(&RegisterClassExW)>(L"user32.dll", "RegisterClassExW")(windowClass);
}

HWND WINAPI FaultyCreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR text, DWORD style, int x, int y,
                                  int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
  const bool edit = !IS_INTRESOURCE(className) && _wcsicmp(className, L"EDIT") == 0;
  if ((Faulty(L"window") && !parent) ||
      (Faulty(L"text1") && edit && reinterpret_cast<INT_PTR>(menu) == kText1Id)) {
    SetLastError(kError);
    return nullptr;
  }
  return Real<decltype(&CreateWindowExW)>(L"user32.dll", "CreateWindowExW")(
      exStyle, className, text, style, x, y, width, height, parent, menu, instance, param);
}

HFONT WINAPI FaultyCreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                               DWORD underline, DWORD strikeOut, DWORD charSet, DWORD precision, DWORD clip,
                               DWORD quality, DWORD pitch, LPCWSTR face) {
  if (Faulty(L"font")) return SetLastError(kError), nullptr;
  return Real<decltype(&CreateFontW)>(L"gdi32.dll", "CreateFontW")(height, width, escapement, orientation, weight,
                                                                   italic, underline, strikeOut, charSet, precision,
                                                                   clip, quality, pitch, face);
}

}  // namespace

// The names the compiler gives the import pointers of these stdcall functions.
extern "C" {
decltype(&RegisterClassExW) imp_RegisterClassExW __asm__("__imp__RegisterClassExW@4") = FaultyRegisterClassExW;
decltype(&CreateWindowExW) imp_CreateWindowExW __asm__("__imp__CreateWindowExW@48") = FaultyCreateWindowExW;
decltype(&CreateFontW) imp_CreateFontW __asm__("__imp__CreateFontW@56") = FaultyCreateFontW;
}
