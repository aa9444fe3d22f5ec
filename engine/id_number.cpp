#include "engine/id_number.h"

namespace tarvik {
namespace {

// Unsigned arithmetic wraps by definition; converting back to int32_t is modular
// since C++20, so the round trip reinterprets the bits and nothing overflows.
uint32_t Bits(int32_t value) { return static_cast<uint32_t>(value); }
int32_t FromBits(uint32_t bits) { return static_cast<int32_t>(bits); }

constexpr uint32_t kPower2 = 101u * 101u;
constexpr uint32_t kPower3 = kPower2 * 101u;
constexpr uint32_t kPower4 = kPower3 * 101u;

}  // namespace

int32_t AddWrapped(int32_t a, int32_t b) { return FromBits(Bits(a) + Bits(b)); }

int32_t Times101(int32_t a) { return FromBits(Bits(a) * 101u); }

void IdFold::Add(char16_t* units, std::size_t count) {
  codes_.Prepare(units, count);
  uint32_t h = h_;
  std::size_t i = 0;
  // Four units at a time: h × 101^4 + c0 × 101^3 + c1 × 101^2 + c2 × 101 + c3 is the
  // same sum, but only one multiply-add per four units waits on the previous value.
  for (; count - i >= 4; i += 4) {
    const uint32_t c0 = Bits(codes_.Code(units[i])), c1 = Bits(codes_.Code(units[i + 1]));
    const uint32_t c2 = Bits(codes_.Code(units[i + 2])), c3 = Bits(codes_.Code(units[i + 3]));
    h = h * kPower4 + (c0 * kPower3 + c1 * kPower2 + c2 * 101u + c3);
  }
  for (; i < count; ++i) h = h * 101u + Bits(codes_.Code(units[i]));
  h_ = h;
}

}  // namespace tarvik
