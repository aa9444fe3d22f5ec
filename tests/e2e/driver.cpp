// End-to-end test of tarvik.exe: starts it as a user would and checks, through the
// window system alone, what a user sees and what the keyboard and the mouse do to it.
// The expected values come from the design of the window, not from the program.
//
//   tarvik-e2e --tarvik EXE [--dpi N] [--suite full|layout] [--minimal EXE] [--faulty EXE]
//              [--screenshot PNG] [--seed N]
//   tarvik-e2e --tarvik EXE --demo ADDRESS --screenshot PNG
//
// The full suite runs everything; the layout suite only what depends on the DPI. --dpi
// names the DPI the system is expected to run at (by default, whatever it runs at);
// --faulty, the test-only build whose start-up fails where TARVIK_FAULT says; --seed,
// where the random input starts (by default, the clock).
// The demo fills in an address, works it out and saves a screenshot. Exit code 0 when
// every check passed.

// The driver uses what Windows XP lacks (DPI awareness, GetIconInfoEx); the program
// it tests does not.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0601
#include <windows.h>
#include <oleacc.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "check.h"
#include "desktop.h"
#include "pixels.h"
#include "tarvik/version.h"
#include "ui/layout.h"

namespace tarvik::e2e {
namespace {

constexpr wchar_t kFormClass[] = L"TarvikForm1";
constexpr wchar_t kCaption[] = L"Work out your MSN Messenger id number - " TARVIK_VERSION_SHORT;
constexpr wchar_t kCredits[] =
    L"This program has been made by Ulvane\r\nThe main code has been provided by Ombry";
constexpr wchar_t kFontFace[] = L"MS Sans Serif";
constexpr int kFontHundredthsOfPoint = 825;
constexpr int kClientWidthTwips = 6000;
constexpr int kClientHeightTwips = 855;
constexpr uint32_t kLinkBlue = 0x0000FF;

// Under processor emulation a program takes seconds to start; these bound a hang, not
// the speed, and are never what a check waits for: each wait ends on what it waits to see.
constexpr DWORD kStartTimeoutMs = 60000;
constexpr DWORD kReactTimeoutMs = 10000;
constexpr DWORD kExitTimeoutMs = 20000;

// The bound for work that grows with a text of `units`: 1 s per 32 Ki units on top of
// a reaction. A 16 Mi-unit paste took 104 s with both cores of the machine busy, and
// this allows five times that.
DWORD AllowanceMs(size_t units) { return kReactTimeoutMs + static_cast<DWORD>(units / 32); }

// The child window ids the form gives its controls: how this driver, like a screen
// reader, tells the two text boxes apart before anything is typed.
constexpr int kText1 = 101;
constexpr int kText2 = 102;
constexpr int kCommand1 = 103;
constexpr int kLabel1 = 104;
constexpr int kLabel2 = 105;
constexpr int kLabel3 = 106;

struct ExpectedControl {
  const char* name;
  int id;
  const wchar_t* className;
  const wchar_t* text;
  int left, top, width, height;  // twips
};

// Top row first, as designed.
constexpr ExpectedControl kControls[] = {
    {"Label1", kLabel1, L"Static", L"Your passport email:", 120, 120, 1455, 255},
    {"Text1", kText1, L"Edit", L"", 1680, 120, 3015, 285},
    {"Label3", kLabel3, L"Static", L"About", 4800, 120, 1095, 255},
    {"Label2", kLabel2, L"Static", L"Your MSN Messenger id number:", 120, 480, 2655, 255},
    {"Text2", kText2, L"Edit", L"", 2760, 480, 1935, 285},
    {"Command1", kCommand1, L"Button", L"Work out", 4800, 360, 1095, 375},
};

struct WorkOutCase {
  const wchar_t* input;
  uint32_t expected;
  const char* what;
};

// The numbers as the design of the program gives them; the driver's own reference fold
// is checked against them before it serves for longer texts.
constexpr WorkOutCase kWorkOutCases[] = {
    {L"abc", 999494u, "lower case"},
    {L"ABC", 999494u, "upper case folds like lower case"},
    {L"", 0u, "empty box"},
    {L"abcdefgh", 2974951252u, "past 2^31: shown unsigned"},
    {L"abc ", 100948926u, "a trailing space counts"},
};

int Pixels(int twips, int dpi) { return (twips * dpi * 2 + 1440) / 2880; }
int FontHeight(int dpi) { return -MulDiv(kFontHundredthsOfPoint, dpi, 7200); }

// What f gives for a screen DC with the font GDI picks for that face and height selected.
template <typename F>
auto WithFont(const wchar_t* face, int height, F f) {
  HDC screen = GetDC(nullptr);
  HFONT font = CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face);
  HGDIOBJ previous = SelectObject(screen, font);
  const auto result = f(screen);
  SelectObject(screen, previous);
  DeleteObject(font);
  ReleaseDC(nullptr, screen);
  return result;
}

// Pixels the text takes on one line in the form's font.
int TextWidth(const wchar_t* text, int dpi) {
  return WithFont(kFontFace, FontHeight(dpi), [&](HDC dc) {
    SIZE size{};
    GetTextExtentPoint32W(dc, text, static_cast<int>(wcslen(text)), &size);
    return size.cx;
  });
}

// The independent reference: a plain unsigned fold over the lower-cased ASCII text.
uint32_t ReferenceIdNumber(const std::wstring& text) {
  uint32_t h = 0;
  for (wchar_t unit : text) {
    const wchar_t lower = (unit >= L'A' && unit <= L'Z') ? unit + (L'a' - L'A') : unit;
    h = h * 101u + static_cast<uint32_t>(lower);
  }
  return h;
}

std::wstring Decimal(uint32_t value) { return std::to_wstring(value); }

// Waits out a program busy with the longest text this test gives it (16 Mi units),
// which the system would take for hung.
bool SetText(HWND window, const std::wstring& text) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL,
                             AllowanceMs(1 << 24), &result) &&
         result;
}

// -1 while the program is too busy to answer.
long long TextLength(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kReactTimeoutMs, &length)) return -1;
  return static_cast<long long>(length);
}

// Typed or set text arriving: waited for as long as the box's text keeps growing.
bool WaitForText(HWND window, const std::wstring& expected) {
  return WaitFor([&] { return WindowText(window) == expected; }, kReactTimeoutMs, [&] { return TextLength(window); });
}

HWND Control(HWND form, int id) { return GetDlgItem(form, id); }

DWORD ProcessOf(HWND window) {
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  return processId;
}

RECT ScreenRect(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return rect;
}

POINT ClientToScreenPoint(HWND window, POINT point) {
  ClientToScreen(window, &point);
  return point;
}

const char* Name(HWND form, HWND window) {
  if (!window) return "nothing";
  if (window == form) return "the form itself";
  for (const ExpectedControl& control : kControls) {
    if (Control(form, control.id) == window) return control.name;
  }
  return "a window that is not one of the form's controls";
}

// Where the input goes, for messages about focus.
GUITHREADINFO InputOf(HWND form) {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  GetGUIThreadInfo(GetWindowThreadProcessId(form, nullptr), &info);
  return info;
}

std::string InputState(HWND form) {
  const GUITHREADINFO info = InputOf(form);
  std::string state = std::string("focus on ") + Name(form, info.hwndFocus) + ", active " +
                      Name(form, info.hwndActive) + ", capture " + Name(form, info.hwndCapture);
  HWND foreground = GetForegroundWindow();
  state += ", foreground " + (foreground ? Quoted(WindowText(foreground)) + " (" + Utf8(ClassName(foreground)) + ")" : std::string("none"));
  return state;
}

bool EnsureForeground(HWND window) {
  if (GetForegroundWindow() != window) SetForegroundWindow(window);
  return WaitFor([&] { return GetForegroundWindow() == window; }, kReactTimeoutMs);
}

bool WaitForFocus(HWND form, HWND expected) {
  return WaitFor([&] { return FocusOf(form) == expected; }, kReactTimeoutMs);
}

// After the click or key, Text2 must leave the marker put there beforehand, so a
// result equal to the previous one is still seen to arrive.
constexpr wchar_t kMarker[] = L"-";

bool WaitForResult(HWND text2, std::wstring& result, DWORD timeoutMs = kReactTimeoutMs) {
  // A program busy for seconds leaves the read unanswered: that is no result yet.
  const auto answered = [&] {
    result = WindowText(text2);
    return result.rfind(L"<no answer", 0) != 0;
  };
  const bool arrived = WaitFor([&] { return answered() && result != kMarker; }, timeoutMs);
  // Read once more: the length and the text are two messages, and the change may fall between them.
  WaitFor(answered, timeoutMs);
  return arrived;
}

// The cursor the program shows with the pointer at that point, once it has settled:
// it changes only when the program has answered WM_SETCURSOR for the new position,
// which under emulation can take a while. The pointer comes from a place whose cursor
// `unlike` differs from the one expected here, so the wait is for that change. Should
// the pointer not stay put, the move is repeated.
HCURSOR CursorOver(POINT screen, HCURSOR unlike = nullptr) {
  CURSORINFO info{};
  info.cbSize = sizeof(info);
  HCURSOR last = nullptr;
  for (int attempt = 0; attempt < 3; ++attempt) {
    MoveMouse(screen);
    if (unlike) WaitFor([&] { return GetCursorInfo(&info) && info.hCursor != unlike; }, kReactTimeoutMs);
    int same = 0;
    WaitFor([&] {
      GetCursorInfo(&info);
      same = info.hCursor == last ? same + 1 : 0;
      last = info.hCursor;
      return same >= 10;
    }, 3000);
    POINT at{};
    GetCursorPos(&at);
    if (at.x == screen.x && at.y == screen.y) break;
  }
  return last;
}

// --- The window and its layout -----------------------------------------------------

// Shown normal: visible, neither maximised nor minimised, its fixed size, centred. A
// window being restored is seen restored before it has its size again: that is waited for.
void CheckPlacement(HWND form, int dpi) {
  const int width = Pixels(kClientWidthTwips, dpi), height = Pixels(kClientHeightTwips, dpi);
  RECT client{};
  WaitFor([&] {
    GetClientRect(form, &client);
    return IsWindowVisible(form) && !IsZoomed(form) && !IsIconic(form) && client.right == width && client.bottom == height;
  }, kReactTimeoutMs);
  ok(IsWindowVisible(form) && !IsZoomed(form) && !IsIconic(form), "the window is%s%s%s",
     IsWindowVisible(form) ? "" : " hidden", IsZoomed(form) ? " maximised" : "", IsIconic(form) ? " minimised" : "");
  ok(client.right == width && client.bottom == height,
     "client area: expected %dx%d px (%dx%d twips), got %ldx%ld px", width, height, kClientWidthTwips,
     kClientHeightTwips, client.right, client.bottom);

  const RECT frame = ScreenRect(form);
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
  const int centredLeft = (screenWidth - (frame.right - frame.left)) / 2;
  const int centredTop = (screenHeight - (frame.bottom - frame.top)) / 2;
  ok(std::abs(frame.left - centredLeft) <= 1 && std::abs(frame.top - centredTop) <= 1,
     "not centred on the %dx%d screen: window at (%ld,%ld), expected (%d,%d) +-1", screenWidth,
     screenHeight, frame.left, frame.top, centredLeft, centredTop);
}

