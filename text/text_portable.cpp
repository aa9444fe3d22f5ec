#include "text/text.h"

#include <algorithm>
#include <cstddef>
#include <iterator>

#include "text/cp1252.h"

namespace tarvik::text {
namespace {

using cp1252::CodePair;
using cp1252::kCodePairs;
using cp1252::kLowerCasePairs;
using cp1252::LowerCasePair;

template <typename Pair, std::size_t size>
constexpr const Pair* Find(const Pair (&pairs)[size], char16_t unit) {
  const Pair* found = std::ranges::lower_bound(pairs, unit, {}, &Pair::unit);
  return found != std::end(pairs) && found->unit == unit ? found : nullptr;
}

constexpr char16_t Lower(char16_t unit) {
  const LowerCasePair* pair = Find(kLowerCasePairs, unit);
  return pair ? pair->lower : unit;
}

constexpr uint8_t Code(char16_t unit) {
  if (unit < 0x80) return static_cast<uint8_t>(unit);
  const CodePair* pair = Find(kCodePairs, unit);
  return pair ? pair->code : cp1252::kSubstitute;
}

}  // namespace

void LowerCaseInPlace(char16_t* units, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) units[i] = Lower(units[i]);
}

int32_t CharacterCode(char16_t unit) { return Code(unit); }

}  // namespace tarvik::text
