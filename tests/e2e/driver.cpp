// End-to-end test of tarvik.exe: starts it as a user would and checks, through the
// window system alone, what a user sees and what the keyboard and the mouse do to it.
// The expected values come from the design of the window (its twips table, through the
// program's own conversion), the known answers and the version header, not from the program.
//
// The full suite runs everything; the layout suite only what depends on the DPI. --dpi
// names the DPI the system is expected to run at (by default, whatever it runs at);
// --faulty, the test-only build whose start-up fails where TARVIK_FAULT says; --seed,
// where the random input starts (by default, the clock). --not-wine
// treats a run under Wine as one on Windows, where its expected gaps fail.
// The demo fills in an address, works it out and saves a screenshot. Exit code 0 when
// every check passed. The options are in kUsage, at the end.

// The driver uses what Windows XP lacks (DPI awareness, GetIconInfoEx); the program
// it tests does not.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0601
#include <windows.h>
#include <oleacc.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <optional>
#include <random>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

#include "check.h"
#include "desktop.h"
#include "known_answers.h"
#include "pixels.h"
#include "win32.h"
#include "tarvik/version.h"
#include "ui/layout.h"
#include "ui/scoped_gdi.h"

namespace tarvik::e2e {
namespace {

using test::FromColorRef;
using ui::ControlKind;
using ui::ControlLayout;
using ui::FontHeightPixels;
using ui::kControls;
using ui::TwipsToPixels;
constexpr int kText1 = ui::kText1Id, kText2 = ui::kText2Id, kCommand1 = ui::kCommand1Id;
constexpr int kLabel1 = ui::kLabel1Id, kLabel2 = ui::kLabel2Id, kLabel3 = ui::kLabel3Id;

constexpr wchar_t kFormClass[] = L"TarvikForm1";
const std::wstring kCaption = std::wstring(ui::kForm1Caption) + L" - " TARVIK_VERSION_SHORT;
constexpr wchar_t kCredits[] =
    L"This program has been made by Ulvane\r\nThe main code has been provided by Ombry";
constexpr uint32_t kLinkBlue = 0x0000FF;
// The window class each kind of control is made of, by ControlKind, as lower case.
constexpr const wchar_t* kKindClass[] = {L"static", L"edit", L"button"};

// What this Wine cannot answer across processes; Windows can.
constexpr char kNoClassIcons[] = "Wine cannot read another process's class icons";
constexpr char kNoGetFont[] = "Wine does not answer WM_GETFONT sent from another process";
constexpr char kNoCursorInfo[] = "Wine cannot describe another process's cursor";

// Under processor emulation a program takes seconds to start; these bound a hang too.
constexpr DWORD kStartTimeoutMs = 60000;
constexpr DWORD kExitTimeoutMs = 20000;

// The bound for work that grows with a text of `units`: 1 s per 32 Ki units on top of
// a reaction. A 16 Mi-unit paste took 104 s with both cores of the machine busy, and
// this allows five times that.
DWORD AllowanceMs(size_t units) { return kReactTimeoutMs + static_cast<DWORD>(units / 32); }

// One reaction of the program, waited for on what it shows.
bool Soon(const std::function<bool()>& condition) { return WaitFor(condition, kReactTimeoutMs); }

// Milliseconds `act` takes (reported, never bounded).
double MsTaken(const std::function<void()>& act) {
  const double start = NowMs();
  act();
  return NowMs() - start;
}

// --- Listings: several properties of one object as one check -------------------------

// The properties of one object, each as designed against as read, a line per property,
// checked as one: a failure lists every line that differs.
struct Listing {
  std::string differences;