void CheckFrame(HWND form, int dpi) {
  Context context("frame at %d dpi", dpi);
  const std::wstring caption = WindowText(form);
  ok(caption == kCaption, "caption: expected %s, got %s", Quoted(kCaption).c_str(), Quoted(caption).c_str());

  const LONG style = GetWindowLongW(form, GWL_STYLE);
  ok((style & WS_CAPTION) == WS_CAPTION, "style %08lx lacks WS_CAPTION", style);
  ok(style & WS_SYSMENU, "style %08lx lacks WS_SYSMENU (no close box)", style);
  ok(!(style & WS_MINIMIZEBOX), "style %08lx has a minimise box", style);
  ok(!(style & WS_MAXIMIZEBOX), "style %08lx has a maximise box", style);
  ok(!(style & WS_THICKFRAME), "style %08lx has a sizing border", style);
  ok(style & WS_VISIBLE, "style %08lx: the window is not visible", style);
  CheckPlacement(form, dpi);

  DWORD_PTR big = 0, small = 0;
  SendMessageTimeoutW(form, WM_GETICON, ICON_BIG, 0, SMTO_ABORTIFHUNG, kReactTimeoutMs, &big);
  SendMessageTimeoutW(form, WM_GETICON, ICON_SMALL, 0, SMTO_ABORTIFHUNG, kReactTimeoutMs, &small);
  SetLastError(0);
  const auto classBig = GetClassLongPtrW(form, GCLP_HICON);
  const auto classSmall = GetClassLongPtrW(form, GCLP_HICONSM);
  // Wine cannot read another process's class icons and says so with an error.
  const bool classReadable = GetLastError() == 0;
  if (big || classReadable) {
    ok(big || classBig, "no big icon: WM_GETICON and the class both give none");
  } else {
    Note("note: no big icon from WM_GETICON, and the class icons cannot be read across processes here");
  }
  if (small || classReadable) {
    ok(small || classSmall, "no small icon: WM_GETICON and the class both give none");
  } else {
    Note("note: no small icon from WM_GETICON, and the class icons cannot be read across processes here; "
         "the title-bar check looks for it on the screen");
  }
}

void CheckTitleBarIcon(HWND form, const std::wstring& tarvikPath) {
  Context context("title-bar icon");
  HMODULE image = LoadLibraryExW(tarvikPath.c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!ok(image != nullptr, "cannot open %s for its icon resource (error %lu)",
          Utf8(tarvikPath).c_str(), GetLastError())) {
    return;
  }
  const int size = GetSystemMetrics(SM_CXSMICON);
  HICON icon = static_cast<HICON>(LoadImageW(image, MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0));
  if (ok(icon != nullptr, "the program has no icon group 1 (error %lu)", GetLastError())) {
    const Image opaque = OpaqueIcon(icon, size);
    int opaqueCount = 0;
    for (uint32_t p : opaque.pixels) opaqueCount += p != kTransparent;
    const RECT frame = ScreenRect(form), client = ClientOnScreen(form);
    // The title bar: from the window's top to the client area, left half.
    const Image titleBar = CaptureScreen({frame.left, frame.top, frame.left + (frame.right - frame.left) / 2, client.top});
    POINT where{};
    ok(opaqueCount >= size * size / 4, "the %dx%d icon has only %d opaque pixels to look for", size, size, opaqueCount);
    ok(ContainsIcon(titleBar, opaque, where),
       "the program's %dx%d icon (group 1) is not drawn in the title bar", size, size);
    DestroyIcon(icon);
  }
  FreeLibrary(image);
}

