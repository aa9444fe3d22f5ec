// Form1's layout as designed, in twips, with the rules the window derives from it: the
// room a label may widen into and the order the controls stack in. No <windows.h>, so
// that the web page's build reads the same table.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "ui/resource_ids.h"

namespace tarvik::ui {

/// Design-time caption; Form_Load appends the version.
inline constexpr wchar_t kForm1Caption[] = L"Work out your MSN Messenger id number";

/// The credits box's message, made-by line first.
inline constexpr wchar_t kCredits[] =
    L"This program has been made by Ulvane\r\n"
    L"The main code has been provided by Ombry";

/// The client area, in twips.
inline constexpr int kClientWidthTwips = 6000;
inline constexpr int kClientHeightTwips = 855;

/// The form's font: MS Sans Serif at 8.25 points, in hundredths so that the pixel
/// height rounds once at any DPI.
inline constexpr wchar_t kFontFace[] = L"MS Sans Serif";
inline constexpr int kFontHundredthsOfPoint = 825;

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

inline constexpr int kText1Id = IDC_TEXT1;
inline constexpr int kText2Id = IDC_TEXT2;
inline constexpr int kCommand1Id = IDC_COMMAND1;
inline constexpr int kLabel1Id = IDC_LABEL1;
inline constexpr int kLabel2Id = IDC_LABEL2;
inline constexpr int kLabel3Id = IDC_LABEL3;

/// In creation order.
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

/// The font's height in pixels at the given DPI (as CreateFont takes it: negative for
/// the character height without internal leading).
constexpr int FontHeightPixels(int dpi) {
  return -((kFontHundredthsOfPoint * dpi + 72 * 100 / 2) / (72 * 100));
}

/// The nearest control to the right of this one in the same row, if any.
constexpr const ControlLayout* NextInRow(const ControlLayout& control) {
  const ControlLayout* next = nullptr;
  for (const ControlLayout& other : kControls) {
    const bool sameRow = other.top < control.top + control.height && control.top < other.top + other.height;
    if (sameRow && other.left > control.left && (!next || other.left < next->left)) next = &other;
  }
  return next;
}

/// The room from a control's left edge to the next control to its right in the same
/// row, or to the client area's right edge, in twips. A label whose text does not fit
/// (a larger DPI can make it wider) widens into this room rather than wrap out of sight.
constexpr int RoomTwips(const ControlLayout& control) {
  const ControlLayout* next = NextInRow(control);
  return (next ? next->left : kClientWidthTwips) - control.left;
}

/// A label's width in pixels for a text `needed` pixels wide: its designed width, or
/// wider up to its room when the text would not fit.
constexpr int LabelWidthPixels(const ControlLayout& label, int needed, int dpi) {
  const int width = TwipsToPixels(label.width, dpi);
  return needed > width ? std::max(width, std::min(needed, TwipsToPixels(RoomTwips(label), dpi))) : width;
}

/// The dialog manager tabs in z-order, so the controls stack by tab index. A screen
/// reader names an edit box by the label just above it in z-order, so a label is stacked
/// just before the control to its right in its row; one with none there (the link) keeps
/// its own tab index, which puts it below the button that overlaps it.
constexpr int StackKey(const ControlLayout& control) {
  const ControlLayout* named = control.kind == ControlKind::Label ? NextInRow(control) : nullptr;
  return named ? 2 * named->tabIndex : 2 * control.tabIndex + 1;
}

/// Indexes into kControls, top of the z-order first.
inline constexpr auto kStackOrder = [] {
  std::array<uint8_t, kControls.size()> order{};
  for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<uint8_t>(i);
  std::sort(order.begin(), order.end(),
            [](size_t a, size_t b) { return StackKey(kControls[a]) < StackKey(kControls[b]); });
  return order;
}();

constexpr size_t StackPosition(int id) {
  size_t position = 0;
  while (kControls[kStackOrder[position]].id != id) ++position;
  return position;
}
static_assert(StackPosition(kCommand1Id) < StackPosition(kLabel3Id),
              "the button must take the click where it overlaps \"About\"");

}  // namespace tarvik::ui
