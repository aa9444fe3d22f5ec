// The ASCII-run kernel on 32-byte windows with AVX2; compiled with -mavx2, and only
// processors that have it (and systems that save its registers) are sent here.
#include <immintrin.h>

#include "engine/ascii_run.h"

namespace tarvik::detail {
namespace {

struct Avx2 {
  using Unit = char;
  static constexpr unsigned kWidth = 32;
  using Window = __m256i;
  using Lanes = __m256i;

  // Through a pointer the compiler cannot see into, so that it reads the constants.
  [[gnu::always_inline]] Avx2() {
    const ByteConstants* constants = &kByteConstants;
    __asm__("" : "+r"(constants));
    lineFeeds = Load(constants->lineFeed);
    carriageReturns = Load(constants->carriageReturn);
    upperShifts = Load(constants->upperShift);
    aboveUpper = Load(constants->aboveUpper);
    caseBits = Load(constants->caseBit);
    unitCeilings = Load(constants->unitCeiling);
  }
  Window lineFeeds, carriageReturns, upperShifts, aboveUpper, caseBits, unitCeilings;

  [[gnu::always_inline]] static Window Load(const char* bytes) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes));
  }

  [[gnu::always_inline]] uint32_t Stops(Window w) const {
    // The sign bit of each byte is its >= 0x80 already.
    const Window ends = _mm256_or_si256(_mm256_cmpeq_epi8(w, lineFeeds), _mm256_cmpeq_epi8(w, carriageReturns));
    return static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_or_si256(ends, w)));
  }

  [[gnu::always_inline]] static Window KeepFirst(Window w, unsigned count) {
    alignas(32) static constexpr unsigned char kKeep[64] = {
        0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
        0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    return _mm256_and_si256(w, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kKeep + kWidth - count)));
  }

  [[gnu::always_inline]] Window Lower(Window w) const {
    const Window upper = _mm256_cmpgt_epi8(_mm256_add_epi8(w, upperShifts), aboveUpper);
    return _mm256_or_si256(w, _mm256_and_si256(upper, caseBits));
  }

  [[gnu::always_inline]] static Lanes Groups(Window w) {
    // Pairs c0 × 101 + c1 straight from the bytes (below 2^15, so they never saturate),
    // then pairs of pairs.
    constexpr short kPairWeights = 0x0100 | static_cast<short>(Power101(1));
    constexpr int kPairOfPairsWeights = 0x00010000 | static_cast<int>(Power101(2));
    const __m256i pairs = _mm256_maddubs_epi16(w, _mm256_set1_epi16(kPairWeights));
    return _mm256_madd_epi16(pairs, _mm256_set1_epi32(kPairOfPairsWeights));
  }

  [[gnu::always_inline]] static Lanes Broadcast(uint32_t value) { return _mm256_set1_epi32(static_cast<int>(value)); }
  [[gnu::always_inline]] static Lanes Multiply(Lanes a, Lanes b) { return _mm256_mullo_epi32(a, b); }
  [[gnu::always_inline]] static Lanes Add(Lanes a, Lanes b) { return _mm256_add_epi32(a, b); }

  [[gnu::always_inline]] static Lanes Start(uint32_t h) {
    return _mm256_set_epi32(static_cast<int>(h), 0, 0, 0, 0, 0, 0, 0);
  }

  [[gnu::always_inline]] static uint32_t Sum(Lanes lanes) {
    // Constants only: a function of the header run here would be built for AVX2.
    constexpr int kWeights[8] = {static_cast<int>(Power101(28)), static_cast<int>(Power101(24)),
                                 static_cast<int>(Power101(20)), static_cast<int>(Power101(16)),
                                 static_cast<int>(Power101(12)), static_cast<int>(Power101(8)),
                                 static_cast<int>(Power101(4)),  1};
    const __m256i weighted = _mm256_mullo_epi32(
        lanes, _mm256_setr_epi32(kWeights[0], kWeights[1], kWeights[2], kWeights[3], kWeights[4], kWeights[5],
                                 kWeights[6], kWeights[7]));
    __m128i sum = _mm_add_epi32(_mm256_castsi256_si128(weighted), _mm256_extracti128_si256(weighted, 1));
    sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, _MM_SHUFFLE(1, 0, 3, 2)));
    sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, _MM_SHUFFLE(2, 3, 0, 1)));
    return static_cast<uint32_t>(_mm_cvtsi128_si32(sum));
  }
};

// UTF-16 units narrowed to bytes, none above 0x80, so that every unit past ASCII stops
// the run; CR and LF do not.
struct Avx2Units : Avx2 {
  using Unit = char16_t;

  [[gnu::always_inline]] Window Load(const char16_t* units) const {
    const __m256i low = _mm256_min_epu16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(units)), unitCeilings);
    const __m256i high =
        _mm256_min_epu16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(units + 16)), unitCeilings);
    // Packing keeps to each half of a register; the permute puts the quarters in order.
    return _mm256_permute4x64_epi64(_mm256_packus_epi16(low, high), _MM_SHUFFLE(3, 1, 2, 0));
  }

  [[gnu::always_inline]] static uint32_t Stops(Window w) { return static_cast<uint32_t>(_mm256_movemask_epi8(w)); }
};

}  // namespace

const char* FoldAsciiRunAvx2(uint32_t& h, const char* bytes, const char* end) {
  return FoldAsciiWindows<Avx2>(h, bytes, end);
}

const char16_t* FoldAsciiUnitsAvx2(uint32_t& h, const char16_t* units, const char16_t* end) {
  return FoldAsciiWindows<Avx2Units>(h, units, end);
}

}  // namespace tarvik::detail
