// Form1, the program's only window: the e-mail box, the id-number box, the "Work out"
// button and the link-styled "About" label, laid out in twips.
#pragma once

#include <windows.h>

#include <array>

namespace tarvik::ui {

/// Design-time caption; Form_Load appends the version.
inline constexpr wchar_t kForm1Caption[] = L"Work out your MSN Messenger id number";
inline constexpr wchar_t kForm1ClassName[] = L"TarvikForm1";

/// The client area, in twips.
inline constexpr int kClientWidthTwips = 6000;
inline constexpr int kClientHeightTwips = 855;

enum class ControlKind { Label, TextBox, CommandButton };

/// One control as designed: position and size in twips from the client area's top left.
struct ControlLayout {
  const wchar_t* name;
  ControlKind kind;
  const wchar_t* text;
  int left, top, width, height;
  int tabIndex;
  int id;  // the child window id; none is IDOK or IDCANCEL, so Enter and Escape do nothing
};

inline constexpr int kText2Id = 102;
inline constexpr int kCommand1Id = 103;
inline constexpr int kText1Id = 101;
inline constexpr int kLabel3Id = 106;
inline constexpr int kLabel2Id = 105;
inline constexpr int kLabel1Id = 104;

/// In creation order. The window stacks them by tab index, each label just before the
/// box it names; the button, whose top edge overlaps the "About" label's bottom, stays
/// above it and takes the click there.
inline constexpr std::array<ControlLayout, 6> kControls{{
    {L"Text2", ControlKind::TextBox, L"", 2760, 480, 1935, 285, 2, kText2Id},
    {L"Command1", ControlKind::CommandButton, L"Work out", 4800, 360, 1095, 375, 1, kCommand1Id},
    {L"Text1", ControlKind::TextBox, L"", 1680, 120, 3015, 285, 0, kText1Id},
    {L"Label3", ControlKind::Label, L"About", 4800, 120, 1095, 255, 5, kLabel3Id},
    {L"Label2", ControlKind::Label, L"Your MSN Messenger id number:", 120, 480, 2655, 255, 4, kLabel2Id},
    {L"Label1", ControlKind::Label, L"Your passport email:", 120, 120, 1455, 255, 3, kLabel1Id},
}};

/// Twips to pixels at the given dots per inch (1440 twips to the inch), rounded.
constexpr int TwipsToPixels(int twips, int dpi) { return (twips * dpi + 720) / 1440; }

/// What kept Form1 from loading, for start-up to tell the user.
struct LoadFailure {
  enum class Part { None, WindowClass, Window, Control, Font };
  Part part = Part::None;
  const wchar_t* control = nullptr;  // the layout table's name, for Part::Control
  DWORD error = 0;                   // the system's error code at the failure, 0 if none
};

/// Registers the window class, creates Form1 and its controls and raises its Load
/// event; the window is not shown yet. Returns null, with `failure` filled in, if the
/// window cannot be created.
HWND LoadForm1(HINSTANCE instance, LoadFailure& failure);

/// Gives keyboard messages to the dialog manager (Tab, Space, arrows); true if taken.
bool PreTranslateForm1Message(HWND form, MSG& msg);

}  // namespace tarvik::ui
