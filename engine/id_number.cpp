#include "engine/id_number.h"

#include <charconv>

#include "app/text.h"

namespace tarvik {
namespace {

// Unsigned arithmetic wraps by definition; converting back to int32_t is modular
// since C++20, so the round trip reinterprets the bits and nothing overflows.
uint32_t Bits(int32_t value) { return static_cast<uint32_t>(value); }
int32_t FromBits(uint32_t bits) { return static_cast<int32_t>(bits); }

}  // namespace

int32_t AddWrapped(int32_t a, int32_t b) { return FromBits(Bits(a) + Bits(b)); }

int32_t Times101(int32_t a) { return FromBits(Bits(a) * 101u); }

std::u16string UnsignedText(int32_t n) {
  char digits[10];
  const auto [end, error] = std::to_chars(digits, digits + sizeof digits, Bits(n));
  (void)error;  // ten digits always suffice for a 32-bit value
  return std::u16string(digits, end);
}

std::u16string WorkOutIdNumber(std::u16string_view text) {
  const std::u16string lower = text::LowerCase(text);
  int32_t h = 0;
  for (const char16_t unit : lower) {
    h = AddWrapped(Times101(h), text::CharacterCode(unit));
  }
  return UnsignedText(h);
}

}  // namespace tarvik
