// The "About" label as a link: it clicks like a button, is drawn in the link colour and
// tells a screen reader what it is.
#pragma once

#include <windows.h>

namespace tarvik::ui {

/// Makes a static control (with SS_NOTIFY) click like a button: its parent gets
/// STN_CLICKED on a release over it after a press on it.
void MakeLink(HWND label);

/// The colour the link's text is drawn in: pure blue, or the system's hyperlink colour
/// while high contrast is on.
COLORREF LinkColour();

}  // namespace tarvik::ui
