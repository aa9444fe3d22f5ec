// The platform's text operations that the id number depends on: lower-casing and the
// ANSI character code. Everything else about text is the standard library's.
//
// On Windows both come from the system (its locale's casing, its ANSI code page). On
// other systems they behave as a Western Windows system with code page 1252 does,
// from tables dumped from the Windows API (tools/dump_text_tables.cpp).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarvik::text {

/// Lower-cases units in place with the system's rules, unit for unit, so the length
/// never changes and a text may be lower-cased in pieces split anywhere.
void LowerCaseInPlace(char16_t* units, std::size_t count);

/// The text lower-cased unit by unit with the system's rules; same length as the input.
std::u16string LowerCase(std::u16string_view text);

/// The code of one UTF-16 unit in the system's ANSI code page, as a signed 16-bit
/// value widened with its sign: 0 to 255 for a single byte; lead × 256 + trail, read
/// as signed, for a double-byte character. A unit the code page cannot represent
/// gets the system's substitute (a best-fit letter or '?', 63).
int32_t CharacterCode(char16_t unit);

#ifdef _WIN32

/// The character code of a unit's lower case, for a fold over one text at a time.
/// Converting a unit costs a system call, and addresses repeat a few dozen units, so
/// each distinct unit is converted once and kept in a small direct-mapped cache.
class LowerCodes {
 public:
  /// Code takes units only after Prepare has lower-cased them.
  static constexpr bool kNeedsPrepare = true;

  LowerCodes() {
    // Seed each slot with a unit that belongs in another one, so no slot hits unfilled.
    for (unsigned slot = 0; slot < kSlots; ++slot) slots_[slot].unit = static_cast<char16_t>(slot ^ 1);
  }

  /// Lower-cases the units in place; Code then takes the lower-cased units.
  void Prepare(char16_t* units, std::size_t count) { LowerCaseInPlace(units, count); }

  /// CharacterCode of a prepared (lower-cased) unit. Inlined even where the build
  /// favours size: it is the fold's loop, and only a miss calls out.
  [[gnu::always_inline]] int32_t Code(char16_t unit) {
    const Slot& slot = slots_[unit % kSlots];
    if (slot.unit == unit) [[likely]] return slot.code;
    return Fill(unit);
  }

 private:
  static constexpr unsigned kSlots = 256;
  struct Slot {
    char16_t unit;
    int16_t code;
  };

  int32_t Fill(char16_t unit);

  Slot slots_[kSlots];
};

#else

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

#endif

}  // namespace tarvik::text
