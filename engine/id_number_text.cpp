// The allocating conveniences over the core in id_number.cpp, kept apart so that a
// program using only the core links none of this.
#include "engine/id_number.h"

namespace tarvik {

std::u16string UnsignedText(int32_t n) {
  char16_t digits[kMaxUnsignedDigits];
  return std::u16string(digits, WriteUnsignedText(static_cast<uint32_t>(n), digits));
}

std::u16string WorkOutIdNumber(std::u16string_view text) {
  std::u16string units(text);
  IdFold fold;
  fold.Add(units.data(), units.size());
  return UnsignedText(static_cast<int32_t>(fold.Value()));
}

}  // namespace tarvik