void CheckControls(HWND form, int dpi) {
  int children = 0;
  for (HWND child = GetWindow(form, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) ++children;
  ok(children == 6, "expected 6 child windows, got %d", children);

  bool fontUnanswered = false;
  for (const ExpectedControl& expected : kControls) {
    Context context("%s at %d dpi", expected.name, dpi);
    HWND control = Control(form, expected.id);
    if (!ok(control != nullptr, "no child window with id %d", expected.id)) continue;
    const std::wstring className = ClassName(control);
    ok(_wcsicmp(className.c_str(), expected.className) == 0, "class: expected %s, got %s",
       Quoted(expected.className).c_str(), Quoted(className).c_str());
    const std::wstring text = WindowText(control);
    ok(text == expected.text, "text: expected %s, got %s", Quoted(expected.text).c_str(), Quoted(text).c_str());
    ok(IsWindowVisible(control), "not visible");
    ok(IsWindowEnabled(control), "disabled");

    const RECT rect = RectInClient(control, form);
    const struct {
      const char* what;
      int twips;
      LONG pixels;
    } measures[] = {
        {"left", expected.left, rect.left},
        {"top", expected.top, rect.top},
        {"width", expected.width, rect.right - rect.left},
        {"height", expected.height, rect.bottom - rect.top},
    };
    const bool label = _wcsicmp(expected.className, L"Static") == 0;
    for (const auto& m : measures) {
      if (label && m.twips == expected.width) continue;
      ok(m.pixels == Pixels(m.twips, dpi), "%s: expected %d twips = %d px, got %ld px = %ld twips", m.what,
         m.twips, Pixels(m.twips, dpi), m.pixels, m.pixels * 1440 / dpi);
    }
    if (label) {
      // A label shows its whole text on its line: as designed where the text fits, else
      // wider, but not over the control that follows it in its row.
      const int needed = TextWidth(expected.text, dpi), designed = Pixels(expected.width, dpi);
      const LONG width = rect.right - rect.left;
      ok(needed <= width, "the text needs %d px, the label is %ld px wide", needed, width);
      if (needed <= designed) {
        ok(width == designed, "width %ld px: the text fits the designed %d px", width, designed);
      } else {
        for (const ExpectedControl& other : kControls) {
          const RECT next = RectInClient(Control(form, other.id), form);
          if (other.id == expected.id || next.left <= rect.left || next.top >= rect.bottom || rect.top >= next.bottom) {
            continue;
          }
          ok(rect.right <= next.left, "widened to %ld px for its text, it runs over %s at %ld px", width, other.name,
             next.left);
        }
        RECT client{};
        GetClientRect(form, &client);
        ok(rect.right <= client.right, "widened to %ld px, it runs out of the window", width);
      }
    }

    DWORD_PTR font = 0;
    if (SendMessageTimeoutW(control, WM_GETFONT, 0, 0, SMTO_ABORTIFHUNG, kReactTimeoutMs, &font)) {
      ok(font != 0, "WM_GETFONT gives no font: the control draws in the system font");
    } else {
      fontUnanswered = true;
    }
  }
  if (fontUnanswered) {
    // Wine does not answer WM_GETFONT sent from another process; the drawing checks
    // still see the font.
    Note("note: WM_GETFONT is not answered across processes here; fonts are checked by their drawing only");
  }

  // A screen reader names an edit box by the label just before it in z-order.
  const struct {
    int edit, label;
    const wchar_t* name;
  } named[] = {{kText1, kLabel1, L"Your passport email:"}, {kText2, kLabel2, L"Your MSN Messenger id number:"}};
  for (const auto& n : named) {
    HWND edit = Control(form, n.edit);
    Context context("%s for a screen reader", Name(form, edit));
    HWND before = GetWindow(edit, GW_HWNDPREV);
    ok(before == Control(form, n.label), "%s comes before it in z-order, not its label %s", Name(form, before),
       Name(form, Control(form, n.label)));
    IAccessible* accessible = nullptr;
    BSTR name = nullptr;
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    if (SUCCEEDED(AccessibleObjectFromWindow(edit, OBJID_CLIENT, IID_IAccessible, reinterpret_cast<void**>(&accessible))) &&
        accessible->get_accName(self, &name) == S_OK && name) {
      ok(name == std::wstring(n.name), "its accessible name is %s", Quoted(name).c_str());
    } else {
      Note("note: %s: no accessible name is answered here; the z-order above is what names it", Name(form, edit));
    }
    if (name) SysFreeString(name);
    if (accessible) accessible->Release();
  }

  // The button's top edge lies over the bottom of "About": there the button must win.
  HWND label3 = Control(form, kLabel3), command1 = Control(form, kCommand1);
  if (label3 && command1) {
    Context context("where Label3 and Command1 overlap, at %d dpi", dpi);
    const RECT labelRect = RectInClient(label3, form), buttonRect = RectInClient(command1, form);
    const POINT inBoth{(labelRect.left + labelRect.right) / 2, buttonRect.top};
    ok(inBoth.y < labelRect.bottom, "the controls do not overlap: label ends at %ld, button starts at %ld",
       labelRect.bottom, buttonRect.top);
    HWND hit = ChildWindowFromPointEx(form, inBoth, CWP_SKIPINVISIBLE);
    ok(hit == command1, "ChildWindowFromPointEx(%ld,%ld) gives %s", inBoth.x, inBoth.y, Name(form, hit));
    hit = WindowFromPoint(ClientToScreenPoint(form, inBoth));
    ok(hit == command1, "WindowFromPoint at client (%ld,%ld) gives %s", inBoth.x, inBoth.y, Name(form, hit));
  }
}

// The part of a control that no sibling above it covers: the design lets Text2 cover
// the last column of Label2 and Command1 the last row of Label3.
RECT VisiblePart(HWND control) {
  RECT visible = ScreenRect(control);
  for (HWND above = GetWindow(control, GW_HWNDPREV); above; above = GetWindow(above, GW_HWNDPREV)) {
    RECT cover = ScreenRect(above), overlap{};
    if (!IsWindowVisible(above) || !IntersectRect(&overlap, &visible, &cover)) continue;
    if (overlap.top == visible.top && overlap.bottom == visible.bottom) {
      if (overlap.right == visible.right) visible.right = overlap.left;
      else if (overlap.left == visible.left) visible.left = overlap.right;
    } else if (overlap.left == visible.left && overlap.right == visible.right) {
      if (overlap.bottom == visible.bottom) visible.bottom = overlap.top;
      else if (overlap.top == visible.top) visible.top = overlap.bottom;
    }
  }
  return visible;
}

// The fonts are checked by their drawing: GDI handles belong to their process, so the
// driver cannot read the program's LOGFONT; it draws the same text in the expected font
// and compares pixel for pixel.
void CheckTextDrawing(HWND window, const char* name, const std::wstring& text, bool underline,
                      uint32_t colour, RECT inset, int dpi) {
  Context context("%s drawn at %d dpi", name, dpi);
  const RECT client = ClientOnScreen(window);
  const RECT whole = VisiblePart(window);
  RECT uncovered{}, area{};
  IntersectRect(&uncovered, &client, &whole);
  RECT inner = client;
  inner.left += inset.left, inner.top += inset.top, inner.right -= inset.right, inner.bottom -= inset.bottom;
  IntersectRect(&area, &uncovered, &inner);
  const Image shot = CaptureScreen(area);
  const uint32_t background = MostFrequentColour(shot);
  const Image seen = Ink(shot, background);
  // Drawn in a box the size of the control, so that words wrap as they would there,
  // and cut where the control is covered.
  const int width = client.right - client.left, height = client.bottom - client.top;
  const RECT keep{uncovered.left - client.left, uncovered.top - client.top, uncovered.right - client.left,
                  uncovered.bottom - client.top};
  const auto draw = [&](const wchar_t* face) {
    return Ink(Crop(RenderText(text, face, FontHeight(dpi), underline, colour, background, width, height), keep),
               background);
  };
  const Image expected = draw(kFontFace);
  // The comparison must be able to tell fonts apart, or a match proves nothing.
  const Image otherFont = draw(L"Tahoma");
  std::string difference;
  if (expected.pixels.empty() || SameImage(expected, otherFont, difference)) {
    Note("precondition not met: %s draws %s in Tahoma here as in %s; its face is not checked",
         expected.pixels.empty() ? "nothing" : "this system", Quoted(text).c_str(), Utf8(kFontFace).c_str());
    return;
  }
  ok(SameImage(seen, expected, difference),
     "%s is not drawn as %s %g pt%s in %06x on %06x: %s", Quoted(text).c_str(), Utf8(kFontFace).c_str(),
     kFontHundredthsOfPoint / 100.0, underline ? " underlined" : "", colour, background, difference.c_str());
}

// The face GDI picks for a request of that name.
std::wstring FaceFor(const wchar_t* face, int height) {
  return WithFont(face, height, [](HDC dc) {
    wchar_t chosen[LF_FACESIZE] = {};
    GetTextFaceW(dc, LF_FACESIZE, chosen);
    return std::wstring(chosen);
  });
}

void CheckFonts(HWND form, int dpi) {
  const std::wstring chosen = FaceFor(kFontFace, FontHeight(dpi));
  if (chosen != kFontFace) {
    Note("precondition not met: this system has no %s (it gives %s); the drawn texts are not checked",
         Utf8(kFontFace).c_str(), Quoted(chosen).c_str());
  } else {
    const uint32_t windowText = FromColorRef(GetSysColor(COLOR_WINDOWTEXT));
    const uint32_t buttonText = FromColorRef(GetSysColor(COLOR_BTNTEXT));
    CheckTextDrawing(Control(form, kLabel1), "Label1", L"Your passport email:", false, windowText, {}, dpi);
    CheckTextDrawing(Control(form, kLabel2), "Label2", L"Your MSN Messenger id number:", false, windowText, {}, dpi);
    CheckTextDrawing(Control(form, kLabel3), "Label3", L"About", true, kLinkBlue, {}, dpi);
    // Inside the button's border and focus rectangle, only the caption is left.
    const int inset = MulDiv(4, dpi, 96);
    CheckTextDrawing(Control(form, kCommand1), "Command1", L"Work out", false, buttonText,
                     {inset, inset, inset, inset}, dpi);
  }

  DWORD_PTR labelFont = 0, linkFont = 0;
  if (SendMessageTimeoutW(Control(form, kLabel1), WM_GETFONT, 0, 0, SMTO_ABORTIFHUNG, kReactTimeoutMs, &labelFont) &&
      SendMessageTimeoutW(Control(form, kLabel3), WM_GETFONT, 0, 0, SMTO_ABORTIFHUNG, kReactTimeoutMs, &linkFont)) {
    ok(labelFont != linkFont, "Label3 shares Label1's font %08lx; it needs its own, underlined",
       static_cast<unsigned long>(linkFont));
  }
}

void CheckLinkLabel(HWND form) {
  Context context("Label3 as a link");
  HWND label3 = Control(form, kLabel3);
  const Image shot = CaptureScreen(VisiblePart(label3));
  const uint32_t background = MostFrequentColour(shot);
  int blue = 0, other = 0;
  for (uint32_t p : shot.pixels) {
    if (p == kLinkBlue) ++blue;
    else if (p != background) ++other;
  }
  ok(blue > 20, "only %d pure blue (0000ff) pixels in the label", blue);
  ok(other == 0, "%d text pixels are not pure blue", other);

  // An underline: a row of text colour under the whole width of the text.
  const Image ink = Ink(shot, background);
  bool underlined = false;
  for (int y = 0; y < ink.height && !underlined; ++y) {
    bool full = true;
    for (int x = 0; x < ink.width && full; ++x) full = ink.At(x, y) != background;
    underlined = full && ink.width > 0;
  }
  ok(underlined, "no row runs under the whole %dx%d text: not underlined", ink.width, ink.height);

  const Image plain = CaptureScreen(VisiblePart(Control(form, kLabel1)));
  int bluePlain = 0;
  for (uint32_t p : plain.pixels) bluePlain += p == kLinkBlue;
  ok(bluePlain == 0, "Label1 has %d blue pixels: only the link is blue", bluePlain);
}

// The pointer the X server shows: size, hot spot and a CRC of its pixels.
std::string XPointerImage() { return AskXPointer(L"image"); }

// The X pointer's image once it is no longer `unlike` (what the X server showed at the
// place before, whose cursor differs from the one expected now) and two readings agree:
// the X cursor follows the program's a little later.
std::string SettledXPointer(const std::string& unlike, const std::function<void()>& meanwhile = [] {}) {
  std::string image, previous;
  WaitFor([&] {
    meanwhile();
    previous = image;
    image = XPointerImage();
    return !image.empty() && image != unlike && image == previous;
  }, kReactTimeoutMs);
  return image;
}

// The X pointer with the pointer at that point, and the pointer still there after.
std::string XPointerImageAt(POINT screen, HCURSOR unlike, const std::string& unlikeImage) {
  std::string image;
  for (int attempt = 0; attempt < 3; ++attempt) {
    CursorOver(screen, unlike);
    image = SettledXPointer(unlikeImage);
    POINT at{};
    GetCursorPos(&at);
    if (at.x == screen.x && at.y == screen.y) break;
  }
  return image;
}

// The X pointer over a window of the driver's own whose class cursor is `cursor`.
std::string XPointerImageOf(LPCWSTR cursor, const std::string& unlike) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hCursor = LoadCursorW(nullptr, cursor);
  windowClass.lpszClassName = L"TarvikE2eCursorReference";
  RegisterClassW(&windowClass);
  HWND reference = CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, windowClass.lpszClassName,
                                   L"", WS_POPUP, 10, 10, 100, 100, nullptr, nullptr, windowClass.hInstance, nullptr);
  ShowWindow(reference, SW_SHOWNOACTIVATE);
  MoveMouse({60, 60});
  // The window answers WM_SETCURSOR while the driver reads the pointer.
  const std::string image = SettledXPointer(unlike, [] { PumpMessages(0); });
  DestroyWindow(reference);
  UnregisterClassW(windowClass.lpszClassName, windowClass.hInstance);
  return image;
}

void CheckLinkCursor(HWND form) {
  Context context("mouse pointer");
  // Each place is reached from one with another cursor: the text box's I-beam lies
  // between the form and Label1, which both show the arrow.
  const RECT client = ClientOnScreen(form);
  const POINT text1 = Centre(ScreenRect(Control(form, kText1))), label1 = Centre(ScreenRect(Control(form, kLabel1)));
  const POINT label3 = Centre(ScreenRect(Control(form, kLabel3)));
  HCURSOR firstText1 = CursorOver(text1);
  HCURSOR overForm = CursorOver({client.left + 2, client.bottom - 2}, firstText1);
  CursorOver(text1, overForm);
  HCURSOR overLabel1 = CursorOver(label1, firstText1);
  HCURSOR overLink = CursorOver(label3, overLabel1);
  HCURSOR overText1 = CursorOver(text1, overLink);
  HCURSOR upArrow = LoadCursorW(nullptr, IDC_UPARROW);
  ok(overLink != nullptr, "no cursor over Label3");
  ok(overLink != overLabel1, "Label3 shows the same cursor as Label1 (%p)", static_cast<void*>(overLink));
  ok(overLink != overText1, "Label3 shows the text box's cursor (%p)", static_cast<void*>(overLink));
  ok(overLabel1 == overForm, "Label1 shows cursor %p, the form %p: only the link has its own",
     static_cast<void*>(overLabel1), static_cast<void*>(overForm));
  if (overLink == upArrow) return;

  ICONINFOEXW info{};
  info.cbSize = sizeof(info);
  if (GetIconInfoExW(overLink, &info)) {
    if (info.hbmMask) DeleteObject(info.hbmMask);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    ok(info.wResID == 32516, "the cursor over Label3 is resource %u of %s, not the up arrow (32516)",
       info.wResID, Utf8(info.szModName).c_str());
    return;
  }
  if (!HasXPointer()) {
    Note("mouse pointer: note: cursor %p over Label3 cannot be inspected across processes here; its identity "
         "is not checked", static_cast<void*>(overLink));
    return;
  }
  // Wine keeps a system cursor per process and cannot describe another process's: ask
  // the X server what it shows over the label and over windows of known cursors.
  const std::string beam = SettledXPointer({});
  const std::string link = XPointerImageAt(label3, overText1, beam);
  const std::string plain = XPointerImageAt(label1, overLink, link);
  const std::string expected = XPointerImageOf(IDC_UPARROW, plain);
  EnsureForeground(form);
  if (!ok(!link.empty() && !expected.empty(), "the X server's pointer could not be read")) return;
  ok(plain != expected, "the X pointer over Label1 (%s) looks like the up arrow: the check cannot tell them apart",
     plain.c_str());
  ok(link == expected, "the X pointer over Label3 is %s, the up arrow is %s", link.c_str(), expected.c_str());
}

// --- Keyboard and the "Work out" command -------------------------------------------

