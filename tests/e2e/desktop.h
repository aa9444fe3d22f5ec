// What the driver does to another program's windows, through the window system only:
// starting the program, finding and reading its windows, real keyboard and mouse
// input, and reading the screen.
#pragma once

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <optional>
#include <string>

#include "ui/scoped_gdi.h"

namespace tarvik::e2e {

/// The bound for one reaction of the program. Under processor emulation it bounds a
/// hang, not the speed: each wait ends on what it waits to see.
inline constexpr DWORD kReactTimeoutMs = 10000;

/// Owns a handle that is not a GDI object and frees it with `Free` on every way out of
/// the scope; moved, never copied: the window's own owner, with another way to free.
template <auto Free>
struct FreeWith {
  void operator()(auto handle) const { Free(handle); }
};
template <typename Handle, auto Free>
using Owned = ui::ScopedGdiObject<Handle, FreeWith<Free>>;

/// A message sent with a bounded wait, so that a hung program fails a check instead of
/// the run: its result, or none if it was not answered in time.
std::optional<DWORD_PTR> Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0,
                              DWORD timeoutMs = kReactTimeoutMs, UINT flags = SMTO_ABORTIFHUNG);

/// A program started as a user would start it; ended on destruction if still running.
class Program {
 public:
  Program() = default;
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  /// Starts the program and waits until its message loop is idle. False if it could
  /// not be started or did not become idle in time. A show command other than -1 goes
  /// in STARTUPINFO, as a launcher passes a shortcut's "Run:" choice.
  bool Start(const std::wstring& path, DWORD timeoutMs, int showCommand = -1);

  /// Milliseconds from CreateProcess to WaitForInputIdle returning.
  double StartupMs() const { return startupMs_; }
  DWORD ProcessId() const { return info_.dwProcessId; }
  HANDLE Handle() const { return info_.hProcess; }
  bool Running() const { return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }

  /// Waits for the process to end; false on timeout. exitCode gets its exit code.
  bool WaitForExit(DWORD timeoutMs, DWORD& exitCode);

 private:
  PROCESS_INFORMATION info_{};
  double startupMs_ = 0;
};

/// Polls until the condition holds, the time starting again whenever `progress` gives a
/// new value (a text's length, a count of things done): a slow machine that is getting
/// on is waited for. Returns the last result.
bool WaitFor(const std::function<bool()>& condition, DWORD stallMs, const std::function<long long()>& progress);
/// Polls until the condition holds or the time is up; returns the last result.
inline bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
  return WaitFor(condition, timeoutMs, [] { return 0LL; });
}

/// A window of the process with that class whose owner is `owner`, shown or not: for
/// checks that nothing opened, which must see a window that has yet to be shown.
HWND FindAnyOwnedWindow(DWORD processId, const wchar_t* className, HWND owner);

/// Returns once the thread of the window has handled what was sent to it before; false
/// if it did not answer in time.
inline bool RoundTrip(HWND window, DWORD timeoutMs) {
  return Send(window, WM_NULL, 0, 0, timeoutMs, SMTO_NORMAL).has_value();
}

/// The GDI and USER objects the process holds, by the best count the system offers
/// (`how` says which); -1 where it offers none.
struct GuiObjects {
  long gdi = -1, user = -1;
  std::string how;
};
GuiObjects CountGuiObjects(HANDLE process, DWORD processId);

/// A visible top-level window of the process with that class name, or null.
HWND FindTopLevel(DWORD processId, const wchar_t* className);
/// A visible top-level window of the process with that class and owner, or null.
HWND FindOwnedWindow(DWORD processId, const wchar_t* className, HWND owner);

/// The process that owns the window.
DWORD ProcessOf(HWND window);

std::wstring ClassName(HWND window);
/// WM_GETTEXT through a bounded send, so a hung program fails a check instead of the run.
std::wstring WindowText(HWND window);
/// The window's rectangle on the screen, frame and all.
RECT ScreenRect(HWND window);
/// The window's rectangle relative to the client area of `parent`.
RECT RectInClient(HWND window, HWND parent);
/// The client area in screen coordinates.
RECT ClientOnScreen(HWND window);
inline POINT Centre(const RECT& rect) { return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2}; }

/// Where the input of the thread that owns the window goes (focus, active window,
/// capture), in whatever process; all null if the system cannot say.
GUITHREADINFO InputOf(HWND anyWindowOfThread);
/// The keyboard focus of the thread that owns the window, in whatever process.
HWND FocusOf(HWND anyWindowOfThread);

/// Under Wine, sends pointer moves through this Unix helper (x_pointer.py), which moves
/// the X pointer itself; SendInput moves make Wine warp the X pointer, and the motion
/// that comes back from the X server can carry the pointer back to an earlier place.
void UseXPointer(const std::wstring& helper);
/// The helper's answer line to the arguments (the path of the file for the answer is
/// added after them); empty if it gave none in time.
std::string AskXPointer(const std::wstring& arguments);
bool HasXPointer();

/// Handles the driver's own window messages for that long.
void PumpMessages(DWORD ms);

/// Real input, as from the keyboard and the mouse.
void PressKey(WORD virtualKey);
void PressChord(WORD modifier, WORD virtualKey);
void TypeText(const std::wstring& text);
/// Moves the pointer to a screen point; false if the pointer did not get there.
bool MoveMouse(POINT screen);
bool Click(POINT screen);
/// Mouse button events (MOUSEEVENTF_LEFTDOWN, ...) at a screen point, in one batch;
/// a time other than 0 stamps each of them, as the double-click logic reads it.
void MouseButtons(POINT screen, std::initializer_list<DWORD> buttons, DWORD time = 0);

/// The text on the clipboard is replaced by `text`.
bool PutOnClipboard(const std::wstring& text);

/// Milliseconds from a fixed but arbitrary start.
double NowMs();

}  // namespace tarvik::e2e
