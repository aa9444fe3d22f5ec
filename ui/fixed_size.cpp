#include "ui/fixed_size.h"

namespace tarvik::ui {

int FixedSizeShowCommand(int requested) {
  switch (requested) {
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
      return requested;
    case SW_SHOWNOACTIVATE:
    case SW_SHOWNA:
      return SW_SHOWNOACTIVATE;
    default:
      return SW_SHOWNORMAL;
  }
}

bool KeepFixedSize(HWND window, SIZE frame, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_CREATE: {
      // The system menu offers neither; creation goes on as usual.
      const HMENU systemMenu = GetSystemMenu(window, FALSE);
      DeleteMenu(systemMenu, SC_MAXIMIZE, MF_BYCOMMAND);
      DeleteMenu(systemMenu, SC_SIZE, MF_BYCOMMAND);
      return false;
    }
    case WM_SYSCOMMAND:
      // The low four bits carry how the command came (0xF032 from the caption).
      result = 0;
      return (wParam & 0xFFF0) == SC_MAXIMIZE;
    case WM_GETMINMAXINFO: {
      // Should anything still maximise the window, it keeps its size and place.
      auto& limits = *reinterpret_cast<MINMAXINFO*>(lParam);
      RECT now{};
      GetWindowRect(window, &now);
      limits.ptMaxSize = limits.ptMinTrackSize = limits.ptMaxTrackSize = {frame.cx, frame.cy};
      limits.ptMaxPosition = {now.left, now.top};
      result = 0;
      return true;
    }
    case WM_WINDOWPOSCHANGED:
      // ShowWindow(SW_MAXIMIZE) from anywhere, and the first ShowWindow of a process
      // started "maximised", bypass the system menu: undo it once it is done.
      result = DefWindowProcW(window, message, wParam, lParam);
      if (IsZoomed(window)) ShowWindow(window, SW_RESTORE);
      return true;
  }
  return false;
}

}  // namespace tarvik::ui