void CheckKeyboard(HWND form) {
  Context context("keyboard");
  HWND text1 = Control(form, kText1), text2 = Control(form, kText2), command1 = Control(form, kCommand1);
  ok(WaitForFocus(form, text1), "initial focus: expected Text1, got %s", Name(form, FocusOf(form)));
  if (!ok(EnsureForeground(form), "the form is not the foreground window; keyboard checks skipped")) return;

  const struct {
    WORD modifier;
    HWND expected;
  } tabs[] = {
      {0, command1}, {0, text2}, {0, text1},                        // Tab goes round forwards
      {VK_SHIFT, text2}, {VK_SHIFT, command1}, {VK_SHIFT, text1},  // and Shift+Tab back
  };
  for (const auto& tab : tabs) {
    HWND from = FocusOf(form);
    if (tab.modifier) PressChord(tab.modifier, VK_TAB); else PressKey(VK_TAB);
    ok(WaitForFocus(form, tab.expected), "%s from %s: expected %s, got %s", tab.modifier ? "Shift+Tab" : "Tab",
       Name(form, from), Name(form, tab.expected), Name(form, FocusOf(form)));
  }

  // The checks below each need the focus in Text1 to begin with.
  if (FocusOf(form) != text1) {
    Click(Centre(ScreenRect(text1)));
    WaitForFocus(form, text1);
  }

  // A click on a label leaves the focus where it was: what is typed next lands in Text1.
  Click(Centre(VisiblePart(Control(form, kLabel1))));
  Click(Centre(VisiblePart(Control(form, kLabel2))));
  const std::wstring address = L"Some.One@Example.com";
  TypeText(address);
  ok(WaitForText(text1, address),
     "clicked the labels, typed %s: Text1 holds %s; %s", Quoted(address).c_str(), Quoted(WindowText(text1)).c_str(),
     InputState(form).c_str());

  // Each key is followed by a typed character: when that arrives, the key before it
  // has been handled too.
  const struct {
    WORD key;
    const char* name;
  } inert[] = {{VK_RETURN, "Enter"}, {VK_ESCAPE, "Escape"}};
  std::wstring expectedText1 = address;
  for (const auto& key : inert) {
    SetText(text2, L"");
    PressKey(key.key);
    TypeText(L"!");
    expectedText1 += L"!";
    ok(WaitForText(text1, expectedText1),
       "after %s, Text1 holds %s, expected %s", key.name, Quoted(WindowText(text1)).c_str(),
       Quoted(expectedText1).c_str());
    ok(IsWindow(form) && IsWindowVisible(form), "%s closed or hid the window", key.name);
    ok(WindowText(text2).empty(), "%s in Text1 filled Text2 with %s", key.name, Quoted(WindowText(text2)).c_str());
    ok(FindOwnedWindow(ProcessOf(form), L"#32770", form) == nullptr, "%s opened a dialog", key.name);
  }
  PressKey(VK_BACK);
  PressKey(VK_BACK);
  ok(WaitForText(text1, address), "Backspace: Text1 holds %s",
     Quoted(WindowText(text1)).c_str());

  PressKey(VK_TAB);
  ok(WaitForFocus(form, command1), "Tab from Text1: expected Command1, got %s", Name(form, FocusOf(form)));
  if (FocusOf(form) != command1) {
    Note("keyboard: Space is pressed on Command1 focused by a click instead");
    Click(Centre(ScreenRect(command1)));
    WaitForFocus(form, command1);
  }
  SetText(text2, kMarker);
  PressKey(VK_SPACE);
  std::wstring result;
  ok(WaitForResult(text2, result), "Space on Command1 did not work out the number");
  ok(result == Decimal(ReferenceIdNumber(address)), "Space on Command1: Text2 shows %s, expected %s",
     Quoted(result).c_str(), Quoted(Decimal(ReferenceIdNumber(address))).c_str());
  ok(FocusOf(form) == command1, "after Space, the focus moved to %s", Name(form, FocusOf(form)));

  // With no default button, Enter presses the button that has the focus, as on a dialog.
  SetText(text2, kMarker);
  PressKey(VK_RETURN);
  ok(WaitForResult(text2, result), "Enter on Command1 did not work out the number");
  ok(result == Decimal(ReferenceIdNumber(address)), "Enter on Command1: Text2 shows %s, expected %s",
     Quoted(result).c_str(), Quoted(Decimal(ReferenceIdNumber(address))).c_str());
}

void CheckWorkOut(HWND form, int dpi) {
  HWND text1 = Control(form, kText1), text2 = Control(form, kText2), command1 = Control(form, kCommand1);
  const POINT button = Centre(ScreenRect(command1));

  for (const WorkOutCase& c : kWorkOutCases) {
    Context context("Work out on %s (%s)", Quoted(c.input).c_str(), c.what);
    ok(ReferenceIdNumber(c.input) == c.expected, "the driver's reference fold gives %u, the table %u",
       ReferenceIdNumber(c.input), c.expected);
    SetText(text1, c.input);
    SetText(text2, kMarker);
    const std::string before = InputState(form);
    Click(button);
    std::wstring result;
    ok(WaitForResult(text2, result), "clicking the button changed nothing; before: %s; after: %s", before.c_str(),
       InputState(form).c_str());
    ok(result == Decimal(c.expected), "Text2: expected %s, got %s", Quoted(Decimal(c.expected)).c_str(),
       Quoted(result).c_str());
    ok(WindowText(text1) == c.input, "Text1 changed to %s", Quoted(WindowText(text1)).c_str());
    ok(FocusOf(form) == command1, "focus: expected the clicked button, got %s", Name(form, FocusOf(form)));
    ok(WindowText(form) == kCaption, "caption changed to %s", Quoted(WindowText(form)).c_str());
  }

  {
    Context context("Text2 typed into by hand");
    SetText(text1, L"abc");
    Click(Centre(ScreenRect(text2)));
    ok(WaitForFocus(form, text2), "after a click in Text2: %s", InputState(form).c_str());
    const std::wstring typed = WindowText(text2) + L" 12345 by hand";
    PressKey(VK_END);
    TypeText(L" 12345 by hand");
    ok(WaitForText(text2, typed), "Text2 holds %s, expected %s",
       Quoted(WindowText(text2)).c_str(), Quoted(typed).c_str());
    Click(button);
    ok(WaitFor([&] { return WindowText(text2) == L"999494"; }, kReactTimeoutMs),
       "after the click Text2 holds %s, expected \"999494\"", Quoted(WindowText(text2)).c_str());
  }

  {
    Context context("click where Label3 and Command1 overlap");
    const RECT labelRect = RectInClient(Control(form, kLabel3), form);
    const POINT inBoth = ClientToScreenPoint(form, {(labelRect.left + labelRect.right) / 2,
                                                    RectInClient(command1, form).top});
    SetText(text1, L"abcdefgh");
    SetText(text2, kMarker);
    Click(inBoth);
    std::wstring result;
    ok(WaitForResult(text2, result) && result == L"2974951252", "Text2 shows %s: the button did not take the click",
       Quoted(result).c_str());
    HWND about = FindOwnedWindow(ProcessOf(form), L"#32770", form);
    ok(about == nullptr, "the click opened the credits box as well");
    if (about) PostMessageW(about, WM_COMMAND, IDOK, 0);
  }

  {
    // The two boxes show their texts in the form's font too; the focus is on the
    // button, so no caret is drawn in either.
    const uint32_t windowText = FromColorRef(GetSysColor(COLOR_WINDOWTEXT));
    CheckTextDrawing(text1, "Text1", L"abcdefgh", false, windowText, {}, dpi);
    CheckTextDrawing(text2, "Text2", L"2974951252", false, windowText, {}, dpi);
  }
}

// What the screen shows there once painting has settled: two pictures in a row agree.
Image SettledCapture(const RECT& screenRect) {
  Image shot = CaptureScreen(screenRect);
  WaitFor([&] {
    Image again = CaptureScreen(screenRect);
    const bool same = again.pixels == shot.pixels;
    shot = std::move(again);
    return same;
  }, kReactTimeoutMs);
  return shot;
}

// The number for a long pasted address, timed from the click (reported, not bounded).
void CheckLongAddress(HWND form, size_t kUnits) {
  Context context("a %u MiB address pasted into Text1", static_cast<unsigned>(kUnits >> 20));
  HWND text1 = Control(form, kText1), text2 = Control(form, kText2), command1 = Control(form, kCommand1);
  const std::wstring pattern = L"Some.Body+Tag_42@Mail-Example.COM, ";
  std::wstring address;
  address.reserve(kUnits);
  while (address.size() < kUnits) address += pattern;
  address.resize(kUnits);

  if (!ok(PutOnClipboard(address), "cannot put the text on the clipboard")) return;
  SetText(text1, L"");
  Click(Centre(ScreenRect(text1)));
  ok(WaitForFocus(form, text1), "after a click in Text1: %s", InputState(form).c_str());
  const double pasteStart = NowMs();
  PressChord(VK_CONTROL, 'V');
  // A text box holds 30000 or 32767 units unless the program raises its limit; the
  // paste arrives whole or cut at once. Wine's edit control takes seconds to lay out
  // and draw a line this long, and answers nothing meanwhile.
  long long held = 0;
  WaitFor([&] { return (held = TextLength(text1)) > 0; }, AllowanceMs(kUnits), [&] { return TextLength(text1); });
  Note("timing: Text1 answered with %lld units %.0f ms after Ctrl+V", held, NowMs() - pasteStart);
  ok(held == static_cast<long long>(kUnits), "Text1 holds %lld of %u units", held, static_cast<unsigned>(kUnits));
  if (held == static_cast<long long>(kUnits)) {
    ok(WaitFor([&] { return WindowText(text1) == address; }, AllowanceMs(kUnits)),
       "Text1's text differs from what was pasted");
  }

  // The screen is read without asking the program, which may be busy repainting Text1:
  // the number is on the screen when Text2's picture, settled on the marker, changes.
  const RECT text2OnScreen = ScreenRect(text2);
  Image shown = SettledCapture(text2OnScreen);
  SetText(text2, kMarker);
  const auto changed = [&] { return CaptureScreen(text2OnScreen).pixels != shown.pixels; };
  WaitFor(changed, kReactTimeoutMs);
  shown = SettledCapture(text2OnScreen);
  // The pointer goes there first: its trip is the driver's time, not the program's.
  const POINT onButton = Centre(ScreenRect(command1));
  ok(MoveMouse(onButton), "the pointer did not reach Command1");
  const double start = NowMs();
  MouseButtons(onButton, {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP}, 0);
  WaitFor(changed, AllowanceMs(kUnits));
  const double painted = NowMs() - start;
  std::wstring result;
  const bool arrived = WaitForResult(text2, result, AllowanceMs(kUnits));
  const double elapsed = NowMs() - start;
  // From what was pasted, which Text1 was seen to hold: reading it back now could find
  // the program busy repainting it.
  const std::wstring expected = Decimal(ReferenceIdNumber(address));
  ok(arrived && result == expected, "Text2: expected %s, got %s", Quoted(expected).c_str(), Quoted(result).c_str());
  Note("timing: click to screen, the number for %lld units was painted %.0f ms and readable %.0f ms after the click",
       held, painted, elapsed);

  // "Work out" alone, the focus already on the button so no box repaints: the command
  // the click sends, answered when the number is in Text2.
  SetText(text2, kMarker);
  const double commandStart = NowMs();
  SendMessageW(form, WM_COMMAND, MAKEWPARAM(kCommand1, BN_CLICKED), reinterpret_cast<LPARAM>(command1));
  const double command = NowMs() - commandStart;
  ok(WindowText(text2) == expected, "Text2 after the command: expected %s, got %s", Quoted(expected).c_str(),
     Quoted(WindowText(text2)).c_str());
  Note("timing: Work out alone took %.0f ms for %lld units", command, held);
  ok(SetText(text1, L""), "Text1 could not be emptied again");
}

