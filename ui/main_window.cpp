#include "ui/main_window.h"

#include <commctrl.h>

#include <algorithm>
#include <memory>
#include <string>

#include "app/resource_ids.h"
#include "engine/id_number.h"
#include "tarvik/version.h"
#include "ui/scoped_gdi.h"

namespace tarvik::ui {
namespace {

constexpr wchar_t kCredits[] =
    L"This program has been made by Ulvane\r\n"
    L"The main code has been provided by Ombry";

constexpr wchar_t kFontFace[] = L"MS Sans Serif";
// 8.25 points, in hundredths, so that the pixel height rounds once at any DPI.
constexpr int kFontHundredthsOfPoint = 825;

constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kFormExStyle = WS_EX_CONTROLPARENT;

struct Dpi {
  int x, y;
};

Dpi ScreenDpi() {
  ScopedScreenDC screen;
  return {GetDeviceCaps(screen.Get(), LOGPIXELSX), GetDeviceCaps(screen.Get(), LOGPIXELSY)};
}

ScopedFont CreateFormFont(int dpiY, bool underline) {
  return ScopedFont(CreateFontW(-MulDiv(kFontHundredthsOfPoint, dpiY, 72 * 100), 0, 0, 0, FW_NORMAL,
                                FALSE, underline, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                                CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, kFontFace));
}

std::wstring WindowText(HWND window) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)), L'\0');
  // The length can only shrink between the two calls on this thread; trim to what came back.
  text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()) + 1)));
  return text;
}

// wchar_t is a UTF-16 unit on Windows, so the engine's text and the window's share a layout.
std::u16string ToU16(const std::wstring& text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text.data()), text.size());
}
std::wstring FromU16(const std::u16string& text) {
  return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}

class Form1 {
 public:
  static HWND Load(HINSTANCE instance);

 private:
  explicit Form1(HINSTANCE instance) : instance_(instance), dpi_(ScreenDpi()) {}

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  void CreateControls();
  HWND Control(int id) const { return GetDlgItem(window_, id); }
  int PixelsX(int twips) const { return TwipsToPixels(twips, dpi_.x); }
  int PixelsY(int twips) const { return TwipsToPixels(twips, dpi_.y); }

  void OnCommand(int id, int code);
  void OnActivate(bool active);
  bool OnSetCursor(HWND over, int hitTest);
  LRESULT OnCtlColorStatic(HDC dc, HWND control);

  void Form_Load();
  void Command1_Click();
  void Label3_Click();

  HINSTANCE instance_;
  Dpi dpi_;
  HWND window_ = nullptr;
  ScopedFont font_;
  ScopedFont linkFont_;
  // The control that had the focus when the window was last deactivated.
  HWND lastFocus_ = nullptr;
};

HWND Form1::Load(HINSTANCE instance) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = WindowProc;
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
  if (!RegisterClassExW(&windowClass)) return nullptr;

  std::unique_ptr<Form1> form(new Form1(instance));
  RECT frame{0, 0, form->PixelsX(kClientWidthTwips), form->PixelsY(kClientHeightTwips)};
  AdjustWindowRectEx(&frame, kFormStyle, FALSE, kFormExStyle);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  // The window takes the object over at WM_NCCREATE and deletes it at WM_NCDESTROY;
  // should creation fail before that, the owner here still frees it.
  return CreateWindowExW(kFormExStyle, kForm1ClassName, kForm1Caption, kFormStyle, left, top, width, height,
                         nullptr, nullptr, instance, &form);
}

LRESULT CALLBACK Form1::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* owner = static_cast<std::unique_ptr<Form1>*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    Form1* form = owner->release();
    form->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<Form1*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!form) return DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    delete form;
    return DefWindowProcW(window, message, wParam, lParam);
  }
  return form->HandleMessage(message, wParam, lParam);
}

