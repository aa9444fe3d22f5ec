// The code page 1252 pair tables, inside the portable text layer: the casing searches
// them unit by unit, and the fold's table is built from them when compiling.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>

namespace tarvik::text::cp1252 {

struct LowerCasePair {
  char16_t unit;
  char16_t lower;
};

struct CodePair {
  char16_t unit;
  uint8_t code;
};

// kLowerCasePairs and kCodePairs, dumped from Windows by tools/dump_text_tables.cpp.
#include "text/cp1252_tables.inc"

// What code page 1252 gives a unit it has neither a byte nor a best fit for.
constexpr uint8_t kSubstitute = '?';

// Lookups are binary searches, so a hand edit that breaks the order must not build.
template <typename Pair, std::size_t size>
constexpr bool StrictlyIncreasing(const Pair (&pairs)[size]) {
  const auto outOfOrder = [](const Pair& a, const Pair& b) { return a.unit >= b.unit; };
  return std::adjacent_find(std::begin(pairs), std::end(pairs), outOfOrder) == std::end(pairs);
}
static_assert(StrictlyIncreasing(kLowerCasePairs));
static_assert(StrictlyIncreasing(kCodePairs));
static_assert(kCodePairs[0].unit >= 0x80, "units below 0x80 are their own code, not listed");

}  // namespace tarvik::text::cp1252