// --- The credits box ----------------------------------------------------------------

bool CloseBox(HWND box) {
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  return WaitFor([&] { return !IsWindow(box); }, kReactTimeoutMs);
}

void CheckAbout(HWND form, DWORD processId) {
  Context context("About");
  // Text2 has the focus, where the form would not put it by itself: the box must give it back there.
  HWND text2 = Control(form, kText2), label3 = Control(form, kLabel3);
  SetText(text2, L"");
  Click(Centre(ScreenRect(text2)));
  ok(WaitForFocus(form, text2), "after a click in Text2: %s", InputState(form).c_str());
  const auto openedBox = [&](DWORD timeoutMs) {
    HWND box = nullptr;
    WaitFor([&] { return (box = FindOwnedWindow(processId, L"#32770", form)) != nullptr; }, timeoutMs);
    return box;
  };
  // Once the program has answered what came after the input, a box the input opened
  // exists, shown or about to be.
  const auto noBoxOpened = [&] { return RoundTrip(form, kReactTimeoutMs) ? FindAnyOwnedWindow(processId, L"#32770", form) : form; };

  // A press opens nothing yet, and a release elsewhere cancels it, as on a button.
  const POINT about = Centre(VisiblePart(label3));
  const RECT client = ClientOnScreen(form);
  MoveMouse(about);
  MouseButtons(about, {MOUSEEVENTF_LEFTDOWN});
  ok(WaitFor([&] { return InputOf(form).hwndCapture == label3; }, kReactTimeoutMs), "the press did not reach \"About\"");
  HWND early = noBoxOpened();
  ok(!early, "the box opened on the press, before the release");
  MouseButtons({client.left + 2, client.bottom - 2}, {MOUSEEVENTF_LEFTUP});
  ok(WaitFor([&] { return InputOf(form).hwndCapture == nullptr; }, kReactTimeoutMs), "the release did not reach it");
  HWND dragged = early ? nullptr : noBoxOpened();
  ok(!dragged, "pressed on \"About\" and released elsewhere, the box opened");
  for (HWND box : {early, dragged}) {
    if (box) CloseBox(box);
  }

  // The click is time-stamped so that the second one below falls within the double-click time.
  const DWORD clickTime = GetTickCount();
  MoveMouse(about);
  MouseButtons(about, {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP}, clickTime);
  HWND box = openedBox(kReactTimeoutMs);
  if (!ok(box != nullptr, "clicking \"About\" opened no dialog owned by the form")) return;

  ok(!IsWindowEnabled(form), "the form takes input while the box is open: it is not modal");
  ok(WindowText(box) == kCaption, "title: expected %s, got %s", Quoted(kCaption).c_str(),
     Quoted(WindowText(box)).c_str());
  HWND message = GetDlgItem(box, 0xFFFF);
  ok(message && WindowText(message) == kCredits, "message: expected %s, got %s", Quoted(kCredits).c_str(),
     message ? Quoted(WindowText(message)).c_str() : "no message text");

  std::vector<HWND> buttons, icons;
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsWindowVisible(child)) continue;
    const std::wstring className = ClassName(child);
    if (_wcsicmp(className.c_str(), L"Button") == 0) buttons.push_back(child);
    if (_wcsicmp(className.c_str(), L"Static") == 0 && (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
      icons.push_back(child);
    }
  }
  ok(buttons.size() == 1, "expected one button, got %u", static_cast<unsigned>(buttons.size()));
  if (!buttons.empty()) {
    ok(WindowText(buttons[0]) == L"OK" && GetDlgCtrlID(buttons[0]) == IDOK, "the button is %s with id %d, expected \"OK\", IDOK",
       Quoted(WindowText(buttons[0])).c_str(), GetDlgCtrlID(buttons[0]));
  }
  if (ok(icons.size() == 1, "expected one icon, got %u", static_cast<unsigned>(icons.size()))) {
    // The box's icon is compared by its drawing with the system's information icon.
    const Image shot = CaptureScreen(ScreenRect(icons[0]));
    HICON information = LoadIconW(nullptr, IDI_INFORMATION);
    const int size = GetSystemMetrics(SM_CXICON);
    POINT where{};
    ok(ContainsIcon(shot, OpaqueIcon(information, size), where),
       "the box's %dx%d icon is not the information icon", shot.width, shot.height);
  }

  ok(WaitFor([&] { return GetForegroundWindow() == box; }, kReactTimeoutMs), "the box is not the active window");
  PressKey(VK_RETURN);
  ok(WaitFor([&] { return !IsWindow(box); }, kReactTimeoutMs), "Enter did not close the box");
  ok(WaitFor([&] { return IsWindowEnabled(form) && GetForegroundWindow() == form; }, kReactTimeoutMs),
     "the form is not enabled and active again");
  ok(WaitForFocus(form, text2), "the focus went back to %s, not to Text2 where it was", Name(form, FocusOf(form)));

  // Clicked again at once, it opens again: the second click is no half of a double click.
  MouseButtons(about, {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP}, clickTime + GetDoubleClickTime() / 2);
  box = openedBox(kReactTimeoutMs);
  ok(box != nullptr, "a second click within the double-click time opened no box");
  if (box) CloseBox(box);
  ok(WaitForFocus(form, text2), "after the second box the focus is on %s, not Text2", Name(form, FocusOf(form)));
  TypeText(L"back");
  ok(WaitForText(text2, L"back"), "typing after the box: Text2 holds %s", Quoted(WindowText(text2)).c_str());

  // F1, the help key, opens the box from wherever the focus is, as the click does;
  // pressed again while it is open, it opens no second one.
  for (int id : {kText1, kCommand1, kText2}) {
    HWND control = Control(form, id);
    Context from("F1 with the focus on %s", Name(form, control));
    // Placing the focus is not what is tested here: a click that came while the form
    // was still being activated after the box is made again.
    for (int attempt = 0; attempt < 2 && FocusOf(form) != control; ++attempt) {
      EnsureForeground(form);
      Click(Centre(ScreenRect(control)));
      WaitForFocus(form, control);
    }
    if (!ok(EnsureForeground(form) && FocusOf(form) == control, "cannot place the focus: %s", InputState(form).c_str())) {
      continue;
    }
    PressKey(VK_F1);
    box = openedBox(kReactTimeoutMs);
    if (!ok(box != nullptr, "F1 opened no box")) continue;
    ok(WindowText(box) == kCaption, "title: %s", Quoted(WindowText(box)).c_str());
    WaitFor([&] { return GetForegroundWindow() == box; }, kReactTimeoutMs);
    // Enter comes after the second F1 in the input, so it closes whatever box is active
    // once F1 has been handled: this one, unless F1 opened another over it.
    PressKey(VK_F1);
    PressKey(VK_RETURN);
    ok(WaitFor([&] { return !IsWindow(box); }, kReactTimeoutMs), "a second F1 opened another box over the first");
    for (HWND left; (left = FindAnyOwnedWindow(processId, L"#32770", form)) != nullptr && CloseBox(left);) {
    }
    ok(WaitForFocus(form, control), "after the box the focus is on %s", Name(form, FocusOf(form)));
  }
}

// --- Window states ------------------------------------------------------------------

// Nothing maximises the fixed-size window: not the system command, however it comes
// (0xF032 from a double click on the caption), not ShowWindow from outside.
void CheckNeverMaximised(HWND form, int dpi) {
  const auto sysCommand = [&](WPARAM command) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(form, WM_SYSCOMMAND, command, 0, SMTO_ABORTIFHUNG, kReactTimeoutMs, &result);
  };
  const struct {
    const char* how;
    std::function<void()> act;
  } routes[] = {
      {"WM_SYSCOMMAND SC_MAXIMIZE", [&] { sysCommand(SC_MAXIMIZE); }},
      {"WM_SYSCOMMAND SC_MAXIMIZE | HTCAPTION", [&] { sysCommand(SC_MAXIMIZE | HTCAPTION); }},
      {"ShowWindow(SW_MAXIMIZE) from another process", [&] { ShowWindow(form, SW_MAXIMIZE); }},
  };
  for (const auto& route : routes) {
    Context context("%s at %d dpi", route.how, dpi);
    route.act();
    // The program undoes a maximise while it handles it; once it has answered what
    // came after, the window is as it leaves it.
    ok(RoundTrip(form, kReactTimeoutMs), "the program does not answer");
    CheckPlacement(form, dpi);
    if (IsZoomed(form)) ShowWindow(form, SW_RESTORE);
  }
}


// --- Whole runs ---------------------------------------------------------------------

struct Options {
  std::wstring tarvik;
  std::wstring minimal;
  std::wstring faulty;
  std::wstring screenshot;
  std::wstring demoAddress;
  std::wstring xPointer;
  std::wstring suite = L"full";
  int dpi = 0;  // 0: whatever the system runs at
  unsigned seed = GetTickCount();  // of the random input
  bool demo = false;
};

HWND StartTarvik(Program& program, const Options& options, int showCommand = -1) {
  const bool started = program.Start(options.tarvik, kStartTimeoutMs, showCommand);
  if (!ok(started, "%s did not start and become idle (error %lu)", Utf8(options.tarvik).c_str(), GetLastError())) {
    return nullptr;
  }
  Note("timing: tarvik.exe idle %.0f ms after CreateProcess", program.StartupMs());
  HWND form = nullptr;
  WaitFor([&] { return (form = FindTopLevel(program.ProcessId(), kFormClass)) != nullptr; }, kReactTimeoutMs);
  ok(form != nullptr, "no visible top-level window of class %s", Utf8(kFormClass).c_str());
  return form;
}

void CloseAndCheckExit(Program& program, HWND form, bool altF4) {
  Context context("closing with %s", altF4 ? "Alt+F4" : "WM_CLOSE");
  if (altF4) {
    EnsureForeground(form);
    PressChord(VK_MENU, VK_F4);
  } else {
    PostMessageW(form, WM_CLOSE, 0, 0);
  }
  DWORD exitCode = 0;
  if (ok(program.WaitForExit(kExitTimeoutMs, exitCode), "the process is still running")) {
    ok(exitCode == 0, "exit code %lu", exitCode);
  }
}

