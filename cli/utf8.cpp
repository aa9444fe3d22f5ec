#include "cli/utf8.h"

#include <cstdint>

namespace tarvik::cli {
namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

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

void AppendUtf16(std::u16string& out, char32_t codePoint) {
  if (codePoint < 0x10000) {
    out.push_back(static_cast<char16_t>(codePoint));
  } else {
    const char32_t offset = codePoint - 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (offset >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (offset & 0x3FF)));
  }
}

void AppendUtf8(std::string& out, char32_t codePoint) {
  auto put = [&out](char32_t byte) { out.push_back(static_cast<char>(byte)); };
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
}

}  // namespace

std::optional<std::u16string> DecodeUtf8(std::string_view bytes, std::size_t* errorOffset) {
  std::u16string out;
  out.reserve(bytes.size());
  std::size_t i = 0;
  const auto fail = [&]() -> std::optional<std::u16string> {
    if (errorOffset != nullptr) *errorOffset = i;
    return std::nullopt;
  };
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    const LeadInfo info = Lead(lead);
    if (info.length == 0) return fail();
    if (info.length == 1) {
      out.push_back(lead);
      ++i;
      continue;
    }
    if (bytes.size() - i < static_cast<std::size_t>(info.length)) return fail();
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    if (second < info.secondLow || second > info.secondHigh) return fail();
    // The lead byte keeps 7 - length payload bits; each later byte keeps six.
    char32_t codePoint = lead & (0x7F >> info.length);
    codePoint = (codePoint << 6) | (second & 0x3F);
    for (int k = 2; k < info.length; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + k]);
      if (!IsContinuation(next)) return fail();
      codePoint = (codePoint << 6) | (next & 0x3F);
    }
    AppendUtf16(out, codePoint);
    i += info.length;
  }
  return out;
}

std::string EncodeUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    const bool high = unit >= 0xD800 && unit <= 0xDBFF;
    const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
    if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (text[i + 1] - 0xDC00));
      ++i;
    } else if (high || low) {
      AppendUtf8(out, 0xFFFD);
    } else {
      AppendUtf8(out, unit);
    }
  }
  return out;
}

}  // namespace tarvik::cli
