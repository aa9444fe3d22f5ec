#include "text/text.h"

#include <algorithm>
#include <array>
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
  return pair ? pair->code : kSubstitute;
}

// Built by the compiler from the pair tables above, so it cannot drift from them; by
// scattering the pairs rather than searching them per unit, which would exceed what
// the compiler evaluates.
constexpr std::array<uint8_t, 0x10000> LowerCodeTable() {
  std::array<uint8_t, 0x10000> codes{};
  for (std::size_t unit = 0; unit < codes.size(); ++unit) codes[unit] = unit < 0x80 ? static_cast<uint8_t>(unit) : kSubstitute;
  for (const CodePair& pair : kCodePairs) codes[pair.unit] = pair.code;
  std::array<uint8_t, 0x10000> table = codes;
  for (const LowerCasePair& pair : kLowerCasePairs) table[pair.unit] = codes[pair.lower];
  return table;
}

// The table cut into blocks of kLowerCodeBlockSize codes, each distinct block kept
// once: most of the units are letters of other scripts that code page 1252 has
// nothing for, so whole blocks are '?' alike.
struct SplitTable {
  std::array<uint8_t, 0x10000 / kLowerCodeBlockSize> blockOf{};
  std::array<uint8_t, 256 * kLowerCodeBlockSize> blocks{};  // as many as a byte numbers
  std::size_t count = 0;
  bool tooMany = false;
};

constexpr SplitTable Split(const std::array<uint8_t, 0x10000>& table) {
  SplitTable split;
  const auto block = [&](std::size_t first) { return table.begin() + first * kLowerCodeBlockSize; };
  for (std::size_t at = 0; at < split.blockOf.size(); ++at) {
    std::size_t same = 0;
    while (same < split.count &&
           !std::equal(block(at), block(at) + kLowerCodeBlockSize, split.blocks.begin() + same * kLowerCodeBlockSize)) {
      ++same;
    }
    if (same == split.count) {
      if (split.count == 256) {
        split.tooMany = true;
        return split;
      }
      std::copy(block(at), block(at) + kLowerCodeBlockSize, split.blocks.begin() + split.count++ * kLowerCodeBlockSize);
    }
    split.blockOf[at] = static_cast<uint8_t>(same);
  }
  return split;
}

constexpr SplitTable kSplit = Split(LowerCodeTable());
static_assert(!kSplit.tooMany, "more distinct blocks than a byte numbers");
static_assert(kSplit.count == kLowerCodeBlockCount,
              "kLowerCodeBlockCount in text/text.h must be the number of distinct blocks the tables give");

constexpr std::array<uint8_t, kLowerCodeBlockCount * kLowerCodeBlockSize> DistinctBlocks() {
  std::array<uint8_t, kLowerCodeBlockCount * kLowerCodeBlockSize> blocks{};
  std::copy(kSplit.blocks.begin(), kSplit.blocks.begin() + blocks.size(), blocks.begin());
  return blocks;
}

}  // namespace

constinit const std::array<uint8_t, 0x10000 / kLowerCodeBlockSize> kLowerCodeBlockOf = kSplit.blockOf;
constinit const std::array<uint8_t, kLowerCodeBlockCount * kLowerCodeBlockSize> kLowerCodeBlocks = DistinctBlocks();

void LowerCaseInPlace(char16_t* units, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) units[i] = Lower(units[i]);
}

int32_t CharacterCode(char16_t unit) { return Code(unit); }

}  // namespace tarvik::text
