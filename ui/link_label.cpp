#include "ui/link_label.h"

#include "ui/link_accessible.h"

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
    case WM_GETOBJECT:
      // A screen reader asks for the client object; the other parts are the system's.
      if (static_cast<LONG>(lParam) == OBJID_CLIENT) {
        if (const LRESULT answer = AccessibleLink(label, wParam)) return answer;
      }
      break;
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

COLORREF LinkColour() {
  // A contrast theme chooses its hyperlink colour to stand out on its own background;
  // pure blue may all but vanish there (2.4:1 on black).
  HIGHCONTRASTW contrast{sizeof contrast, 0, nullptr};
  if (SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
      (contrast.dwFlags & HCF_HIGHCONTRASTON)) {
    return GetSysColor(COLOR_HOTLIGHT);
  }
  return RGB(0, 0, 255);
}

}  // namespace tarvik::ui
