// The "About" label as a link: it clicks like a button and is drawn in the link colour.
#pragma once

#include <windows.h>

namespace tarvik::ui {

/// Makes a static control (with SS_NOTIFY) click like a button: its parent gets
/// STN_CLICKED on a release over it after a press on it.
void MakeLink(HWND label);

/// The colour the link's text is drawn in.
COLORREF LinkColour();

}  // namespace tarvik::ui