LRESULT Form1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      // Class icons alone leave WM_GETICON unanswered, and task switchers ask it.
      SendMessageW(window_, WM_SETICON, ICON_BIG, GetClassLongPtrW(window_, GCLP_HICON));
      SendMessageW(window_, WM_SETICON, ICON_SMALL, GetClassLongPtrW(window_, GCLP_HICONSM));
      CreateControls();
      Form_Load();
      return 0;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_ACTIVATE:
      OnActivate(LOWORD(wParam) != WA_INACTIVE);
      return 0;
    case WM_SETCURSOR:
      if (OnSetCursor(reinterpret_cast<HWND>(wParam), LOWORD(lParam))) return TRUE;
      break;
    case WM_CTLCOLORSTATIC:
      return OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

void Form1::CreateControls() {
  font_ = CreateFormFont(dpi_.y, false);
  linkFont_ = CreateFormFont(dpi_.y, true);

  for (const ControlLayout& layout : kControls) {
    const wchar_t* className = L"STATIC";
    DWORD style = WS_CHILD | WS_VISIBLE;
    DWORD exStyle = 0;
    switch (layout.kind) {
      case ControlKind::Label:
        // Labels wrap like the designer showed them; only the link reports clicks.
        style |= SS_LEFT | (layout.id == kLabel3Id ? SS_NOTIFY : 0);
        break;
      case ControlKind::TextBox:
        className = L"EDIT";
        style |= WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL;
        exStyle = WS_EX_CLIENTEDGE;
        break;
      case ControlKind::CommandButton:
        className = L"BUTTON";
        style |= WS_TABSTOP | BS_PUSHBUTTON;
        break;
    }
    HWND control = CreateWindowExW(exStyle, className, layout.text, style, PixelsX(layout.left), PixelsY(layout.top),
                                   PixelsX(layout.width), PixelsY(layout.height), window_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(layout.id)), instance_, nullptr);
    const HFONT font = layout.id == kLabel3Id ? linkFont_.Get() : font_.Get();
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }

  // The dialog manager tabs in z-order, so stack the controls by tab index.
  std::array<const ControlLayout*, kControls.size()> byTabIndex;
  std::transform(kControls.begin(), kControls.end(), byTabIndex.begin(), [](const ControlLayout& c) { return &c; });
  std::sort(byTabIndex.begin(), byTabIndex.end(),
            [](const ControlLayout* a, const ControlLayout* b) { return a->tabIndex < b->tabIndex; });
  HWND previous = HWND_TOP;
  for (const ControlLayout* layout : byTabIndex) {
    HWND control = Control(layout->id);
    SetWindowPos(control, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    previous = control;
  }

  // An e-mail box a user can paste anything into: lift the edit control's 32K default.
  SendMessageW(Control(kText1Id), EM_SETLIMITTEXT, 0, 0);
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

bool Form1::OnSetCursor(HWND over, int hitTest) {
  if (over != Control(kLabel3Id) || hitTest != HTCLIENT) return false;
  SetCursor(LoadCursorW(nullptr, IDC_UPARROW));
  return true;
}

LRESULT Form1::OnCtlColorStatic(HDC dc, HWND control) {
  const LRESULT brush = DefWindowProcW(window_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                       reinterpret_cast<LPARAM>(control));
  if (control == Control(kLabel3Id)) SetTextColor(dc, RGB(0, 0, 255));
  return brush;
}

void Form1::Form_Load() {
  const std::wstring suffix = L" - " + std::to_wstring(TARVIK_VERSION_MAJOR) + L"." +
                              std::to_wstring(TARVIK_VERSION_MINOR) + L"." +
                              std::to_wstring(TARVIK_VERSION_REVISION);
  SetWindowTextW(window_, (WindowText(window_) + suffix).c_str());
}

void Form1::Command1_Click() {
  const std::u16string id = WorkOutIdNumber(ToU16(WindowText(Control(kText1Id))));
  SetWindowTextW(Control(kText2Id), FromU16(id).c_str());
}

void Form1::Label3_Click() {
  MessageBoxW(window_, kCredits, WindowText(window_).c_str(), MB_ICONINFORMATION | MB_OK);
}

}  // namespace

HWND LoadForm1(HINSTANCE instance) { return Form1::Load(instance); }

bool PreTranslateForm1Message(HWND form, MSG& msg) { return IsWindow(form) && IsDialogMessageW(form, &msg); }

}  // namespace tarvik::ui
