// Start-up: DPI awareness and the common controls before any window exists, then the
// window, then the message loop until the window is closed.
//
// The process starts at TarvikStart, not in the C runtime: the program takes no command
// line, reads no files and has no static objects to construct, so the runtime's start-up
// (arguments, environment, stdio, atexit, thread-local storage) would be kilobytes that
// do nothing for it. What the compiler still calls (memset, memmove) comes from msvcrt.dll.
#include <windows.h>
#include <commctrl.h>

#include "ui/fixed_size.h"
#include "ui/main_window.h"
#include "ui/system_function.h"

namespace tarvik {
namespace {

// The window is laid out in twips, which it converts with the real DPI. Per-monitor
// awareness (Windows 10 1703) lets it lay itself out again, sharp, on a monitor of
// another scale; before that, system awareness keeps a high-DPI system from stretching
// its bitmap. Both are looked up at run time: XP has neither.
void DeclareDpiAware() {
  using SetContextFn = BOOL(WINAPI*)(HANDLE);
  using SetAwareFn = BOOL(WINAPI*)();
  const auto perMonitor = ui::SystemFunction<SetContextFn>(L"user32.dll", "SetProcessDpiAwarenessContext");
  // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2, which XP's headers lack.
  if (perMonitor && perMonitor(reinterpret_cast<HANDLE>(-4))) return;
  if (const auto system = ui::SystemFunction<SetAwareFn>(L"user32.dll", "SetProcessDPIAware")) system();
}

/// How to show the window, from what the launcher asked (a shortcut's "Run:", start
/// /max, ...).
int ShowCommand() {
  STARTUPINFOW startup;
  GetStartupInfoW(&startup);
  return ui::FixedSizeShowCommand((startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWNORMAL);
}

/// Prepares the common controls, loads Form1 (its Load event included) and shows it.
/// Returns the window, or null with `failure` filled in if it could not be created.
HWND Main(ui::LoadFailure& failure) {
  DeclareDpiAware();
  // Must precede the first control, so that the version the manifest asks for draws them.
  InitCommonControls();
  HWND form = ui::LoadForm1(GetModuleHandleW(nullptr), failure);
  if (!form) return nullptr;
  const int show = ShowCommand();
  ShowWindow(form, show);
  // The first ShowWindow of a process may follow the launcher's STARTUPINFO rather than
  // its argument; should that have hidden the window, the second call is ours.
  if (!IsWindowVisible(form)) ShowWindow(form, show);
  return form;
}

/// Tells the user what could not be created, and on a second line why, in the system's words.
void ShowLoadFailure(const ui::LoadFailure& failure) {
  static constexpr const wchar_t* const kWhat[] = {
      L"The window could not be created.",        // None: not expected
      L"The window class could not be created.",  // WindowClass
      L"The window could not be created.",        // Window
      L"The control %s could not be created.",    // Control
      L"The font could not be created.",          // Font
  };
  static_assert(std::size(kWhat) == static_cast<size_t>(ui::LoadFailure::Part::Font) + 1);
  wchar_t what[128];
  wsprintfW(what, kWhat[static_cast<int>(failure.part)], failure.control);
  wchar_t reason[512];
  DWORD length = failure.error ? FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                                failure.error, 0, reason, std::size(reason), nullptr)
                               : 0;
  while (length && (reason[length - 1] == L'\n' || reason[length - 1] == L'\r')) --length;
  reason[length] = L'\0';
  // Code 0 would read "The operation completed successfully."
  if (!length) wsprintfW(reason, failure.error ? L"Error %lu." : L"The system gave no reason.", failure.error);
  wchar_t message[std::size(what) + 2 + std::size(reason)];
  wsprintfW(message, L"%s\r\n%s", what, reason);
  MessageBoxW(nullptr, message, L"tarvik", MB_ICONERROR | MB_OK);
}

// How many failed GetMessage calls in a row the loop takes for a broken queue: far more
// than a burst of messages that other processes could not get through, and no more than
// a moment of spinning.
constexpr int kMaxFailuresInARow = 1000;

/// Runs until the window is closed; returns the status the close gives (WM_QUIT's).
int RunMessageLoop(HWND form) {
  MSG msg;
  int failuresInARow = 0;
  for (;;) {
    const BOOL result = GetMessageW(&msg, nullptr, 0, 0);
    if (result == 0) return static_cast<int>(msg.wParam);
    if (result > 0) {
      failuresInARow = 0;
      if (!ui::PreTranslateForm1Message(form, msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
      continue;
    }
    // -1 is one message lost, not the end: Wine returns it when it cannot take in what
    // another process sent (a WM_SETTEXT of a million units), drops that message and
    // waits for the next one on the next call. With no window to filter on, the only
    // cause the system names is a bad MSG address, which ours never is; so a long run
    // of failures with nothing delivered means the queue itself is broken and no close
    // can ever arrive: then end with a failure rather than spin.
    if (++failuresInARow == kMaxFailuresInARow) return 1;
  }
}

}  // namespace
}  // namespace tarvik

// The entry point that the link names. The system enters it with the stack aligned to 4
// bytes, where the compiler may count on 16.
extern "C" __attribute__((force_align_arg_pointer, noreturn)) void WINAPI TarvikStart() {
  tarvik::ui::LoadFailure failure;
  HWND form = tarvik::Main(failure);
  if (!form) {
    tarvik::ShowLoadFailure(failure);
    ExitProcess(1);
  }
  ExitProcess(static_cast<UINT>(tarvik::RunMessageLoop(form)));
}
