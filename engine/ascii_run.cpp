// IdFold::AddAscii and the plain kernels, in a file of their own so that a program
// folding only UTF-16 through the system links none. Where no vector kernel is built,
// the plain ones are also the only choice, here; on x86 the choice is ascii_run_x86.cpp's.
#include "engine/ascii_run.h"

#include <type_traits>

#include "engine/id_number.h"

namespace tarvik {
namespace detail {
namespace {

// One byte or unit, one step, A-Z lowered as ASCII. A run of bytes from a stream stops
// at CR and LF too, which end its line.
template <bool kStopsAtLineEnds, typename Unit>
const Unit* FoldOneByOne(uint32_t& h, const Unit* at, const Unit* end) {
  uint32_t value = h;
  for (; at != end; ++at) {
    const uint32_t c = static_cast<std::make_unsigned_t<Unit>>(*at);
    if (c >= 0x80 || (kStopsAtLineEnds && (c == '\n' || c == '\r'))) break;
    value = FoldStep(value, c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
  }
  h = value;
  return at;
}

}  // namespace

const char* FoldAsciiRunBytewise(uint32_t& h, const char* bytes, const char* end) {
  return FoldOneByOne<true>(h, bytes, end);
}

const char16_t* FoldAsciiUnitsUnitwise(uint32_t& h, const char16_t* units, const char16_t* end) {
  return FoldOneByOne<false>(h, units, end);
}

#ifndef TARVIK_X86_KERNELS
std::size_t AsciiRunKernels(AsciiRunKernel (&kernels)[3]) {
  kernels[0] = {"bytewise", FoldAsciiRunBytewise, FoldAsciiUnitsUnitwise};
  return 1;
}

const char16_t* FoldAsciiUnits(uint32_t& h, const char16_t* units, const char16_t* end) {
  return FoldAsciiUnitsUnitwise(h, units, end);
}
#endif

}  // namespace detail

#ifndef TARVIK_X86_KERNELS
const char* IdFold::AddAsciiRun(const char* bytes, const char* end) {
  return detail::FoldAsciiRunBytewise(h_, bytes, end);
}
#endif

void IdFold::AddAscii(const char* bytes, std::size_t count) {
  // The runs stop at CR and LF too, which are their own codes like every ASCII byte.
  for (const char* const end = bytes + count; (bytes = AddAsciiRun(bytes, end)) != end; ++bytes) {
    h_ = detail::FoldStep(h_, static_cast<unsigned char>(*bytes));
  }
}

}  // namespace tarvik
