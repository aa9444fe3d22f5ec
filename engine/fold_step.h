// The fold's arithmetic, inside the engine, written once: one step, and the powers of
// 101 that let a kernel take several steps at once. Every value is a 32-bit pattern
// read as unsigned, so that nothing wraps but by definition.
//
// The ISA files include this header too, so it holds constants and constexpr functions
// that they use in constants only: a function they ran would be built for their
// instruction set, and the linker could keep that copy for everyone.
#pragma once

#include <cstdint>

namespace tarvik::detail {

/// One step of the fold: h × 101 + code, modulo 2^32. A code is the unit's signed
/// character code; its bits read as unsigned give the same sum.
constexpr uint32_t FoldStep(uint32_t h, uint32_t code) { return h * 101u + code; }

// 101 is odd, so it has an inverse modulo 2^32: each Newton step doubles the bits that
// are right, and an odd number is its own inverse in the low three.
constexpr uint32_t Inverse(uint32_t odd) {
  uint32_t inverse = odd;
  for (int step = 0; step < 4; ++step) inverse *= 2u - odd * inverse;
  return inverse;
}

/// The most steps taken at once: a window of 32 bytes.
inline constexpr unsigned kMaxPower = 32;

/// 101^n and 101^-n modulo 2^32, for n from 0 to kMaxPower. n steps multiply what came
/// before them by up[n]; down[n] takes n steps of a zero back.
struct PowersOf101 {
  uint32_t up[kMaxPower + 1];
  uint32_t down[kMaxPower + 1];
};
constexpr PowersOf101 MakePowersOf101() {
  constexpr uint32_t kInverse = Inverse(FoldStep(1, 0));
  static_assert(FoldStep(kInverse, 0) == 1u);
  PowersOf101 powers{};
  powers.up[0] = powers.down[0] = 1;
  for (unsigned n = 1; n <= kMaxPower; ++n) {
    powers.up[n] = FoldStep(powers.up[n - 1], 0);
    powers.down[n] = powers.down[n - 1] * kInverse;
  }
  return powers;
}
inline constexpr PowersOf101 kPowersOf101 = MakePowersOf101();

/// 101^n modulo 2^32, for n up to kMaxPower.
constexpr uint32_t Power101(unsigned n) { return kPowersOf101.up[n]; }

}  // namespace tarvik::detail
