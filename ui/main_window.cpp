#include "ui/main_window.h"

#include <commctrl.h>

#include <cstdint>
#include <utility>

#include "engine/id_number.h"
#include "tarvik/version.h"
#include "ui/fixed_size.h"
#include "ui/form_layout.h"
#include "ui/link_label.h"
#include "ui/resource_ids.h"
#include "ui/window_object.h"

namespace tarvik::ui {
namespace {

constexpr DWORD kFormStyle = kFixedSizeStyle | WS_CLIPCHILDREN;
constexpr DWORD kFormExStyle = WS_EX_CONTROLPARENT;

// Messages of Windows 10 that XP's headers lack.
constexpr UINT kWmDpiChanged = 0x02E0;
constexpr UINT kWmGetDpiScaledSize = 0x02E4;

// The caption with the version, which the credits box takes for its title.
constexpr int kCaptionCapacity = 128;

// An edit box can hold far more than any fixed buffer; its text goes to the heap.
class WindowTextBuffer {
 public:
  explicit WindowTextBuffer(HWND window) {
    const int length = GetWindowTextLengthW(window);
    text_ = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, (static_cast<SIZE_T>(length) + 1) * sizeof(wchar_t)));
    // The length can only shrink between the two calls on this thread; take what came back.
    if (text_) length_ = static_cast<size_t>(GetWindowTextW(window, text_, length + 1));
  }
  WindowTextBuffer(const WindowTextBuffer&) = delete;
  WindowTextBuffer& operator=(const WindowTextBuffer&) = delete;
  ~WindowTextBuffer() {
    if (text_) HeapFree(GetProcessHeap(), 0, text_);
  }

  bool Ok() const { return text_ != nullptr; }
  // wchar_t is a UTF-16 unit on Windows, so the engine reads the window's text in place.
  char16_t* Units() { return reinterpret_cast<char16_t*>(text_); }
  size_t Length() const { return length_; }

 private:
  wchar_t* text_ = nullptr;
  size_t length_ = 0;
};

// What each kind of control is made of, in the order of ControlKind. Labels wrap like
// the designer showed them.
struct KindStyle {
  const wchar_t* className;
  DWORD style, exStyle;
};
constexpr KindStyle kKindStyles[] = {
    {L"STATIC", SS_LEFT, 0},
    {L"EDIT", WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE},
    {L"BUTTON", WS_TABSTOP | BS_PUSHBUTTON, 0},
};

class Form1 {
 public:
  static HWND Load(HINSTANCE instance, LoadFailure& failure);

  // What Load hands CreateWindowEx: the form until the window takes it over, and where
  // creation says what failed, since WM_CREATE can only answer yes or no.
  struct CreateParams {
    HeapOwner<Form1> owner;
    LoadFailure& failure;
  };
  explicit Form1(HINSTANCE instance)
      : instance_(instance), dpi_(ScreenDpi()), frame_(FramePixels(dpi_, kFormStyle, kFormExStyle)) {}
  void Attach(HWND window) { window_ = window; }
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  bool CreateControls(LoadFailure& failure);
  HWND Control(int id) const { return GetDlgItem(window_, id); }
  void LayOutControls(int dpi, HFONT font, HFONT linkFont);
  void ChangeDpi(int dpi, const RECT* suggested);
  void SetIcons(int dpi);

  bool OnCreate(const CREATESTRUCTW& create);
  void OnCommand(int id, int code);
  void OnActivate(bool active);
  void OnHelp();
  bool OnSetCursor(HWND over, int hitTest);
  LRESULT OnCtlColorStatic(HDC dc, HWND control);

  void Form_Load();
  void Command1_Click();
  void Label3_Click();

  HINSTANCE instance_;
  int dpi_;
  // The window's size: the designed client area at dpi_ in its frame.
  SIZE frame_;
  HWND window_ = nullptr;
  ScopedFont font_;
  ScopedFont linkFont_;
  // Icons of the sizes for dpi_, once it is not the DPI the class icons were made for.
  ScopedIcon bigIcon_;
  ScopedIcon smallIcon_;
  // The control that had the focus when the window was last deactivated.
  HWND lastFocus_ = nullptr;
  // Kept from click to click for its cache of character codes.
  IdFold fold_;
};

