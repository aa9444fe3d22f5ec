// The fold of ASCII runs, inside the engine: the plain fold a unit at a time, and the
// one kernel of vector windows that the instruction sets this machine has instantiate,
// for bytes and for UTF-16 units. IdFold takes the widest kernel the processor runs;
// the tests and benches run every kernel against the plain fold.
//
// The ISA files are compiled for instruction sets that not every processor has, so
// they use this header's functions and fold_step.h's in constants only and include no
// other header with inline functions: the linker could keep their copy for everyone.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/fold_step.h"

namespace tarvik::detail {

/// Folds ASCII bytes into h from `bytes` up to the first '\n', '\r' or byte >= 0x80, or
/// `end`, and returns where it stopped: IdFold::AddAsciiRun's contract.
using AsciiRunFold = const char* (*)(uint32_t& h, const char* bytes, const char* end);

/// Folds UTF-16 units below 0x80 into h, lowered as ASCII, up to the first unit >= 0x80
/// or `end`, and returns where it stopped. CR and LF are characters like any other here.
using AsciiUnitsFold = const char16_t* (*)(uint32_t& h, const char16_t* units, const char16_t* end);

/// The references: one byte or unit, one step.
const char* FoldAsciiRunBytewise(uint32_t& h, const char* bytes, const char* end);
const char16_t* FoldAsciiUnitsUnitwise(uint32_t& h, const char16_t* units, const char16_t* end);

struct AsciiRunKernel {
  const char* name;
  AsciiRunFold fold;
  AsciiUnitsFold foldUnits;
};

/// Every kernel this processor can run, the plain references first and the ones IdFold
/// takes last. Returns how many it put in `kernels`.
std::size_t AsciiRunKernels(AsciiRunKernel (&kernels)[3]);

/// The widest kernel for units, chosen at the first call.
const char16_t* FoldAsciiUnits(uint32_t& h, const char16_t* units, const char16_t* end);

// Built on x86 only (TARVIK_X86_KERNELS), with the choice among them: ascii_run_x86.cpp.
const char* FoldAsciiRunSse2(uint32_t& h, const char* bytes, const char* end);
const char* FoldAsciiRunAvx2(uint32_t& h, const char* bytes, const char* end);
const char16_t* FoldAsciiUnitsSse2(uint32_t& h, const char16_t* units, const char16_t* end);
const char16_t* FoldAsciiUnitsAvx2(uint32_t& h, const char16_t* units, const char16_t* end);

// The bytes the kernels compare with and add, each repeated across a window. They are
// read from here once per run: compilers like to build such constants in registers
// instead, at three instructions each on every call, which a short line feels.
struct alignas(32) ByteConstants {
  char lineFeed[32], carriageReturn[32], upperShift[32], aboveUpper[32], caseBit[32];
  char unitCeiling[32];  // 0x80 in each 16-bit unit, where narrowed units stop
};
constexpr ByteConstants MakeByteConstants() {
  ByteConstants constants{};
  for (int i = 0; i < 32; ++i) {
    constants.lineFeed[i] = '\n';
    constants.carriageReturn[i] = '\r';
    // 'A' to 'Z' move to 102 to 127, the only bytes then above 101 read as signed.
    constants.upperShift[i] = 0x7F - 'Z';
    constants.aboveUpper[i] = 0x7F - 26;
    constants.caseBit[i] = 0x20;
    constants.unitCeiling[i] = static_cast<char>(i % 2 == 0 ? 0x80 : 0);
  }
  return constants;
}
inline constexpr ByteConstants kByteConstants = MakeByteConstants();

// The kernel. An Ops, made once per run, gives a window of kWidth bytes (16 or 32),
// loaded from as many Units (bytes, or UTF-16 units narrowed to bytes), and kWidth / 4
// lanes of 32 bits, one for each group of four bytes in a window: Load, Stops (a bit
// per byte that ends the run), Lower (A-Z only), KeepFirst, Groups (each group's own
// fold, c0 × 101^3 + c1 × 101^2 + c2 × 101 + c3), Multiply, Add, Start and Sum.
//
// Lane k holds the fold of group k of every window so far, as if each window were one
// unit with the factor 101^kWidth; so one window costs one multiply and one add per
// lane, and no step waits on more than the previous window. Sum weighs lane k by the
// 101^(kWidth - 4 - 4k) of its place in a window and adds the lanes up.

// Folds the lowered window's bytes before its first stop into the lanes, and the lanes
// into h; returns where the run stopped.
template <typename Ops>
[[gnu::always_inline]] inline const typename Ops::Unit* FoldLastWindow(const Ops& ops, uint32_t& h,
                                                                       typename Ops::Lanes lanes,
                                                                       typename Ops::Window lowered, uint32_t stops,
                                                                       const typename Ops::Unit* bytes) {
  constexpr unsigned kWidth = Ops::kWidth;
  const auto kept = static_cast<unsigned>(__builtin_ctz(stops));
  // The kWidth - kept zeros after the kept bytes multiplied their fold by 101 once each;
  // 101's inverse as many times takes that back.
  const auto tail = ops.Groups(ops.KeepFirst(lowered, kept));
  lanes = ops.Add(ops.Multiply(lanes, ops.Broadcast(kPowersOf101.up[kept])),
                  ops.Multiply(tail, ops.Broadcast(kPowersOf101.down[kWidth - kept])));
  h = ops.Sum(lanes);
  return bytes + kept;
}

// The last bytes of a run, fewer than a window, copied into a window of zeros so that
// no load reaches past the end; a stop just after them ends the run at end. Out of
// line and reached by a jump, so that the common case keeps no registers for a call.
template <typename Ops>
[[gnu::noinline]] const typename Ops::Unit* FoldLastBytes(uint32_t& h, typename Ops::Lanes lanes,
                                                          const typename Ops::Unit* bytes,
                                                          const typename Ops::Unit* end) {
  const auto left = static_cast<std::size_t>(end - bytes);
  typename Ops::Unit last[Ops::kWidth] = {};
  if (left > 0) __builtin_memcpy(last, bytes, left * sizeof *bytes);  // an empty run may have none
  const Ops ops;
  const auto window = ops.Load(last);
  return FoldLastWindow(ops, h, lanes, ops.Lower(window), ops.Stops(window) | uint32_t{1} << left, bytes);
}

template <typename Ops>
[[gnu::always_inline]] inline const typename Ops::Unit* FoldAsciiWindows(uint32_t& h, const typename Ops::Unit* bytes,
                                                                         const typename Ops::Unit* end) {
  constexpr unsigned kWidth = Ops::kWidth;
  const Ops ops;
  const PowersOf101* powers = &kPowersOf101;  // read, like the byte constants
  __asm__("" : "+r"(powers));
  const auto windowFactor = ops.Broadcast(powers->up[kWidth]);
  // The value so far weighs 1 in the last lane: it is multiplied like every lane after it.
  auto lanes = ops.Start(h);
  for (auto windows = static_cast<std::size_t>(end - bytes) / kWidth; windows > 0; --windows, bytes += kWidth) {
    const auto window = ops.Load(bytes);
    const uint32_t stops = ops.Stops(window);
    const auto lowered = ops.Lower(window);
    if (stops != 0) return FoldLastWindow(ops, h, lanes, lowered, stops, bytes);
    lanes = ops.Add(ops.Multiply(lanes, windowFactor), ops.Groups(lowered));
  }
  return FoldLastBytes<Ops>(h, lanes, bytes, end);
}

}  // namespace tarvik::detail
