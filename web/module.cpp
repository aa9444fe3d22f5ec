// The page's WebAssembly module: the engine's fold over the text the page copies in,
// and the window's layout table in CSS pixels, so that the page places its controls by
// the same numbers as the window. It imports nothing and allocates nothing: the text
// goes where the linker's data ends, and memory grows to hold it.
#include <array>
#include <cstddef>
#include <cstdint>

#include "engine/id_number.h"
#include "tarvik/version.h"
#include "ui/layout.h"

#define TARVIK_EXPORT(name) extern "C" [[clang::export_name(#name)]]

namespace {

using tarvik::ui::kControls;

// A CSS pixel is a pixel at 96 dots per inch.
constexpr int kDpi = 96;
constexpr std::size_t kWasmPage = 65536;

// One control as the page reads it: 32-bit fields in this order.
struct PageControl {
  const wchar_t* name;
  const wchar_t* text;
  int32_t isLabel, left, top, width, height, tabIndex;
};

constexpr auto kPageControls = [] {
  std::array<PageControl, kControls.size()> controls{};
  for (std::size_t i = 0; i < kControls.size(); ++i) {
    const auto& c = kControls[i];
    using tarvik::ui::TwipsToPixels;
    controls[i] = {c.name, c.text, c.kind == tarvik::ui::ControlKind::Label, TwipsToPixels(c.left, kDpi),
                   TwipsToPixels(c.top, kDpi), TwipsToPixels(c.width, kDpi), TwipsToPixels(c.height, kDpi),
                   c.tabIndex};
  }
  return controls;
}();

constexpr wchar_t kVersion[] = L"" TARVIK_VERSION_SHORT;

tarvik::IdFold fold;
char digits[tarvik::kMaxUnsignedDigits + 1];

}  // namespace

// wasm-ld's mark of where the data ends and free memory begins.
extern "C" unsigned char __heap_base;

/// Room for `size` bytes, growing memory to hold them; null when it cannot. The
/// page's view of memory goes stale when it grows, so it is taken after this call.
TARVIK_EXPORT(Room) char* Room(uint32_t size) {
  const std::size_t end = reinterpret_cast<std::size_t>(&__heap_base) + size;
  const std::size_t have = __builtin_wasm_memory_size(0) * kWasmPage;
  if (end > have && __builtin_wasm_memory_grow(0, (end - have + kWasmPage - 1) / kWasmPage) == SIZE_MAX) {
    return nullptr;
  }
  return reinterpret_cast<char*>(&__heap_base);
}

/// The id number of the text in the `size` bytes of UTF-8 in Room's space, as
/// NUL-terminated digits.
///
/// The page hands the text over in UTF-8 because the browser's encoder writes a
/// megabyte of it in a millisecond, where copying the units one by one takes tens.
/// Its encoder writes only well-formed UTF-8, with U+FFFD for an unpaired surrogate;
/// code page 1252 has no byte for either and gives both '?', so the number is the
/// same as that of the units themselves.
TARVIK_EXPORT(WorkOut) const char* WorkOut(uint32_t size) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(&__heap_base);
  const auto* const end = bytes + size;
  // Decoded a piece at a time for the fold, which folds ASCII in vector windows and
  // the rest through its table; a character of four bytes is a pair of units.
  constexpr std::size_t kPiece = 2048;
  char16_t units[kPiece + 1];
  fold.Restart();
  while (bytes != end) {
    std::size_t count = 0;
    while (bytes != end && count < kPiece) {
      const unsigned lead = *bytes++;
      if (lead < 0x80) {
        units[count++] = static_cast<char16_t>(lead);
        continue;
      }
      const int more = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
      char32_t point = lead & (0x3F >> more);
      for (int i = 0; i < more; ++i) point = point << 6 | (*bytes++ & 0x3F);
      if (point > 0xFFFF) {
        units[count++] = static_cast<char16_t>(0xD800 + ((point - 0x10000) >> 10));
        point = 0xDC00 + (point & 0x3FF);
      }
      units[count++] = static_cast<char16_t>(point);
    }
    fold.Add(units, count);
  }
  digits[tarvik::UnsignedText(static_cast<int32_t>(fold.Value()), digits)] = '\0';
  return digits;
}

TARVIK_EXPORT(ControlCount) uint32_t ControlCount() { return kPageControls.size(); }
TARVIK_EXPORT(Control) const PageControl* Control(uint32_t index) { return &kPageControls[index]; }

/// The width for label `index` whose text needs `needed` pixels: the window's rule.
TARVIK_EXPORT(LabelWidth) int32_t LabelWidth(uint32_t index, int32_t needed) {
  return tarvik::ui::LabelWidthPixels(kControls[index], needed, kDpi);
}

TARVIK_EXPORT(ClientWidth) int32_t ClientWidth() { return tarvik::ui::TwipsToPixels(tarvik::ui::kClientWidthTwips, kDpi); }
TARVIK_EXPORT(ClientHeight) int32_t ClientHeight() {
  return tarvik::ui::TwipsToPixels(tarvik::ui::kClientHeightTwips, kDpi);
}
TARVIK_EXPORT(FontPixels) int32_t FontPixels() { return -tarvik::ui::FontHeightPixels(kDpi); }

// Texts as NUL-terminated UTF-32 (wchar_t is 32 bits here).
TARVIK_EXPORT(Caption) const wchar_t* Caption() { return tarvik::ui::kForm1Caption; }
TARVIK_EXPORT(Version) const wchar_t* Version() { return kVersion; }
TARVIK_EXPORT(Credits) const wchar_t* Credits() { return tarvik::ui::kCredits; }
