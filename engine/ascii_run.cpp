// IdFold::AddAsciiRun, AddAscii over it, and the choice of the kernels, in a file of
// their own so that a program folding only UTF-16 through the system links none.
#include "engine/ascii_run.h"

#include <atomic>

#ifdef TARVIK_X86_KERNELS
#include <cpuid.h>
#endif

#include "engine/id_number.h"

namespace tarvik {
namespace detail {

const char* FoldAsciiRunBytewise(uint32_t& h, const char* bytes, const char* end) {
  int32_t value = static_cast<int32_t>(h);
  for (; bytes != end; ++bytes) {
    const auto byte = static_cast<unsigned char>(*bytes);
    if (byte == '\n' || byte == '\r' || byte >= 0x80) break;
    const bool upper = byte >= 'A' && byte <= 'Z';
    value = AddWrapped(Times101(value), upper ? byte + ('a' - 'A') : byte);
  }
  h = static_cast<uint32_t>(value);
  return bytes;
}

const char16_t* FoldAsciiUnitsUnitwise(uint32_t& h, const char16_t* units, const char16_t* end) {
  int32_t value = static_cast<int32_t>(h);
  for (; units != end && *units < 0x80; ++units) {
    const bool upper = *units >= u'A' && *units <= u'Z';
    value = AddWrapped(Times101(value), upper ? *units + ('a' - 'A') : *units);
  }
  h = static_cast<uint32_t>(value);
  return units;
}

#ifdef TARVIK_X86_KERNELS
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
#endif

std::size_t AsciiRunKernels(AsciiRunKernel (&kernels)[3]) {
  std::size_t count = 0;
  kernels[count++] = {"bytewise", FoldAsciiRunBytewise, FoldAsciiUnitsUnitwise};
#ifdef TARVIK_X86_KERNELS
  if (HasSse2()) kernels[count++] = {"sse2", FoldAsciiRunSse2, FoldAsciiUnitsSse2};
  if (HasAvx2()) kernels[count++] = {"avx2", FoldAsciiRunAvx2, FoldAsciiUnitsAvx2};
#endif
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

void IdFold::AddAscii(const char* bytes, std::size_t count) {
  // The runs stop at CR and LF too, which are their own codes like every ASCII byte.
  for (const char* const end = bytes + count; (bytes = AddAsciiRun(bytes, end)) != end; ++bytes) {
    h_ = static_cast<uint32_t>(AddWrapped(Times101(static_cast<int32_t>(h_)), static_cast<unsigned char>(*bytes)));
  }
}

}  // namespace tarvik
