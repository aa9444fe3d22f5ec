#include "text/text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "engine/id_number.h"
#include "tests/support/known_answers.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace tarvik::text {
namespace {

using test::Hex;
std::string UnitName(char16_t unit) { return Hex(std::u16string_view(&unit, 1)); }

// On Windows the answers are the system's, so each suite first makes sure it runs under
// the code page its expectations belong to (CTest picks it through Wine's locale).
// Elsewhere the layer always behaves as code page 1252.
template <unsigned kCodePage>
class InCodePage : public testing::Test {
 protected:
  void SetUp() override {
#ifdef _WIN32
    ASSERT_EQ(GetACP(), kCodePage) << "these cases are code page " << kCodePage
                                   << "'s; Wine takes the code page from LC_ALL / LANG";
#endif
  }
};
using CodePage1252 = InCodePage<1252>;

struct CodeCase {
  char16_t unit;
  int32_t code;
  const char* what;
};
void ExpectCodes(std::initializer_list<CodeCase> cases) {
  for (const CodeCase& c : cases) EXPECT_EQ(CharacterCode(c.unit), c.code) << c.what << ": input " << UnitName(c.unit);
}

// For every unit: its lower case is final (a second pass finds nothing left to lower),
// its code lies in [lowest, highest], and the fold's code of it, from a table or a cache,
// is the code of its lower case: converted first, hit in the cache, and again after
// another unit of the same cache slot took its place.
void ExpectEveryUnit(int32_t lowest, int32_t highest) {
  LowerCodes codes;
  for (int value = 0; value <= 0xFFFF; ++value) {
    const auto unit = static_cast<char16_t>(value), rival = static_cast<char16_t>(value ^ 0x100);
    const std::u16string lower = LowerCase(std::u16string(1, unit));
    ASSERT_EQ(LowerCase(lower), lower) << "input " << UnitName(unit) << " lowers to " << Hex(lower)
                                       << ", which lowers again";
    const int32_t code = CharacterCode(unit);
    ASSERT_TRUE(code >= lowest && code <= highest) << "input " << UnitName(unit) << ", got code " << code;
    const int32_t lowerCode = CharacterCode(lower[0]);
    const int32_t rivalLowerCode = CharacterCode(LowerCase(std::u16string(1, rival))[0]);
    for (const char16_t asked : {unit, unit, rival, unit}) {
      char16_t prepared = asked;
      codes.Prepare(&prepared, 1);
      ASSERT_EQ(codes.Code(prepared), asked == unit ? lowerCode : rivalLowerCode) << "input " << UnitName(asked);
    }
  }
}

TEST_F(CodePage1252, LowerCaseMapsEachUnitByTheSystemsRulesAndKeepsEverythingElse) {
  // Expected lower cases are Unicode's simple lower-case mappings.
  struct Case { std::u16string text, lower; const char* what; };
  const Case cases[] = {
      {u"A", u"a", "first ASCII capital"},
      {u"Z", u"z", "last ASCII capital"},
      {u"@", u"@", "just below A: not a letter"},
      {u"[", u"[", "just above Z: not a letter"},
      {u"q", u"q", "already lower case"},
      {u"7", u"7", "digit"},
      {u"\u00C0", u"\u00E0", "first Latin-1 capital, A grave"},
      {u"\u00DE", u"\u00FE", "last Latin-1 capital, thorn"},
      {u"\u00D7", u"\u00D7", "multiplication sign between the Latin-1 capitals"},
      {u"\u00DF", u"\u00DF", "sharp s is already lower case"},
      {u"\u00B5", u"\u00B5", "micro sign is already lower case"},
      {u"\u0178", u"\u00FF", "Y diaeresis: capital at 0x9F in 1252, lower case in Latin-1"},
      {u"\u0160", u"\u0161", "S caron, a letter of 1252's 0x80-0x9F block"},
      {u"\u0152", u"\u0153", "ligature OE, likewise"},
      {u"\u0100", u"\u0101", "A macron, Latin Extended-A"},
      {u"\u0391", u"\u03B1", "Greek alpha"},
      {u"\u0414", u"\u0434", "Cyrillic de"},
      {u"\uFF21", u"\uFF41", "fullwidth A"},
      {u"\u20AC", u"\u20AC", "euro sign is not a letter"},
      {u"\xDC00", u"\xDC00", "lone low surrogate half"},
      {u"\xD800", u"\xD800", "lone high surrogate half"},
      // Texts keep their length, and everything in them but letters.
      {u"", u"", "empty text"},
      {u"John.Smith+Tag@Example-Mail.COM", u"john.smith+tag@example-mail.com", "an address"},
      {u"  A B  ", u"  a b  ", "spaces are not trimmed"},
      {std::u16string(u"A\0B", 3), std::u16string(u"a\0b", 3), "a NUL does not end the text"},
      {u"\u00C9COLE 1\u20AC", u"\u00E9cole 1\u20AC", "Latin-1 capital, digit and euro sign"},
  };
  const auto expectLowerCase = [](const Case& c) {
    EXPECT_EQ(LowerCase(c.text), c.lower) << c.what << ": input " << Hex(c.text) << "\nexpected " << Hex(c.lower)
                                          << "\ngot " << Hex(LowerCase(c.text));
  };
  // The same texts in one as well (the low half before the high one, so they make no
  // pair): a text is lowered unit by unit, nothing shifts.
  Case all{u"", u"", "all of them in one text"};
  for (const Case& c : cases) {
    expectLowerCase(c);
    all.text += c.text;
    all.lower += c.lower;
  }
  expectLowerCase(all);
}

TEST_F(CodePage1252, CharacterCodeFollowsTheCodePageAndItsBestFit) {
  // Expected codes from Microsoft's code page 1252 table and its best-fit table
  // (bestfit1252.txt); whatever neither lists becomes '?', 63.
  ExpectCodes({
      {u'a', 97, "ASCII letter"},
      {u'@', 64, "ASCII punctuation"},
      {0x0000, 0, "NUL"},
      {0x007F, 127, "last ASCII unit"},
      {u'?', 63, "the substitute is also a character of its own"},
      {0x00A0, 160, "no-break space, first of the units 0xA0-0xFF that are their own code"},
      {0x00E0, 224, "a grave"},
      {0x00FF, 255, "y diaeresis, the top byte"},
      {0x20AC, 128, "euro sign, byte 0x80"},
      {0x0178, 159, "Y diaeresis, byte 0x9F"},
      {0x2122, 153, "trade mark sign, byte 0x99"},
      {0x0081, 129, "byte 0x81 is unassigned and round-trips through its C1 control"},
      {0x0080, 63, "C1 control whose byte is the euro sign's: no mapping"},
      {0x0100, 65, "best fit: A macron as A"},
      {0x0142, 108, "best fit: l stroke as l"},
      {0x0110, 208, "best fit: D stroke as eth, a byte above 0x7F"},
      {0x221E, 56, "best fit: infinity as 8"},
      {0xFF41, 97, "best fit: fullwidth a as a"},
      {0x3000, 32, "best fit: ideographic space as space"},
      {0x0414, 63, "Cyrillic de: no mapping"},
      {0x3042, 63, "hiragana a: no mapping"},
      {0x4E2D, 63, "CJK ideograph: no mapping"},
      {0xFFFD, 63, "replacement character: no mapping"},
      {0xD800, 63, "first high surrogate half"},
      {0xDBFF, 63, "last high surrogate half"},
      {0xDC00, 63, "first low surrogate half"},
      {0xDFFF, 63, "last low surrogate half"},
  });
}

TEST_F(CodePage1252, EveryByteIsTheCodeOfTheUnitItStandsFor) {
  // Microsoft's code page 1252 table for bytes 0x80-0x9F; the five bytes it leaves
  // unassigned stand for the C1 controls of the same number. Every other byte stands
  // for the unit of the same number.
  const char16_t kBlock80[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
  };
  for (int byte = 0; byte <= 0xFF; ++byte) {
    const char16_t unit = byte >= 0x80 && byte <= 0x9F ? kBlock80[byte - 0x80] : static_cast<char16_t>(byte);
    EXPECT_EQ(CharacterCode(unit), byte) << "input " << UnitName(unit);
  }
}

TEST_F(CodePage1252, EveryUnitLowersOnceToOneByteCodeAndFoldsByIt) { ExpectEveryUnit(0, 0xFF); }

// The table's rows outside ASCII, worked out by hand from these codes.
TEST_F(CodePage1252, IdNumbersOfNonAsciiAddressesUseTheseCodes) {
  const std::vector<test::KnownAnswer> answers = test::ReadKnownAnswers(TARVIK_KNOWN_ANSWERS);
  ASSERT_FALSE(answers.empty()) << TARVIK_KNOWN_ANSWERS;
  for (const test::KnownAnswer& a : answers) {
    if (a.Ascii()) continue;
    const std::u16string address = test::Utf16(a.text);
    EXPECT_EQ(test::Narrow(WorkOutIdNumber(address)), std::to_string(a.id)) << a.what << ": " << Hex(address);
  }
}

#ifdef _WIN32

using DoubleByteCodePage = InCodePage<932>;

TEST_F(DoubleByteCodePage, CodesAreSignedSixteenBitValues) {
  // Expected codes from Microsoft's code page 932 (Shift JIS) table.
  ExpectCodes({
      {u'a', 97, "ASCII is one byte"},
      {0xFF71, 177, "half-width katakana a: one byte 0xB1, positive"},
      {0x3042, -32096, "hiragana a, 0x82A0: the lead byte's top bit makes it negative"},
      {0x4E00, -30486, "CJK ideograph one, 0x88EA"},
  });
}

TEST_F(DoubleByteCodePage, EveryUnitLowersOnceToASixteenBitCodeAndFoldsByIt) { ExpectEveryUnit(-0x8000, 0x7FFF); }

TEST_F(DoubleByteCodePage, NegativeCodesFoldSignExtended) {
  struct Case { std::u16string address; const char* id; const char* what; };
  const Case cases[] = {
      {u"\u3042", "4294935200", "-32096 read as unsigned 32 bits"},
      {u"a\u3042", "4294944997", "97 * 101 - 32096, below zero"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(test::Narrow(WorkOutIdNumber(c.address)), c.id) << "input " << Hex(c.address);
  }
}

#endif

}  // namespace
}  // namespace tarvik::text
