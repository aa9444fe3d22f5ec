// The fold's table of codes, built by the compiler from the pair tables; apart from
// the casing, so that a program that only folds links no pair table.
#include "text/lower_codes_portable.h"

#include <array>
#include <cstddef>
#include <cstdint>

#include "text/cp1252.h"

namespace tarvik::text {
namespace {

// Built by the compiler from the pair tables above, so it cannot drift from them; by
// scattering the pairs rather than searching them per unit, which would exceed what
// the compiler evaluates.
constexpr std::array<uint8_t, 0x10000> LowerCodeTable() {
  std::array<uint8_t, 0x10000> codes{};
  for (std::size_t unit = 0; unit < codes.size(); ++unit) {
    codes[unit] = unit < 0x80 ? static_cast<uint8_t>(unit) : cp1252::kSubstitute;
  }
  for (const cp1252::CodePair& pair : cp1252::kCodePairs) codes[pair.unit] = pair.code;
  std::array<uint8_t, 0x10000> table = codes;
  for (const cp1252::LowerCasePair& pair : cp1252::kLowerCasePairs) table[pair.unit] = codes[pair.lower];
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

// Each block is compared in full only with the kept blocks of the same fingerprint,
// which keeps the work within what compilers evaluate.
constexpr SplitTable Split(const std::array<uint8_t, 0x10000>& table) {
  SplitTable split;
  uint64_t fingerprints[256] = {};
  for (std::size_t at = 0; at < split.blockOf.size(); ++at) {
    const uint8_t* block = table.data() + at * kLowerCodeBlockSize;
    uint64_t fingerprint = 0;
    for (std::size_t i = 0; i < kLowerCodeBlockSize; ++i) fingerprint = fingerprint * 1099511628211u + block[i];
    std::size_t same = 0;
    for (; same < split.count; ++same) {
      if (fingerprints[same] != fingerprint) continue;
      const uint8_t* kept = split.blocks.data() + same * kLowerCodeBlockSize;
      std::size_t i = 0;
      while (i < kLowerCodeBlockSize && kept[i] == block[i]) ++i;
      if (i == kLowerCodeBlockSize) break;
    }
    if (same == split.count) {
      if (split.count == 256) {
        split.tooMany = true;
        return split;
      }
      fingerprints[split.count] = fingerprint;
      uint8_t* kept = split.blocks.data() + split.count * kLowerCodeBlockSize;
      for (std::size_t i = 0; i < kLowerCodeBlockSize; ++i) kept[i] = block[i];
      ++split.count;
    }
    split.blockOf[at] = static_cast<uint8_t>(same);
  }
  return split;
}

constexpr SplitTable kSplit = Split(LowerCodeTable());
static_assert(!kSplit.tooMany, "more distinct blocks than a byte numbers");
static_assert(kSplit.count == kLowerCodeBlockCount,
              "kLowerCodeBlockCount in text/lower_codes_portable.h must be the number of distinct blocks "
              "the tables give");

constexpr std::array<uint8_t, kLowerCodeBlockCount * kLowerCodeBlockSize> DistinctBlocks() {
  std::array<uint8_t, kLowerCodeBlockCount * kLowerCodeBlockSize> blocks{};
  std::copy(kSplit.blocks.begin(), kSplit.blocks.begin() + blocks.size(), blocks.begin());
  return blocks;
}

}  // namespace

constinit const std::array<uint8_t, 0x10000 / kLowerCodeBlockSize> kLowerCodeBlockOf = kSplit.blockOf;
constinit const std::array<uint8_t, kLowerCodeBlockCount * kLowerCodeBlockSize> kLowerCodeBlocks = DistinctBlocks();

}  // namespace tarvik::text
