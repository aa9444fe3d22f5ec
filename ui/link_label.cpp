#include "ui/link_label.h"

namespace tarvik::ui {
namespace {

// A static control would report the press at once, and a quick second click as a
// double click; here both presses count and a release elsewhere cancels.
LRESULT CALLBACK LinkLabelProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      SetCapture(label);
      return 0;
    case WM_LBUTTONUP:
      if (GetCapture() == label) {
        ReleaseCapture();
        POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        ClientToScreen(label, &at);
        if (WindowFromPoint(at) == label) {
          SendMessageW(GetParent(label), WM_COMMAND, MAKEWPARAM(GetWindowLongPtrW(label, GWLP_ID), STN_CLICKED),
                       reinterpret_cast<LPARAM>(label));
        }
      }
      return 0;
  }
  // The static control's own procedure, kept where a static has room for it.
  const auto original = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(label, GWLP_USERDATA));
  return CallWindowProcW(original, label, message, wParam, lParam);
}

}  // namespace

void MakeLink(HWND label) {
  SetWindowLongPtrW(label, GWLP_USERDATA, GetWindowLongPtrW(label, GWLP_WNDPROC));
  SetWindowLongPtrW(label, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LinkLabelProc));
}

COLORREF LinkColour() { return RGB(0, 0, 255); }

}  // namespace tarvik::ui