  template <typename Text>
  Listing& Line(const std::string& property, const std::type_identity_t<Text>& expected, const Text& got) {
    if (got != expected) differences += Say("\n    %s: %s, expected %s", property, got, expected);
    return *this;
  }
};

bool ExpectListing(const Listing& listing, const std::string& what) {
  return ok(listing.differences.empty(), "%s differs:%s", what, listing.differences);
}

std::string YesNo(bool yes) { return yes ? "yes" : "no"; }

std::string Spelt(const RECT& r) { return Say("(%ld,%ld)-(%ld,%ld)", r.left, r.top, r.right, r.bottom); }

std::wstring Lower(std::wstring text) {
  CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

// --- Known answers and the reference fold --------------------------------------------

std::vector<test::KnownAnswer> knownAnswers;

// The independent reference for any text: each unit lowered and put in the ANSI code
// page by the system, a double-byte code read as the system's signed one, and folded.
uint32_t ReferenceIdNumber(const std::wstring& text) {
  return test::ReferenceFold(Lower(text), [](wchar_t unit) -> int64_t {
    if (unit < 0x80) return unit;  // every code page gives ASCII its own codes
    unsigned char bytes[2];
    const int n = WideCharToMultiByte(CP_ACP, 0, &unit, 1, reinterpret_cast<char*>(bytes), 2, nullptr, nullptr);
    return n == 1 ? bytes[0] : n == 2 ? static_cast<int16_t>(bytes[0] << 8 | bytes[1]) : '?';
  });
}

// Whether the row's text reads the same in the system's code page as in the table's.
bool InSystemCodePage(const test::KnownAnswer& row) { return row.Ascii() || GetACP() == 1252; }

// The number Text2 must show for the text: the known answer where there is one.
std::wstring ExpectedNumber(const std::wstring& text) {
  for (const test::KnownAnswer& row : knownAnswers) {
    if (test::Wide(row.text) == text && InSystemCodePage(row)) return std::to_wstring(row.id);
  }
  return std::to_wstring(ReferenceIdNumber(text));
}

// --- The form and its controls -------------------------------------------------------

// The form's window, which it stands for, and its controls, by the names of the design.
struct Form {
  HWND window = nullptr;
  HWND text1 = GetDlgItem(window, kText1), text2 = GetDlgItem(window, kText2), command1 = GetDlgItem(window, kCommand1);
  HWND label1 = GetDlgItem(window, kLabel1), label3 = GetDlgItem(window, kLabel3);
  operator HWND() const { return window; }
};

const ControlLayout& Layout(int id) {
  return *std::find_if(kControls.begin(), kControls.end(), [&](auto& c) { return c.id == id; });
}

POINT CentreOf(HWND window) { return Centre(ScreenRect(window)); }

// Outside the window's frame, where the pointer draws nothing hot.
POINT OffWindow(HWND window) { return {ScreenRect(window).right + 20, ScreenRect(window).bottom + 20}; }

// A point in the client area's bottom-left corner, on the form alone.
POINT FormCorner(HWND form) { return {ClientOnScreen(form).left + 2, ClientOnScreen(form).bottom - 2}; }

// The screen point where the button's top edge lies over the bottom of "About".
POINT InBoth(const Form& form) { return {CentreOf(form.label3).x, ScreenRect(form.command1).top}; }

// The client area's size, as the window has it and as the twips table makes it.
std::string ClientSize(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  return Say("%ldx%ld px", client.right, client.bottom);
}

std::string DesignedClient(int dpi) {
  return Say("%dx%d px", TwipsToPixels(ui::kClientWidthTwips, dpi), TwipsToPixels(ui::kClientHeightTwips, dpi));
}

bool ExpectDesignedClient(HWND form, int dpi) {
  const std::string got = ClientSize(form), designed = DesignedClient(dpi);
  return ok(got == designed, "client area: expected %s (%dx%d twips), got %s", designed, ui::kClientWidthTwips,
            ui::kClientHeightTwips, got);
}

// What messages call a window: a control by its name in the design.
std::string Name(HWND window) {
  if (!window) return "nothing";
  if (ClassName(window) == kFormClass) return "the form itself";
  for (const ControlLayout& c : kControls) {
    if (ClassName(GetParent(window)) == kFormClass && GetDlgCtrlID(window) == c.id) return Utf8(c.name);
  }
  return "a window that is not one of the form's controls";
}

// Where the input goes, for messages about focus.
std::string InputState(HWND form) {
  const GUITHREADINFO info = InputOf(form);
  HWND foreground = GetForegroundWindow();
  return "focus on " + Name(info.hwndFocus) + ", active " + Name(info.hwndActive) + ", capture " +
         Name(info.hwndCapture) + ", foreground " +
         (foreground ? Quoted(WindowText(foreground)) + " (" + Utf8(ClassName(foreground)) + ")" : "none");
}

bool EnsureForeground(HWND window) {
  if (GetForegroundWindow() != window) SetForegroundWindow(window);
  return Soon([&] { return GetForegroundWindow() == window; });
}

bool WaitForFocus(HWND form, HWND expected) { return Soon([&] { return FocusOf(form) == expected; }); }

// The focus put on the control by a click on its middle.
bool FocusByClick(HWND form, HWND control) {
  Click(CentreOf(control));
  return WaitForFocus(form, control);
}

bool ExpectFocus(HWND form, HWND expected, const std::string& after) {
  return ok(WaitForFocus(form, expected), "%s: the focus is on %s, expected %s; %s", after, Name(FocusOf(form)),
            Name(expected), InputState(form));
}

// Waits out a program busy with the longest text this test gives it (16 Mi units),
// which the system would take for hung.
bool SetText(HWND window, const std::wstring& text) {
  const auto set = Send(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), AllowanceMs(1 << 24), SMTO_NORMAL);
  return set && *set;
}

// -1 while the program is too busy to answer.
long long TextLength(HWND window) {
  const auto length = Send(window, WM_GETTEXTLENGTH);
  return length ? static_cast<long long>(*length) : -1;
}

// Typed or set text arriving: waited for as long as the box's text keeps growing.
bool WaitForText(HWND window, const std::wstring& expected) {
  return WaitFor([&] { return WindowText(window) == expected; }, kReactTimeoutMs, [&] { return TextLength(window); });
}

bool ExpectText(HWND box, const std::wstring& expected, const std::string& after) {
  return ok(WaitForText(box, expected), "%s: %s holds %s, expected %s", after, Name(box), WindowText(box), expected);
}

struct WorkedOut {
  bool arrived;
  std::wstring text;
  std::string before, after;  // where the input went, before the trigger and after
};

// "Work out" as `trigger` sets it off: Text2 must leave the marker put there beforehand,
// so that a result equal to the previous one is still seen to arrive.
WorkedOut WorkOut(const Form& form, const std::function<void()>& trigger, DWORD timeoutMs = kReactTimeoutMs) {
  static constexpr wchar_t kMarker[] = L"-";
  SetText(form.text2, kMarker);
  WorkedOut result{false, {}, InputState(form), {}};
  trigger();
  // A program busy for seconds leaves the read unanswered: that is no result yet.
  const auto answered = [&] {
    result.text = WindowText(form.text2);
    return result.text.rfind(L"<no answer", 0) != 0;
  };
  result.arrived = WaitFor([&] { return answered() && result.text != kMarker; }, timeoutMs);
  // Read once more: the length and the text are two messages, and the change may fall between them.
  WaitFor(answered, timeoutMs);
  result.after = InputState(form);
  return result;
}

// Two checks: that a number arrived, and that it is the one for `input`.
bool ExpectNumber(const WorkedOut& got, const std::wstring& input, const char* how) {
  const std::wstring expected = ExpectedNumber(input);
  ok(got.arrived, "%s changed nothing; before: %s; after: %s", how, got.before, got.after);
  return ok(got.text == expected, "%s on %s: Text2 shows %s, expected %s", how, input, got.text, expected);
}

// Text1 set to `input`, then the same two checks for what `trigger` works out.
bool ExpectWorkedOut(const Form& form, const std::wstring& input, const char* how, const std::function<void()>& trigger) {
  SetText(form.text1, input);
  return ExpectNumber(WorkOut(form, trigger), input, how);
}

// The credits box the form opened, once shown; null if none came in time.
HWND WaitForCreditsBox(HWND form, DWORD timeoutMs = kReactTimeoutMs) {
  HWND box = nullptr;
  WaitFor([&] { return (box = FindOwnedWindow(ProcessOf(form), L"#32770", form)) != nullptr; }, timeoutMs);
  return box;
}

// Once the program has answered what came after the input, a box the input opened
// exists, shown or about to be; the form itself if the program did not answer.
HWND CreditsBoxOpened(HWND form) {
  return RoundTrip(form, kReactTimeoutMs) ? FindAnyOwnedWindow(ProcessOf(form), L"#32770", form) : form;
}

bool CloseBox(HWND box) {
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  return Soon([&] { return !IsWindow(box); });
}

// A press on "About" released at `release`, off it, as a user changing their mind: the
// label holds the capture from the press to the release; `pressed` runs in between.
void PressAboutAndDragOff(const Form& form, POINT press, POINT release, const std::function<void()>& pressed = [] {}) {
  MoveMouse(press);
  MouseButtons(press, {MOUSEEVENTF_LEFTDOWN});
  ok(Soon([&] { return InputOf(form).hwndCapture == form.label3; }), "the press did not reach \"About\"");
  pressed();
  MoveMouse(release);
  MouseButtons(release, {MOUSEEVENTF_LEFTUP});
  ok(Soon([&] { return InputOf(form).hwndCapture == nullptr; }), "the release did not reach \"About\"");
}

// What `read` gives with the pointer at that point; read again after another move,
// should the pointer not have stayed there.
template <typename Read>
auto WithPointerAt(POINT screen, Read read) {
  decltype(read()) value{};
  for (int attempt = 0; attempt < 3; ++attempt) {
    MoveMouse(screen);
    value = read();
    POINT at{};
    GetCursorPos(&at);
    if (at.x == screen.x && at.y == screen.y) break;
  }
  return value;
}

bool operator==(const Image& a, const Image& b) { return a.width == b.width && a.pixels == b.pixels; }

// How many of the image's pixels have that colour.
int Count(const Image& image, uint32_t colour) {
  return static_cast<int>(std::count(image.pixels.begin(), image.pixels.end(), colour));
}

// What `read` gives once the program's drawing has settled: something, unlike what the
// place the pointer came from showed, and the same `agreeing` times in a row. A cursor
// changes only once the program has answered WM_SETCURSOR, and the X cursor follows it a
// little later; `meanwhile` runs before each reading.
template <typename Read, typename T = std::invoke_result_t<Read>>
T Settled(Read read, const T& unlike = {}, int agreeing = 2, const std::function<void()>& meanwhile = [] {}) {
  T value{}, last{};
  int same = 0;
  Soon([&] {
    meanwhile();
    value = read();
    same = value == last ? same + 1 : 1;
    last = value;
    return !(value == T{}) && !(value == unlike) && same >= agreeing;
  });
  return value;
}

HCURSOR ShownCursor() {
  CURSORINFO info{};
  info.cbSize = sizeof(info);
  GetCursorInfo(&info);
  return info.hCursor;
}

HCURSOR CursorOver(POINT screen, HCURSOR unlike = nullptr) {
  return WithPointerAt(screen, [&] { return Settled(ShownCursor, unlike, 10); });
}

Image SettledCapture(const RECT& screenRect) { return Settled([&] { return CaptureScreen(screenRect); }); }

std::string SettledXPointer(const std::string& unlike, const std::function<void()>& meanwhile = [] {}) {
  return Settled([] { return AskXPointer(L"image"); }, unlike, 2, meanwhile);
}

// What GDI makes of the form's font at that DPI: the face it picks, and the pixels the
// text takes on one line.
std::pair<std::wstring, int> InFormFont(const wchar_t* text, int dpi) {
  const ui::ScopedScreenDC screen;
  const ui::ScopedFont font = FontOf(ui::kFontFace, FontHeightPixels(dpi));
  const HGDIOBJ previous = SelectObject(screen.Get(), font.Get());
  wchar_t face[LF_FACESIZE] = {};
  GetTextFaceW(screen.Get(), LF_FACESIZE, face);
  SIZE size{};
  GetTextExtentPoint32W(screen.Get(), text, static_cast<int>(wcslen(text)), &size);
  SelectObject(screen.Get(), previous);
  return {face, size.cx};
}

// Where the design puts the control at that DPI: a label as wide as the rule makes it for its text.
RECT DesignedRect(const ControlLayout& c, int dpi) {
  const int left = TwipsToPixels(c.left, dpi), top = TwipsToPixels(c.top, dpi);
  const int width = c.kind == ControlKind::Label ? ui::LabelWidthPixels(c, InFormFont(c.text, dpi).second, dpi)
                                                 : TwipsToPixels(c.width, dpi);
  return {left, top, left + width, top + TwipsToPixels(c.height, dpi)};
}

// A control as the design makes it at that DPI: its class, visible and enabled, where
// the table puts it.
Listing DesignedControl(HWND form, const ControlLayout& c, int dpi) {
  HWND control = GetDlgItem(form, c.id);
  return Listing()
      .Line("class", kKindClass[static_cast<int>(c.kind)], Lower(ClassName(control)))
      .Line("visible", "yes", YesNo(IsWindowVisible(control)))
      .Line("enabled", "yes", YesNo(IsWindowEnabled(control)))
      .Line("at", Spelt(DesignedRect(c, dpi)), Spelt(RectInClient(control, form)));
}

// --- The window and its layout -----------------------------------------------------

// "normal", or what the window is instead.
std::string State(HWND window) {
  std::string state = IsWindowVisible(window) ? "" : " hidden";
  if (IsZoomed(window)) state += " maximised";
  if (IsIconic(window)) state += " minimised";
  return state.empty() ? "normal" : state.substr(1);
}

// Shown normal, its fixed size, centred: these lines and those of `listing` checked as
// one. A window being restored is seen restored before it has its size again: that is
// waited for.
bool ExpectPlacement(HWND form, int dpi, Listing listing = {}) {
  Soon([&] { return State(form) == "normal" && ClientSize(form) == DesignedClient(dpi); });
  const RECT frame = ScreenRect(form);
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
  const POINT centred{(screenWidth - (frame.right - frame.left)) / 2, (screenHeight - (frame.bottom - frame.top)) / 2};
  const std::string designed =
      Say("centred on the %dx%d screen, at (%ld,%ld) +-1", screenWidth, screenHeight, centred.x, centred.y);
  const bool isCentred = std::abs(frame.left - centred.x) <= 1 && std::abs(frame.top - centred.y) <= 1;
  return ExpectListing(listing.Line("state", "normal", State(form))
                           .Line("client area", DesignedClient(dpi), ClientSize(form))
                           .Line("placed", designed, isCentred ? designed : Say("at (%ld,%ld)", frame.left, frame.top)),
                       "the window");
}

void CheckFrame(HWND form, int dpi) {
  Context context("frame at %d dpi", dpi);
  const LONG style = GetWindowLongW(form, GWL_STYLE);
  const std::tuple<LONG, bool, const char*> styles[] = {
      {WS_CAPTION, true, "a title bar (WS_CAPTION)"}, {WS_SYSMENU, true, "a close box (WS_SYSMENU)"},
      {WS_MINIMIZEBOX, false, "a minimise box"},      {WS_MAXIMIZEBOX, false, "a maximise box"},
      {WS_THICKFRAME, false, "a sizing border"},      {WS_VISIBLE, true, "WS_VISIBLE"},
  };
  Listing frame = Listing().Line("caption", kCaption, WindowText(form));
  for (const auto& [bits, wanted, what] : styles) frame.Line(what, YesNo(wanted), YesNo((style & bits) == bits));
  ExpectPlacement(form, dpi, frame);
  // The program gives its icons to the class alone, which WM_GETICON does not answer
  // for on every system: either will do.
  const std::tuple<WPARAM, int, const char*> icons[] = {{ICON_BIG, GCLP_HICON, "big"},
                                                        {ICON_SMALL, GCLP_HICONSM, "small"}};
  for (const auto& [type, classIndex, name] : icons) {
    const DWORD_PTR sent = Send(form, WM_GETICON, type).value_or(0);
    todo_wine(kNoClassIcons, sent || GetClassLongPtrW(form, classIndex),
              "no %s icon: WM_GETICON and the class both give none (error %lu)", name, GetLastError());
  }
}

void CheckTitleBarIcon(HWND form, const std::wstring& tarvikPath) {
  Context context("title-bar icon");
  const Owned<HMODULE, FreeLibrary> image(
      LoadLibraryExW(tarvikPath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
  if (!ok(image, "cannot open %s for its icon resource (error %lu)", Utf8(tarvikPath), GetLastError())) return;
  const int size = GetSystemMetrics(SM_CXSMICON);
  const ui::ScopedIcon icon(static_cast<HICON>(LoadImageW(image.Get(), MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0)));
  if (!ok(icon, "the program has no icon group 1 (error %lu)", GetLastError())) return;
  const Image opaque = OpaqueIcon(icon.Get(), size);
  const int opaqueCount = size * size - Count(opaque, kTransparent);
  const RECT frame = ScreenRect(form), client = ClientOnScreen(form);
  // The title bar: from the window's top to the client area, left half.
  const Image titleBar = CaptureScreen({frame.left, frame.top, frame.left + (frame.right - frame.left) / 2, client.top});
  POINT where{};
  ok(opaqueCount >= size * size / 4, "the %dx%d icon has only %d opaque pixels to look for", size, size, opaqueCount);
  ok(ContainsIcon(titleBar, opaque, where), "the program's %dx%d icon (group 1) is not in the title bar", size, size);
}

// A label shows its whole text on its line, as wide as the program's rule makes it for
// the text, and not over the control that follows it in its row.
void CheckLabelWidth(HWND form, const ControlLayout& label, const RECT& rect, int dpi) {
  const int needed = InFormFont(label.text, dpi).second, width = rect.right - rect.left;
  ok(needed <= width, "the text needs %d px, the label is %d px wide", needed, width);
  if (needed <= TwipsToPixels(label.width, dpi)) return;
  for (const ControlLayout& other : kControls) {
    const RECT next = RectInClient(GetDlgItem(form, other.id), form);
    if (other.id == label.id || next.left <= rect.left || next.top >= rect.bottom || rect.top >= next.bottom) continue;
    ok(rect.right <= next.left, "widened to %d px for its text, it runs over %s at %ld px", width, Utf8(other.name),
       next.left);
  }
  const RECT client = ClientOnScreen(form);
  ok(rect.right <= client.right - client.left, "widened to %d px, it runs out of the window", width);
}

// What `ask` learns from the window's accessible object, as a screen reader gets it.
template <typename Ask>
void AskAccessible(HWND window, Ask ask) {
  IAccessible* accessible = nullptr;
  if (FAILED(AccessibleObjectFromWindow(window, OBJID_CLIENT, IID_IAccessible, reinterpret_cast<void**>(&accessible)))) {
    return;
  }
  VARIANT self{};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  ask(accessible, self);
  accessible->Release();
}

// Each control is checked as one listing: as designed, with its text and, for an edit
// box, the name a screen reader gives it.
void CheckControls(const Form& form, int dpi) {
  int children = 0;
  for (HWND child = GetWindow(form, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) ++children;
  ok(children == static_cast<int>(kControls.size()), "expected %d child windows, got %d",
     static_cast<int>(kControls.size()), children);

  for (const ControlLayout& c : kControls) {
    Context context("%s at %d dpi", Utf8(c.name), dpi);
    HWND control = GetDlgItem(form, c.id);
    if (!ok(control != nullptr, "no child window with id %d", c.id)) continue;
    Listing shown = DesignedControl(form, c, dpi).Line("text", c.text, WindowText(control));
    if (c.kind == ControlKind::TextBox) {
      // A screen reader names an edit box by the label just before it in z-order.
      const ControlLayout& label = Layout(c.id == kText1 ? kLabel1 : kLabel2);
      BSTR name = nullptr;
      AskAccessible(control, [&](IAccessible* accessible, VARIANT self) { accessible->get_accName(self, &name); });
      const Owned<BSTR, SysFreeString> owned(name);
      shown.Line("before it in z-order", Utf8(label.name), Name(GetWindow(control, GW_HWNDPREV)))
          .Line("accessible name", label.text, name ? std::wstring(name) : L"<not answered>");
    }
    ExpectListing(shown, "the control");
    if (c.kind == ControlKind::Label) CheckLabelWidth(form, c, RectInClient(control, form), dpi);
    const auto font = Send(control, WM_GETFONT);
    todo_wine(kNoGetFont, font && *font, "WM_GETFONT gives %s: the control draws in the system font",
              font ? "no font" : "no answer");
  }

  // The button's top edge lies over the bottom of "About": there the button must win.
  Context context("where Label3 and Command1 overlap, at %d dpi", dpi);
  const POINT inBoth = InBoth(form);
  POINT inClient = inBoth;
  ScreenToClient(form, &inClient);
  const LONG labelBottom = ScreenRect(form.label3).bottom;
  ok(inBoth.y < labelBottom, "the controls do not overlap: label ends at %ld, button starts at %ld", labelBottom,
     inBoth.y);
  HWND hit = ChildWindowFromPointEx(form, inClient, CWP_SKIPINVISIBLE);
  ok(hit == form.command1, "ChildWindowFromPointEx(%ld,%ld) gives %s", inClient.x, inClient.y, Name(hit));
  ok(WindowFromPoint(inBoth) == form.command1, "WindowFromPoint at client (%ld,%ld) gives %s", inClient.x, inClient.y,
     Name(WindowFromPoint(inBoth)));
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
// and compares pixel for pixel. Inside a button's border and focus rectangle, `inset`
// away, only the caption is left.
void CheckTextDrawing(HWND window, const std::wstring& text, bool underline, uint32_t colour, int inset, int dpi) {
  Context context("%s drawn at %d dpi", Name(window), dpi);
  const RECT client = ClientOnScreen(window), whole = VisiblePart(window);
  RECT uncovered{}, area{}, inner = client;
  IntersectRect(&uncovered, &client, &whole);
  InflateRect(&inner, -inset, -inset);
  IntersectRect(&area, &uncovered, &inner);
  const Image shot = CaptureScreen(area);
  const uint32_t background = MostFrequentColour(shot);
  // Drawn in a box the size of the control, so that words wrap as they would there,
  // and cut where the control is covered.
  const RECT keep{uncovered.left - client.left, uncovered.top - client.top, uncovered.right - client.left,
                  uncovered.bottom - client.top};
  const auto draw = [&](const wchar_t* face) {
    return Ink(Crop(RenderText(text, face, FontHeightPixels(dpi), underline, colour, background,
                               client.right - client.left, client.bottom - client.top), keep), background);
  };
  const Image expected = draw(ui::kFontFace);
  // The comparison must be able to tell fonts apart, or a match proves nothing.
  std::string difference;
  if (expected.pixels.empty() || SameImage(expected, draw(L"Tahoma"), difference)) {
    return Note("precondition not met: %s draws %s in Tahoma here as in %s; its face is not checked",
                expected.pixels.empty() ? "nothing" : "this system", text, Utf8(ui::kFontFace));
  }
  ok(SameImage(Ink(shot, background), expected, difference), "%s is not drawn as %s %g pt%s in %06x on %06x: %s", text,
     Utf8(ui::kFontFace), ui::kFontHundredthsOfPoint / 100.0, underline ? " underlined" : "", colour, background,
     difference);
}

void CheckFonts(const Form& form, int dpi) {
  const std::wstring chosen = InFormFont(L"", dpi).first;
  const uint32_t windowText = FromColorRef(GetSysColor(COLOR_WINDOWTEXT));
  const std::tuple<int, bool, uint32_t, int> drawn[] = {
      {kLabel1, false, windowText, 0}, {kLabel2, false, windowText, 0}, {kLabel3, true, kLinkBlue, 0},
      {kCommand1, false, FromColorRef(GetSysColor(COLOR_BTNTEXT)), MulDiv(4, dpi, 96)}};
  if (chosen != ui::kFontFace) {
    Note("precondition not met: this system has no %s (it gives %s); the drawn texts are not checked",
         Utf8(ui::kFontFace), chosen);
  } else {
    for (const auto& [id, underline, colour, inset] : drawn) {
      CheckTextDrawing(GetDlgItem(form, id), Layout(id).text, underline, colour, inset, dpi);
    }
  }
  const auto labelFont = Send(form.label1, WM_GETFONT), linkFont = Send(form.label3, WM_GETFONT);
  todo_wine(kNoGetFont, labelFont && linkFont && *labelFont != *linkFont,
            "Label3 and Label1 share font %08lx; the link needs its own, underlined",
            static_cast<unsigned long>(linkFont.value_or(0)));
}

void CheckLinkLabel(const Form& form) {
  Context context("Label3 as a link");
  const Image shot = CaptureScreen(VisiblePart(form.label3));
  const uint32_t background = MostFrequentColour(shot);
  int blue = 0, other = 0;
  for (uint32_t p : shot.pixels) (p == kLinkBlue ? blue : other) += p != background;
  ok(blue > 20, "only %d pure blue (0000ff) pixels in the label", blue);
  ok(other == 0, "%d text pixels are not pure blue", other);

  // An underline: a row of text colour under the whole width of the text.
  const Image ink = Ink(shot, background);
  bool underlined = false;
  for (int y = 0; y < ink.height && !underlined; ++y) {
    const auto row = ink.pixels.begin() + y * ink.width;
    underlined = std::find(row, row + ink.width, background) == row + ink.width;
  }
  ok(underlined, "no row runs under the whole %dx%d text: not underlined", ink.width, ink.height);
  const int bluePlain = Count(CaptureScreen(VisiblePart(form.label1)), kLinkBlue);
  ok(bluePlain == 0, "Label1 has %d blue pixels: only the link is blue", bluePlain);
}

// The X pointer over a window of the driver's own whose class cursor is `cursor`.
std::string XPointerImageOf(LPCWSTR cursor, const std::string& unlike) {
  const WNDCLASSW windowClass{0, DefWindowProcW, 0, 0, GetModuleHandleW(nullptr), nullptr,
                              LoadCursorW(nullptr, cursor), nullptr, nullptr, L"TarvikE2eCursorReference"};
  RegisterClassW(&windowClass);
  Owned<HWND, DestroyWindow> reference(CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW,
                                                       windowClass.lpszClassName, L"", WS_POPUP, 10, 10, 100, 100,
                                                       nullptr, nullptr, windowClass.hInstance, nullptr));
  ShowWindow(reference.Get(), SW_SHOWNOACTIVATE);
  MoveMouse({60, 60});
  // The window answers WM_SETCURSOR while the driver reads the pointer.
  const std::string image = SettledXPointer(unlike, [] { PumpMessages(0); });
  reference = {};  // destroyed before its class is unregistered
  UnregisterClassW(windowClass.lpszClassName, windowClass.hInstance);
  return image;
}

void CheckLinkCursor(const Form& form) {
  Context context("mouse pointer");
  // Each place is reached from one with another cursor: the text box's I-beam lies
  // between the form and Label1, which both show the arrow.
  const POINT text1 = CentreOf(form.text1), label1 = CentreOf(form.label1), label3 = CentreOf(form.label3);
  HCURSOR firstText1 = CursorOver(text1);
  HCURSOR overForm = CursorOver(FormCorner(form), firstText1);
  CursorOver(text1, overForm);
  HCURSOR overLabel1 = CursorOver(label1, firstText1);
  HCURSOR overLink = CursorOver(label3, overLabel1);
  HCURSOR overText1 = CursorOver(text1, overLink);
  ok(overLink != nullptr, "no cursor over Label3");
  ok(overLink != overLabel1, "Label3 shows the same cursor as Label1 (%p)", static_cast<void*>(overLink));
  ok(overLink != overText1, "Label3 shows the text box's cursor (%p)", static_cast<void*>(overLink));
  ok(overLabel1 == overForm, "Label1 shows cursor %p, the form %p: only the link has its own",
     static_cast<void*>(overLabel1), static_cast<void*>(overForm));
  if (overLink == LoadCursorW(nullptr, IDC_UPARROW)) return;

  ICONINFOEXW info{};
  info.cbSize = sizeof(info);
  const bool described = GetIconInfoExW(overLink, &info);
  const ui::ScopedGdiObject<HBITMAP> mask(info.hbmMask), colour(info.hbmColor);
  if (todo_wine(kNoCursorInfo, described && info.wResID == 32516,
                "the cursor over Label3 is resource %u of %s, not the up arrow (32516)", info.wResID,
                Utf8(info.szModName))) {
    return;
  }
  // Wine keeps a system cursor per process and cannot describe another process's: ask
  // the X server what it shows over the label and over windows of known cursors.
  if (described || !ok(HasXPointer(), "the cursor over Label3 cannot be described, and there is no X pointer")) return;
  const auto xPointerAt = [&](POINT screen, HCURSOR unlike, const std::string& unlikeImage) {
    return WithPointerAt(screen, [&] {
      Settled(ShownCursor, unlike, 10);
      return SettledXPointer(unlikeImage);
    });
  };
  const std::string beam = SettledXPointer({});
  const std::string link = xPointerAt(label3, overText1, beam);
  const std::string plain = xPointerAt(label1, overLink, link);
  const std::string expected = XPointerImageOf(IDC_UPARROW, plain);
  EnsureForeground(form);
  if (!ok(!link.empty() && !expected.empty(), "the X server's pointer could not be read")) return;
  ok(plain != expected, "the X pointer over Label1 (%s) looks like the up arrow: the check cannot tell them apart",
     plain);
  ok(link == expected, "the X pointer over Label3 is %s, the up arrow is %s", link, expected);
}

// --- Keyboard and the "Work out" command -------------------------------------------

void CheckKeyboard(const Form& form) {
  Context context("keyboard");
  ExpectFocus(form, form.text1, "at the start");
  if (!ok(EnsureForeground(form), "the form is not the foreground window; keyboard checks skipped")) return;
  const std::pair<WORD, HWND> tabs[] = {
      {0, form.command1}, {0, form.text2}, {0, form.text1},                     // Tab goes round forwards
      {VK_SHIFT, form.text2}, {VK_SHIFT, form.command1}, {VK_SHIFT, form.text1},  // and Shift+Tab back
  };
  for (const auto& [modifier, expected] : tabs) {
    const std::string from = Name(FocusOf(form));
    if (modifier) PressChord(modifier, VK_TAB); else PressKey(VK_TAB);
    ExpectFocus(form, expected, (modifier ? "Shift+Tab from " : "Tab from ") + from);
  }
  // The checks below each need the focus in Text1 to begin with.
  if (FocusOf(form) != form.text1) FocusByClick(form, form.text1);

  // A click on a label leaves the focus where it was: what is typed next lands in Text1.
  Click(Centre(VisiblePart(form.label1)));
  Click(Centre(VisiblePart(GetDlgItem(form, kLabel2))));
  const std::wstring address = L"Some.One@Example.com";
  TypeText(address);
  ExpectText(form.text1, address, "clicked the labels, typed " + Quoted(address) + "; " + InputState(form));

  // Each key is followed by a typed character: when that arrives, the key before it
  // has been handled too.
  std::wstring expectedText1 = address;
  for (const auto& [key, name] : {std::pair{VK_RETURN, "Enter"}, std::pair{VK_ESCAPE, "Escape"}}) {
    SetText(form.text2, L"");
    PressKey(key);
    TypeText(L"!");
    expectedText1 += L"!";
    ExpectText(form.text1, expectedText1, std::string("after ") + name);
    ok(IsWindow(form) && IsWindowVisible(form), "%s closed or hid the window", name);
    ok(WindowText(form.text2).empty(), "%s in Text1 filled Text2 with %s", name, WindowText(form.text2));
    ok(!CreditsBoxOpened(form), "%s opened a dialog", name);
  }
  PressKey(VK_BACK);
  PressKey(VK_BACK);
  ExpectText(form.text1, address, "Backspace twice");

  PressKey(VK_TAB);
  if (!ExpectFocus(form, form.command1, "Tab from Text1")) {
    Note("keyboard: Space is pressed on Command1 focused by a click instead");
    FocusByClick(form, form.command1);
  }
  // With no default button, Enter presses the button that has the focus, as on a dialog.
  for (const auto& [key, how] : {std::pair{VK_SPACE, "Space on Command1"}, std::pair{VK_RETURN, "Enter on Command1"}}) {
    ExpectNumber(WorkOut(form, [key = key] { PressKey(key); }), address, how);
    ok(FocusOf(form) == form.command1, "after %s, the focus moved to %s", how, Name(FocusOf(form)));
  }
}

void CheckWorkOut(const Form& form, int dpi) {
  const auto click = [&] { Click(CentreOf(form.command1)); };
  for (const test::KnownAnswer& row : knownAnswers) {
    const std::wstring input = test::Wide(row.text);
    Context context("Work out on %s (%s: %s)", input, row.path, row.what);
    // The system's conversion and the table agree where the table's code page is the system's.
    ok(!InSystemCodePage(row) || ReferenceIdNumber(input) == row.id,
       "the system's fold gives %u, the table %u", ReferenceIdNumber(input), row.id);
    ExpectWorkedOut(form, input, "a click on the button", click);
    ok(WindowText(form.text1) == input, "Text1 changed to %s", WindowText(form.text1));
    ok(FocusOf(form) == form.command1, "focus: expected the clicked button, got %s", Name(FocusOf(form)));
    ok(WindowText(form) == kCaption, "caption changed to %s", WindowText(form));
  }
  {
    Context context("Text2 typed into by hand");
    SetText(form.text1, L"abc");
    FocusByClick(form, form.text2);
    ExpectFocus(form, form.text2, "after a click in Text2");
    const std::wstring typed = WindowText(form.text2) + L" 12345 by hand";
    PressKey(VK_END);
    TypeText(L" 12345 by hand");
    ExpectText(form.text2, typed, "typed at its end");
    click();
    ExpectText(form.text2, ExpectedNumber(L"abc"), "after the click");
  }
  {
    Context context("click where Label3 and Command1 overlap");
    ExpectWorkedOut(form, L"abcdefgh", "the button taking the click", [&] { Click(InBoth(form)); });
    HWND about = CreditsBoxOpened(form);
    ok(about == nullptr, "the click opened the credits box as well");
    if (about) CloseBox(about);
  }
  // The two boxes show their texts in the form's font too; the focus is on the button,
  // so no caret is drawn in either.
  const uint32_t windowText = FromColorRef(GetSysColor(COLOR_WINDOWTEXT));
  CheckTextDrawing(form.text1, L"abcdefgh", false, windowText, 0, dpi);
  CheckTextDrawing(form.text2, ExpectedNumber(L"abcdefgh"), false, windowText, 0, dpi);
}

// The number for a long pasted address, timed from the click (reported, not bounded).
void CheckLongAddress(const Form& form, size_t units) {
  Context context("a %u MiB address pasted into Text1", static_cast<unsigned>(units >> 20));
  constexpr std::wstring_view kPattern = L"Some.Body+Tag_42@Mail-Example.COM, ";
  std::wstring address(units, L'\0');
  for (size_t i = 0; i < units; ++i) address[i] = kPattern[i % kPattern.size()];

  if (!ok(PutOnClipboard(address), "cannot put the text on the clipboard")) return;
  SetText(form.text1, L"");
  FocusByClick(form, form.text1);
  ExpectFocus(form, form.text1, "after a click in Text1");
  // A text box holds 30000 or 32767 units unless the program raises its limit; the
  // paste arrives whole or cut at once. Wine's edit control takes seconds to lay out
  // and draw a line this long, and answers nothing meanwhile.
  long long held = 0;
  const auto length = [&] { return held = TextLength(form.text1); };
  const double pasted = MsTaken([&] {
    PressChord(VK_CONTROL, 'V');
    WaitFor([&] { return length() > 0; }, AllowanceMs(units), length);
  });
  Note("timing: Text1 answered with %lld units %.0f ms after Ctrl+V", held, pasted);
  if (ok(held == static_cast<long long>(units), "Text1 holds %lld of %u units", held, static_cast<unsigned>(units))) {
    ok(WaitFor([&] { return WindowText(form.text1) == address; }, AllowanceMs(units)),
       "Text1's text differs from what was pasted");
  }

  // The screen is read without asking the program, which may be busy repainting Text1:
  // the number is on the screen when Text2's picture, settled on the marker, changes.
  const RECT text2OnScreen = ScreenRect(form.text2);
  Image shown = SettledCapture(text2OnScreen);
  const auto changed = [&] { return !(CaptureScreen(text2OnScreen) == shown); };
  double start = 0, painted = 0;
  // From what was pasted, which Text1 was seen to hold: reading it back now could find
  // the program busy repainting it.
  const WorkedOut clicked = WorkOut(form, [&] {
    Soon(changed);
    shown = SettledCapture(text2OnScreen);
    // The pointer goes there first: its trip is the driver's time, not the program's.
    const POINT onButton = CentreOf(form.command1);
    ok(MoveMouse(onButton), "the pointer did not reach Command1");
    start = NowMs();
    MouseButtons(onButton, {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP}, 0);
    WaitFor(changed, AllowanceMs(units));
    painted = NowMs() - start;
  }, AllowanceMs(units));
  ExpectNumber(clicked, address, "a click on the button");
  Note("timing: click to screen, the number for %lld units was painted %.0f ms and readable %.0f ms after the click",
       held, painted, NowMs() - start);

  // "Work out" alone, the focus already on the button so no box repaints: the command
  // the click sends, answered when the number is in Text2.
  double command = 0;
  ExpectNumber(WorkOut(form, [&] {
    command = MsTaken([&] {
      Send(form, WM_COMMAND, MAKEWPARAM(kCommand1, BN_CLICKED), reinterpret_cast<LPARAM>(form.command1),
           AllowanceMs(units), SMTO_NORMAL);
    });
  }), address, "the command alone");
  Note("timing: Work out alone took %.0f ms for %lld units", command, held);
  ok(SetText(form.text1, L""), "Text1 could not be emptied again");
}

// --- Message boxes: the credits and the errors --------------------------------------

// The system icon a box shows, known by its drawing against each of the system's icons,
// drawn once; waited for, as a box may be found before it has drawn.
std::string IconShown(HWND icon) {
  const std::pair<LPCWSTR, const char*> known[] = {
      {IDI_INFORMATION, "information"}, {IDI_ERROR, "error"}, {IDI_WARNING, "warning"}, {IDI_QUESTION, "question"}};
  std::vector<Image> drawn;
  for (const auto& [id, name] : known) drawn.push_back(OpaqueIcon(LoadIconW(nullptr, id), GetSystemMetrics(SM_CXICON)));
  size_t found = drawn.size();
  Soon([&] {
    const Image shot = CaptureScreen(ScreenRect(icon));
    POINT where{};
    found = std::find_if(drawn.begin(), drawn.end(), [&](const Image& i) { return ContainsIcon(shot, i, where); }) -
            drawn.begin();
    return found < drawn.size();
  });
  return found < drawn.size() ? known[found].second : "not one of the system's";
}

// A message box as its user reads it, checked as one listing: its title, its message,
// its one button, "OK", and its one icon.
bool ExpectBox(HWND box, const std::wstring& title, const std::wstring& message, const std::string& icon) {
  std::string buttons, icons;
  const auto add = [](std::string& list, const std::string& item) { list += (list.empty() ? "" : ", ") + item; };
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsWindowVisible(child)) continue;
    const std::wstring className = Lower(ClassName(child));
    if (className == L"button") add(buttons, Say("%s, id %d", WindowText(child), GetDlgCtrlID(child)));
    if (className == L"static" && (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
      add(icons, IconShown(child));
    }
  }
  return ExpectListing(Listing()
                           .Line("title", title, WindowText(box))
                           .Line("message", message, WindowText(GetDlgItem(box, 0xFFFF)))
                           .Line("buttons", Say("%s, id %d", std::wstring(L"OK"), IDOK), buttons)
                           .Line("icons", icon, icons),
                       "the box");
}

void CheckAbout(const Form& form) {
  Context context("About");
  // Text2 has the focus, where the form would not put it by itself: the box must give it back there.
  SetText(form.text2, L"");
  FocusByClick(form, form.text2);
  ExpectFocus(form, form.text2, "after a click in Text2");

  // A press opens nothing yet, and a release elsewhere cancels it, as on a button.
  const POINT about = Centre(VisiblePart(form.label3));
  HWND early = nullptr;
  PressAboutAndDragOff(form, about, FormCorner(form), [&] {
    early = CreditsBoxOpened(form);
    ok(!early, "the box opened on the press, before the release");
  });
  const HWND opened = early ? early : CreditsBoxOpened(form);
  ok(early || !opened, "pressed on \"About\" and released elsewhere, the box opened");
  if (opened) CloseBox(opened);

  // The click is time-stamped so that the second one below falls within the double-click time.
  const DWORD clickTime = GetTickCount();
  MoveMouse(about);
  MouseButtons(about, {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP}, clickTime);
  HWND box = WaitForCreditsBox(form);
  if (!ok(box != nullptr, "clicking \"About\" opened no dialog owned by the form")) return;
  ok(!IsWindowEnabled(form), "the form takes input while the box is open: it is not modal");
  // Its title is the window's caption.
  ExpectBox(box, kCaption, kCredits, "information");
  ok(Soon([&] { return GetForegroundWindow() == box; }), "the box is not the active window");
  PressKey(VK_RETURN);
  ok(Soon([&] { return !IsWindow(box); }), "Enter did not close the box");
  ok(Soon([&] { return IsWindowEnabled(form) && GetForegroundWindow() == form; }),
     "the form is not enabled and active again");
  ExpectFocus(form, form.text2, "after the box, where it was");

  // Clicked again at once, it opens again: the second click is no half of a double click.
  MouseButtons(about, {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP}, clickTime + GetDoubleClickTime() / 2);
  box = WaitForCreditsBox(form);
  if (ok(box != nullptr, "a second click within the double-click time opened no box")) CloseBox(box);
  ExpectFocus(form, form.text2, "after the second box");
  TypeText(L"back");
  ExpectText(form.text2, L"back", "typing after the box");

  // F1, the help key, opens the box from wherever the focus is, as the click does;
  // pressed again while it is open, it opens no second one.
  for (HWND control : {form.text1, form.command1, form.text2}) {
    Context from("F1 with the focus on %s", Name(control));
    // Placing the focus is not what is tested here: a click that came while the form
    // was still being activated after the box is made again.
    for (int attempt = 0; attempt < 2 && FocusOf(form) != control; ++attempt) {
      EnsureForeground(form);
      FocusByClick(form, control);
    }
    if (!ok(EnsureForeground(form) && FocusOf(form) == control, "cannot place the focus: %s", InputState(form))) {
      continue;
    }
    PressKey(VK_F1);
    box = WaitForCreditsBox(form);
    if (!ok(box != nullptr, "F1 opened no box")) continue;
    ExpectBox(box, kCaption, kCredits, "information");
    Soon([&] { return GetForegroundWindow() == box; });
    // Enter comes after the second F1 in the input, so it closes whatever box is active
    // once F1 has been handled: this one, unless F1 opened another over it.
    PressKey(VK_F1);
    PressKey(VK_RETURN);
    ok(Soon([&] { return !IsWindow(box); }), "a second F1 opened another box over the first");
    for (HWND left; (left = CreditsBoxOpened(form)) != nullptr && left != form && CloseBox(left);) {
    }
    ExpectFocus(form, control, "after the box");
  }
}

// The system's message for an error, without its line end.
std::wstring SystemText(DWORD error) {
  wchar_t text[512] = {};
  FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text, 512, nullptr);
  std::wstring trimmed = text;
  return trimmed.erase(trimmed.find_last_not_of(L"\r\n") + 1);
}

// --- Window states ------------------------------------------------------------------

// Nothing maximises the fixed-size window: not the system command, however it comes
// (0xF032 from a double click on the caption), not ShowWindow from outside.
void CheckNeverMaximised(HWND form, int dpi) {
  const std::pair<const char*, std::function<void()>> routes[] = {
      {"WM_SYSCOMMAND SC_MAXIMIZE", [&] { Send(form, WM_SYSCOMMAND, SC_MAXIMIZE); }},
      {"WM_SYSCOMMAND SC_MAXIMIZE | HTCAPTION", [&] { Send(form, WM_SYSCOMMAND, SC_MAXIMIZE | HTCAPTION); }},
      {"ShowWindow(SW_MAXIMIZE) from another process", [&] { ShowWindow(form, SW_MAXIMIZE); }},
  };
  for (const auto& [how, act] : routes) {
    Context context("%s at %d dpi", how, dpi);
    act();
    // The program undoes a maximise while it handles it; once it has answered what
    // came after, the window is as it leaves it.
    ok(RoundTrip(form, kReactTimeoutMs), "the program does not answer");
    ExpectPlacement(form, dpi);
    if (IsZoomed(form)) ShowWindow(form, SW_RESTORE);
  }
}

// --- Whole runs ---------------------------------------------------------------------

struct Options {
  std::wstring tarvik, minimal, faulty, screenshot, demo, xPointer, knownAnswers, suite = L"full", dpi, seed;
  bool notWine = false;
};

// A program started and its window found; null, after a failed check, if either failed.
HWND Launch(Program& program, const std::wstring& path, const wchar_t* className, int showCommand = -1) {
  if (!ok(program.Start(path, kStartTimeoutMs, showCommand), "%s did not start and become idle (error %lu)", Utf8(path),
          GetLastError())) {
    return nullptr;
  }
  HWND window = nullptr;
  Soon([&] { return (window = FindTopLevel(program.ProcessId(), className)) != nullptr; });
  ok(window != nullptr, "no visible top-level window of class %s", Utf8(className));
  return window;
}

Form StartTarvik(Program& program, const Options& options, int showCommand = -1) {
  const Form form{Launch(program, options.tarvik, kFormClass, showCommand)};
  Note("timing: tarvik.exe idle %.0f ms after CreateProcess", program.StartupMs());
  return form;
}

// The program ends with status 0 (`failed`: another) once the window is closed.
void ExpectExit(Program& program, bool failed, const char* after) {
  DWORD exitCode = 0;
  if (ok(program.WaitForExit(kExitTimeoutMs, exitCode), "the process is still running %s", after)) {
    ok((exitCode != 0) == failed, "exit code %lu", exitCode);
  }
}

void CloseAndCheckExit(Program& program, HWND form, bool altF4) {
  Context context("closing with %s", altF4 ? "Alt+F4" : "WM_CLOSE");
  if (altF4) {
    EnsureForeground(form);
    PressChord(VK_MENU, VK_F4);
  } else {
    PostMessageW(form, WM_CLOSE, 0, 0);
  }
  ExpectExit(program, false, "");
}

void SaveScreenshot(HWND form, const std::wstring& path) {
  if (path.empty()) return;
  RedrawWindow(form, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
  // Painted once the program has answered and two pictures in a row agree.
  RoundTrip(form, kReactTimeoutMs);
  const Image shot = SettledCapture(ScreenRect(form));
  if (ok(SavePng(shot, path), "cannot write %s", Utf8(path))) {
    Note("screenshot: %s (%dx%d)", Utf8(path), shot.width, shot.height);
  }
}

void FillIn(const Form& form, const std::wstring& address) {
  Context context("filling in %s", address);
  EnsureForeground(form);
  SetText(form.text1, L"");
  FocusByClick(form, form.text1);
  TypeText(address);
  WaitForText(form.text1, address);
  ExpectNumber(WorkOut(form, [&] { Click(CentreOf(form.command1)); }), address, "a click on the button");
  MoveMouse(OffWindow(form));  // so that nothing is drawn hot in the picture
}

// A launcher's show command: maximised or hidden opens normal, minimised stays so and
// restores to the fixed size.
void CheckShowModes(const Options& options, int dpi) {
  const std::tuple<int, const char*, bool> modes[] = {
      {SW_HIDE, "SW_HIDE", false},         {SW_SHOWMAXIMIZED, "SW_SHOWMAXIMIZED (SW_MAXIMIZE)", false},
      {SW_SHOWMINIMIZED, "SW_SHOWMINIMIZED", true}, {SW_MINIMIZE, "SW_MINIMIZE", true},
      {SW_SHOWMINNOACTIVE, "SW_SHOWMINNOACTIVE", true}};
  for (const auto& [show, name, minimised] : modes) {
    Context context("started with STARTUPINFO %s", name);
    Program program;
    const Form form = StartTarvik(program, options, show);
    if (!form) continue;
    ok(State(form) == (minimised ? "minimised" : "normal"), "the window is %s", State(form));
    if (IsIconic(form)) {
      PostMessageW(form, WM_SYSCOMMAND, SC_RESTORE, 0);
      ok(Soon([&] { return !IsIconic(form); }), "SC_RESTORE left it minimised");
    }
    ExpectPlacement(form, dpi);
    CloseAndCheckExit(program, form, false);
  }
}

// Start-up against the smallest window program, alternated so that both meet the same
// load on a shared machine; the median of the ratios of milliseconds until the message
// loop is idle.
void TimeStartup(const Options& options) {
  if (options.minimal.empty()) return;
  const auto startupMs = [](const std::wstring& path, const wchar_t* className) {
    Program program;
    HWND window = Launch(program, path, className);
    if (window) PostMessageW(window, WM_CLOSE, 0, 0);
    DWORD exitCode = 0;
    program.WaitForExit(kExitTimeoutMs, exitCode);
    return program.StartupMs();
  };
  std::vector<double> ratios;
  for (int run = 0; run < 5; ++run) {
    const double minimal = startupMs(options.minimal, L"TarvikMinimalWindow");
    ratios.push_back(startupMs(options.tarvik, kFormClass) / std::max(minimal, 1.0));
  }
  std::sort(ratios.begin(), ratios.end());
  Note("timing: start-up to an idle message loop against the minimal window's: median ratio %.2f (%.2f to %.2f) "
       "of 5 alternated runs", ratios[2], ratios.front(), ratios.back());
}

// Work out and the About box, a few hundred times each, leave the program holding no
// more GDI or USER objects than before.
void CheckNoLeaks(const Form& form, const Program& program) {
  Context context("objects held over repeated use");
  constexpr int kCycles = 200;
  // The first Work out and the first box, before the count, fill what the system
  // caches on first use (the box's font and icon, the button's brushes); a handful more
  // may come with a cache that grows in steps, while a leak per use shows as 200.
  constexpr long kSlack = 8;
  SetText(form.text1, L"someone@example.com");
  const auto workOut = [&] { return Send(form.command1, BM_CLICK, 0, 0, kReactTimeoutMs, SMTO_NORMAL).has_value(); };
  const auto about = [&] {
    PostMessageW(form, WM_COMMAND, MAKEWPARAM(kLabel3, STN_CLICKED), reinterpret_cast<LPARAM>(form.label3));
    HWND box = WaitForCreditsBox(form);
    return box && CloseBox(box) && Soon([&] { return IsWindowEnabled(form) != FALSE; });
  };
  workOut();
  about();
  const GuiObjects before = CountGuiObjects(program.Handle(), program.ProcessId());
  if (!ok(before.gdi > 0 && before.user > 0, "the objects cannot be counted here (GDI %ld, USER %ld by %s)", before.gdi,
          before.user, before.how)) {
    return;
  }
  int worked = 0, shown = 0;
  while (worked < kCycles && workOut()) ++worked;
  while (shown < kCycles && about()) ++shown;
  ok(worked == kCycles && shown == kCycles, "%d of %d Work outs and %d of %d boxes went through; %s", worked, kCycles,
     shown, kCycles, InputState(form));
  const GuiObjects after = CountGuiObjects(program.Handle(), program.ProcessId());
  Note("objects: GDI %ld -> %ld, USER %ld -> %ld over %d Work outs and %d About boxes, counted by %s", before.gdi,
       after.gdi, before.user, after.user, kCycles, kCycles, after.how);
  ok(after.gdi - before.gdi <= kSlack, "GDI objects grew from %ld to %ld", before.gdi, after.gdi);
  ok(after.user - before.user <= kSlack, "USER objects grew from %ld to %ld", before.user, after.user);
}

// A 1 Mi-unit WM_SETTEXT from another process (which this Wine fails inside the
// program's GetMessage) leaves the window open and working.
void CheckHugeSetText(const Form& form, const Program& program) {
  Context context("a 1 Mi-unit WM_SETTEXT sent to Text1");
  const std::wstring huge(1 << 20, L'a');
  Send(form.text1, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(huge.c_str()), AllowanceMs(huge.size()), SMTO_NORMAL);
  ok(RoundTrip(form, AllowanceMs(huge.size())), "the program does not answer any more");
  ok(program.Running() && IsWindow(form) && IsWindowVisible(form), "the window%s is gone, the process %s",
     IsWindow(form) ? "" : " itself", program.Running() ? "runs on" : "ended");
  if (!IsWindow(form)) return;
  ExpectWorkedOut(form, L"abc", "Work out after it",
                  [&] { Send(form.command1, BM_CLICK, 0, 0, kReactTimeoutMs, SMTO_NORMAL); });
}

// A start-up that cannot make what the window needs says which part failed and why,
// shows no window, and ends with a status other than 0. The test-only build fails the
// step TARVIK_FAULT names with ERROR_NOT_ENOUGH_MEMORY.
void CheckFailedStartups(const Options& options) {
  if (options.faulty.empty()) return;
  const std::pair<const wchar_t*, const wchar_t*> faults[] = {
      {L"font", L"The font could not be created."}, {L"text1", L"The control Text1 could not be created."},
      {L"window", L"The window could not be created."}, {L"class", L"The window class could not be created."}};
  for (const auto& [fault, what] : faults) {
    Context context("start-up that cannot create %s", Utf8(fault));
    SetEnvironmentVariableW(L"TARVIK_FAULT", fault);
    Program program;
    program.Start(options.faulty, kStartTimeoutMs);
    SetEnvironmentVariableW(L"TARVIK_FAULT", nullptr);
    if (!ok(program.Handle() != nullptr, "%s did not start (error %lu)", Utf8(options.faulty), GetLastError())) continue;
    HWND box = nullptr;
    WaitFor([&] {
      return (box = FindOwnedWindow(program.ProcessId(), L"#32770", nullptr)) != nullptr || !program.Running();
    }, kStartTimeoutMs);
    if (ok(box != nullptr, "no error box")) {
      ExpectBox(box, L"tarvik", what + std::wstring(L"\r\n") + SystemText(ERROR_NOT_ENOUGH_MEMORY), "error");
      ok(!FindTopLevel(program.ProcessId(), kFormClass), "the window is shown as well");
      CloseBox(box);
    }
    ExpectExit(program, true, "after its error box");
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
  std::optional<DWORD_PTR> result;
  if (there && WriteProcessMemory(program.Handle(), there, &value, sizeof value, nullptr)) {
    result = Send(window, message, wParam, reinterpret_cast<LPARAM>(there), kReactTimeoutMs, SMTO_NORMAL);
    ReadProcessMemory(program.Handle(), there, &value, sizeof value, nullptr);
  }
  if (there) VirtualFreeEx(program.Handle(), there, 0, MEM_RELEASE);
  return static_cast<LRESULT>(result.value_or(0));
}

// Where the window is on the screen, then each control in it.
std::vector<std::string> Placement(HWND form) {
  std::vector<std::string> where{Spelt(ScreenRect(form))};
  for (const ControlLayout& c : kControls) where.push_back(Spelt(RectInClient(GetDlgItem(form, c.id), form)));
  return where;
}

// A move to a monitor at 1.5 times the DPI as Windows makes it (the frame asked of
// WM_GETDPISCALEDSIZE, then WM_DPICHANGED with it), and back: the layout of the table at
// each DPI, the text drawn at its size, and every control where it started.
void CheckDpiChange(const Form& form, const Program& program, int dpi) {
  const std::vector<std::string> before = Placement(form);
  const RECT start = ScreenRect(form);
  for (const int to : {dpi * 3 / 2, dpi}) {
    Context context("WM_DPICHANGED to %d dpi", to);
    const RECT frame = ScreenRect(form);
    SIZE size{frame.right - frame.left, frame.bottom - frame.top};
    ok(SendPointing(program, form, kWmGetDpiScaledSize, to, size) == TRUE, "WM_GETDPISCALEDSIZE is not answered");
    // The larger window at the screen's top left, where all of it shows; then back.
    const POINT corner = to == dpi ? POINT{start.left, start.top} : POINT{0, 0};
    RECT suggested{corner.x, corner.y, corner.x + size.cx, corner.y + size.cy};
    SendPointing(program, form, kWmDpiChanged, MAKEWPARAM(to, to), suggested);
    ExpectDesignedClient(form, to);
    for (const ControlLayout& c : kControls) ExpectListing(DesignedControl(form, c, to), Utf8(c.name));
    SettledCapture(ScreenRect(form));
    CheckFonts(form, to);
  }
  const std::vector<std::string> after = Placement(form);
  Listing back = Listing().Line("the window", before[0], after[0]);
  for (size_t i = 0; i < kControls.size(); ++i) back.Line(Utf8(kControls[i].name), before[i + 1], after[i + 1]);
  ExpectListing(back, "the window and its controls, back where they started,");
}

// Focus rectangles hidden, as in a dialog box, until the keyboard is used. Needs a
// program the keyboard has not reached yet; leaves the focus in Text1.
void CheckKeyboardCues(const Form& form) {
  Context context("focus cues");
  const auto hidden = [&] { return (Send(form.command1, WM_QUERYUISTATE).value_or(0) & UISF_HIDEFOCUS) != 0; };
  // The test-only build also shows that the window asks for it (CheckInTestBuild).
  constexpr char kNoUiState[] = "this Wine's DefWindowProc keeps no UI state: WM_QUERYUISTATE answers 0";
  const bool hiddenAtStart = hidden();
  todo_wine(kNoUiState, hiddenAtStart, "focus cues shown before any key was pressed");
  FocusByClick(form, form.command1);
  todo_wine(kNoUiState, hidden(), "focus cues shown after a click");
  MoveMouse(OffWindow(form));  // pictures with the pointer off the button, which would draw it hot
  const Image clicked = SettledCapture(ScreenRect(form.command1));
  for (const HWND next : {form.text2, form.text1, form.command1}) {
    PressKey(VK_TAB);
    WaitForFocus(form, next);
  }
  if (hiddenAtStart) ok(!hidden(), "still hidden after Tab");
  std::string difference;
  todo_wine("Wine's button draws its focus rectangle whatever the UI state",
            !SameImage(clicked, SettledCapture(ScreenRect(form.command1)), difference),
            "Command1 looks the same focused by a click and by Tab");
  FocusByClick(form, form.text1);
}

// The test-only build tells how the window set up its UI state, sees high contrast while
// the event is held, and reads the link as an accessibility client inside its own
// process (see startup_fault.cpp).
void CheckInTestBuild(const Options& options) {
  if (options.faulty.empty()) return;
  Context context("the test-only build");
  Program program;
  const Form form{Launch(program, options.faulty, kFormClass)};
  if (!form) return;
  const auto answer = [&](const wchar_t* name) { return reinterpret_cast<INT_PTR>(GetPropW(form, name)); };
  ok(answer(L"TarvikTestUiState") == MAKEWPARAM(UIS_INITIALIZE, UISF_HIDEFOCUS | UISF_HIDEACCEL),
     "the window did not initialise its UI state as a dialog box does, but sent %p",
     GetPropW(form, L"TarvikTestUiState"));
  const uint32_t hotLight = FromColorRef(GetSysColor(COLOR_HOTLIGHT));
  const std::tuple<bool, UINT, WPARAM, uint32_t> themes[] = {
      {true, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, hotLight},  // a contrast theme chosen
      {false, WM_SYSCOLORCHANGE, 0, kLinkBlue},                 // and left: pure blue again
  };
  Owned<HANDLE, CloseHandle> highContrast;  // the test-only build's contrast theme, while it is held
  for (const auto& [on, message, wParam, colour] : themes) {
    Context theming("high contrast %s, told by %s", on ? "on" : "off", on ? "WM_SETTINGCHANGE" : "WM_SYSCOLORCHANGE");
    HANDLE held = on ? CreateEventW(nullptr, TRUE, FALSE, L"TarvikTestHighContrast") : nullptr;
    highContrast = Owned<HANDLE, CloseHandle>(held);
    // Sent, as the system sends it: a WM_SETTINGCHANGE may carry a pointer, so it cannot be posted.
    Send(form, message, wParam, 0, kReactTimeoutMs, SMTO_NORMAL);
    const auto drawnIn = [&, colour = colour] { return Count(CaptureScreen(VisiblePart(form.label3)), colour) > 20; };
    ok(hotLight != kLinkBlue && Soon(drawnIn), "the link is not drawn in %06x (COLOR_HOTLIGHT %06x)", colour, hotLight);
  }

  Context link("Label3 to an accessibility client");
  PostThreadMessageW(GetWindowThreadProcessId(form, nullptr), RegisterWindowMessageW(L"TarvikTestCheckLink"), 0, 0);
  ok(Soon([&] { return answer(L"TarvikTestLinkRole") != 0; }), "no answer in the program");
  // And from this process, as a screen reader asks, through the answer marshalled here.
  VARIANT role{};
  BSTR shortcut = nullptr;
  AskAccessible(form.label3, [&](IAccessible* accessible, VARIANT self) {
    accessible->get_accRole(self, &role);
    accessible->get_accKeyboardShortcut(self, &shortcut);
  });
  const Owned<BSTR, SysFreeString> owned(shortcut);
  // The program answers 1 where it read what it should.
  const std::string linkRole = std::to_string(ROLE_SYSTEM_LINK);
  ExpectListing(
      Listing()
          .Line("role in the program", linkRole, std::to_string(answer(L"TarvikTestLinkRole")))
          .Line("keyboard shortcut \"F1\" in the program", "1", std::to_string(answer(L"TarvikTestLinkShortcut")))
          .Line("name \"About\" in the program", "1", std::to_string(answer(L"TarvikTestLinkName")))
          .Line("role from the driver", linkRole, std::to_string(role.vt == VT_I4 ? role.lVal : 0L))
          .Line("keyboard shortcut from the driver", L"F1", shortcut ? std::wstring(shortcut) : L"<none>"),
      "Label3");
  CloseAndCheckExit(program, form, false);
}

// A few hundred random actions of a user, each waited for by what it does; after each,
// the window runs, keeps its size, shows at most one credits box and is enabled
// whenever none is shown, and "Work out" shows the number of what Text1 holds.
void CheckRandomInput(const Form& form, const Program& program, int dpi, unsigned seed) {
  Context context("random input from seed %u", seed);
  std::mt19937 random(seed);
  const wchar_t kTyped[] = L"aZ09@.-_ \u00e9\u00c4\u00df\u0416\u20ac\u00ff";
  const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  const auto box = [&] { return WaitForCreditsBox(form, 0); };
  const auto worksOut = [&](const std::function<void()>& trigger) {
    const WorkedOut got = WorkOut(form, trigger);
    return got.arrived && got.text == ExpectedNumber(WindowText(form.text1));
  };
  EnsureForeground(form);
  const int failuresBefore = Counts().failures;
  for (int step = 0; step < 200 && Counts().failures == failuresBefore; ++step) {
    HWND focus = FocusOf(form);
    const bool edit = focus == form.text1 || focus == form.text2;
    const int action = pick(8);
    Context stepContext("step %d, action %d, %s", step, action, InputState(form));
    if (action <= 1 && edit) {  // typing or a paste, wherever the selection is
      std::wstring insert(1, kTyped[pick(static_cast<int>(wcslen(kTyped)))]);
      if (action == 1) insert = std::wstring(pick(20), kTyped[pick(5)]) + insert;
      const DWORD_PTR selection = Send(focus, EM_GETSEL).value_or(0);
      std::wstring expected = WindowText(focus);
      expected.replace(LOWORD(selection), HIWORD(selection) - LOWORD(selection), insert);
      if (action == 1 && PutOnClipboard(insert)) PressChord(VK_CONTROL, 'V');
      else TypeText(insert);
      ExpectText(focus, expected, action == 1 ? "a paste" : "typing");
    } else if (action == 2) {  // Tab round the three stops
      PressKey(VK_TAB);
      ExpectFocus(form, focus == form.text1 ? form.command1 : focus == form.command1 ? form.text2 : form.text1, "Tab");
    } else if (action == 3 && focus == form.command1) {  // Space or Enter on the button
      const WORD key = pick(2) ? VK_SPACE : VK_RETURN;
      ok(worksOut([&] { PressKey(key); }), "Text2 shows %s", WindowText(form.text2));
    } else if (action == 4) {  // F1, twice, then Escape or Enter closes the one box
      PressKey(VK_F1);
      PressKey(VK_F1);
      ok(WaitForCreditsBox(form) != nullptr, "F1 shows no credits box");
      PressKey(pick(2) ? VK_ESCAPE : VK_RETURN);
      ok(Soon([&] { return !box() && IsWindowEnabled(form); }), "a box is still shown");
    } else if (action == 5 || action == 6) {  // a click anywhere, or a press on "About" dragged off it
      const RECT client = ClientOnScreen(form);
      const POINT at{client.left + pick(client.right - client.left), client.top + pick(client.bottom - client.top)};
      const POINT inClient{at.x - client.left, at.y - client.top};
      const HWND hit = action == 6 ? nullptr : ChildWindowFromPointEx(form, inClient, CWP_SKIPINVISIBLE);
      // A pointer that did not get there is moved again, so that the click is made.
      const auto click = [&] { return Click(at) || Click(at) || Click(at); };
      if (action == 6) PressAboutAndDragOff(form, Centre(VisiblePart(form.label3)), FormCorner(form));
      else if (hit == form.command1) ok(worksOut(click), "Text2 shows %s", WindowText(form.text2));
      else click();
      // A click on an edit box's border leaves the focus where it was.
      RECT inside = ClientOnScreen(hit ? hit : form);
      if ((hit == form.text1 || hit == form.text2) && PtInRect(&inside, at)) {
        ExpectFocus(form, hit, Say("a click at (%ld,%ld)", inClient.x, inClient.y));
      }
      if (hit == form.label3 && ok(WaitForCreditsBox(form) != nullptr, "no credits box")) {
        PressKey(VK_ESCAPE);
        Soon([&] { return !box(); });
      }
    } else {  // Escape anywhere, or Enter in a box: nothing happens
      PressKey(edit && pick(2) ? VK_RETURN : VK_ESCAPE);
    }
    const HWND opened = CreditsBoxOpened(form);
    if (action == 6) ok(!opened, "a press dragged off About opened the box");
    ok(program.Running() && IsWindow(form), "the program ended");
    ExpectDesignedClient(form, dpi);
    ok(!box() == (IsWindowEnabled(form) != FALSE), "the window is %s with %s credits box",
       IsWindowEnabled(form) ? "enabled" : "disabled", box() ? "a" : "no");
  }
  if (Counts().failures != failuresBefore) Note("random input failed: rerun with --seed %u", seed);
}

// One run: the program started once, and the steps of the suite done to its window.
struct Run {
  const Options& options;
  int dpi;
  unsigned seed;
  Program program;
  Form form;
};

enum Suite : unsigned { kFull = 1, kLayout = 2, kDemo = 4, kAll = kFull | kLayout | kDemo };

struct Step {
  unsigned suites;
  bool onForm;  // needs the window the first step found
  void (*act)(Run&);
};

// In order; each suite does the steps that name it.
constexpr Step kSteps[] = {
    {kAll, false, [](Run& r) { r.form = StartTarvik(r.program, r.options); }},
    {kFull | kLayout, true, [](Run& r) { CheckFrame(r.form, r.dpi); }},
    {kFull | kLayout, true, [](Run& r) { CheckControls(r.form, r.dpi); }},
    {kFull, true, [](Run& r) { CheckNeverMaximised(r.form, r.dpi); }},
    {kFull | kLayout, true, [](Run& r) { EnsureForeground(r.form); }},
    {kFull, true, [](Run& r) { CheckKeyboardCues(r.form); }},
    {kFull, true, [](Run& r) { CheckKeyboard(r.form); }},
    {kFull | kLayout, true, [](Run& r) { CheckTitleBarIcon(r.form, r.options.tarvik); }},
    {kFull | kLayout, true, [](Run& r) { CheckFonts(r.form, r.dpi); }},
    {kFull | kLayout, true, [](Run& r) { CheckDpiChange(r.form, r.program, r.dpi); }},
    {kFull | kLayout, true, [](Run& r) { CheckLinkLabel(r.form); }},
    {kFull, true, [](Run& r) { CheckLinkCursor(r.form); }},
    {kFull, true, [](Run& r) { CheckWorkOut(r.form, r.dpi); }},
    {kFull, true, [](Run& r) { CheckLongAddress(r.form, 1 << 20); }},
    // Under Wine the edit control repaints its whole line, all 16 Mi units of it, when
    // the click takes the focus away, and that takes seconds.
    {kFull, true, [](Run& r) { CheckLongAddress(r.form, 1 << 24); }},
    {kFull, true, [](Run& r) { CheckAbout(r.form); }},
    {kFull, true, [](Run& r) { CheckNoLeaks(r.form, r.program); }},
    {kFull, true, [](Run& r) { CheckHugeSetText(r.form, r.program); }},
    {kFull, true, [](Run& r) { CheckRandomInput(r.form, r.program, r.dpi, r.seed); }},
    {kAll, true, [](Run& r) { FillIn(r.form, r.options.demo.empty() ? L"someone@example.com" : r.options.demo); }},
    {kAll, true, [](Run& r) { SaveScreenshot(r.form, r.options.screenshot); }},
    {kAll, true, [](Run& r) { CloseAndCheckExit(r.program, r.form, false); }},
    {kFull, false, [](Run& r) {
       Program program;
       if (const Form form = StartTarvik(program, r.options)) CloseAndCheckExit(program, form, true);
     }},
    {kFull, false, [](Run& r) { CheckShowModes(r.options, r.dpi); }},
    {kFull, false, [](Run& r) { CheckFailedStartups(r.options); }},
    {kFull, false, [](Run& r) { CheckInTestBuild(r.options); }},
    {kFull, false, [](Run& r) { TimeStartup(r.options); }},
};

constexpr char kUsage[] =
    "usage: tarvik-e2e --tarvik EXE [--dpi N] [--suite full|layout] [--minimal EXE] [--faulty EXE]\n"
    "                  [--known-answers TSV] [--screenshot PNG] [--x-pointer HELPER] [--seed N] [--not-wine]\n"
    "       tarvik-e2e --tarvik EXE --demo ADDRESS --screenshot PNG\n";

// Every option but --not-wine takes a value.
bool ParseOptions(int argc, wchar_t** argv, Options& o) {
  const std::pair<std::wstring_view, std::wstring*> named[] = {
      {L"--tarvik", &o.tarvik},       {L"--minimal", &o.minimal}, {L"--faulty", &o.faulty},
      {L"--screenshot", &o.screenshot}, {L"--suite", &o.suite},   {L"--x-pointer", &o.xPointer},
      {L"--known-answers", &o.knownAnswers}, {L"--dpi", &o.dpi},  {L"--seed", &o.seed},
      {L"--demo", &o.demo}};
  for (int i = 1; i < argc; ++i) {
    const auto option = std::find_if(std::begin(named), std::end(named), [&](auto& n) { return n.first == argv[i]; });
    if (argv[i] == std::wstring_view(L"--not-wine")) o.notWine = true;
    else if (option == std::end(named) || i + 1 == argc) return false;
    else *option->second = argv[++i];
  }
  return !o.tarvik.empty() && _wtoi(o.dpi.c_str()) >= 0 && (o.suite == L"full" || o.suite == L"layout");
}

}  // namespace
}  // namespace tarvik::e2e

int wmain(int argc, wchar_t** argv) {
  using namespace tarvik::e2e;
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  // Real pixels, not coordinates scaled for a program that does not know the DPI.
  SetProcessDPIAware();
  CoInitialize(nullptr);
  if (options.notWine) TreatAsNotWine();
  if (!options.xPointer.empty()) UseXPointer(options.xPointer);
  const int systemDpi = GetDeviceCaps(tarvik::ui::ScopedScreenDC().Get(), LOGPIXELSY);
  // By default, whatever the system runs at, and random input from the clock.
  const int dpi = _wtoi(options.dpi.c_str()) > 0 ? _wtoi(options.dpi.c_str()) : systemDpi;
  const unsigned seed = options.seed.empty() ? GetTickCount() : static_cast<unsigned>(_wtoi64(options.seed.c_str()));
  const Suite suite = !options.demo.empty() ? kDemo : options.suite == L"full" ? kFull : kLayout;
  if (suite != kDemo) {
    Note("%s suite at %d dpi%s", Utf8(options.suite), dpi, UnderWine() ? ", under Wine" : "");
    ok(systemDpi == dpi, "the system runs at %d dpi, the run expects %d", systemDpi, dpi);
  }
  if (suite == kFull || !options.knownAnswers.empty()) {
    knownAnswers = tarvik::test::ReadKnownAnswers(Utf8(options.knownAnswers));
    ok(!knownAnswers.empty(), "no known answers in %s", Utf8(options.knownAnswers));
  }
  Run run{options, dpi, seed, {}, {}};
  for (const Step& step : kSteps) {
    if ((step.suites & suite) && (run.form || !step.onForm)) step.act(run);
  }
  Note("%d checks, %d failures, %d expected gaps", Counts().checks, Counts().failures, Counts().gaps);
  return Counts().failures ? 1 : 0;
}
