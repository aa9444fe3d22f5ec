// The fold of ASCII runs, inside the engine: the plain byte-at-a-time fold, and the one
// kernel of vector windows that the instruction sets this machine has instantiate.
// IdFold::AddAsciiRun takes the widest kernel the processor runs; the tests and benches
// run every kernel against the plain fold.
//
// The ISA files are compiled for instruction sets that not every processor has, so
// they use this header's functions in constants only and include no other header with
// inline functions: the linker could keep their copy for everyone.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarvik::detail {

/// Folds ASCII bytes into h from `bytes` up to the first '\n', '\r' or byte >= 0x80, or
/// `end`, and returns where it stopped: IdFold::AddAsciiRun's contract.
using AsciiRunFold = const char* (*)(uint32_t& h, const char* bytes, const char* end);

/// The reference: one byte, one step.
const char* FoldAsciiRunBytewise(uint32_t& h, const char* bytes, const char* end);

struct AsciiRunKernel {
  const char* name;
  AsciiRunFold fold;
};

/// Every kernel this processor can run, the byte-wise reference first and the one
/// AddAsciiRun takes last. Returns how many it put in `kernels`.
std::size_t AsciiRunKernels(AsciiRunKernel (&kernels)[3]);

// Built on x86 only (TARVIK_X86_KERNELS).
const char* FoldAsciiRunSse2(uint32_t& h, const char* bytes, const char* end);
const char* FoldAsciiRunAvx2(uint32_t& h, const char* bytes, const char* end);

constexpr uint32_t Power101(unsigned n) {
  uint32_t power = 1;
  while (n-- > 0) power *= 101u;
  return power;
}

// 101 is odd, so it has an inverse modulo 2^32: each Newton step doubles the bits that
// are right, and an odd number is its own inverse in the low three.
constexpr uint32_t Inverse(uint32_t odd) {
  uint32_t inverse = odd;
  for (int step = 0; step < 4; ++step) inverse *= 2u - odd * inverse;
  return inverse;
}
inline constexpr uint32_t kInverse101 = Inverse(101);
static_assert(101u * kInverse101 == 1u);

// 101^n and 101^-n for every count of bytes a window holds.
struct WindowPowers {
  uint32_t up[33];
  uint32_t down[33];
};
constexpr WindowPowers MakeWindowPowers() {
  WindowPowers powers{};
  powers.up[0] = powers.down[0] = 1;
  for (int n = 1; n <= 32; ++n) {
    powers.up[n] = powers.up[n - 1] * 101u;
    powers.down[n] = powers.down[n - 1] * kInverse101;
  }
  return powers;
}
inline constexpr WindowPowers kWindowPowers = MakeWindowPowers();

// The kernel. Ops gives a window of kWidth bytes (16 or 32) and kWidth / 4 lanes of
// 32 bits, one for each group of four bytes in a window: Load, Stops (a bit per '\n',
// '\r' or byte >= 0x80), KeepFirst, Lower (A-Z only), Groups (each group's own fold,
// c0 × 101^3 + c1 × 101^2 + c2 × 101 + c3), Multiply, Add, Start and Sum.
//
// Lane k holds the fold of group k of every window so far, as if each window were one
// unit with the factor 101^kWidth; so one window costs one multiply and one add per
// lane, and no step waits on more than the previous window. Sum weighs lane k by the
// 101^(kWidth - 4 - 4k) of its place in a window and adds the lanes up.
template <typename Ops>
[[gnu::always_inline]] inline const char* FoldAsciiWindows(uint32_t& h, const char* bytes, const char* end) {
  constexpr unsigned kWidth = Ops::kWidth;
  const auto windowFactor = Ops::Broadcast(kWindowPowers.up[kWidth]);
  // The value so far weighs 1 in the last lane: it is multiplied like every lane after it.
  auto lanes = Ops::Start(h);
  typename Ops::Window window;
  uint32_t stops = 0;
  for (auto windows = static_cast<std::size_t>(end - bytes) / kWidth; windows > 0; --windows, bytes += kWidth) {
    window = Ops::Load(bytes);
    stops = Ops::Stops(window);
    if (stops != 0) break;
    lanes = Ops::Add(Ops::Multiply(lanes, windowFactor), Ops::Groups(Ops::Lower(window)));
  }
  if (stops == 0) {
    // The last bytes are copied, so that no load reaches past end; a stop just after
    // them ends the run at end.
    const auto left = static_cast<std::size_t>(end - bytes);
    alignas(32) char last[kWidth] = {};
    __builtin_memcpy(last, bytes, left);
    window = Ops::Load(last);
    stops = Ops::Stops(window) | uint32_t{1} << left;
  }
  const auto kept = static_cast<unsigned>(__builtin_ctz(stops));
  // The kWidth - kept zeros after the kept bytes multiplied their fold by 101 once each;
  // 101's inverse as many times takes that back.
  const auto tail = Ops::Groups(Ops::Lower(Ops::KeepFirst(window, kept)));
  lanes = Ops::Add(Ops::Multiply(lanes, Ops::Broadcast(kWindowPowers.up[kept])),
                   Ops::Multiply(tail, Ops::Broadcast(kWindowPowers.down[kWidth - kept])));
  h = Ops::Sum(lanes);
  return bytes + kept;
}

}  // namespace tarvik::detail
