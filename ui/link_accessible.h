// What an accessibility client (a screen reader) is told about the "About" label: the
// standard account of a static control, except that it is a link and F1 opens it.
#pragma once

#include <windows.h>

namespace tarvik::ui {

/// The answer to WM_GETOBJECT for the link's client object, or 0 for the system's
/// own answer. oleacc.dll is loaded on the first call, so only what runs is paid for.
LRESULT AccessibleLink(HWND label, WPARAM flags);

}  // namespace tarvik::ui
