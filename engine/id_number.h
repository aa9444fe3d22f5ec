// The id-number engine: 32-bit wrap-around arithmetic, unsigned decimal text, and the
// fold that turns an e-mail address into its MSN Messenger id number.
//
// Values are 32-bit patterns read as unsigned; every operation here gives exactly the
// result of unsigned 32-bit arithmetic and never overflows a signed type. Nothing
// keeps state between calls but an IdFold, which belongs to its caller.
//
// The core (IdFold, WriteUnsignedText, AddWrapped, Times101) allocates nothing; the
// functions that return strings live in a translation unit of their own, so a program
// that does not call them links no string code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "text/text.h"

namespace tarvik {

/// The low 32 bits of a + b.
int32_t AddWrapped(int32_t a, int32_t b);

/// The low 32 bits of 101 × a.
int32_t Times101(int32_t a);

/// The fold of an id number, fed a text in pieces: starting from 0, each UTF-16 unit of
/// the lower-cased text makes h = h × 101 + code (mod 2^32), where code is the unit's
/// character code in the system's ANSI code page (signed, widened with its sign).
class IdFold {
 public:
  /// Folds in the next `count` units. They are lower-cased in place first (on Windows
  /// by the system, unit for unit), so the buffer must be writable and may be left
  /// lower-cased. Pieces may be split anywhere: the value equals one Add of the whole.
  void Add(char16_t* units, std::size_t count);

  /// The id number of everything added since construction or Restart (0 for nothing).
  uint32_t Value() const { return h_; }

  /// Starts a new text. The code cache stays: the code page does not change meanwhile.
  void Restart() { h_ = 0; }

 private:
  uint32_t h_ = 0;
  text::LowerCodes codes_;
};

/// Room enough for the decimal text of any 32-bit value.
inline constexpr std::size_t kMaxUnsignedDigits = 10;

/// Writes the decimal text of n, "0" to "4294967295" with no leading zeros and no
/// terminator, at `out`, which has room for kMaxUnsignedDigits characters. Returns how
/// many characters it wrote. Char is any character type: char, char16_t, wchar_t.
template <typename Char>
constexpr std::size_t WriteUnsignedText(uint32_t n, Char* out) {
  std::size_t count = 0;
  for (uint32_t rest = n; rest >= 10; rest /= 10) ++count;
  const std::size_t length = count + 1;
  do {
    out[count] = static_cast<Char>('0' + n % 10);
    n /= 10;
  } while (count-- > 0);
  return length;
}

/// The decimal text of n's 32 bits read as an unsigned number: "0" to "4294967295",
/// digits only, no leading zeros.
std::u16string UnsignedText(int32_t n);

/// The id number of an e-mail address, as decimal text: the address is lower-cased
/// with the system's rules, then each UTF-16 unit's ANSI character code is folded in
/// as h = h × 101 + code (mod 2^32), starting from 0. Any text is accepted as it is;
/// nothing is trimmed or validated, and the empty text gives "0".
std::u16string WorkOutIdNumber(std::u16string_view text);

}  // namespace tarvik
