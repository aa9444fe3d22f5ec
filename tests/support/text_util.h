// Small text helpers every suite shares, the end-to-end driver's too: ASCII widening and
// narrowing, code points as UTF-16 and from UTF-8, and bytes and units spelt in hex for
// failure messages. Test data only: the UTF-8 here is trusted, never validated.
#pragma once

#include <cstdint>
#include <cstdio>
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

/// Well-formed UTF-8 as UTF-16.
inline std::u16string Utf16(std::string_view utf8) {
  std::u16string units;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t c = lead & (0xFF >> (length + 1));
    for (int k = 1; k < length; ++k) c = c << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    AppendUtf16(length == 1 ? lead : c, units);
    i += static_cast<std::size_t>(length);
  }
  return units;
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