// Takes the system's reason for a failure that has just happened.
bool Failed(LoadFailure& failure, LoadFailure::Part part, const wchar_t* control = nullptr) {
  failure = {part, control, GetLastError()};
  return false;
}

HWND Form1::Load(HINSTANCE instance, LoadFailure& failure) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = OwningWindowProc<Form1>;
  windowClass.hInstance = instance;
  // Shared icons belong to the system, which frees them with the module.
  windowClass.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_TARVIK), IMAGE_ICON,
                                                    GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON),
                                                    LR_SHARED));
  windowClass.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_TARVIK), IMAGE_ICON,
                                                      GetSystemMetrics(SM_CXSMICON),
                                                      GetSystemMetrics(SM_CYSMICON), LR_SHARED));
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kForm1ClassName;
  if (!RegisterClassExW(&windowClass)) {
    Failed(failure, LoadFailure::Part::WindowClass);
    return nullptr;
  }

  CreateParams params{HeapNew<Form1>(instance), failure};
  if (!params.owner) {
    failure = {LoadFailure::Part::Window, nullptr, ERROR_NOT_ENOUGH_MEMORY};
    return nullptr;
  }
  const SIZE frame = params.owner->frame_;
  const int left = (GetSystemMetrics(SM_CXSCREEN) - frame.cx) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - frame.cy) / 2;
  // The window takes the object over at WM_NCCREATE and deletes it at WM_NCDESTROY;
  // should creation fail before that, the owner here still frees it.
  HWND window = CreateWindowExW(kFormExStyle, kForm1ClassName, kForm1Caption, kFormStyle, left, top, frame.cx,
                                frame.cy, nullptr, nullptr, instance, &params);
  if (!window && failure.part == LoadFailure::Part::None) Failed(failure, LoadFailure::Part::Window);
  return window;
}

