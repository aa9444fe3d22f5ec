// IdFold::AddAsciiRun and the choice of its kernel, in a file of their own so that a
// program folding only UTF-16 links none of the kernels.
#include "engine/ascii_run.h"

#include <atomic>

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

std::size_t AsciiRunKernels(AsciiRunKernel (&kernels)[3]) {
  std::size_t count = 0;
  kernels[count++] = {"bytewise", FoldAsciiRunBytewise};
#ifdef TARVIK_X86_KERNELS
  // Run before any constructor of the program's may have, so the features are read here.
  __builtin_cpu_init();
  if (__builtin_cpu_supports("sse2")) kernels[count++] = {"sse2", FoldAsciiRunSse2};
  if (__builtin_cpu_supports("avx2")) kernels[count++] = {"avx2", FoldAsciiRunAvx2};
#endif
  return count;
}

namespace {

const char* ChooseAndFold(uint32_t& h, const char* bytes, const char* end);

// The first call chooses; threads that race to it choose alike.
std::atomic<AsciiRunFold> chosen{ChooseAndFold};

const char* ChooseAndFold(uint32_t& h, const char* bytes, const char* end) {
  AsciiRunKernel kernels[3];
  const AsciiRunFold best = kernels[AsciiRunKernels(kernels) - 1].fold;
  chosen.store(best, std::memory_order_relaxed);
  return best(h, bytes, end);
}

}  // namespace
}  // namespace detail

const char* IdFold::AddAsciiRun(const char* bytes, const char* end) {
  return detail::chosen.load(std::memory_order_relaxed)(h_, bytes, end);
}

}  // namespace tarvik
