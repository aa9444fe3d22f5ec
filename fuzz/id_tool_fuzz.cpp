// Feeds tarvik-id's line reader arbitrary bytes, read whole, byte by byte and in
// pieces cut where the data says, also with --match, and checks every answer, printed
// line and message against a reading done the slow, obvious way: whole lines, decoded
// one sequence at a time from Unicode's table of well-formed UTF-8, folded with the
// text layer's own lower case and character codes. That reading must first give every
// known answer, so that a wrong reference cannot hide a wrong tool.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "cli/id_tool.h"
#include "cli/utf8.h"
#include "tests/cli_support.h"
#include "tests/support/known_answers.h"
#include "text/text.h"

namespace {

uint32_t Next(uint32_t& state) {
  state ^= state << 13, state ^= state >> 17, state ^= state << 5;
  return state;
}

// The cuts of each reading: none (the input whole), every byte, or lengths drawn from
// a generator seeded with the data, so that splits follow mutations.
std::vector<std::size_t> Cuts(std::size_t size, int step, uint32_t seed) {
  std::vector<std::size_t> cuts;
  uint32_t state = seed | 1;
  for (std::size_t at = 0; step != 0 && at < size;) {
    const uint32_t draw = Next(state);
    at += step == 1 ? 1 : 1 + draw % (draw & 0x100 ? 4096 : 16);
    cuts.push_back(at);
  }
  return cuts;
}

// Unicode's table of well-formed UTF-8 byte sequences, one row per range of first bytes.
struct Row {
  unsigned char first, last;
  int length;
  unsigned char low[3], high[3];  // the range of each later byte
};
constexpr Row kRows[] = {
    {0x00, 0x7F, 1, {}, {}},
    {0xC2, 0xDF, 2, {0x80}, {0xBF}},
    {0xE0, 0xE0, 3, {0xA0, 0x80}, {0xBF, 0xBF}},
    {0xE1, 0xEC, 3, {0x80, 0x80}, {0xBF, 0xBF}},
    {0xED, 0xED, 3, {0x80, 0x80}, {0x9F, 0xBF}},
    {0xEE, 0xEF, 3, {0x80, 0x80}, {0xBF, 0xBF}},
    {0xF0, 0xF0, 4, {0x90, 0x80, 0x80}, {0xBF, 0xBF, 0xBF}},
    {0xF1, 0xF3, 4, {0x80, 0x80, 0x80}, {0xBF, 0xBF, 0xBF}},
    {0xF4, 0xF4, 4, {0x80, 0x80, 0x80}, {0x8F, 0xBF, 0xBF}},
};

// Decodes a whole line; on an ill-formed sequence returns false with its offset.
bool ReferenceDecode(std::string_view bytes, std::u16string& units, std::size_t& errorAt) {
  for (std::size_t i = 0; i < bytes.size();) {
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(bytes[i + k]); };
    const Row* row = nullptr;
    for (const Row& r : kRows) {
      if (at(0) >= r.first && at(0) <= r.last) row = &r;
    }
    bool good = row != nullptr && bytes.size() - i >= static_cast<std::size_t>(row->length);
    for (int k = 1; good && k < row->length; ++k) good = at(k) >= row->low[k - 1] && at(k) <= row->high[k - 1];
    if (!good) {
      errorAt = i;
      return false;
    }
    // The payload bits: what the first byte keeps below its length marker, six per later byte.
    uint32_t c = at(0) & (row->length == 1 ? 0x7F : row->length == 2 ? 0x1F : row->length == 3 ? 0x0F : 0x07);
    for (int k = 1; k < row->length; ++k) c = c * 64 + (at(k) - 0x80);
    if (c >= 0x10000) {
      units.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      units.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      units.push_back(static_cast<char16_t>(c));
    }
    i += row->length;
  }
  return true;
}

uint32_t ReferenceFold(std::u16string_view units) {
  return tarvik::test::ReferenceFold(tarvik::text::LowerCase(units), tarvik::text::CharacterCode);
}

