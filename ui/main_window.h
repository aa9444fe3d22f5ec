// Form1, the program's only window: the e-mail box, the id-number box, the "Work out"
// button and the link-styled "About" label, laid out by ui/layout.h.
#pragma once

#include <windows.h>

#include "ui/layout.h"

namespace tarvik::ui {

inline constexpr wchar_t kForm1ClassName[] = L"TarvikForm1";

/// What kept Form1 from loading, for start-up to tell the user.
struct LoadFailure {
  enum class Part { None, WindowClass, Window, Control, Font };
  Part part = Part::None;
  const wchar_t* control = nullptr;  // the layout table's name, for Part::Control
  DWORD error = 0;                   // the system's error code at the failure, 0 if none
};

/// Registers the window class, creates Form1 and its controls and raises its Load
/// event; the window is not shown yet. Returns null, with `failure` filled in, if the
/// window cannot be created.
HWND LoadForm1(HINSTANCE instance, LoadFailure& failure);

/// Gives keyboard messages to the dialog manager (Tab, Space, arrows); true if taken.
bool PreTranslateForm1Message(HWND form, MSG& msg);

}  // namespace tarvik::ui
