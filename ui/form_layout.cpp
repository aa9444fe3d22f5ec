#include "ui/form_layout.h"

#include "ui/system_function.h"

namespace tarvik::ui {
namespace {

// The pixels a label needs to show its text on one line in its font.
int TextWidth(HFONT font, const wchar_t* text) {
  ScopedScreenDC screen;
  const HGDIOBJ previous = SelectObject(screen.Get(), font);
  SIZE size{};
  GetTextExtentPoint32W(screen.Get(), text, lstrlenW(text), &size);
  SelectObject(screen.Get(), previous);
  return size.cx;
}

}  // namespace

int ScreenDpi() {
  ScopedScreenDC screen;
  return GetDeviceCaps(screen.Get(), LOGPIXELSY);
}

int WindowDpi(HWND window) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  const auto get = SystemFunction<GetDpiForWindowFn>(L"user32.dll", "GetDpiForWindow");
  const int dpi = get ? static_cast<int>(get(window)) : 0;
  return dpi ? dpi : ScreenDpi();
}

SIZE FramePixels(int dpi, DWORD style, DWORD exStyle) {
  RECT frame{0, 0, TwipsToPixels(kClientWidthTwips, dpi), TwipsToPixels(kClientHeightTwips, dpi)};
  // The caption and borders are as tall as the monitor's DPI makes them; where the
  // system cannot say, the process has one DPI and the plain call knows it.
  using AdjustForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
  const auto adjust = SystemFunction<AdjustForDpiFn>(L"user32.dll", "AdjustWindowRectExForDpi");
  if (!adjust || !adjust(&frame, style, FALSE, exStyle, static_cast<UINT>(dpi))) {
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  }
  return {frame.right - frame.left, frame.bottom - frame.top};
}

int IconPixels(int metric, int dpi) {
  using GetMetricForDpiFn = int(WINAPI*)(int, UINT);
  const auto get = SystemFunction<GetMetricForDpiFn>(L"user32.dll", "GetSystemMetricsForDpi");
  return get ? get(metric, static_cast<UINT>(dpi)) : GetSystemMetrics(metric);
}

ScopedFont CreateFormFont(int dpi, bool underline) {
  return ScopedFont(CreateFontW(FontHeightPixels(dpi), 0, 0, 0, FW_NORMAL, FALSE, underline, FALSE, ANSI_CHARSET,
                                OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS,
                                kFontFace));
}

RECT ControlPixels(const ControlLayout& control, HFONT font, int dpi) {
  const int left = TwipsToPixels(control.left, dpi), top = TwipsToPixels(control.top, dpi);
  int width = TwipsToPixels(control.width, dpi);
  if (control.kind == ControlKind::Label) width = LabelWidthPixels(control, TextWidth(font, control.text), dpi);
  return {left, top, left + width, top + TwipsToPixels(control.height, dpi)};
}

}  // namespace tarvik::ui