struct Result {
  int status = 0;
  std::string out, err;
  // The good lines without their ends (or a skipped mark) and their numbers, for --match.
  std::vector<std::pair<std::string_view, uint32_t>> lines;
};

Result Reference(std::string_view input) {
  Result result;
  for (std::size_t number = 1; !input.empty(); ++number) {
    const std::size_t lf = input.find('\n');
    std::string_view line = input.substr(0, lf);
    input.remove_prefix(lf == std::string_view::npos ? input.size() : lf + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    std::size_t skipped = 0;
    if (number == 1 && line.starts_with("\xEF\xBB\xBF")) skipped = 3;
    std::u16string units;
    std::size_t errorAt = 0;
    if (ReferenceDecode(line.substr(skipped), units, errorAt)) {
      result.lines.emplace_back(line.substr(skipped), ReferenceFold(units));
      result.out += std::to_string(result.lines.back().second) + "\n";
    } else {
      result.err += "tarvik-id: line " + std::to_string(number) + ": invalid UTF-8 at byte " +
                    std::to_string(skipped + errorAt + 1) + "\n";
      result.status = 1;
    }
  }
  return result;
}

void Check(bool good, const char* what, int step) {
  if (good) return;
  std::fprintf(stderr, "tarvik-id or its reference differs in its %s, read %s\n", what,
               step == 0 ? "whole" : step == 1 ? "byte by byte" : step == 2 ? "in pieces" : "in pieces with --match");
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const auto answers = tarvik::test::ReadKnownAnswers(TARVIK_KNOWN_ANSWERS);
  Check(!answers.empty(), "known answers (" TARVIK_KNOWN_ANSWERS ")", 0);
  for (const auto& a : answers) Check(Reference("\n" + a.text + "\n").out == "0\n" + std::to_string(a.id) + "\n", a.what.c_str(), 0);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const Result expected = Reference(input);
  uint32_t seed = 2166136261u;  // FNV-1a of the data
  for (const char byte : input) seed = (seed ^ static_cast<unsigned char>(byte)) * 16777619u;
  // The decoder alone, the input taken as one text, each piece in a buffer of its own
  // exact size: the tool reads from a larger block, where reading too far goes unseen.
  {
    std::u16string expectedUnits;
    std::size_t expectedError = 0;
    const bool good = ReferenceDecode(input, expectedUnits, expectedError);
    tarvik::cli::Utf8Decoder decoder;
    std::u16string units;
    uint32_t state = seed | 1;
    for (std::size_t done = 0; done < input.size();) {
      const std::size_t count = std::min<std::size_t>(input.size() - done, 1 + Next(state) % 24);
      const std::vector<char> piece(input.begin() + done, input.begin() + done + count);
      std::vector<char16_t> room(count + 1);
      units.append(room.data(), decoder.Decode(piece.data(), count, room.data()));
      done += count;
    }
    Check(decoder.Finish() == good, "decoder's verdict", 2);
    Check(good ? units == expectedUnits : decoder.ErrorOffset() == expectedError, "decoder's result", 2);
  }
  for (int step = 0; step < 3; ++step) {
    const auto got = tarvik::cli::testing::RunInProcess({}, input, Cuts(input.size(), step, seed));
    Check(got.status == expected.status, "exit status", step);
    Check(got.out == expected.out, "answers", step);
    Check(got.err == expected.err, "messages", step);
  }
  // --match with the number of a line the data picks: exactly the lines with it, as given.
  if (!expected.lines.empty()) {
    const uint32_t number = expected.lines[seed % expected.lines.size()].second;
    std::string lines;
    for (const auto& [text, value] : expected.lines) {
      if (value == number) lines.append(text).append("\n");
    }
    const std::string digits = std::to_string(number);
    const auto got = tarvik::cli::testing::RunInProcess({u"--match", std::u16string(digits.begin(), digits.end())},
                                                        input, Cuts(input.size(), 2, seed));
    Check(got.status == 0, "exit status", 3);
    Check(got.out == lines, "matching lines", 3);
    Check(got.err == expected.err, "messages", 3);
  }
  return 0;
}