void SaveScreenshot(HWND form, const std::wstring& path) {
  if (path.empty()) return;
  RedrawWindow(form, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
  // Painted once the program has answered and two pictures in a row agree.
  RoundTrip(form, kReactTimeoutMs);
  const Image shot = SettledCapture(ScreenRect(form));
  if (ok(SavePng(shot, path), "cannot write %s", Utf8(path).c_str())) {
    Note("screenshot: %s (%dx%d)", Utf8(path).c_str(), shot.width, shot.height);
  }
}

bool FillIn(HWND form, const std::wstring& address) {
  HWND text1 = Control(form, kText1), text2 = Control(form, kText2);
  EnsureForeground(form);
  SetText(text1, L"");
  Click(Centre(ScreenRect(text1)));
  WaitForFocus(form, text1);
  TypeText(address);
  WaitForText(text1, address);
  SetText(text2, kMarker);
  const std::string before = InputState(form);
  Click(Centre(ScreenRect(Control(form, kCommand1))));
  std::wstring result;
  if (!WaitForResult(text2, result)) Note("FillIn: before: %s; after: %s", before.c_str(), InputState(form).c_str());
  // Leave the pointer off the window so that nothing is drawn hot in the picture.
  const RECT frame = ScreenRect(form);
  MoveMouse({frame.right + 20, frame.bottom + 20});
  // The reference fold knows ASCII only; other characters take the system's code page.
  if (std::any_of(address.begin(), address.end(), [](wchar_t unit) { return unit > 127; })) {
    Note("Work out on %s gave %s (not checked: the address is not ASCII)", Quoted(address).c_str(),
         Quoted(result).c_str());
    return true;
  }
  return ok(result == Decimal(ReferenceIdNumber(address)), "Work out on %s: expected %s, got %s",
            Quoted(address).c_str(), Quoted(Decimal(ReferenceIdNumber(address))).c_str(), Quoted(result).c_str());
}

// A launcher's show command: maximised or hidden opens normal, minimised stays so and
// restores to the fixed size.
void CheckShowModes(const Options& options) {
  const struct {
    int show;
    const char* name;
    bool minimised;
  } modes[] = {{SW_HIDE, "SW_HIDE", false}, {SW_SHOWMAXIMIZED, "SW_SHOWMAXIMIZED (SW_MAXIMIZE)", false},
               {SW_SHOWMINIMIZED, "SW_SHOWMINIMIZED", true}, {SW_MINIMIZE, "SW_MINIMIZE", true},
               {SW_SHOWMINNOACTIVE, "SW_SHOWMINNOACTIVE", true}};
  for (const auto& mode : modes) {
    Context context("started with STARTUPINFO %s", mode.name);
    Program program;
    HWND form = StartTarvik(program, options, mode.show);
    if (!form) continue;
    ok(!IsZoomed(form) && IsIconic(form) == mode.minimised, "the window is %s", IsZoomed(form) ? "maximised"
                                                                                 : IsIconic(form) ? "minimised"
                                                                                                  : "normal");
    if (IsIconic(form)) {
      PostMessageW(form, WM_SYSCOMMAND, SC_RESTORE, 0);
      ok(WaitFor([&] { return !IsIconic(form); }, kReactTimeoutMs), "SC_RESTORE left it minimised");
    }
    CheckPlacement(form, options.dpi);
    CloseAndCheckExit(program, form, false);
  }
}

// Milliseconds until the program's message loop is idle, started and closed again.
double StartupMs(const std::wstring& path, const wchar_t* className) {
  Program program;
  if (!ok(program.Start(path, kStartTimeoutMs), "%s did not start", Utf8(path).c_str())) return 0;
  HWND window = nullptr;
  WaitFor([&] { return (window = FindTopLevel(program.ProcessId(), className)) != nullptr; }, kReactTimeoutMs);
  if (window) PostMessageW(window, WM_CLOSE, 0, 0);
  DWORD exitCode = 0;
  program.WaitForExit(kExitTimeoutMs, exitCode);
  return program.StartupMs();
}

// Start-up against the smallest window program, alternated so that both meet the same
// load on a shared machine; the median of the ratios.
void TimeStartup(const Options& options) {
  if (options.minimal.empty()) return;
  std::vector<double> ratios;
  for (int run = 0; run < 5; ++run) {
    const double minimal = StartupMs(options.minimal, L"TarvikMinimalWindow");
    ratios.push_back(StartupMs(options.tarvik, kFormClass) / std::max(minimal, 1.0));
  }
  std::sort(ratios.begin(), ratios.end());
  Note("timing: start-up to an idle message loop against the minimal window's: median ratio %.2f (%.2f to %.2f) "
       "of 5 alternated runs", ratios[2], ratios.front(), ratios.back());
}

// Work out and the About box, a few hundred times each, leave the program holding no
// more GDI or USER objects than before.
void CheckNoLeaks(HWND form, const Program& program) {
  Context context("objects held over repeated use");
  constexpr int kCycles = 200;
  // The first Work out and the first box, before the count, fill what the system
  // caches on first use (the box's font and icon, the button's brushes); a handful more
  // may come with a cache that grows in steps, while a leak per use shows as 200.
  constexpr long kSlack = 8;
  HWND command1 = Control(form, kCommand1), label3 = Control(form, kLabel3);
  SetText(Control(form, kText1), L"someone@example.com");
  const auto workOut = [&] {
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(command1, BM_CLICK, 0, 0, SMTO_NORMAL, kReactTimeoutMs, &ignored) != 0;
  };
  const auto about = [&] {
    PostMessageW(form, WM_COMMAND, MAKEWPARAM(kLabel3, STN_CLICKED), reinterpret_cast<LPARAM>(label3));
    HWND box = nullptr;
    if (!WaitFor([&] { return (box = FindOwnedWindow(program.ProcessId(), L"#32770", form)) != nullptr; },
                 kReactTimeoutMs)) {
      return false;
    }
    return CloseBox(box) && WaitFor([&] { return IsWindowEnabled(form) != FALSE; }, kReactTimeoutMs);
  };
  workOut();
  about();
  const GuiObjects before = CountGuiObjects(program.Handle(), program.ProcessId());
  if (!ok(before.gdi > 0 && before.user > 0, "the objects cannot be counted here (GDI %ld, USER %ld by %s)", before.gdi,
          before.user, before.how.c_str())) {
    return;
  }
  int worked = 0, shown = 0;
  while (worked < kCycles && workOut()) ++worked;
  while (shown < kCycles && about()) ++shown;
  ok(worked == kCycles && shown == kCycles, "%d of %d Work outs and %d of %d boxes went through; %s", worked, kCycles,
     shown, kCycles, InputState(form).c_str());
  const GuiObjects after = CountGuiObjects(program.Handle(), program.ProcessId());
  Note("objects: GDI %ld -> %ld, USER %ld -> %ld over %d Work outs and %d About boxes, counted by %s", before.gdi,
       after.gdi, before.user, after.user, kCycles, kCycles, after.how.c_str());
  ok(after.gdi - before.gdi <= kSlack, "GDI objects grew from %ld to %ld", before.gdi, after.gdi);
  ok(after.user - before.user <= kSlack, "USER objects grew from %ld to %ld", before.user, after.user);
}

// A 1 Mi-unit WM_SETTEXT from another process (which this Wine fails inside the
// program's GetMessage) leaves the window open and working.
void CheckHugeSetText(HWND form, const Program& program) {
  Context context("a 1 Mi-unit WM_SETTEXT sent to Text1");
  HWND text1 = Control(form, kText1), text2 = Control(form, kText2);
  const std::wstring huge(1 << 20, L'a');
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(text1, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(huge.c_str()), SMTO_NORMAL,
                      AllowanceMs(huge.size()), &ignored);
  ok(RoundTrip(form, AllowanceMs(huge.size())), "the program does not answer any more");
  ok(program.Running() && IsWindow(form) && IsWindowVisible(form), "the window%s is gone, the process %s",
     IsWindow(form) ? "" : " itself", program.Running() ? "runs on" : "ended");
  if (!IsWindow(form)) return;
  SetText(text1, L"abc");
  SetText(text2, kMarker);
  DWORD_PTR clicked = 0;
  SendMessageTimeoutW(Control(form, kCommand1), BM_CLICK, 0, 0, SMTO_NORMAL, kReactTimeoutMs, &clicked);
  std::wstring result;
  ok(WaitForResult(text2, result) && result == L"999494", "Work out after it: Text2 shows %s", Quoted(result).c_str());
}

// The system's text for an error, as FormatMessage gives it, without its line end.
std::wstring SystemText(DWORD error) {
  wchar_t text[512] = {};
  FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text, 512, nullptr);
  std::wstring reason = text;
  while (!reason.empty() && iswspace(reason.back())) reason.pop_back();
  return reason;
}

// A start-up that cannot make what the window needs says which part failed and why,
// shows no window, and ends with a status other than 0. The test-only build fails the
// step TARVIK_FAULT names with ERROR_NOT_ENOUGH_MEMORY.
void CheckFailedStartups(const Options& options) {
  if (options.faulty.empty()) return;
  const struct {
    const wchar_t* fault;
    const wchar_t* what;
  } faults[] = {{L"font", L"The font could not be created."},
                {L"text1", L"The control Text1 could not be created."},
                {L"window", L"The window could not be created."},
                {L"class", L"The window class could not be created."}};
  const std::wstring reason = SystemText(ERROR_NOT_ENOUGH_MEMORY);
  for (const auto& f : faults) {
    Context context("start-up that cannot create %s", Utf8(f.fault).c_str());
    SetEnvironmentVariableW(L"TARVIK_FAULT", f.fault);
    Program program;
    program.Start(options.faulty, kStartTimeoutMs);
    SetEnvironmentVariableW(L"TARVIK_FAULT", nullptr);
    if (!ok(program.Handle() != nullptr, "%s did not start (error %lu)", Utf8(options.faulty).c_str(), GetLastError())) {
      continue;
    }
    HWND box = nullptr;
    WaitFor([&] {
      return (box = FindOwnedWindow(program.ProcessId(), L"#32770", nullptr)) != nullptr || !program.Running();
    }, kStartTimeoutMs);
    if (ok(box != nullptr, "no error box")) {
      ok(WindowText(box) == L"tarvik", "the box's title is %s", Quoted(WindowText(box)).c_str());
      HWND message = GetDlgItem(box, 0xFFFF);
      std::wstring text = message ? WindowText(message) : L"";
      while (!text.empty() && iswspace(text.back())) text.pop_back();
      const std::wstring expected = f.what + std::wstring(L"\r\n") + reason;
      ok(text == expected, "the box says %s, expected %s", Quoted(text).c_str(), Quoted(expected).c_str());
      ok(!FindTopLevel(program.ProcessId(), kFormClass), "the window is shown as well");
      CloseBox(box);
    }
    DWORD exitCode = 0;
    if (ok(program.WaitForExit(kExitTimeoutMs, exitCode), "the process runs on after its error box")) {
      ok(exitCode != 0, "it ended with status 0");
    }
  }
}

// --- At home on any desktop: DPI changes, contrast themes, keyboard cues, a link a
// screen reader knows, and any sequence of user input ---------------------------------

