// The choice among the ASCII-run kernels on x86: the processor is asked once, at the
// first call, which vector kernels it runs. Built only with them (TARVIK_X86_KERNELS);
// elsewhere ascii_run.cpp has the plain kernel as the only one.
#include <cpuid.h>

#include <atomic>

#include "engine/ascii_run.h"
#include "engine/id_number.h"

namespace tarvik {
namespace detail {
namespace {

// Asked of the processor itself rather than through the compiler's runtime, whose
// table of every feature would weigh more than the kernels.
bool HasSse2() {
  unsigned a, b, c, d;
  return __get_cpuid(1, &a, &b, &c, &d) && (d & bit_SSE2);
}

bool HasAvx2() {
  unsigned a, b, c, d;
  if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & bit_OSXSAVE) || !(c & bit_AVX)) return false;
  // The system must save the wide registers on a switch, or they are not ours to use.
  unsigned saved, high;
  __asm__("xgetbv" : "=a"(saved), "=d"(high) : "c"(0));
  return (saved & 0x6) == 0x6 && __get_cpuid_count(7, 0, &a, &b, &c, &d) && (b & bit_AVX2);
}

}  // namespace

std::size_t AsciiRunKernels(AsciiRunKernel (&kernels)[3]) {
  std::size_t count = 0;
  kernels[count++] = {"bytewise", FoldAsciiRunBytewise, FoldAsciiUnitsUnitwise};
  if (HasSse2()) kernels[count++] = {"sse2", FoldAsciiRunSse2, FoldAsciiUnitsSse2};
  if (HasAvx2()) kernels[count++] = {"avx2", FoldAsciiRunAvx2, FoldAsciiUnitsAvx2};
  return count;
}

namespace {

const char* ChooseAndFold(uint32_t& h, const char* bytes, const char* end);
const char16_t* ChooseAndFoldUnits(uint32_t& h, const char16_t* units, const char16_t* end);

// The first call chooses; threads that race to it choose alike.
std::atomic<AsciiRunFold> chosen{ChooseAndFold};
std::atomic<AsciiUnitsFold> chosenForUnits{ChooseAndFoldUnits};

AsciiRunKernel Widest() {
  AsciiRunKernel kernels[3];
  return kernels[AsciiRunKernels(kernels) - 1];
}

const char* ChooseAndFold(uint32_t& h, const char* bytes, const char* end) {
  const AsciiRunFold best = Widest().fold;
  chosen.store(best, std::memory_order_relaxed);
  return best(h, bytes, end);
}

const char16_t* ChooseAndFoldUnits(uint32_t& h, const char16_t* units, const char16_t* end) {
  const AsciiUnitsFold best = Widest().foldUnits;
  chosenForUnits.store(best, std::memory_order_relaxed);
  return best(h, units, end);
}

}  // namespace

const char16_t* FoldAsciiUnits(uint32_t& h, const char16_t* units, const char16_t* end) {
  return chosenForUnits.load(std::memory_order_relaxed)(h, units, end);
}

}  // namespace detail

const char* IdFold::AddAsciiRun(const char* bytes, const char* end) {
  return detail::chosen.load(std::memory_order_relaxed)(h_, bytes, end);
}

}  // namespace tarvik
