// Feeds tarvik-id's line reader arbitrary bytes, read whole, byte by byte and in
// pieces cut where the data says, also with --match, and checks every answer, printed
// line and message against a reading done the slow, obvious way: whole lines, decoded
// one sequence at a time from Unicode's table of well-formed UTF-8, folded with the
// text layer's own lower case and character codes. That reading must first give every
// known answer, so that a wrong reference cannot hide a wrong tool.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/cli_support.h"
#include "tests/support/known_answers.h"
#include "text/text.h"

namespace {

// The cuts of each reading: none (the input whole), every byte, or lengths drawn from
// a generator (xorshift, from a state other than zero) seeded with the data, so that
// splits follow mutations.
std::vector<std::size_t> Cuts(std::size_t size, int step, uint32_t state) {
  std::vector<std::size_t> cuts;
  for (std::size_t at = 0; step != 0 && at < size;) {
    state ^= state << 13, state ^= state >> 17, state ^= state << 5;
    at = std::min(size, at + (step == 1 ? 1 : 1 + state % (state & 0x100 ? 4096 : 16)));
    cuts.push_back(at);
  }
  return cuts;
}

// What the tool should say: the status is 1 after any message.
struct Result {
  std::string out, err;
  // The good lines without their ends (or a skipped mark) and their numbers, for --match.
  std::vector<std::pair<std::string_view, uint32_t>> lines;
};

Result Reference(std::string_view input) {
  Result result;
  for (std::size_t number = 1; !input.empty(); ++number) {
    std::string_view line = input.substr(0, input.find('\n'));
    input.remove_prefix(std::min(input.size(), line.size() + 1));
    if (line.ends_with('\r')) line.remove_suffix(1);
    const std::size_t skipped = number == 1 && line.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    std::size_t errorAt = 0;
    if (const auto units = tarvik::test::ReferenceUtf16(line.substr(skipped), errorAt)) {
      const uint32_t id = tarvik::test::ReferenceFold(tarvik::text::LowerCase(*units), tarvik::text::CharacterCode);
      result.lines.emplace_back(line.substr(skipped), id);
      result.out += std::to_string(result.lines.back().second) + "\n";
    } else {
      result.err += "tarvik-id: line " + std::to_string(number) + ": invalid UTF-8 at byte " +
                    std::to_string(skipped + errorAt + 1) + "\n";
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
  for (const auto& a : answers) {
    Check(Reference("\n" + a.text + "\n").out == "0\n" + std::to_string(a.id) + "\n", a.what.c_str(), 0);
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const Result expected = Reference(input);
  uint32_t seed = 2166136261u;  // FNV-1a of the data
  for (const char byte : input) seed = (seed ^ static_cast<unsigned char>(byte)) * 16777619u;
  // The decoder alone, the input taken as one text, each piece in a buffer of its own
  // exact size: the tool reads from a larger block, where reading too far goes unseen.
  std::size_t expectedError = 0, error = 0;
  const auto units = tarvik::test::ReferenceUtf16(input, expectedError);
  const auto decoded = tarvik::cli::testing::DecodeInPieces(input, Cuts(input.size(), 2, seed | 1), &error);
  Check(decoded == units, "decoder's result", 2);
  Check(decoded || error == expectedError, "decoder's error offset", 2);
  // Then the tool, read whole, byte by byte and in pieces; last with --match and the
  // number of a line the data picks, which prints exactly the lines with it, as given.
  const uint32_t number = expected.lines.empty() ? 0 : expected.lines[seed % expected.lines.size()].second;
  std::string matching;
  for (const auto& [text, value] : expected.lines) {
    if (value == number) matching.append(text).append("\n");
  }
  const std::vector<tarvik::cli::Argument> match = {u"--match", tarvik::test::Widen<char16_t>(std::to_string(number))};
  for (int step = 0; step < 4; ++step) {
    const auto got = tarvik::cli::testing::RunInProcess(step < 3 ? std::vector<tarvik::cli::Argument>{} : match, input,
                                                        Cuts(input.size(), std::min(step, 2), seed | 1));
    Check(got.status == (step < 3 ? !expected.err.empty() : matching.empty()), "exit status", step);
    Check(got.out == (step < 3 ? expected.out : matching), step < 3 ? "answers" : "matching lines", step);
    Check(got.err == expected.err, "messages", step);
  }
  return 0;
}
