// Folds one text of the given number of units or bytes (2^20 by default) and prints its
// id number: a program small enough that callgrind can count the fold's instructions
// alone (bench.sh). "fold_driver N" folds UTF-16 units through IdFold::Add; "fold_driver
// N KERNEL" folds bytes through that ASCII-run kernel ("bytewise", "sse2", "avx2").
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/ascii_run.h"
#include "engine/id_number.h"

int main(int argc, char** argv) {
  const std::size_t count = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : std::size_t{1} << 20;
  // Mixed case, digits and punctuation, so that lower-casing has work to do.
  constexpr char kAddress[] = "Firstname.Lastname7@Ex.COM";
  constexpr std::size_t kLength = sizeof kAddress - 1;
  if (argc > 2) {
    tarvik::detail::AsciiRunKernel kernels[3];
    const std::size_t available = tarvik::detail::AsciiRunKernels(kernels);
    for (std::size_t k = 0; k < available; ++k) {
      if (std::strcmp(kernels[k].name, argv[2]) != 0) continue;
      std::vector<char> bytes(count);
      for (std::size_t i = 0; i < count; ++i) bytes[i] = kAddress[i % kLength];
      uint32_t h = 0;
      kernels[k].fold(h, bytes.data(), bytes.data() + count);
      std::printf("%u\n", static_cast<unsigned>(h));
      return 0;
    }
    std::fprintf(stderr, "fold_driver: this processor has no kernel %s\n", argv[2]);
    return 1;
  }
  std::vector<char16_t> units(count);
  for (std::size_t i = 0; i < count; ++i) units[i] = static_cast<unsigned char>(kAddress[i % kLength]);
  tarvik::IdFold fold;
  fold.Add(units.data(), units.size());
  std::printf("%u\n", static_cast<unsigned>(fold.Value()));
}