LRESULT Form1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (KeepFixedSize(window_, frame_, message, wParam, lParam, result)) return result;
  switch (message) {
    case WM_CREATE:
      // -1 makes CreateWindowEx fail: better no window than one missing a control.
      return OnCreate(*reinterpret_cast<CREATESTRUCTW*>(lParam)) ? 0 : -1;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_ACTIVATE:
      OnActivate(LOWORD(wParam) != WA_INACTIVE);
      return 0;
    case WM_HELP:
      OnHelp();
      return TRUE;
    case WM_SETCURSOR:
      if (OnSetCursor(reinterpret_cast<HWND>(wParam), LOWORD(lParam))) return TRUE;
      break;
    case WM_CTLCOLORSTATIC:
      return OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case kWmDpiChanged:
      ChangeDpi(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
      return 0;
    case kWmGetDpiScaledSize:
      // Twips round at each DPI, so the frame is worked out anew, not scaled.
      *reinterpret_cast<SIZE*>(lParam) = FramePixels(static_cast<int>(wParam), kFormStyle, kFormExStyle);
      return TRUE;
    case WM_SETTINGCHANGE:
      if (wParam != SPI_SETHIGHCONTRAST) break;
      [[fallthrough]];
    case WM_SYSCOLORCHANGE:
      // The link's colour follows the contrast theme.
      InvalidateRect(Control(kLabel3Id), nullptr, TRUE);
      break;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

bool Form1::OnCreate(const CREATESTRUCTW& create) {
  // Class icons alone leave WM_GETICON unanswered, and task switchers ask it.
  SendMessageW(window_, WM_SETICON, ICON_BIG, GetClassLongPtrW(window_, GCLP_HICON));
  SendMessageW(window_, WM_SETICON, ICON_SMALL, GetClassLongPtrW(window_, GCLP_HICONSM));
  if (!CreateControls(static_cast<CreateParams*>(create.lpCreateParams)->failure)) return false;
  // A window opened on a monitor of another scale starts at that monitor's DPI.
  const int dpi = WindowDpi(window_);
  if (dpi != dpi_) ChangeDpi(dpi, nullptr);
  // Focus rectangles and mnemonics hidden until the keyboard is used, as in a dialog box.
  SendMessageW(window_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_INITIALIZE, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
  Form_Load();
  return true;
}

bool Form1::CreateControls(LoadFailure& failure) {
  font_ = CreateFormFont(dpi_, false);
  if (font_) linkFont_ = CreateFormFont(dpi_, true);
  if (!linkFont_) return Failed(failure, LoadFailure::Part::Font);

  for (const ControlLayout& layout : kControls) {
    const KindStyle& kind = kKindStyles[static_cast<int>(layout.kind)];
    const bool link = layout.id == kLabel3Id;
    // Where two controls overlap by a pixel, the one above in z-order shows, whichever
    // of them paints last. SS_NOTIFY makes the link take the mouse.
    const DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | kind.style | (link ? SS_NOTIFY : 0);
    HWND control = CreateWindowExW(kind.exStyle, kind.className, layout.text, style, 0, 0, 0, 0, window_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(layout.id)), instance_, nullptr);
    if (!control) return Failed(failure, LoadFailure::Part::Control, layout.name);
  }
  LayOutControls(dpi_, font_.Get(), linkFont_.Get());

  MakeLink(Control(kLabel3Id));

  HWND previous = HWND_TOP;
  for (const size_t index : kStackOrder) {
    HWND control = Control(kControls[index].id);
    SetWindowPos(control, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    previous = control;
  }

  // An e-mail box a user can paste anything into: lift the edit control's 32K default.
  SendMessageW(Control(kText1Id), EM_SETLIMITTEXT, 0, 0);
  return true;
}

// The frame the system suggests at the new DPI comes from WM_GETDPISCALEDSIZE, and where
// the system draws the frame at another DPI than it reports (Wine), the client area is
// what must stay as designed: the frame follows it.
void Form1::ChangeDpi(int dpi, const RECT* suggested) {
  ScopedFont font = CreateFormFont(dpi, false), linkFont = CreateFormFont(dpi, true);
  // Without the fonts, the window stays as it was rather than lose its text.
  if (!font || !linkFont) return;
  dpi_ = dpi;
  RECT at{};
  GetWindowRect(window_, &at);
  frame_ = suggested ? SIZE{suggested->right - suggested->left, suggested->bottom - suggested->top}
                     : FramePixels(dpi, kFormStyle, kFormExStyle);
  if (suggested) at = *suggested;
  SetWindowPos(window_, nullptr, at.left, at.top, frame_.cx, frame_.cy, SWP_NOZORDER | SWP_NOACTIVATE);
  RECT client{};
  GetClientRect(window_, &client);
  const LONG wider = TwipsToPixels(kClientWidthTwips, dpi) - client.right;
  const LONG taller = TwipsToPixels(kClientHeightTwips, dpi) - client.bottom;
  if (wider || taller) {
    frame_ = {frame_.cx + wider, frame_.cy + taller};
    SetWindowPos(window_, nullptr, 0, 0, frame_.cx, frame_.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  LayOutControls(dpi, font.Get(), linkFont.Get());
  // The controls hold the new fonts now; the old ones can go.
  font_ = std::move(font);
  linkFont_ = std::move(linkFont);
  SetIcons(dpi);
}

// Each control where the table puts it at that DPI, in its font: a label as wide as
// its text needs in that font, within its room.
void Form1::LayOutControls(int dpi, HFONT font, HFONT linkFont) {
  for (const ControlLayout& layout : kControls) {
    const HFONT controlFont = layout.id == kLabel3Id ? linkFont : font;
    const RECT place = ControlPixels(layout, controlFont, dpi);
    const HWND control = Control(layout.id);
    SetWindowPos(control, nullptr, place.left, place.top, place.right - place.left, place.bottom - place.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(controlFont), TRUE);
  }
}

void Form1::SetIcons(int dpi) {
  const auto load = [&](int metric) {
    const int side = IconPixels(metric, dpi);
    return ScopedIcon(static_cast<HICON>(
        LoadImageW(instance_, MAKEINTRESOURCEW(IDI_TARVIK), IMAGE_ICON, side, side, 0)));
  };
  ScopedIcon big = load(SM_CXICON), small = load(SM_CXSMICON);
  // Null sets no icon of our own, and the class's shows.
  SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big.Get()));
  SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small.Get()));
  bigIcon_ = std::move(big);
  smallIcon_ = std::move(small);
}

void Form1::OnCommand(int id, int code) {
  if (id == kCommand1Id && code == BN_CLICKED) {
    Command1_Click();
  } else if (id == kLabel3Id && code == STN_CLICKED) {
    Label3_Click();
  } else if (id == IDOK && GetFocus() == Control(kCommand1Id)) {
    // The dialog manager turns Enter into IDOK. With no default button, Enter presses
    // only a button that has the focus, as on any dialog; in the e-mail box it does nothing.
    Command1_Click();
  }
}

void Form1::OnActivate(bool active) {
  if (active) {
    SetFocus(lastFocus_ ? lastFocus_ : Control(kText1Id));
  } else {
    HWND focus = GetFocus();
    if (focus && IsChild(window_, focus)) lastFocus_ = focus;
  }
}

// F1 reaches here from whichever control has the focus, and from the credits box too,
// which hands WM_HELP to its owner: the box disables the form while it is open, and
// one box at a time is enough.
void Form1::OnHelp() {
  if (IsWindowEnabled(window_)) Label3_Click();
}

bool Form1::OnSetCursor(HWND over, int hitTest) {
  if (over != Control(kLabel3Id) || hitTest != HTCLIENT) return false;
  SetCursor(LoadCursorW(nullptr, IDC_UPARROW));
  return true;
}

LRESULT Form1::OnCtlColorStatic(HDC dc, HWND control) {
  const LRESULT brush = DefWindowProcW(window_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                       reinterpret_cast<LPARAM>(control));
  if (control == Control(kLabel3Id)) SetTextColor(dc, LinkColour());
  return brush;
}

void Form1::Form_Load() {
  // The version is known when the program is built; its text comes with it.
  static_assert(std::size(kForm1Caption) + std::size(L" - " TARVIK_VERSION_SHORT) <= kCaptionCapacity);
  wchar_t caption[kCaptionCapacity];
  GetWindowTextW(window_, caption, kCaptionCapacity);
  lstrcatW(caption, L" - " TARVIK_VERSION_SHORT);
  SetWindowTextW(window_, caption);
}

void Form1::Command1_Click() {
  WindowTextBuffer address(Control(kText1Id));
  if (!address.Ok()) {
    MessageBoxW(window_, L"There is not enough memory to work out the number.", nullptr, MB_ICONERROR | MB_OK);
    return;
  }
  wchar_t digits[kMaxUnsignedDigits + 1];
  digits[WorkOutIdNumber(address.Units(), address.Length(), fold_, digits)] = L'\0';
  HWND text2 = Control(kText2Id);
  SetWindowTextW(text2, digits);
  // Painted at once: the button taking the focus left Text1 to repaint, and Wine draws
  // all of a long line before it would get to Text2.
  UpdateWindow(text2);
}

void Form1::Label3_Click() {
  wchar_t caption[kCaptionCapacity];
  GetWindowTextW(window_, caption, kCaptionCapacity);
  MessageBoxW(window_, kCredits, caption, MB_ICONINFORMATION | MB_OK);
}

}  // namespace

HWND LoadForm1(HINSTANCE instance, LoadFailure& failure) { return Form1::Load(instance, failure); }

bool PreTranslateForm1Message(HWND form, MSG& msg) { return IsWindow(form) && IsDialogMessageW(form, &msg); }

}  // namespace tarvik::ui
