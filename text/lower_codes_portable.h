// LowerCodes elsewhere than on Windows: one table, built from the code page 1252 pairs
// when compiling (lower_codes_portable.cpp), with lower-casing folded in. Included
// through text/text.h, whose interface it shares with the Windows one.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tarvik::text {

/// CharacterCode(lower case of unit) for every UTF-16 unit, derived from the dumped
/// tables when the program is compiled, in two levels: the code of unit u is entry
/// u % kLowerCodeBlockSize of block kLowerCodeBlockOf[u / kLowerCodeBlockSize] in
/// kLowerCodeBlocks, which holds each distinct block once. Every code fits a byte, as
/// code page 1252 is single-byte.
inline constexpr std::size_t kLowerCodeBlockSize = 64;
/// How many distinct blocks there are; the build fails unless the tables agree.
inline constexpr std::size_t kLowerCodeBlockCount = 38;
extern const std::array<uint8_t, 0x10000 / kLowerCodeBlockSize> kLowerCodeBlockOf;
extern const std::array<uint8_t, kLowerCodeBlockCount * kLowerCodeBlockSize> kLowerCodeBlocks;

/// The character code of a unit's lower case, for a fold over one text at a time.
class LowerCodes {
 public:
  /// Code takes any unit as it stands: the table folds lower-casing in already.
  static constexpr bool kNeedsPrepare = false;

  /// The table folds lower-casing in already, so the units stay as they are.
  void Prepare(char16_t*, std::size_t) {}
  [[gnu::always_inline]] int32_t Code(char16_t unit) const {
    return kLowerCodeBlocks[kLowerCodeBlockOf[unit / kLowerCodeBlockSize] * kLowerCodeBlockSize +
                            unit % kLowerCodeBlockSize];
  }
};

}  // namespace tarvik::text
