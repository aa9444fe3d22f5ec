// tarvik-id as a process, natively and on Windows (under Wine too) from one table: its
// arguments, standard streams and exit status; the same table in-process with the input
// cut anywhere; on POSIX, through pipes; and on Windows its file's resources. Expected id
// numbers come from the table of known answers, and for ASCII text beyond it from the
// reference fold.
#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <random>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "cli/id_tool.h"
#include "cli/utf8.h"
#include "engine/id_number.h"
#include "tarvik/version.h"
#include "tests/cli_support.h"
#include "tests/support/child_process.h"
#include "tests/support/expected_gap.h"
#include "tests/support/known_answers.h"
#ifdef _WIN32
#include "tests/support/resources.h"
#endif

namespace {

using namespace tarvik::test;
using tarvik::cli::testing::RunInProcess;

// The id number of `text` followed by `asciiTail`: the table's, or the reference fold's
// where the table lacks the text and it is ASCII.
uint32_t Id(std::string_view text, std::string_view asciiTail = "") {
  static const std::vector<KnownAnswer> answers = ReadKnownAnswers(TARVIK_KNOWN_ANSWERS);
  const auto row = std::find_if(answers.begin(), answers.end(), [&](const auto& a) { return a.text == text; });
  if (row == answers.end() && !IsAscii(text)) ADD_FAILURE() << "no known answer for " << text;
  return ReferenceFoldOfAscii(asciiTail, row != answers.end() ? row->id : ReferenceFoldOfAscii(text));
}

// The tool's answers to these texts: one number per line.
std::string Ids(std::initializer_list<std::string_view> texts) {
  std::string lines;
  for (const std::string_view text : texts) lines += std::to_string(Id(text)) + "\n";
  return lines;
}

#ifdef _WIN32
constexpr bool kNative = false;
#else
constexpr bool kNative = true;
#endif
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

struct Case {
  std::vector<std::string> arguments;
  std::string input, out;  // "Usage: ..." stands for the help, whose first words these are
  std::string err = "";  // all of standard error if it ends in LF, else a part of it
  int status = 0;
  std::string inputPath = "", outputPath = "";  // files standing for `input` and for the output read back
};

// Checks a run of the tool, as a process or in-process, against its row; true if it is as the row says.
template <typename Got>
bool ExpectAsRow(const Got& got, const Case& c) {
  const std::string out = c.out.starts_with("Usage:") ? got.out.substr(0, c.out.size()) : got.out;
  const bool err = c.err.empty() || c.err.ends_with('\n') ? got.err == c.err : got.err.find(c.err) != std::string::npos;
  EXPECT_EQ(got.status, c.status) << "stderr: " << got.err;
  EXPECT_EQ(out, c.out);
  EXPECT_TRUE(err) << "expected in stderr: " << c.err << "\ngot: " << got.err;
  return got.status == c.status && out == c.out && err;
}

TEST(IdTool, AnswersArgumentsAndInputLines) {
  // The input of the rows read in-process: a byte-order mark, CR LF, a three-byte and a
  // two-byte character, a bad sequence, a CR inside a line, one after a character outside
  // ASCII and a CR ending the input.
  const std::string cut =
      "\xEF\xBB\xBF" "ABC\r\n" "\xE2\x82\xAC\r\n" "ab\xC0\xAF\n" "a\rb\n" "Ab\xC3\x9C\r\r\n" "\xC5\x82\r";
  const std::string cutError = "tarvik-id: line 3: invalid UTF-8 at byte 3\n";
  const std::string tryHelp = "\nTry 'tarvik-id --help' for more information.\n";
  const std::string noSpace = "tarvik-id: cannot write the output: No space left on device\n";
  const std::string cannotRead = kNative ? "Is a directory\n" : "Invalid argument\n";
  std::vector<Case> cases = {
      // arguments, in order, each on its own line; case does not matter; quoting survives
      // the command line and "*" is no pattern of file names
      {{"abc", "ABC", "abcdefgh", "", "a b", "*"}, "", Ids({"abc", "ABC", "abcdefgh", "", "a b", "*"})},
      // arguments outside ASCII: code page 1252, best fit, and past U+FFFF two units
      {{"€", "ł", "😀"}, "", Ids({"€", "ł", "😀"})},
      // "--" lets an address start with '-'; a lone "-" is an address anyway
      {{"--", "-abc", "--help"}, "", Ids({"-abc", "--help"})},
      {{"-"}, "", Ids({"-"})},
      // an argument that is not UTF-8 is skipped and reported, the others answered
      {{"abc", "\xFF", "xyz"}, "", Ids({"abc", "xyz"}), "tarvik-id: argument 2: invalid UTF-8\n", 1},
      // arguments win over standard input
      {{"abc"}, "xyz\n", Ids({"abc"})},
      // lines ending in LF, CR LF and nothing
      {{}, "abc\nABC\r\nabcdefgh", Ids({"abc", "ABC", "abcdefgh"})},
      // an empty line is the empty address; a CR not before LF belongs to the line
      {{}, "\n\r\na\rb\n", Ids({"", "", "a\rb"})},
      // binary input: CR LF split by the tool, a bad line reported, and Ctrl+Z no end of file
      {{}, "ABC\r\n\xff\r\n€\n\na\x1a" "b", Ids({"ABC", "€", "", "a\x1a" "b"}),
       "tarvik-id: line 2: invalid UTF-8 at byte 1\n", 1},
      // no input, no answers; "--" alone still reads standard input
      {{}, "", ""},
      {{"--"}, "xyz", Ids({"xyz"})},
      // a byte-order mark opening the input is not part of the first address
      {{}, "\xEF\xBB\xBF" "ABC\r\nabc\r\n", Ids({"ABC", "abc"})},
      // bad UTF-8 on line 2 of 3: lines 1 and 3 answered, line 2 named with the byte
      {{}, "abc\nab\xC0\xAF\nABC\n", Ids({"abc", "ABC"}), "tarvik-id: line 2: invalid UTF-8 at byte 3\n", 1},
      // every bad line is reported, and an encoded surrogate is bad too
      {{}, "\x80\nxyz\n\xED\xA0\x80", Ids({"xyz"}), "line 3: invalid UTF-8 at byte 1", 1},
      // a byte-order mark only opens the input: on line 2 it is U+FEFF, which 1252 lacks
      {{}, "abc\n\xEF\xBB\xBF" "abc\n", Ids({"abc", "\xEF\xBB\xBF" "abc"})},
      // the byte count includes a skipped byte-order mark
      {{}, "\xEF\xBB\xBF" "a\xF4\x90\x80\x80", "", "line 1: invalid UTF-8 at byte 5", 1},
      // help and version print and stop, wherever they stand
      {{"abc", "--help"}, "", "Usage: tarvik-id"},
      {{"--version"}, "", std::string("tarvik-id ") + TARVIK_VERSION_SHORT + "\n"},
      // unknown options are usage errors and nothing is answered
      {{"--frobnicate"}, "abc\n", "", "tarvik-id: unknown option '--frobnicate'" + tryHelp, 2},
      {{"abc", "-x"}, "", "", "unknown option '-x'", 2},
      {{"--help=x"}, "", "", "unknown option '--help=x'", 2},
      // --match prints the addresses with the number, exactly as given (in UTF-8), in order
      {{"--match", std::to_string(Id("abc")), "abc", "xyz", "ABC", "ł"}, "", "abc\nABC\n"},
      {{"€", "abc", "--match", std::to_string(Id("€")), "ABC", "€"}, "", "€\n€\n"},
      {{"abc", "--match", std::to_string(Id("xyz")), "--", "xyz"}, "", "xyz\n"},
      {{"--match", "4294967295", "abc"}, "", "", "", 1},
      {{"--match", std::to_string(Id("xyz")), "\xFF", "xyz"}, "", "xyz\n", "tarvik-id: argument 3: invalid UTF-8\n"},
      // ... and the input lines: no mark, one kind of line end, a bad line reported and passed over
      {{"--match", std::to_string(Id("abc"))}, "\xEF\xBB\xBF" "ABC\r\nxyz\r\nab\xC0\xAF\n€\nabc", "ABC\nabc\n",
       "tarvik-id: line 3: invalid UTF-8 at byte 3\n"},
      {{"--match", "0"}, "\n\r\nx\n", "\n\n"},
      {{"--match", std::to_string(Id("AbÜ", "\r"))}, "AbX\nAbÜ\r\r\n", "AbÜ\r\n"},
      {{"--match", std::to_string(Id("a\rb"))}, "abc\r\n", "", "", 1},
      // the input above: the answers, and with --match the lines printed, whatever the cuts
      {{}, cut, "999494\n128\n990908\n100964360\n108\n", cutError, 1},
      {{"--match", "999494"}, cut, "ABC\n", cutError},
      {{"--match", "990908"}, cut, "a\rb\n", cutError},
      {{"--match", "100964360"}, cut, "Ab\xC3\x9C\r\n", cutError},
      {{"--match", "108"}, cut, "\xC5\x82\n", cutError},
      {{"abc", "--match"}, "", "", "tarvik-id: option '--match' needs a NUMBER" + tryHelp, 2},
      {{"--match", "1", "--match", "2"}, "", "", "option '--match' is given twice", 2},
      // 2^20 'X's, lower-cased to 'x': the reference fold gives 2155872256
      {{}, std::string(std::size_t{1} << 20, 'X') + "\r\nabc\n", "2155872256\n" + Ids({"abc"})},
      // /dev/full takes the open but fails every write; the status is 1 with --match too
      {{"abc"}, "abc\n", "", noSpace, 1, "", "/dev/full"},
      {{}, "abc\n", "", noSpace, 1, "", "/dev/full"},
      {{"--version"}, "abc\n", "", noSpace, 1, "", "/dev/full"},
      {{"--match", "999494"}, "abc\n", "", noSpace, 1, "", "/dev/full"},
      // a directory opens for reading, but reading it fails; Wine reads a directory as
      // ERROR_INVALID_FUNCTION, which the C runtime calls EINVAL
      {{}, "", "", "tarvik-id: cannot read the input: " + cannotRead, 1, "/"},
  };
  // NUMBER is spelt as the tool prints it, and nothing is answered otherwise.
  const std::string notNumber = "tarvik-id: --match takes an id number from 0 to 4294967295 in plain digits, not '";
  for (const std::string number : {"4294967296", "+999494", "-1", "0999494", "", " 999494", "99949a"}) {
    cases.push_back({{"--match", number, "abc"}, "", "", notNumber + number + "'" + tryHelp, 2});
    cases.push_back({{"--match", number}, "abc\n", "", notNumber + number + "'" + tryHelp, 2});
  }
  // Every known answer, as arguments and as lines of input, and picked out by --match.
  const std::vector<KnownAnswer> answers = ReadKnownAnswers(TARVIK_KNOWN_ANSWERS);
  ASSERT_FALSE(answers.empty()) << TARVIK_KNOWN_ANSWERS;
  const std::string abc = std::to_string(Id("abc"));
  Case asArguments{{"--"}, "", ""}, asLines{{}, "\n", ""}, matching{{"--match", abc, "--"}, "", ""};
  for (const KnownAnswer& a : answers) {
    asArguments.arguments.push_back(a.text);
    matching.arguments.push_back(a.text);
    asLines.input += a.text + "\n";  // after an empty line, so that no row's mark opens the input
    asArguments.out += std::to_string(a.id) + "\n";
    if (std::to_string(a.id) == abc) matching.out += a.text + "\n";
  }
  asLines.out = "0\n" + asArguments.out;
  cases.insert(cases.end(), {asArguments, asLines, matching});
  for (const Case& c : cases) {
    // In-process, the arguments are taken as the tool takes them natively.
    std::vector<std::string> argv = {TARVIK_ID_PATH};
    std::vector<tarvik::cli::Argument> arguments;
    std::string described = "tarvik-id";
    for (const std::string& argument : c.arguments) {
      argv.push_back(argument);
      arguments.push_back(tarvik::cli::DecodeUtf8(argument));
      described += " '" + argument + "'";
    }
    SCOPED_TRACE(described + (c.input.size() <= 200 ? " with input " + Hex(c.input) : ""));
    // Windows passes arguments as UTF-16, never ill-formed.
    if (kNative || std::count(arguments.begin(), arguments.end(), std::nullopt) == 0) {
      ExpectAsRow(RunToEnd(argv, c.input, c.inputPath, c.outputPath), c);
    }
    if (!c.inputPath.empty() || !c.outputPath.empty()) continue;
    // In-process too, an input of a few bytes read in pieces cut at every two places.
    const std::size_t last = c.input.size() <= 64 ? c.input.size() : 0;
    bool same = true;
    for (std::size_t first = 0; same && first <= last; ++first) {
      for (std::size_t second = first; same && second <= last; ++second) {
        same = ExpectAsRow(RunInProcess(arguments, c.input, {first, second}), c);
        if (!same) ADD_FAILURE() << "in-process, the input cut at " << first << " and " << second;
      }
    }
  }
}

#ifndef _WIN32

// The tool's streaming through pipes, which a POSIX shell between the runner and the
// tool makes, with its own tools feeding the input.
TEST(IdToolPipes, KeepsMemoryFlatOnAQuarterGigabyteLine) {
  // The line repeats a 33-byte piece, so its characters straddle every block size;
  // 268435464 bytes are 8134408 pieces. The reference fold, by repeated squaring in
  // Python, gives 3675712592. The peak is the largest of the shell's children.
  const std::string line = "{ yes \"$1\" | tr -d '\\n' | head -c 268435464; printf '\\nabc\\n'; } | \"$0\"";
  const Outcome got = RunToEnd({"/bin/sh", "-c", line, TARVIK_ID_PATH, "Firstname.LASTNAME@Ex.com€ üÜ"}, "");
  EXPECT_EQ(got.status, 0) << got.err;
  EXPECT_EQ(got.out, "3675712592\n" + Ids({"abc"}));
  // AddressSanitizer's shadow memory and allocator take more than the bound by themselves.
  ExpectUnlessGap(kSanitized, got.peakKiB < 16 * 1024,
                  "peak resident set size " + std::to_string(got.peakKiB) + " KiB < 16 MiB",
                  "AddressSanitizer's own memory");
}

TEST(IdToolPipes, AnswersEachLineBeforeTheNextArrives) {
  // The shell writes each line only once the answer to the one before has come back
  // through a named pipe (and passes it on to standard error), waiting two minutes at
  // most; both pipes stay open, so a tool that held its answers until the input ends
  // would give none.
  const std::string fifo = TempPath("fifo");
  const std::string line = "mkfifo \"$1\" && { exec 4<\"$1\"; for line in abc 'ABCDEFGH\\r' ''; do "
                           "printf \"$line\\n\"; timeout 120 head -n 1 <&4 >&2 || exit; done; } | \"$0\" >\"$1\"";
  const Outcome got = RunToEnd({"/bin/sh", "-c", line, TARVIK_ID_PATH, fifo}, "");
  std::remove(fifo.c_str());
  EXPECT_EQ(got.err, Ids({"abc", "ABCDEFGH", ""}));
  EXPECT_EQ(got.status, 0);
}

TEST(IdToolPipes, SaysSoWhenMemoryRunsOut) {
  // --match keeps a line longer than a block until its end, and 64 MiB of address
  // space cannot keep a 256 MiB one.
  const std::string line = "ulimit -v 65536 && head -c 268435456 /dev/zero | tr '\\0' a | \"$0\" \"$@\"";
  const Outcome got = RunToEnd({"/bin/sh", "-c", line, TARVIK_ID_PATH, "--match", "0"}, "", "", "/dev/null");
  ExpectUnlessGap(kSanitized, got.status == 1 && got.err == "tarvik-id: out of memory\n",
                  "out of memory: status " + std::to_string(got.status) + ", said: " + got.err,
                  "AddressSanitizer reserves far more address space than the limit");
}

#endif  // !_WIN32

TEST(IdTool, AgreesWithTheEngineOnRandomLines) {
  std::mt19937 random(20240601);
  const auto below = [&random](uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(random); };
  // Mostly address characters, then Latin-1, other BMP letters, U+FEFF, pairs and CR.
  const std::u32string_view others = U"\xC0\xDC\xE9\xFF\x141\x142\x391\x20AC\x4E2D\xFEFF\xFF21\x1F600\x10FFFF\r";
  const std::u16string_view ascii = u"abcxyzABCXYZ019.@_-+";
  for (int round = 0; round < 20; ++round) {
    std::string input, expected;
    std::vector<std::pair<std::string, std::u16string>> lines;  // bytes and number
    for (int line = 0; line < 100; ++line) {
      // Now and then a line longer than the tool's blocks of bytes and units.
      const uint32_t length = below(50) == 0 ? 20000 + below(60000) : below(40);
      std::u16string units;
      std::string bytes;
      for (uint32_t k = 0; k < length; ++k) {
        char32_t c = below(4) != 0 ? ascii[below(ascii.size())] : others[below(others.size())];
        if (c == '\r' && k + 1 == length) c = 'r';  // a CR ending the line would be dropped
        bytes += tarvik::cli::testing::Utf8(c);
        AppendUtf16(c, units);
      }
      if (input.empty() && units.starts_with(u'\xFEFF')) continue;  // would be skipped as a mark
      input += bytes + (below(2) ? "\r\n" : "\n");
      lines.emplace_back(std::move(bytes), tarvik::WorkOutIdNumber(units));
      expected += Narrow(lines.back().second) + "\n";
    }
    std::vector<std::size_t> cuts;
    for (std::size_t at = 0; at < input.size(); at += 1 + below(below(8) == 0 ? 100000 : 64)) cuts.push_back(at);
    const auto got = RunInProcess({}, input, cuts);
    ASSERT_EQ(got.status, 0) << "round " << round << ", stderr: " << got.err;
    ASSERT_EQ(got.out, expected) << "round " << round;
    // --match with the number of the first line longer than a block, which it keeps whole.
    const auto longLine = std::find_if(lines.begin(), lines.end(), [](auto& l) { return l.first.size() > 20000; });
    if (longLine == lines.end()) continue;
    std::string matching;
    for (const auto& [bytes, number] : lines) {
      if (number == longLine->second) matching += bytes + "\n";
    }
    ASSERT_EQ(RunInProcess({u"--match", longLine->second}, input, cuts).out, matching) << "round " << round;
  }
}

// Each option a text lists, with the name of its value if it takes one: the first
// match group of `item`, the value's name the second, escaped hyphens made plain.
std::vector<std::string> Options(const std::string& text, const std::regex& item) {
  std::vector<std::string> options;
  for (std::sregex_iterator match(text.begin(), text.end(), item), end; match != end; ++match) {
    const std::string option = std::regex_replace((*match)[1].str(), std::regex(R"(\\-)"), "-");
    options.push_back((*match)[2].matched ? option + " " + (*match)[2].str() : option);
  }
  return options;
}

TEST(IdTool, HelpAndManualPageListTheSameOptions) {
  const std::string help = RunInProcess({u"--help"}, "").out, page = FileBytes(TARVIK_MANUAL_PATH);
  // The manual page's list is its OPTIONS section: a .TP, then the option in bold.
  const std::size_t from = page.find("\n.SH OPTIONS\n"), to = page.find("\n.SH", from + 1);
  const std::vector<std::string> options = Options(help, std::regex(R"(\n  (-\S*)(?: ([A-Z]+))?)"));
  const std::regex pageItem(R"re(\n\.TP\n\.BI? ([^ \n"]+)(?: " ([A-Z]+)")?)re");
  EXPECT_EQ(options, Options(page.substr(from, to - from), pageItem)) << TARVIK_MANUAL_PATH;
  EXPECT_NE(std::find(options.begin(), options.end(), "--match NUMBER"), options.end()) << help;
}

