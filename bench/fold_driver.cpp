// Folds one text of the given number of UTF-16 units (2^20 by default) and prints its
// id number: a program small enough that callgrind can count the fold's instructions
// alone (bench.sh).
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "engine/id_number.h"

int main(int argc, char** argv) {
  const std::size_t count = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : std::size_t{1} << 20;
  // Mixed case, digits and punctuation, so that lower-casing has work to do.
  constexpr char16_t kAddress[] = u"Firstname.Lastname7@Ex.COM";
  constexpr std::size_t kLength = sizeof kAddress / sizeof kAddress[0] - 1;
  std::vector<char16_t> units(count);
  for (std::size_t i = 0; i < count; ++i) units[i] = kAddress[i % kLength];
  tarvik::IdFold fold;
  fold.Add(units.data(), units.size());
  std::printf("%u\n", static_cast<unsigned>(fold.Value()));
}
