// Small text helpers every suite shares, the end-to-end driver's too: ASCII widening and
// narrowing, code points as UTF-16 and from UTF-8 (decoded by the reference, independent
// of the product's decoder), and bytes and units spelt in hex for failure messages.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

namespace tarvik::test {

/// Whether every byte is ASCII, whose codes no code page changes.
inline bool IsAscii(std::string_view bytes) {
  for (const char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

/// ASCII text as wide units of any width (wchar_t by default).
template <typename Char = wchar_t>
std::basic_string<Char> Widen(std::string_view ascii) {
  return std::basic_string<Char>(ascii.begin(), ascii.end());
}

/// Units as bytes, each unit past ASCII as '?': for messages and for ASCII digits.
template <typename Char>
std::string Narrow(std::basic_string_view<Char> units) {
  std::string bytes;
  for (const Char unit : units) bytes += static_cast<uint32_t>(unit) < 0x80 ? static_cast<char>(unit) : '?';
  return bytes;
}
inline std::string Narrow(std::wstring_view units) { return Narrow<wchar_t>(units); }
inline std::string Narrow(std::u16string_view units) { return Narrow<char16_t>(units); }

/// Appends one code point as UTF-16: one unit, or a surrogate pair past U+FFFF.
inline void AppendUtf16(char32_t c, std::u16string& units) {
  if (c < 0x10000) {
    units += static_cast<char16_t>(c);
  } else {
    units += static_cast<char16_t>(0xD7C0 + (c >> 10));
    units += static_cast<char16_t>(0xDC00 | (c & 0x3FF));
  }
}

/// UTF-8 decoded the slow, obvious way, one sequence at a time from Unicode's table of
/// well-formed byte sequences: the UTF-16 units, or nothing and the offset of the first
/// ill-formed sequence in `errorAt`. The reference the tool's decoding is held to.
inline std::optional<std::u16string> ReferenceUtf16(std::string_view bytes, std::size_t& errorAt) {
  // One row per range of first bytes: the sequence's length and the range of each later byte.
  struct Row { unsigned char first, last; int length; unsigned char low[3], high[3]; };
  static constexpr Row kRows[] = {
      {0x00, 0x7F, 1, {}, {}},
      {0xC2, 0xDF, 2, {0x80}, {0xBF}},
      {0xE0, 0xE0, 3, {0xA0, 0x80}, {0xBF, 0xBF}},
      {0xE1, 0xEC, 3, {0x80, 0x80}, {0xBF, 0xBF}},
      {0xED, 0xED, 3, {0x80, 0x80}, {0x9F, 0xBF}},
      {0xEE, 0xEF, 3, {0x80, 0x80}, {0xBF, 0xBF}},
      {0xF0, 0xF0, 4, {0x90, 0x80, 0x80}, {0xBF, 0xBF, 0xBF}},
      {0xF1, 0xF3, 4, {0x80, 0x80, 0x80}, {0xBF, 0xBF, 0xBF}},
      {0xF4, 0xF4, 4, {0x80, 0x80, 0x80}, {0x8F, 0xBF, 0xBF}},
  };
  std::u16string units;
  for (std::size_t i = 0; i < bytes.size();) {
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(bytes[i + k]); };
    const auto in = [&](const Row& r) { return at(0) >= r.first && at(0) <= r.last; };
    const Row* row = std::find_if(std::begin(kRows), std::end(kRows), in);
    bool good = row != std::end(kRows) && bytes.size() - i >= static_cast<std::size_t>(row->length);
    for (int k = 1; good && k < row->length; ++k) good = at(k) >= row->low[k - 1] && at(k) <= row->high[k - 1];
    if (!good) {
      errorAt = i;
      return std::nullopt;
    }
    // The payload bits: what the first byte keeps below its length marker, six per later byte.
    char32_t c = at(0) & (row->length == 1 ? 0x7F : 0x7F >> row->length);
    for (int k = 1; k < row->length; ++k) c = c * 64 + (at(k) - 0x80);
    AppendUtf16(c, units);
    i += static_cast<std::size_t>(row->length);
  }
  return units;
}

/// Well-formed UTF-8 as UTF-16 (test data, trusted: anything else gives nothing).
inline std::u16string Utf16(std::string_view utf8) {
  std::size_t errorAt = 0;
  return ReferenceUtf16(utf8, errorAt).value_or(u"");
}

/// Bytes as "[E2 82 AC]", UTF-16 units as "[U+20AC U+0041]".
template <typename Char>
std::string Hex(std::basic_string_view<Char> units) {
  std::string text;
  for (const Char unit : units) {
    char spelt[8];
    std::snprintf(spelt, sizeof spelt, sizeof(Char) == 1 ? "%s%02X" : "%sU+%04X", text.empty() ? "" : " ",
                  static_cast<unsigned>(static_cast<std::make_unsigned_t<Char>>(unit)));
    text += spelt;
  }
  return "[" + text + "]";
}
inline std::string Hex(std::string_view bytes) { return Hex<char>(bytes); }
inline std::string Hex(std::u16string_view units) { return Hex<char16_t>(units); }

}  // namespace tarvik::test