#ifdef _WIN32

TEST(IdToolFile, DescribesItselfAsPartOfTarvik) {
  const VersionInfo tool(WindowsPath(TARVIK_ID_PATH)), window(WindowsPath(TARVIK_EXE_PATH));
  for (const wchar_t* name : {L"FileVersion", L"ProductVersion"}) {
    EXPECT_EQ(tool.String(name), Widen(TARVIK_VERSION_TEXT)) << Narrow(name);
  }
  EXPECT_EQ(tool.String(L"OriginalFilename"), L"tarvik-id.exe");
  EXPECT_NE(tool.String(L"FileDescription"), window.String(L"FileDescription"));
  for (const wchar_t* name : {L"CompanyName", L"LegalCopyright", L"LegalTrademarks", L"ProductName"}) {
    EXPECT_EQ(tool.String(name), window.String(name)) << Narrow(name);
  }
  const ModuleResources resources(TARVIK_ID_PATH);
  std::vector<XmlElement> manifest;
  ASSERT_TRUE(ParseManifest(resources.Manifest(), manifest)) << resources.Manifest();
  EXPECT_EQ(Attribute(manifest, "assembly/assemblyIdentity", "version"), DottedVersion());
  EXPECT_EQ(Attribute(manifest, "/requestedExecutionLevel", "level"), "asInvoker");
}

#endif

}  // namespace