constexpr UINT kWmDpiChanged = 0x02E0, kWmGetDpiScaledSize = 0x02E4;

// Sends a message whose lParam points to a T placed in the program's own memory, as
// the system sends WM_DPICHANGED; Wine carries no such pointer between processes.
template <typename T>
LRESULT SendPointing(const Program& program, HWND window, UINT message, WPARAM wParam, T& value) {
  void* there = VirtualAllocEx(program.Handle(), nullptr, sizeof value, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  DWORD_PTR result = 0;
  if (there && WriteProcessMemory(program.Handle(), there, &value, sizeof value, nullptr)) {
    SendMessageTimeoutW(window, message, wParam, reinterpret_cast<LPARAM>(there), SMTO_NORMAL, kReactTimeoutMs,
                        &result);
    ReadProcessMemory(program.Handle(), there, &value, sizeof value, nullptr);
  }
  if (there) VirtualFreeEx(program.Handle(), there, 0, MEM_RELEASE);
  return static_cast<LRESULT>(result);
}

// A move to a monitor at 1.5 times the DPI as Windows makes it (the frame asked of
// WM_GETDPISCALEDSIZE, then WM_DPICHANGED with it), and back: the layout of the table at
// each DPI, the text drawn at its size, and every control where it started.
void CheckDpiChange(HWND form, const Program& program, int dpi) {
  std::vector<RECT> before;
  for (const ui::ControlLayout& c : ui::kControls) before.push_back(RectInClient(Control(form, c.id), form));
  const RECT start = ScreenRect(form);
  for (const int to : {dpi * 3 / 2, dpi}) {
    Context context("WM_DPICHANGED to %d dpi", to);
    const RECT frame = ScreenRect(form);
    SIZE size{frame.right - frame.left, frame.bottom - frame.top};
    ok(SendPointing(program, form, kWmGetDpiScaledSize, to, size) == TRUE, "WM_GETDPISCALEDSIZE is not answered");
    // The larger window at the screen's top left, where all of it shows; then back.
    const POINT at = to == dpi ? POINT{start.left, start.top} : POINT{0, 0};
    RECT suggested{at.x, at.y, at.x + size.cx, at.y + size.cy};
    SendPointing(program, form, kWmDpiChanged, MAKEWPARAM(to, to), suggested);
    RECT client{};
    GetClientRect(form, &client);
    ok(client.right == ui::TwipsToPixels(ui::kClientWidthTwips, to) &&
           client.bottom == ui::TwipsToPixels(ui::kClientHeightTwips, to),
       "client area %ldx%ld", client.right, client.bottom);
    for (const ui::ControlLayout& c : ui::kControls) {
      const RECT at = RectInClient(Control(form, c.id), form);
      const int left = ui::TwipsToPixels(c.left, to), top = ui::TwipsToPixels(c.top, to);
      const int needed = WithFont(kFontFace, ui::FontHeightPixels(to), [&](HDC dc) {
        SIZE extent{};
        GetTextExtentPoint32W(dc, c.text, static_cast<int>(wcslen(c.text)), &extent);
        return static_cast<int>(extent.cx);
      });
      const int width = c.kind == ui::ControlKind::Label ? ui::LabelWidthPixels(c, needed, to)
                                                          : ui::TwipsToPixels(c.width, to);
      const RECT designed{left, top, left + width, top + ui::TwipsToPixels(c.height, to)};
      ok(EqualRect(&at, &designed), "%s at (%ld,%ld)-(%ld,%ld), designed (%ld,%ld)-(%ld,%ld)", Utf8(c.name).c_str(),
         at.left, at.top, at.right, at.bottom, designed.left, designed.top, designed.right, designed.bottom);
    }
    SettledCapture(ScreenRect(form));
    CheckFonts(form, to);
  }
  const RECT end = ScreenRect(form);
  ok(EqualRect(&end, &start), "the window is not back where it started");
  for (size_t i = 0; i < before.size(); ++i) {
    const RECT now = RectInClient(Control(form, ui::kControls[i].id), form);
    ok(EqualRect(&now, &before[i]), "%s is not back where it started", Utf8(ui::kControls[i].name).c_str());
  }
}

// Focus rectangles hidden, as in a dialog box, until the keyboard is used. Needs a
// program the keyboard has not reached yet; leaves the focus in Text1.
void CheckKeyboardCues(HWND form) {
  Context context("focus cues");
  HWND command1 = Control(form, kCommand1), text1 = Control(form, kText1);
  const auto hidden = [&] {
    DWORD_PTR state = 0;
    SendMessageTimeoutW(command1, WM_QUERYUISTATE, 0, 0, SMTO_ABORTIFHUNG, kReactTimeoutMs, &state);
    return (state & UISF_HIDEFOCUS) != 0;
  };
  // The test-only build also shows that the window asks for it (CheckInTestBuild).
  constexpr char kNoUiState[] = "this Wine's DefWindowProc keeps no UI state: WM_QUERYUISTATE answers 0";
  const bool hiddenAtStart = hidden();
  gap(hiddenAtStart, kNoUiState);
  Click(Centre(ScreenRect(command1)));
  WaitForFocus(form, command1);
  gap(hidden(), kNoUiState);
  // Pictures with the pointer off the button, which would draw it hot.
  const RECT frame = ScreenRect(form);
  MoveMouse({frame.right + 20, frame.bottom + 20});
  const Image clicked = SettledCapture(ScreenRect(command1));
  for (const HWND next : {Control(form, kText2), text1, command1}) {
    PressKey(VK_TAB);
    WaitForFocus(form, next);
  }
  if (hiddenAtStart) ok(!hidden(), "still hidden after Tab");
  std::string difference;
  gap(!SameImage(clicked, SettledCapture(ScreenRect(command1)), difference),
      "Wine's button draws its focus rectangle whatever the UI state");
  Click(Centre(ScreenRect(text1)));
  WaitForFocus(form, text1);
}

// The test-only build tells how the window set up its UI state, sees high contrast while
// the event is held, and reads the link as an accessibility client inside its own
// process (see startup_fault.cpp).
void CheckInTestBuild(const Options& options) {
  if (options.faulty.empty()) return;
  Program program;
  const bool started = program.Start(options.faulty, kStartTimeoutMs);
  HWND form = nullptr;
  if (!ok(started && WaitFor([&] { return (form = FindTopLevel(program.ProcessId(), kFormClass)) != nullptr; },
                             kReactTimeoutMs), "the test-only build did not start")) {
    return;
  }
  ok(GetPropW(form, L"TarvikTestUiState") == reinterpret_cast<HANDLE>(MAKEWPARAM(UIS_INITIALIZE, UISF_HIDEFOCUS | UISF_HIDEACCEL)),
     "the window did not initialise its UI state as a dialog box does, but sent %p",
     GetPropW(form, L"TarvikTestUiState"));
  HWND label3 = Control(form, kLabel3);
  const uint32_t hotLight = FromColorRef(GetSysColor(COLOR_HOTLIGHT));
  const auto drawnIn = [&](uint32_t colour) {
    return WaitFor([&] {
      const Image shot = CaptureScreen(VisiblePart(label3));
      return std::count(shot.pixels.begin(), shot.pixels.end(), colour) > 20;
    }, kReactTimeoutMs);
  };
  const struct {
    bool on;
    UINT message;
    WPARAM wParam;
    uint32_t colour;
  } themes[] = {
      {true, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, hotLight},  // a contrast theme chosen
      {false, WM_SYSCOLORCHANGE, 0, kLinkBlue},                 // and left: pure blue again
  };
  HANDLE highContrast = nullptr;
  for (const auto& theme : themes) {
    Context context("high contrast %s, told by %s", theme.on ? "on" : "off", theme.on ? "WM_SETTINGCHANGE" : "WM_SYSCOLORCHANGE");
    if (theme.on) highContrast = CreateEventW(nullptr, TRUE, FALSE, L"TarvikTestHighContrast");
    else CloseHandle(highContrast);
    // Sent, as the system sends it: a WM_SETTINGCHANGE may carry a pointer, so it cannot be posted.
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(form, theme.message, theme.wParam, 0, SMTO_NORMAL, kReactTimeoutMs, &ignored);
    ok(hotLight != kLinkBlue && drawnIn(theme.colour), "the link is not drawn in %06x (COLOR_HOTLIGHT %06x)",
       theme.colour, hotLight);
  }

  Context context("Label3 to an accessibility client");
  PostThreadMessageW(GetWindowThreadProcessId(form, nullptr), RegisterWindowMessageW(L"TarvikTestCheckLink"), 0, 0);
  const auto answer = [&](const wchar_t* name) { return reinterpret_cast<INT_PTR>(GetPropW(form, name)); };
  ok(WaitFor([&] { return answer(L"TarvikTestLinkRole") != 0; }, kReactTimeoutMs), "no answer in the program");
  ok(answer(L"TarvikTestLinkRole") == ROLE_SYSTEM_LINK, "role %ld in the program", static_cast<long>(answer(L"TarvikTestLinkRole")));
  ok(answer(L"TarvikTestLinkShortcut") == 1, "its keyboard shortcut is not \"F1\" in the program");
  ok(answer(L"TarvikTestLinkName") == 1, "its name is not \"About\" in the program");
  // And from this process, as a screen reader asks, through the answer marshalled here.
  IAccessible* link = nullptr;
  VARIANT self{}, role{};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR shortcut = nullptr;
  if (SUCCEEDED(AccessibleObjectFromWindow(label3, OBJID_CLIENT, IID_IAccessible, reinterpret_cast<void**>(&link)))) {
    link->get_accRole(self, &role);
    link->get_accKeyboardShortcut(self, &shortcut);
    link->Release();
  }
  ok(role.vt == VT_I4 && role.lVal == ROLE_SYSTEM_LINK, "role %ld from the driver", role.lVal);
  ok(shortcut && shortcut == std::wstring(L"F1"), "keyboard shortcut %s from the driver",
     shortcut ? Quoted(shortcut).c_str() : "none");
  SysFreeString(shortcut);
  CloseAndCheckExit(program, form, false);
}

// What the window shows for any text: the system's own lower-casing and ANSI codes,
// folded modulo 2^32.
uint32_t SystemIdNumber(std::wstring text) {
  CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
  uint32_t h = 0;
  for (const wchar_t unit : text) {
    unsigned char bytes[2];
    const int n = WideCharToMultiByte(CP_ACP, 0, &unit, 1, reinterpret_cast<char*>(bytes), 2, nullptr, nullptr);
    h = h * 101u + static_cast<uint32_t>(n == 1 ? bytes[0] : n == 2 ? static_cast<int16_t>(bytes[0] << 8 | bytes[1]) : '?');
  }
  return h;
}

// A few hundred random actions of a user, each waited for by what it does; after each,
// the window runs, keeps its size, shows at most one credits box and is enabled
// whenever none is shown, and "Work out" shows the number of what Text1 holds.
void CheckRandomInput(HWND form, const Program& program, int dpi, unsigned seed) {
  Context context("random input from seed %u", seed);
  std::mt19937 random(seed);
  HWND text1 = Control(form, kText1), text2 = Control(form, kText2), command1 = Control(form, kCommand1);
  HWND label3 = Control(form, kLabel3);
  const wchar_t kTyped[] = L"aZ09@.-_ \u00e9\u00c4\u00df\u0416\u20ac\u00ff";
  const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  const auto box = [&] { return FindOwnedWindow(program.ProcessId(), L"#32770", form); };
  const auto workedOut = [&] {
    const std::wstring expected = Decimal(SystemIdNumber(WindowText(text1)));
    std::wstring result;
    return WaitForResult(text2, result) && result == expected;
  };
  EnsureForeground(form);
  const int failuresBefore = FailureCount();
  for (int step = 0; step < 200 && FailureCount() == failuresBefore; ++step) {
    HWND focus = FocusOf(form);
    const bool edit = focus == text1 || focus == text2;
    const int action = pick(8);
    Context stepContext("step %d, action %d, %s", step, action, InputState(form).c_str());
    if (action <= 1 && edit) {  // typing or a paste, wherever the selection is
      std::wstring insert(1, kTyped[pick(static_cast<int>(wcslen(kTyped)))]);
      if (action == 1) insert = std::wstring(pick(20), kTyped[pick(5)]) + insert;
      DWORD_PTR selection = 0;
      SendMessageTimeoutW(focus, EM_GETSEL, 0, 0, SMTO_ABORTIFHUNG, kReactTimeoutMs, &selection);
      std::wstring expected = WindowText(focus);
      expected.replace(LOWORD(selection), HIWORD(selection) - LOWORD(selection), insert);
      if (action == 1 && PutOnClipboard(insert)) PressChord(VK_CONTROL, 'V');
      else TypeText(insert);
      ok(WaitForText(focus, expected), "%s holds %s, expected %s", Name(form, focus), Quoted(WindowText(focus)).c_str(),
         Quoted(expected).c_str());
    } else if (action == 2) {  // Tab round the three stops
      const HWND next = focus == text1 ? command1 : focus == command1 ? text2 : text1;
      PressKey(VK_TAB);
      ok(WaitForFocus(form, next), "Tab went to %s", Name(form, FocusOf(form)));
    } else if (action == 3 && focus == command1) {  // Space or Enter on the button
      SetText(text2, kMarker);
      PressKey(pick(2) ? VK_SPACE : VK_RETURN);
      ok(workedOut(), "Text2 shows %s", Quoted(WindowText(text2)).c_str());
    } else if (action == 4) {  // F1, twice, then Escape or Enter closes the one box
      PressKey(VK_F1);
      PressKey(VK_F1);
      HWND shown = nullptr;
      ok(WaitFor([&] { return (shown = box()) != nullptr; }, kReactTimeoutMs), "F1 shows no credits box");
      PressKey(pick(2) ? VK_ESCAPE : VK_RETURN);
      ok(WaitFor([&] { return !box() && IsWindowEnabled(form); }, kReactTimeoutMs), "a box is still shown");
    } else if (action == 5 || action == 6) {  // a click anywhere, or a press on "About" dragged off it
      const RECT client = ClientOnScreen(form);
      POINT at{client.left + pick(client.right - client.left), client.top + pick(client.bottom - client.top)};
      POINT inClient{at.x - client.left, at.y - client.top};
      HWND hit = ChildWindowFromPointEx(form, inClient, CWP_SKIPINVISIBLE);
      if (action == 6) {
        const RECT about = ScreenRect(label3);
        MoveMouse({about.left + 2, about.top + 2});
        MouseButtons({about.left + 2, about.top + 2}, {MOUSEEVENTF_LEFTDOWN});
        ok(WaitFor([&] { return InputOf(form).hwndCapture == label3; }, kReactTimeoutMs), "About took no capture");
        at = {client.left + 1, client.bottom - 2};
        hit = nullptr;
        MoveMouse(at);
        MouseButtons(at, {MOUSEEVENTF_LEFTUP});
        ok(WaitFor([&] { return InputOf(form).hwndCapture == nullptr; }, kReactTimeoutMs), "About kept the capture");
      } else {
        if (hit == command1) SetText(text2, kMarker);
        // A pointer that did not get there is moved again, so that the click is made.
        for (int attempt = 0; attempt < 3 && !Click(at); ++attempt) {
        }
      }
      if (hit == command1) ok(workedOut(), "Text2 shows %s", Quoted(WindowText(text2)).c_str());
      // A click on an edit box's border leaves the focus where it was.
      RECT inside = ClientOnScreen(hit ? hit : form);
      if ((hit == text1 || hit == text2) && PtInRect(&inside, at)) {
        ok(WaitForFocus(form, hit), "a click on %s at (%ld,%ld) left the focus on %s", Name(form, hit), inClient.x,
           inClient.y, Name(form, FocusOf(form)));
      }
      if (hit == label3 && ok(WaitFor([&] { return box() != nullptr; }, kReactTimeoutMs), "no credits box")) {
        PressKey(VK_ESCAPE);
        WaitFor([&] { return !box(); }, kReactTimeoutMs);
      }
    } else {  // Escape anywhere, or Enter in a box: nothing happens
      PressKey(edit && pick(2) ? VK_RETURN : VK_ESCAPE);
    }
    RoundTrip(form, kReactTimeoutMs);
    if (action == 6) ok(!FindAnyOwnedWindow(program.ProcessId(), L"#32770", form), "a press dragged off About opened the box");
    RECT client{};
    GetClientRect(form, &client);
    ok(program.Running() && IsWindow(form), "the program ended");
    ok(client.right == ui::TwipsToPixels(ui::kClientWidthTwips, dpi) &&
           client.bottom == ui::TwipsToPixels(ui::kClientHeightTwips, dpi),
       "client area %ldx%ld", client.right, client.bottom);
    ok(!box() == (IsWindowEnabled(form) != FALSE), "the window is %s with %s credits box",
       IsWindowEnabled(form) ? "enabled" : "disabled", box() ? "a" : "no");
  }
  if (FailureCount() != failuresBefore) Note("random input failed: rerun with --seed %u", seed);
}

void RunFull(const Options& options) {
  {
    Program program;
    HWND form = StartTarvik(program, options);
    if (!form) return;
    CheckFrame(form, options.dpi);
    CheckControls(form, options.dpi);
    CheckNeverMaximised(form, options.dpi);
    EnsureForeground(form);
    CheckKeyboardCues(form);
    CheckKeyboard(form);
    CheckTitleBarIcon(form, options.tarvik);
    CheckFonts(form, options.dpi);
    CheckDpiChange(form, program, options.dpi);
    CheckLinkLabel(form);
    CheckLinkCursor(form);
    CheckWorkOut(form, options.dpi);
    CheckLongAddress(form, 1 << 20);
    // Under Wine the edit control repaints its whole line, all 16 Mi units of it, when
    // the click takes the focus away, and that takes seconds.
    CheckLongAddress(form, 1 << 24);
    CheckAbout(form, program.ProcessId());
    CheckNoLeaks(form, program);
    CheckHugeSetText(form, program);
    CheckRandomInput(form, program, options.dpi, options.seed);
    FillIn(form, L"someone@example.com");
    SaveScreenshot(form, options.screenshot);
    CloseAndCheckExit(program, form, false);
  }
  {
    Program program;
    HWND form = StartTarvik(program, options);
    if (!form) return;
    CloseAndCheckExit(program, form, true);
  }
  CheckShowModes(options);
  CheckFailedStartups(options);
  CheckInTestBuild(options);
  TimeStartup(options);
}

void RunLayout(const Options& options) {
  Program program;
  HWND form = StartTarvik(program, options);
  if (!form) return;
  CheckFrame(form, options.dpi);
  CheckControls(form, options.dpi);
  EnsureForeground(form);
  CheckTitleBarIcon(form, options.tarvik);
  CheckFonts(form, options.dpi);
  CheckDpiChange(form, program, options.dpi);
  CheckLinkLabel(form);
  FillIn(form, L"someone@example.com");
  SaveScreenshot(form, options.screenshot);
  CloseAndCheckExit(program, form, false);
}

void RunDemo(const Options& options) {
  Program program;
  HWND form = StartTarvik(program, options);
  if (!form) return;
  FillIn(form, options.demoAddress);
  SaveScreenshot(form, options.screenshot);
  CloseAndCheckExit(program, form, false);
}

bool ParseOptions(int argc, wchar_t** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == L"--tarvik" && hasValue) options.tarvik = argv[++i];
    else if (arg == L"--minimal" && hasValue) options.minimal = argv[++i];
    else if (arg == L"--faulty" && hasValue) options.faulty = argv[++i];
    else if (arg == L"--screenshot" && hasValue) options.screenshot = argv[++i];
    else if (arg == L"--suite" && hasValue) options.suite = argv[++i];
    else if (arg == L"--x-pointer" && hasValue) options.xPointer = argv[++i];
    else if (arg == L"--dpi" && hasValue) options.dpi = _wtoi(argv[++i]);
    else if (arg == L"--seed" && hasValue) options.seed = static_cast<unsigned>(_wtoi64(argv[++i]));
    else if (arg == L"--demo" && hasValue) options.demo = true, options.demoAddress = argv[++i];
    else return false;
  }
  return !options.tarvik.empty() && options.dpi >= 0 &&
         (options.suite == L"full" || options.suite == L"layout");
}

}  // namespace
}  // namespace tarvik::e2e

int wmain(int argc, wchar_t** argv) {
  using namespace tarvik::e2e;
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: tarvik-e2e --tarvik EXE [--dpi N] [--suite full|layout] [--minimal EXE] [--faulty EXE]\n"
                 "                  [--screenshot PNG] [--seed N]\n"
                 "       tarvik-e2e --tarvik EXE --demo ADDRESS --screenshot PNG\n");
    return 2;
  }
  // Real pixels, not coordinates scaled for a program that does not know the DPI.
  SetProcessDPIAware();
  CoInitialize(nullptr);
  if (!options.xPointer.empty()) UseXPointer(options.xPointer);
  HDC screen = GetDC(nullptr);
  const int systemDpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  if (options.dpi == 0) options.dpi = systemDpi;
  if (!options.demo) {
    Note("%s suite at %d dpi", Utf8(options.suite).c_str(), options.dpi);
    ok(systemDpi == options.dpi, "the system runs at %d dpi, the run expects %d", systemDpi, options.dpi);
  }

  if (options.demo) RunDemo(options);
  else if (options.suite == L"full") RunFull(options);
  else RunLayout(options);

  Note("%d checks, %d failures", CheckCount(), FailureCount());
  return FailureCount() ? 1 : 0;
}
