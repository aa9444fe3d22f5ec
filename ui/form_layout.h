// Form1's layout arithmetic: the twips of ui/layout.h in pixels at a DPI, for the
// frame, each control and the form's fonts.
#pragma once

#include <windows.h>

#include "ui/layout.h"
#include "ui/scoped_gdi.h"

namespace tarvik::ui {

/// The screen's DPI, which every window of a system-DPI-aware process shares.
int ScreenDpi();

/// The DPI of the monitor the window is on, where the system can say (Windows 10
/// 1607); the screen's elsewhere.
int WindowDpi(HWND window);

/// The window's size for the designed client area at that DPI.
SIZE FramePixels(int dpi, DWORD style, DWORD exStyle);

/// An icon's side at that DPI, for SM_CXICON or SM_CXSMICON.
int IconPixels(int metric, int dpi);

/// MS Sans Serif at the designed point size for that DPI, underlined for the link.
ScopedFont CreateFormFont(int dpi, bool underline);

/// Where a control goes in the client area at that DPI: a label as wide as its text
/// in `font` needs, within its room.
RECT ControlPixels(const ControlLayout& control, HFONT font, int dpi);

}  // namespace tarvik::ui
