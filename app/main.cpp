// Start-up: DPI awareness and the common controls before any window exists, then the
// window, then the message loop until the window is closed.
#include <windows.h>
#include <commctrl.h>

#include "ui/main_window.h"

namespace tarvik {
namespace {

// The window is laid out in twips, which it converts with the real DPI. Without this,
// a high-DPI system would report 96 and stretch the window's bitmap. Looked up at run
// time because the call does not exist before Windows Vista.
void DeclareDpiAware() {
  using SetProcessDpiAwareFn = BOOL(WINAPI*)();
  if (HMODULE user32 = GetModuleHandleW(L"user32.dll")) {
    if (auto set = reinterpret_cast<SetProcessDpiAwareFn>(
            reinterpret_cast<void (*)()>(GetProcAddress(user32, "SetProcessDPIAware")))) {
      set();
    }
  }
}

/// How to show the window, from what the launcher asked (a shortcut's "Run:", start
/// /max, ...). A fixed-size window is never shown maximised, and never left hidden with
/// nothing for the user to close: those start it normal. A minimised start stays one.
int ShowCommandFor(int requested) {
  if (requested == SW_SHOWDEFAULT) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    requested = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWNORMAL;
  }
  switch (requested) {
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
      return requested;
    case SW_SHOWNOACTIVATE:
    case SW_SHOWNA:
      return SW_SHOWNOACTIVATE;
    default:
      return SW_SHOWNORMAL;
  }
}

/// Prepares the common controls, loads Form1 (its Load event included) and shows it.
/// Returns the window, or null if it could not be created.
HWND Main(HINSTANCE instance, int showCommand) {
  DeclareDpiAware();
  // Must precede the first control, so that the version the manifest asks for draws them.
  InitCommonControls();
  HWND form = ui::LoadForm1(instance);
  if (!form) return nullptr;
  const int show = ShowCommandFor(showCommand);
  ShowWindow(form, show);
  // The first ShowWindow of a process may follow the launcher's STARTUPINFO rather than
  // its argument; should that have hidden the window, the second call is ours.
  if (!IsWindowVisible(form)) ShowWindow(form, show);
  return form;
}

int RunMessageLoop(HWND form) {
  MSG msg;
  BOOL result;
  while ((result = GetMessageW(&msg, nullptr, 0, 0)) > 0) {
    if (!ui::PreTranslateForm1Message(form, msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  return result < 0 ? 1 : static_cast<int>(msg.wParam);
}

}  // namespace
}  // namespace tarvik

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  HWND form = tarvik::Main(instance, showCommand);
  if (!form) {
    MessageBoxW(nullptr, L"The window could not be created.", L"tarvik", MB_ICONERROR | MB_OK);
    return 1;
  }
  return tarvik::RunMessageLoop(form);
}
