// The id-number engine: 32-bit wrap-around arithmetic, unsigned decimal text, and the
// fold that turns an e-mail address into its MSN Messenger id number.
//
// Values are 32-bit patterns read as unsigned; every operation here gives exactly the
// result of unsigned 32-bit arithmetic and never overflows a signed type. Nothing
// keeps state between calls but an IdFold, which belongs to its caller.
//
// The core allocates nothing: AddWrapped and Times101 are a fold step's two operations
// on signed values (the fold itself holds the same bits as uint32_t), IdFold folds
// texts, UnsignedText writes the decimal text into the caller's buffer, and
// WorkOutIdNumber does both for a whole text, for the window and for tarvik-id alike.
// The one function that returns a string lives in a translation unit of its own, so a
// program that does not call it links no string code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "text/text.h"

namespace tarvik {

/// The low 32 bits of a + b.
constexpr int32_t AddWrapped(int32_t a, int32_t b) {
  // Unsigned arithmetic wraps by definition; converting back to int32_t is modular
  // since C++20, so the round trip reinterprets the bits and nothing overflows.
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

/// The low 32 bits of 101 × a.
constexpr int32_t Times101(int32_t a) { return static_cast<int32_t>(static_cast<uint32_t>(a) * 101u); }

/// The fold of an id number, fed a text in pieces: starting from 0, each UTF-16 unit of
/// the lower-cased text makes h = h × 101 + code (mod 2^32), where code is the unit's
/// character code in the system's ANSI code page (signed, widened with its sign).
class IdFold {
 public:
  /// Folds in the next `count` units. They are lower-cased in place first (on Windows
  /// by the system, unit for unit), so the buffer must be writable and may be left
  /// lower-cased. Pieces may be split anywhere: the value equals one Add of the whole.
  void Add(char16_t* units, std::size_t count);

  /// Folds in the next `count` bytes, each below 0x80 and so the UTF-16 unit of the
  /// same value: ASCII text straight from a byte stream, without widening it first.
  void AddAscii(const char* bytes, std::size_t count);

  /// Folds ASCII bytes from `bytes` up to the first '\n', '\r' or byte >= 0x80, or `end`,
  /// whichever comes first, and returns where it stopped (`end` if it folded everything).
  /// A reader finds the line end, checks for ASCII and folds in this one pass; A-Z are
  /// lowered byte-wise and every other byte is its own code. Vector windows where the
  /// processor has them, chosen at the first call.
  const char* AddAsciiRun(const char* bytes, const char* end);

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

namespace detail {

// "00" to "99": the two digits of every value below 100, so that a number is written
// two digits per division rather than one.
struct DigitPairs {
  char digits[200];
};
constexpr DigitPairs MakeDigitPairs() {
  DigitPairs pairs{};
  for (int value = 0; value < 100; ++value) {
    pairs.digits[2 * value] = static_cast<char>('0' + value / 10);
    pairs.digits[2 * value + 1] = static_cast<char>('0' + value % 10);
  }
  return pairs;
}
inline constexpr DigitPairs kDigitPairs = MakeDigitPairs();

inline constexpr uint32_t kPowersOfTen[kMaxUnsignedDigits] = {
    1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};

}  // namespace detail

/// Writes the decimal text of n's 32 bits read as an unsigned number, "0" to
/// "4294967295", digits only, no leading zeros and no terminator, at `out`, which has
/// room for kMaxUnsignedDigits characters. Returns how many characters it wrote. Char
/// is any character type: char, char16_t, wchar_t.
template <typename Char>
constexpr std::size_t UnsignedText(int32_t value, Char* out) {
  auto n = static_cast<uint32_t>(value);
  // Counted down from ten digits, as most id numbers have ten.
  std::size_t length = kMaxUnsignedDigits;
  while (length > 1 && n < detail::kPowersOfTen[length - 1]) --length;
  // Two digits per step from the right; the divisions by constants are multiplications.
  // The position is a plain local, not captured by reference, so that stores of char,
  // which may alias anything, cannot make the compiler reload it.
  std::size_t at = length;
  const auto putPair = [out](std::size_t end, uint32_t pair) {
    out[end - 1] = static_cast<Char>(detail::kDigitPairs.digits[2 * pair + 1]);
    out[end - 2] = static_cast<Char>(detail::kDigitPairs.digits[2 * pair]);
  };
  if (n >= 100000000) {
    // Ten or nine digits: the low eight as two halves of four, so that no step
    // waits on another but for the split itself.
    const uint32_t low = n % 100000000, lowHigh = low / 10000, lowLow = low % 10000;
    putPair(at, lowLow % 100);
    putPair(at - 2, lowLow / 100);
    putPair(at - 4, lowHigh % 100);
    putPair(at - 6, lowHigh / 100);
    at -= 8;
    n /= 100000000;
  }
  for (; n >= 100; n /= 100, at -= 2) putPair(at, n % 100);
  if (n >= 10) {
    putPair(at, n);
  } else {
    out[at - 1] = static_cast<Char>('0' + n);
  }
  return length;
}

/// The id number of an e-mail address, as decimal text: the address is lower-cased
/// with the system's rules, then each UTF-16 unit's ANSI character code is folded in
/// as h = h × 101 + code (mod 2^32), starting from 0. Any text is accepted as it is;
/// nothing is trimmed or validated, and the empty text gives "0".
///
/// This form allocates nothing: the units are lower-cased in place, `fold` is restarted
/// and keeps its cache of codes for the next call, and the digits go to `digits`, with
/// room for kMaxUnsignedDigits. Returns how many digits it wrote.
template <typename Char>
std::size_t WorkOutIdNumber(char16_t* units, std::size_t count, IdFold& fold, Char* digits) {
  fold.Restart();
  fold.Add(units, count);
  return UnsignedText(static_cast<int32_t>(fold.Value()), digits);
}

/// WorkOutIdNumber of a text that stays as it is, into a new string.
std::u16string WorkOutIdNumber(std::u16string_view text);

}  // namespace tarvik
