// Form1 keeps the size it was designed with: it is never maximised and never sized,
// however that is asked for. Every rule that says so is here.
#pragma once

#include <windows.h>

namespace tarvik::ui {

/// The frame of a fixed-size window: a caption and a system menu, with neither a
/// sizing border nor a maximise box.
inline constexpr DWORD kFixedSizeStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;

/// How to show the window for the command a launcher asked (a shortcut's "Run:",
/// start /max, ...): never maximised, and never left hidden with nothing for the user
/// to close; those show it normal. A minimised start stays one.
int FixedSizeShowCommand(int requested);

/// Answers, for a window of `frame` size, the messages through which it could be
/// maximised or sized; true, with `result` set, where the message is answered here.
bool KeepFixedSize(HWND window, SIZE frame, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

}  // namespace tarvik::ui
