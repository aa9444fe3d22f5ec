// LowerCodes on Windows, where the codes come from the system: lower-casing and the
// ANSI code page are text_win32.cpp's, and this class keeps what they answered.
// Included through text/text.h, whose interface it shares with the portable one.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarvik::text {

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

  /// Lower-cases the units in place with the system's rules; Code then takes them.
  void Prepare(char16_t* units, std::size_t count);

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

}  // namespace tarvik::text
