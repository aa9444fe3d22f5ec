// The ASCII-run kernel on 16-byte windows with SSE2, the x86-64 baseline; compiled with
// -msse2 on 32-bit x86, where only processors that have it are sent here.
#include <emmintrin.h>

#include "engine/ascii_run.h"

namespace tarvik::detail {
namespace {

struct Sse2 {
  using Unit = char;
  static constexpr unsigned kWidth = 16;
  using Window = __m128i;
  using Lanes = __m128i;

  // Through a pointer the compiler cannot see into, so that it reads the constants.
  [[gnu::always_inline]] Sse2() {
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
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
  }

  [[gnu::always_inline]] uint32_t Stops(Window w) const {
    // The sign bit of each byte is its >= 0x80 already.
    const Window ends = _mm_or_si128(_mm_cmpeq_epi8(w, lineFeeds), _mm_cmpeq_epi8(w, carriageReturns));
    return static_cast<uint32_t>(_mm_movemask_epi8(_mm_or_si128(ends, w)));
  }

  [[gnu::always_inline]] static Window KeepFirst(Window w, unsigned count) {
    alignas(16) static constexpr unsigned char kKeep[32] = {
        0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    return _mm_and_si128(w, _mm_loadu_si128(reinterpret_cast<const __m128i*>(kKeep + kWidth - count)));
  }

  [[gnu::always_inline]] Window Lower(Window w) const {
    const Window upper = _mm_cmpgt_epi8(_mm_add_epi8(w, upperShifts), aboveUpper);
    return _mm_or_si128(w, _mm_and_si128(upper, caseBits));
  }

  [[gnu::always_inline]] static Lanes Groups(Window w) {
    // Pairs c0 × 101 + c1 (below 2^15 for bytes below 0x80), then pairs of pairs.
    constexpr int kPairWeights = 0x00010000 | static_cast<int>(Power101(1));
    constexpr int kPairOfPairsWeights = 0x00010000 | static_cast<int>(Power101(2));
    const __m128i zero = _mm_setzero_si128(), pairWeights = _mm_set1_epi32(kPairWeights);
    const __m128i low = _mm_madd_epi16(_mm_unpacklo_epi8(w, zero), pairWeights);
    const __m128i high = _mm_madd_epi16(_mm_unpackhi_epi8(w, zero), pairWeights);
    return _mm_madd_epi16(_mm_packs_epi32(low, high), _mm_set1_epi32(kPairOfPairsWeights));
  }

  [[gnu::always_inline]] static Lanes Broadcast(uint32_t value) { return _mm_set1_epi32(static_cast<int>(value)); }

  [[gnu::always_inline]] static Lanes Multiply(Lanes a, Lanes b) {
    // SSE2 multiplies two lanes of four at a time, into 64 bits; the low halves are kept.
    const __m128i even = _mm_mul_epu32(a, b);
    const __m128i odd = _mm_mul_epu32(_mm_srli_epi64(a, 32), _mm_srli_epi64(b, 32));
    return _mm_unpacklo_epi32(_mm_shuffle_epi32(even, _MM_SHUFFLE(0, 0, 2, 0)),
                              _mm_shuffle_epi32(odd, _MM_SHUFFLE(0, 0, 2, 0)));
  }

  [[gnu::always_inline]] static Lanes Add(Lanes a, Lanes b) { return _mm_add_epi32(a, b); }

  [[gnu::always_inline]] static Lanes Start(uint32_t h) { return _mm_set_epi32(static_cast<int>(h), 0, 0, 0); }

  [[gnu::always_inline]] static uint32_t Sum(Lanes lanes) {
    constexpr int kWeights[4] = {static_cast<int>(Power101(12)), static_cast<int>(Power101(8)),
                                 static_cast<int>(Power101(4)), 1};
    const __m128i weighted = Multiply(lanes, _mm_setr_epi32(kWeights[0], kWeights[1], kWeights[2], kWeights[3]));
    const __m128i pairs = _mm_add_epi32(weighted, _mm_shuffle_epi32(weighted, _MM_SHUFFLE(1, 0, 3, 2)));
    const __m128i all = _mm_add_epi32(pairs, _mm_shuffle_epi32(pairs, _MM_SHUFFLE(2, 3, 0, 1)));
    return static_cast<uint32_t>(_mm_cvtsi128_si32(all));
  }
};

// UTF-16 units narrowed to bytes, none above 0x80, so that every unit past ASCII stops
// the run; CR and LF do not.
struct Sse2Units : Sse2 {
  using Unit = char16_t;

  [[gnu::always_inline]] Window Load(const char16_t* units) const {
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + 8));
    // SSE2 has no unsigned minimum of 16 bits: min(u, 0x80) is u less what u exceeds 0x80 by.
    return _mm_packus_epi16(_mm_sub_epi16(low, _mm_subs_epu16(low, unitCeilings)),
                            _mm_sub_epi16(high, _mm_subs_epu16(high, unitCeilings)));
  }

  [[gnu::always_inline]] static uint32_t Stops(Window w) { return static_cast<uint32_t>(_mm_movemask_epi8(w)); }
};

}  // namespace

const char* FoldAsciiRunSse2(uint32_t& h, const char* bytes, const char* end) {
  return FoldAsciiWindows<Sse2>(h, bytes, end);
}

const char16_t* FoldAsciiUnitsSse2(uint32_t& h, const char16_t* units, const char16_t* end) {
  return FoldAsciiWindows<Sse2Units>(h, units, end);
}

}  // namespace tarvik::detail
