// The allocating convenience over the core, kept apart so that a program using only
// the core links none of this.
#include "engine/id_number.h"

namespace tarvik {

std::u16string WorkOutIdNumber(std::u16string_view text) {
  std::u16string units(text);
  IdFold fold;
  char16_t digits[kMaxUnsignedDigits];
  return std::u16string(digits, WorkOutIdNumber(units.data(), units.size(), fold, digits));
}

}  // namespace tarvik
