#include "engine/id_number.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "engine/ascii_run.h"
#include "tests/support/known_answers.h"
#include "text/text.h"

namespace tarvik {
namespace {

using test::Narrow;
const auto U16 = test::Widen<char16_t>;

constexpr uint32_t kSignBit = 0x80000000u, kMax = 0x7FFFFFFFu;

// The reference fold over the codes the text layer gives the lower-cased text.
uint32_t ReferenceFold(const std::u16string& text) { return test::ReferenceFold(text::LowerCase(text), text::CharacterCode); }

// A text of 0 to `longest` units, each drawn by `draw`.
std::u16string RandomText(std::mt19937& random, int longest, const auto& draw) {
  std::u16string text(std::uniform_int_distribution<size_t>(0, longest)(random), 0);
  for (auto& c : text) c = static_cast<char16_t>(draw());
  return text;
}

// The engine against `reference` on `count` random texts of units from `lowest` to `highest`.
void ExpectRandomTexts(uint32_t seed, int count, int longest, int lowest, int highest, const auto& reference) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> unit(lowest, highest);
  for (int i = 0; i < count; ++i) {
    const std::u16string address = RandomText(random, longest, [&] { return unit(random); });
    ASSERT_EQ(Narrow(WorkOutIdNumber(address)), std::to_string(reference(address))) << "address " << test::Hex(address);
  }
}

// The fold's two steps as 32-bit patterns, across every boundary of the sign and the carry.
TEST(AddWrapped, WrapsAtEveryBoundary) {
  struct Case { uint32_t a, b, sum; const char* what; };
  const Case cases[] = {
      {0, 0, 0, "zero"},
      {2, 3, 5, "small positives"},
      {kMax, 1, kSignBit, "carry into the sign bit"},
      {0xFFFFFFFF, 1, 0, "carry out of bit 31 is dropped"},
      {kSignBit, kSignBit, 0, "two sign bits cancel"},
      {kSignBit, 0xFFFFFFFF, kMax, "negative overflow wraps to the top"},
      {kMax, kMax, 0xFFFFFFFE, "largest positives"},
      {0xFFFFFFFB, 3, 0xFFFFFFFE, "mixed signs, no carry out"},
      {0x55555555, 0x2AAAAAAB, kSignBit, "carry ripples through every bit"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(static_cast<uint32_t>(AddWrapped(c.a, c.b)), c.sum) << c.what << ": " << c.a << " + " << c.b;
    EXPECT_EQ(static_cast<uint32_t>(AddWrapped(c.b, c.a)), c.sum) << c.what << ", commuted";
  }
}

TEST(Times101, WrapsLikeUnsignedMultiplication) {
  struct Case { uint32_t a, product; const char* what; };
  const Case cases[] = {
      {0, 0, "zero"},
      {1, 101, "one"},
      {0xFFFFFFFF, 0xFFFFFF9B, "minus one"},
      {kMax, 2147483547, "largest positive"},
      {kSignBit, kSignBit, "sign bit alone: 101 is odd"},
      {21262215, 2147483715, "first value whose product passes 2^31"},
      {21262214, 2147483614, "last value whose product stays below 2^31"},
  };
  for (const Case& c : cases) EXPECT_EQ(static_cast<uint32_t>(Times101(c.a)), c.product) << c.what << ": 101 * " << c.a;
}

TEST(WrapAroundArithmetic, AgreesWithA64BitReferenceOnRandomValues) {
  std::mt19937 random(20261208);
  std::uniform_int_distribution<uint32_t> any;
  for (int i = 0; i < 100000; ++i) {
    const uint32_t a = any(random), b = any(random);
    ASSERT_EQ(static_cast<uint32_t>(AddWrapped(a, b)), (uint64_t{a} + b) % (uint64_t{1} << 32)) << a << " + " << b;
    ASSERT_EQ(static_cast<uint32_t>(Times101(a)), uint64_t{a} * 101 % (uint64_t{1} << 32)) << "101 * " << a;
  }
}

// Each number into a buffer of byte and one of UTF-16 units, filled beforehand, so that
// a write past the digits shows.
TEST(UnsignedText, ReadsTheBitPatternAsUnsignedAndWritesTheDigitsAlone) {
  struct Case { uint32_t n; std::string_view text; const char* what; };
  const Case cases[] = {
      {0, "0", "zero has one digit"},
      {7, "7", "no leading zeros"},
      {10, "10", "the first two digits"},
      {1000000000, "1000000000", "the first ten digits"},
      {kMax, "2147483647", "largest positive"},
      {kSignBit, "2147483648", "sign bit alone"},
      {0x80000001, "2147483649", "just above 2^31"},
      {0xFFFFFFFF, "4294967295", "all bits set"},
      {0xBB9ACA00, "3147483648", "low bits exactly one billion"},
      {0xF7359400, "4147483648", "low bits one billion over two billion"},
      {0xBB9AC9FF, "3147483647", "just below a billion boundary"},
      {0xD9682F00, "3647483648", "leading zero in the low part"},
  };
  for (const Case& c : cases) {
    char bytes[kMaxUnsignedDigits + 1];
    char16_t units[kMaxUnsignedDigits + 1];
    std::fill(std::begin(bytes), std::end(bytes), '#');
    std::fill(std::begin(units), std::end(units), u'#');
    const size_t count = UnsignedText(c.n, bytes);
    EXPECT_EQ(std::string_view(bytes, count), c.text) << c.what << ": n = " << c.n;
    EXPECT_EQ(std::u16string_view(units, UnsignedText(c.n, units)), U16(c.text)) << c.what << ": n = " << c.n;
    EXPECT_TRUE(bytes[count] == '#' && units[count] == u'#') << c.n << ": wrote past its digits";
  }
}

// The table's rows in ASCII, whose codes every code page shares (the others are the text
// layer's), through the engine and through the reference, which serves for random texts.
TEST(WorkOutIdNumber, GivesTheKnownAnswers) {
  const std::vector<test::KnownAnswer> answers = test::ReadKnownAnswers(TARVIK_KNOWN_ANSWERS);
  ASSERT_FALSE(answers.empty()) << TARVIK_KNOWN_ANSWERS;
  for (const test::KnownAnswer& a : answers) {
    if (!a.Ascii()) continue;
    EXPECT_EQ(Narrow(WorkOutIdNumber(U16(a.text))), std::to_string(a.id)) << a.what << ": \"" << a.text << '"';
    EXPECT_EQ(test::ReferenceFoldOfAscii(a.text), a.id) << "the reference, " << a.what;
  }
}

TEST(WorkOutIdNumber, AgreesWithAReferenceFoldOnRandomAsciiTexts) {
  // Printable ASCII has the same code in every ANSI code page, and only A-Z change
  // case, so the reference needs nothing from the text layer here.
  ExpectRandomTexts(101, 3000, 80, 0x20, 0x7E, [](const auto& text) { return test::ReferenceFoldOfAscii(text); });
}

TEST(WorkOutIdNumber, AgreesWithAReferenceFoldOnRandomUnicodeTexts) {
  // Any UTF-16 unit, lone surrogate halves included: the engine must fold whatever
  // the text layer reports, and render it unsigned.
  ExpectRandomTexts(7, 2000, 40, 0, 0xFFFF, ReferenceFold);
}

TEST(IdFold, PiecesSplitAnywhereFoldLikeTheWholeText) {
  // One fold restarted for every text, as a batch reader uses it, so that codes cached
  // for one text serve the next; any units, surrogate halves split between pieces too.
  // Long enough texts that pieces of bytes reach past the widening buffer's 256.
  std::mt19937 random(2026);
  std::uniform_int_distribution<int> unit(0, 0xFFFF), ascii(0, 0x7F);
  IdFold fold;
  for (int i = 0; i < 2000; ++i) {
    // Even texts are ASCII; odd ones any units, or ASCII with a few others among it.
    std::u16string address = RandomText(
        random, 700, [&] { return i % 2 == 0 || (i % 4 == 3 && random() % 16) ? ascii(random) : unit(random); });
    const std::string bytes(address.begin(), address.end());  // the ASCII texts as bytes
    fold.Restart();
    for (size_t start = 0, piece = 0; start < address.size(); ++piece) {
      const size_t size = std::uniform_int_distribution<size_t>(0, address.size() - start)(random);
      // ASCII texts alternate between units and bytes, piece by piece.
      if (i % 2 == 0 && piece % 2 == 1) fold.AddAscii(bytes.data() + start, size);
      else fold.Add(address.data() + start, size);
      start += size;
    }
    const uint32_t expected = ReferenceFold(address);
    ASSERT_EQ(fold.Value(), expected) << "text number " << i;
    ASSERT_EQ(Narrow(WorkOutIdNumber(address)), std::to_string(expected)) << "text number " << i;
  }
}

TEST(IdFold, AsciiRunsFoldLikeTheReferenceAndStopAtALineEndOrANonAsciiByte) {
  // Every kernel this processor runs, the byte-wise one first, against the reference:
  // random lengths across several windows, every alignment, a stop of each kind at a
  // random place or none, from 0 and from a value carried in from an earlier piece. The
  // bytes sit at the very end of their allocation, so a load past `end` is caught.
  detail::AsciiRunKernel kernelRoom[3];
  const std::span kernels(kernelRoom, detail::AsciiRunKernels(kernelRoom));
  ASSERT_EQ(std::string(kernels[0].name), "bytewise");
  for (const detail::AsciiRunKernel& kernel : kernels) {
    uint32_t h = 7;  // an empty text, as an empty view gives it, changes nothing
    ASSERT_EQ(kernel.fold(h, nullptr, nullptr), nullptr) << kernel.name;
    ASSERT_EQ(kernel.foldUnits(h, nullptr, nullptr), nullptr) << kernel.name;
    ASSERT_EQ(h, 7u) << kernel.name;
  }
  std::mt19937 random(14);
  std::uniform_int_distribution<int> length(0, 200), ascii(0, 0x7F), stop(0, 3), offset(0, 31);
  std::uniform_int_distribution<uint32_t> any;
  const char stops[] = {'\n', '\r', '\x80', '\xFF'};
  IdFold fold;
  for (int i = 0; i < 4000; ++i) {
    const size_t size = static_cast<size_t>(length(random)), start = static_cast<size_t>(offset(random));
    std::vector<char> buffer(start + size);
    for (char& c : buffer) c = static_cast<char>(ascii(random));
    std::replace(buffer.begin(), buffer.end(), '\n', 'Q');
    std::replace(buffer.begin(), buffer.end(), '\r', 'q');
    const size_t at = std::uniform_int_distribution<size_t>(0, size + size / 4)(random);  // at >= size: none
    if (at < size) buffer[start + at] = stops[stop(random)];
    const char* bytes = buffer.data() + start;
    const size_t kept = std::min(at, size);
    // The same as UTF-16 units, where CR and LF are no stops but every unit past ASCII
    // is, those that narrowing to bytes could take for ASCII above all.
    std::vector<char16_t> unitBuffer(buffer.begin(), buffer.end());
    const char16_t nonAscii[] = {0x80, 0xFF, 0x100, 0x7FFF, 0x8000, 0xFFFF};
    if (at < size) unitBuffer[start + at] = nonAscii[static_cast<size_t>(at) % std::size(nonAscii)];
    const char16_t* units = unitBuffer.data() + start;
    for (const uint32_t carried : {0u, any(random)}) {
      const uint32_t expected = test::ReferenceFoldOfAscii(std::string_view(bytes, kept), carried);
      for (const detail::AsciiRunKernel& kernel : kernels) {
        const auto where = [&] {
          return std::string(kernel.name) + ", text number " + std::to_string(i) + ", " + std::to_string(size) +
                 " bytes from offset " + std::to_string(start) + ", stop at " + std::to_string(at) + ", from " +
                 std::to_string(carried);
        };
        uint32_t h = carried, hForUnits = carried;
        ASSERT_EQ(kernel.fold(h, bytes, bytes + size), bytes + kept) << where();
        ASSERT_EQ(kernel.foldUnits(hForUnits, units, units + size), units + kept) << where() << ", on units";
        ASSERT_EQ(h, expected) << where();
        ASSERT_EQ(hForUnits, expected) << where() << ", on units";
      }
    }
    fold.Restart();
    ASSERT_EQ(fold.AddAsciiRun(bytes, bytes + size), bytes + kept) << "text number " << i;
    ASSERT_EQ(fold.Value(), ReferenceFold(U16(std::string_view(bytes, kept)))) << "text number " << i;
  }
}

}  // namespace
}  // namespace tarvik
