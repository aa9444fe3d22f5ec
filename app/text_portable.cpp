#include "app/text.h"

#include <algorithm>
#include <cstddef>
#include <iterator>

namespace tarvik::text {
namespace {

struct LowerCasePair {
  char16_t unit;
  char16_t lower;
};

struct CodePair {
  char16_t unit;
  uint8_t code;
};

// kLowerCasePairs and kCodePairs, dumped from Windows by tools/dump_text_tables.cpp.
#include "app/cp1252_tables.inc"

// What code page 1252 gives a unit it has neither a byte nor a best fit for.
constexpr int32_t kSubstitute = '?';

// Lookups are binary searches, so a hand edit that breaks the order must not build.
template <typename Pair, std::size_t size>
constexpr bool StrictlyIncreasing(const Pair (&pairs)[size]) {
  const auto outOfOrder = [](const Pair& a, const Pair& b) { return a.unit >= b.unit; };
  return std::adjacent_find(std::begin(pairs), std::end(pairs), outOfOrder) == std::end(pairs);
}
static_assert(StrictlyIncreasing(kLowerCasePairs));
static_assert(StrictlyIncreasing(kCodePairs));
static_assert(kCodePairs[0].unit >= 0x80, "units below 0x80 are their own code, not listed");

template <typename Pair, std::size_t size>
const Pair* Find(const Pair (&pairs)[size], char16_t unit) {
  const Pair* found = std::ranges::lower_bound(pairs, unit, {}, &Pair::unit);
  return found != std::end(pairs) && found->unit == unit ? found : nullptr;
}

}  // namespace

std::u16string LowerCase(std::u16string_view text) {
  std::u16string lower(text);
  for (char16_t& unit : lower) {
    if (const LowerCasePair* pair = Find(kLowerCasePairs, unit)) unit = pair->lower;
  }
  return lower;
}

int32_t CharacterCode(char16_t unit) {
  if (unit < 0x80) return unit;
  const CodePair* pair = Find(kCodePairs, unit);
  return pair ? pair->code : kSubstitute;
}

}  // namespace tarvik::text
