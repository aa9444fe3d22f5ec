#include "cli/utf8.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tarvik::cli {
namespace {

// The allowed range of the byte after a lead byte. Narrowing the second byte is what
// rules out overlong forms (E0, F0), encoded surrogates (ED) and code points past
// U+10FFFF (F4); every later byte is a plain continuation byte.
struct LeadInfo {
  int length;  // bytes in the whole sequence, 0 for a byte that cannot start one
  unsigned char secondLow, secondHigh;
};

LeadInfo Lead(unsigned char byte) {
  if (byte < 0x80) return {1, 0, 0};
  if (byte < 0xC2) return {0, 0, 0};  // continuation bytes, and C0/C1 (overlong ASCII)
  if (byte < 0xE0) return {2, 0x80, 0xBF};
  if (byte == 0xE0) return {3, 0xA0, 0xBF};
  if (byte == 0xED) return {3, 0x80, 0x9F};
  if (byte < 0xF0) return {3, 0x80, 0xBF};
  if (byte == 0xF0) return {4, 0x90, 0xBF};
  if (byte < 0xF4) return {4, 0x80, 0xBF};
  if (byte == 0xF4) return {4, 0x80, 0x8F};
  return {0, 0, 0};  // F5 to FF would encode past U+10FFFF
}

// Eight ASCII bytes to eight units.
inline void Widen8(const unsigned char* bytes, char16_t* units) {
#if defined(__SSE2__)
  const __m128i eight = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(units), _mm_unpacklo_epi8(eight, _mm_setzero_si128()));
#else
  for (int k = 0; k < 8; ++k) units[k] = bytes[k];
#endif
}

}  // namespace

char* AppendUtf8(char32_t codePoint, char* out) {
  auto put = [&out](char32_t byte) { *out++ = static_cast<char>(byte); };
  if (codePoint < 0x80) {
    put(codePoint);
  } else if (codePoint < 0x800) {
    put(0xC0 | (codePoint >> 6));
    put(0x80 | (codePoint & 0x3F));
  } else if (codePoint < 0x10000) {
    put(0xE0 | (codePoint >> 12));
    put(0x80 | ((codePoint >> 6) & 0x3F));
    put(0x80 | (codePoint & 0x3F));
  } else {
    put(0xF0 | (codePoint >> 18));
    put(0x80 | ((codePoint >> 12) & 0x3F));
    put(0x80 | ((codePoint >> 6) & 0x3F));
    put(0x80 | (codePoint & 0x3F));
  }
  return out;
}

void Utf8Decoder::Fail(uint64_t offset) {
  failed_ = true;
  errorOffset_ = offset;
}

std::size_t Utf8Decoder::Decode(const char* bytes, std::size_t size, char16_t* units) {
  if (failed_) return 0;
  const auto* const begin = reinterpret_cast<const unsigned char*>(bytes);
  const auto* const end = begin + size;
  const auto* p = begin;
  char16_t* out = units;
  while (p < end) {
    if (missing_ == 0) {
      const auto* const runStart = p;
      // Addresses are nearly all ASCII: a run of bytes without a high bit is as many
      // units, with no character to assemble. memcpy is how to load them unaligned.
#if defined(__SSE2__)
      while (end - p >= 16) {
        const __m128i sixteen = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        if (_mm_movemask_epi8(sixteen) != 0) break;
        const __m128i zero = _mm_setzero_si128();
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi8(sixteen, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), _mm_unpackhi_epi8(sixteen, zero));
        out += 16;
        p += 16;
      }
#endif
      while (end - p >= 8) {
        uint64_t word;
        std::memcpy(&word, p, sizeof word);
        if ((word & 0x8080808080808080u) != 0) break;
        Widen8(p, out);
        out += 8;
        p += 8;
      }
      // Fewer than eight left: when eight ASCII bytes end the piece and the run began
      // at least eight back, widening those eight again rewrites units already right.
      if (end - p < 8 && end - runStart >= 8 && p < end) {
        uint64_t word;
        std::memcpy(&word, end - 8, sizeof word);
        if ((word & 0x8080808080808080u) == 0) {
          Widen8(end - 8, out + (end - p) - 8);
          out += end - p;
          break;
        }
      }
      while (p < end && *p < 0x80) *out++ = *p++;
      if (p == end) break;
      const unsigned char byte = *p;
      const LeadInfo info = Lead(byte);
      if (info.length == 0) {
        Fail(offset_ + static_cast<uint64_t>(p - begin));
        return static_cast<std::size_t>(out - units);
      }
      // The lead byte keeps 7 - length payload bits; each later byte keeps six.
      codePoint_ = byte & (0x7F >> info.length);
      missing_ = info.length - 1;
      low_ = info.secondLow;
      high_ = info.secondHigh;
      sequenceStart_ = offset_ + static_cast<uint64_t>(p - begin);
      ++p;
      continue;
    }
    const unsigned char byte = *p;
    if (byte < low_ || byte > high_) {
      Fail(sequenceStart_);
      return static_cast<std::size_t>(out - units);
    }
    codePoint_ = (codePoint_ << 6) | (byte & 0x3F);
    low_ = 0x80;
    high_ = 0xBF;
    ++p;
    if (--missing_ > 0) continue;
    if (codePoint_ < 0x10000) {
      *out++ = static_cast<char16_t>(codePoint_);
    } else {
      const char32_t offset = codePoint_ - 0x10000;
      *out++ = static_cast<char16_t>(0xD800 + (offset >> 10));
      *out++ = static_cast<char16_t>(0xDC00 + (offset & 0x3FF));
    }
  }
  offset_ += size;
  return static_cast<std::size_t>(out - units);
}

bool Utf8Decoder::Finish() {
  if (!failed_ && missing_ > 0) Fail(sequenceStart_);
  return !failed_;
}

std::optional<std::u16string> DecodeUtf8(std::string_view bytes, std::size_t* errorOffset) {
  // UTF-8 never takes fewer bytes than UTF-16 takes units; one more is the room
  // Decode asks for.
  std::u16string out(bytes.size() + 1, u'\0');
  Utf8Decoder decoder;
  out.resize(decoder.Decode(bytes.data(), bytes.size(), out.data()));
  if (!decoder.Finish()) {
    if (errorOffset != nullptr) *errorOffset = static_cast<std::size_t>(decoder.ErrorOffset());
    return std::nullopt;
  }
  return out;
}

std::size_t EncodeUtf8(std::u16string_view text, char* out) {
  char* const start = out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    const bool high = unit >= 0xD800 && unit <= 0xDBFF;
    const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
    if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      out = AppendUtf8(0x10000 + ((char32_t{unit} - 0xD800) << 10) + (text[i + 1] - 0xDC00), out);
      ++i;
    } else {
      out = AppendUtf8(high || low ? 0xFFFD : unit, out);
    }
  }
  return static_cast<std::size_t>(out - start);
}

}  // namespace tarvik::cli
