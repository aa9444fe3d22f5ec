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

/// Prepares the common controls, loads Form1 (its Load event included) and shows it.
/// Returns the window, or null if it could not be created.
HWND Main(HINSTANCE instance, int showCommand) {
  DeclareDpiAware();
  // Must precede the first control, so that the version the manifest asks for draws them.
  InitCommonControls();
  HWND form = ui::LoadForm1(instance);
  if (form) ShowWindow(form, showCommand);
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
