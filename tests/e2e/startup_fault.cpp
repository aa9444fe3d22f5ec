// Linked into a test-only copy of tarvik.exe. Its definitions of the import pointers
// come before the system's import libraries, so every call the program makes to these
// functions comes here; the one TARVIK_FAULT names fails with a last error set, the
// way the system fails it when memory or handles run out, and the others go through.
// The others let the driver see what Wine cannot show it: how the form set up its UI
// state; high contrast, on while the driver holds an event named TarvikTestHighContrast;
// and the link as an accessibility client in this process reads it, on the thread
// message TarvikTestCheckLink. The answers are window properties of the form.
#include <windows.h>
#include <oleacc.h>

#include <cwchar>

#include "ui/resource_ids.h"
#include "ui/system_function.h"

namespace {

constexpr DWORD kError = ERROR_NOT_ENOUGH_MEMORY;

bool Faulty(const wchar_t* step) {
  wchar_t fault[32] = {};
  return GetEnvironmentVariableW(L"TARVIK_FAULT", fault, 32) && std::wcscmp(fault, step) == 0;
}

// The system's own function, which the import pointer of that name stood for.
#define SYSTEM(dll, function) tarvik::ui::SystemFunction<decltype(&function)>(dll, #function)

ATOM WINAPI FaultyRegisterClassExW(const WNDCLASSEXW* windowClass) {
  if (Faulty(L"class")) return SetLastError(kError), 0;
  return SYSTEM(L"user32.dll", RegisterClassExW)(windowClass);
}

HWND WINAPI FaultyCreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR text, DWORD style, int x, int y,
                                  int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
  const bool text1 = !IS_INTRESOURCE(className) && _wcsicmp(className, L"EDIT") == 0 &&
                     reinterpret_cast<INT_PTR>(menu) == IDC_TEXT1;
  if ((Faulty(L"window") && !parent) || (Faulty(L"text1") && text1)) return SetLastError(kError), nullptr;
  return SYSTEM(L"user32.dll", CreateWindowExW)(exStyle, className, text, style, x, y, width, height, parent, menu,
                                                instance, param);
}

HFONT WINAPI FaultyCreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                               DWORD underline, DWORD strikeOut, DWORD charSet, DWORD precision, DWORD clip,
                               DWORD quality, DWORD pitch, LPCWSTR face) {
  if (Faulty(L"font")) return SetLastError(kError), nullptr;
  return SYSTEM(L"gdi32.dll", CreateFontW)(height, width, escapement, orientation, weight, italic, underline,
                                          strikeOut, charSet, precision, clip, quality, pitch, face);
}

BOOL WINAPI FaultySystemParametersInfoW(UINT action, UINT size, void* value, UINT update) {
  HANDLE on = action == SPI_GETHIGHCONTRAST ? OpenEventW(SYNCHRONIZE, FALSE, L"TarvikTestHighContrast") : nullptr;
  if (on) {
    CloseHandle(on);
    static_cast<HIGHCONTRASTW*>(value)->dwFlags = HCF_HIGHCONTRASTON;
    return TRUE;
  }
  return SYSTEM(L"user32.dll", SystemParametersInfoW)(action, size, value, update);
}

// An answer for the driver, as a property of the window.
void Answer(HWND form, const wchar_t* name, INT_PTR value) { SetPropW(form, name, reinterpret_cast<HANDLE>(value)); }

// The link's role, whether its shortcut is "F1" and its name "About" (1 yes, 2 no), as
// ObjectFromLresult gives the object behind the label's own answer to WM_GETOBJECT.
void CheckLink() {
  HWND form = FindWindowW(L"TarvikForm1", nullptr), label = GetDlgItem(form, IDC_LABEL3);
  const LRESULT answer = SendMessageW(label, WM_GETOBJECT, 0, OBJID_CLIENT);
  const auto fromLresult = SYSTEM(L"oleacc.dll", ObjectFromLresult);
  IAccessible* link = nullptr;
  if (answer <= 0 || !fromLresult ||
      FAILED(fromLresult(answer, __uuidof(IAccessible), 0, reinterpret_cast<void**>(&link)))) {
    Answer(form, L"TarvikTestLinkRole", -1);
    return;
  }
  VARIANT self{}, role{};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR shortcut = nullptr, name = nullptr;
  link->get_accRole(self, &role);
  const bool f1 = link->get_accKeyboardShortcut(self, &shortcut) == S_OK && shortcut && !std::wcscmp(shortcut, L"F1");
  const bool about = link->get_accName(self, &name) == S_OK && name && !std::wcscmp(name, L"About");
  const auto freeString = SYSTEM(L"oleaut32.dll", SysFreeString);
  freeString(shortcut);
  freeString(name);
  link->Release();
  Answer(form, L"TarvikTestLinkShortcut", f1 ? 1 : 2);
  Answer(form, L"TarvikTestLinkName", about ? 1 : 2);
  Answer(form, L"TarvikTestLinkRole", role.vt == VT_I4 ? role.lVal : 0);
}

// What the form asked of its UI state, kept for the driver: this Wine's DefWindowProc
// keeps no UI state to query.
LRESULT WINAPI FaultySendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CHANGEUISTATE && !GetParent(window)) Answer(window, L"TarvikTestUiState", wParam);
  return SYSTEM(L"user32.dll", SendMessageW)(window, message, wParam, lParam);
}

LRESULT WINAPI FaultyDispatchMessageW(const MSG* msg) {
  if (!msg->hwnd && msg->message == RegisterWindowMessageW(L"TarvikTestCheckLink")) {
    CheckLink();
    return 0;
  }
  return SYSTEM(L"user32.dll", DispatchMessageW)(msg);
}

}  // namespace

// The import pointers under the names the compiler gives them for stdcall functions:
// the name, and the bytes of arguments after the @.
#define TAKE_OVER(function, argumentBytes) \
  decltype(&function) imp_##function __asm__("__imp__" #function "@" #argumentBytes) = Faulty##function

extern "C" {
TAKE_OVER(RegisterClassExW, 4);
TAKE_OVER(CreateWindowExW, 48);
TAKE_OVER(CreateFontW, 56);
TAKE_OVER(SystemParametersInfoW, 16);
TAKE_OVER(DispatchMessageW, 4);
TAKE_OVER(SendMessageW, 16);
}
