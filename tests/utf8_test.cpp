#include "cli/utf8.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "tests/cli_support.h"
#include "tests/support/text_util.h"

namespace tarvik::cli {
namespace {

using namespace std::string_view_literals;

using test::Hex;

std::string Encode(std::u16string_view units) {
  std::string bytes(Utf8Room(units.size()), '\0');
  bytes.resize(EncodeUtf8(units, bytes.data()));
  return bytes;
}

// Decodes from a heap buffer of exactly the input's size, so that reading past its end
// is caught under AddressSanitizer (a std::string's terminating NUL would hide it).
std::optional<std::u16string> Decode(std::string_view bytes, std::size_t* offset = nullptr) {
  const std::vector<char> exact(bytes.begin(), bytes.end());
  return DecodeUtf8(std::string_view(exact.data(), exact.size()), offset);
}

// What decoding gave: the units, or where it refused the input.
template <typename Units>
std::string Said(const std::optional<Units>& units, std::size_t offset) {
  return units ? Hex(*units) : "refused at byte " + std::to_string(offset);
}

// Decoding whole, and cut in up to three pieces in every way, gives `units`, or refuses
// the input at `offset`.
void ExpectDecoding(std::string_view bytes, std::optional<std::u16string_view> units, std::size_t offset) {
  const std::string expected = Said(units, offset);
  std::size_t got = 0;
  const auto whole = Decode(bytes, &got);
  EXPECT_EQ(Said(whole, got), expected) << "input " << Hex(bytes);
  for (std::size_t first = 0; first <= bytes.size(); ++first) {
    for (std::size_t second = first; second <= bytes.size(); ++second) {
      const auto pieces = cli::testing::DecodeInPieces(bytes, {first, second}, &got);
      ASSERT_EQ(Said(pieces, got), expected) << "input " << Hex(bytes) << " cut at " << first << " and " << second;
    }
  }
}

TEST(DecodeUtf8, AcceptsEveryWellFormedLengthAndRefusesIllFormedSequencesSayingWhere) {
  struct Case { std::string_view bytes; std::optional<std::u16string_view> units; std::size_t offset = 0; };
  const Case cases[] = {
      {""sv, u""},                                          // nothing at all
      {"abc"sv, u"abc"},                                    // ASCII passes through
      {"a\0b"sv, u"a\0b"sv},                                // NUL is a character, not an end
      {"\x7F"sv, u"\x7F"},                                  // last one-byte form
      {"\xC2\x80"sv, u"\x0080"},                            // first two-byte form
      {"\xC5\x82"sv, u"\x0142"},                            // ł, two bytes
      {"\xDF\xBF"sv, u"\x07FF"},                            // last two-byte form
      {"\xE0\xA0\x80"sv, u"\x0800"},                        // first three-byte form (E0 floor A0)
      {"\xE2\x82\xAC"sv, u"\x20AC"},                        // €, three bytes
      {"\xED\x9F\xBF"sv, u"\xD7FF"},                        // just below the surrogates (ED ceiling 9F)
      {"\xEE\x80\x80"sv, u"\xE000"},                        // just above the surrogates
      {"\xEF\xBB\xBF"sv, u"\xFEFF"},                        // a byte-order mark is an ordinary character
      {"\xEF\xBF\xBF"sv, u"\xFFFF"},                        // last three-byte form
      {"\xF0\x90\x80\x80"sv, u"\xD800\xDC00"},              // U+10000, first pair (F0 floor 90)
      {"\xF0\x9F\x98\x80"sv, u"\xD83D\xDE00"},              // U+1F600, a pair
      {"\xF4\x8F\xBF\xBF"sv, u"\xDBFF\xDFFF"},              // U+10FFFF, last pair (F4 ceiling 8F)
      {"x\xC5\x82y\xF0\x9F\x98\x80z"sv, u"x\x0142y\xD83D\xDE00z"},  // lengths mixed in one text
      {"Firstname.\xC5\x81" "astname@ex.com"sv, u"Firstname.\x0141" "astname@ex.com"},  // ASCII by eights, then not
      // ill-formed, refused at the offset of the sequence
      {"\x80"sv, std::nullopt, 0},                          // stray continuation byte
      {"ab\xBF"sv, std::nullopt, 2},                        // stray continuation after ASCII
      {"\xC0\xAF"sv, std::nullopt, 0},                      // overlong '/', C0 lead
      {"\xC1\xBF"sv, std::nullopt, 0},                      // overlong U+007F, C1 lead
      {"\xE0\x9F\xBF"sv, std::nullopt, 0},                  // overlong U+07FF in three bytes
      {"\xF0\x8F\xBF\xBF"sv, std::nullopt, 0},              // overlong U+FFFF in four bytes
      {"\xED\xA0\x80"sv, std::nullopt, 0},                  // encoded high surrogate U+D800
      {"\xED\xBF\xBF"sv, std::nullopt, 0},                  // encoded low surrogate U+DFFF
      {"\xED\xA0\xBD\xED\xB8\x80"sv, std::nullopt, 0},      // a surrogate pair encoded byte-wise (CESU-8)
      {"\xF4\x90\x80\x80"sv, std::nullopt, 0},              // U+110000, past the last code point
      {"\xF5\x80\x80\x80"sv, std::nullopt, 0},              // F5 lead could only encode past U+10FFFF
      {"\xFE"sv, std::nullopt, 0},                          // FE never occurs
      {"\xFF"sv, std::nullopt, 0},                          // FF never occurs
      {"\xC5"sv, std::nullopt, 0},                          // two-byte form cut short by the end
      {"x\xE2\x82"sv, std::nullopt, 1},                     // three-byte form cut short by the end
      {"\xF0\x9F\x98"sv, std::nullopt, 0},                  // four-byte form cut short by the end
      {"\xE2\x82x"sv, std::nullopt, 0},                     // three-byte form cut short by ASCII
      {"\xE1\x80\xC0"sv, std::nullopt, 0},                  // third byte is a lead, not a continuation
      {"\xF0\x9F\x98\x41"sv, std::nullopt, 0},              // fourth byte is ASCII
      {"\xC5\x82\xC5"sv, std::nullopt, 2},                  // error after a good two-byte character
      {"\xE2\x82\xAC\xE2\xC2\x80"sv, std::nullopt, 3},      // error after a good three-byte character
      {"abcdefgh\xE2\x82"sv, std::nullopt, 8},              // cut short right after eight ASCII bytes
      {"abcdefghijklmno\xFF"sv, std::nullopt, 15},          // bad byte after the eight-byte run, in the tail
  };
  for (const Case& c : cases) ExpectDecoding(c.bytes, c.units, c.offset);
}

// The encoder's bytes for every code point decode to that code point's units: with
// the decoder pinned to the definition by the tables above, that pins the encoder too.
TEST(DecodeUtf8, AgreesWithTheEncoderOnEveryCodePoint) {
  for (char32_t c = 0; c <= 0x10FFFF; ++c) {
    const std::string bytes = cli::testing::Utf8(c);
    std::u16string units;
    test::AppendUtf16(c, units);
    const bool surrogate = c >= 0xD800 && c <= 0xDFFF;  // no character: its bytes are refused
    ASSERT_EQ(Decode(bytes), surrogate ? std::nullopt : std::optional(units)) << "U+" << std::hex << +c << Hex(bytes);
    ASSERT_TRUE(surrogate || Encode(units) == bytes) << "U+" << std::hex << +c << " encoded as " << Hex(Encode(units));
  }
}

TEST(EncodeUtf8, ReplacesOnlyUnpairedSurrogates) {
  struct Case { std::u16string_view units; std::string_view bytes; };
  const Case cases[] = {
      {u"\xD83D\xDE00", "\xF0\x9F\x98\x80"sv},           // a proper pair is one character
      {u"\xD800" "a", "\xEF\xBF\xBD" "a"sv},             // high surrogate followed by a letter
      {u"\xDC00", "\xEF\xBF\xBD"sv},                     // low surrogate alone
      {u"a\xD83D", "a\xEF\xBF\xBD"sv},                   // high surrogate at the very end
      {u"\xDE00\xD83D", "\xEF\xBF\xBD\xEF\xBF\xBD"sv},   // a pair in the wrong order is two strays
  };
  for (const Case& c : cases) EXPECT_EQ(Hex(Encode(c.units)), Hex(c.bytes)) << "input " << Hex(c.units);
}

}  // namespace
}  // namespace tarvik::cli
