// tarvik-id as a process: its arguments, standard streams and exit status; in-process
// with its input cut anywhere; and on Windows its file's resources. Expected id
// numbers come from a separate fold written in Python over the code page 1252 bytes
// of the lower-cased text, with Windows' best-fit mapping where 1252 lacks a
// character (ł -> l). The same fold in the engine is the reference for random text.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "cli/id_tool.h"
#include "engine/id_number.h"
#include "tarvik/version.h"
#include "tests/cli_support.h"

#ifdef _WIN32
#include <windows.h>

#include "tests/support/version_info.h"
#else
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

extern char** environ;
#endif

namespace {

using tarvik::cli::testing::RunInProcess;

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

#ifndef _WIN32

struct Outcome {
  int status = -1;  // the exit status, or -1 when the tool did not exit normally
  std::string out, err;
};

std::string TempPath(const char* what) {
  return ::testing::TempDir() + "tarvik-id-" + what + "-" + std::to_string(getpid());
}

// Starts the tool with the given arguments and the streams `actions` sets up, which it
// then releases; the process id, or 0 (with a failure recorded) if it did not start.
// A shell command as `wrapper` runs first and is handed the tool's command line.
pid_t Spawn(std::vector<std::string> arguments, posix_spawn_file_actions_t& actions, const char* wrapper = nullptr) {
  std::vector<char*> argv;
  if (wrapper != nullptr) argv = {const_cast<char*>("/bin/sh"), const_cast<char*>("-c"), const_cast<char*>(wrapper)};
  argv.push_back(const_cast<char*>(TARVIK_ID_PATH));
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned == 0) return pid;
  ADD_FAILURE() << "cannot start " << TARVIK_ID_PATH << ": error " << spawned;
  return 0;
}

int Wait(pid_t pid) {
  int raw = 0;
  while (waitpid(pid, &raw, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// Runs the tool with the given arguments; its standard input comes from inputPath
// and its standard output goes to outputPath, both files, so no pipe can fill up.
// Leaves reading the output to the caller: it may be a device such as /dev/full.
Outcome RunWithFiles(std::vector<std::string> arguments, const std::string& inputPath,
                     const std::string& outputPath) {
  const std::string errorPath = TempPath("err");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, inputPath.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const pid_t pid = Spawn(std::move(arguments), actions);
  Outcome outcome;
  if (pid == 0) return outcome;
  outcome.status = Wait(pid);
  outcome.err = ReadFile(errorPath);
  std::remove(errorPath.c_str());
  return outcome;
}

Outcome RunTool(std::vector<std::string> arguments, const std::string& input = "") {
  const std::string inputPath = TempPath("in"), outputPath = TempPath("out");
  std::ofstream(inputPath, std::ios::binary) << input;
  Outcome outcome = RunWithFiles(std::move(arguments), inputPath, outputPath);
  outcome.out = ReadFile(outputPath);
  std::remove(inputPath.c_str());
  std::remove(outputPath.c_str());
  return outcome;
}

std::string Describe(const std::vector<std::string>& arguments, const std::string& input) {
  std::string text = "tarvik-id";
  for (const std::string& argument : arguments) text += " '" + argument + "'";
  if (input.size() <= 200) text += " with input \"" + input + "\"";
  return text;
}

TEST(IdTool, AnswersArgumentsAndInputLines) {
  struct Case {
    std::vector<std::string> arguments;
    std::string input, out;
    const char* err;  // expected inside standard error; "" for nothing at all
    int status;
  };
  const Case cases[] = {
      // arguments, in order, each on its own line; case does not matter
      {{"abc", "ABC", "abcdefgh", ""}, "", "999494\n999494\n2974951252\n0\n", "", 0},
      // arguments outside ASCII: code page 1252 and best fit
      {{"\xE2\x82\xAC", "\xC5\x82"}, "", "128\n108\n", "", 0},
      // a character beyond U+FFFF is two surrogate units, each without a 1252 code ('?')
      {{"\xF0\x9F\x98\x80"}, "", "6426\n", "", 0},
      // "--" lets an address start with '-'; a lone "-" is an address anyway
      {{"--", "-abc", "--help"}, "", "47363039\n1004063359\n", "", 0},
      {{"-"}, "", "45\n", "", 0},
      // an argument that is not UTF-8 is skipped and reported, the others answered
      {{"abc", "\xFF", "xyz"}, "", "999494\n1236463\n", "tarvik-id: argument 2: invalid UTF-8\n", 1},
      // arguments win over standard input
      {{"abc"}, "xyz\n", "999494\n", "", 0},
      // lines ending in LF, CR LF and nothing
      {{}, "abc\nABC\r\nabcdefgh", "999494\n999494\n2974951252\n", "", 0},
      // an empty line is the empty address; a CR not before LF belongs to the line
      {{}, "\n\r\na\rb\n", "0\n0\n990908\n", "", 0},
      // no input, no answers; "--" alone still reads standard input
      {{}, "", "", "", 0},
      {{"--"}, "xyz", "1236463\n", "", 0},
      // a byte-order mark opening the input is not part of the first address
      {{}, "\xEF\xBB\xBF" "ABC\r\nabc\r\n", "999494\n999494\n", "", 0},
      // bad UTF-8 on line 2 of 3: lines 1 and 3 answered, line 2 named with the byte
      {{}, "abc\nab\xC0\xAF\nABC\n", "999494\n999494\n", "tarvik-id: line 2: invalid UTF-8 at byte 3\n", 1},
      // every bad line is reported, and an encoded surrogate is bad too
      {{}, "\x80\nxyz\n\xED\xA0\x80", "1236463\n", "line 3: invalid UTF-8 at byte 1", 1},
      // a byte-order mark only opens the input: on line 2 it is U+FEFF, which code
      // page 1252 lacks ('?', 63, in Python's cp1252 and in the table dumped from Windows)
      {{}, "abc\n\xEF\xBB\xBF" "abc\n", "999494\n65908457\n", "", 0},
      // the byte count includes a skipped byte-order mark
      {{}, "\xEF\xBB\xBF" "a\xF4\x90\x80\x80", "", "line 1: invalid UTF-8 at byte 5", 1},
      // help and version print and stop, wherever they stand
      {{"abc", "--help"}, "", "Usage: tarvik-id", "", 0},
      {{"--version"}, "", std::string("tarvik-id ") + TARVIK_VERSION_SHORT + "\n", "", 0},
      // unknown options are usage errors and nothing is answered
      {{"--frobnicate"}, "abc\n", "", "tarvik-id: unknown option '--frobnicate'\n", 2},
      {{"abc", "-x"}, "", "", "unknown option '-x'", 2},
      {{"--help=x"}, "", "", "unknown option '--help=x'", 2},
      // --match prints the addresses with the number, exactly as given, in order
      {{"--match", "999494", "abc", "xyz", "ABC", "\xC5\x82"}, "", "abc\nABC\n", "", 0},
      {{"abc", "--match", "1236463", "--", "xyz"}, "", "xyz\n", "", 0},
      {{"--match", "4294967295", "abc"}, "", "", "", 1},
      {{"--match", "1236463", "\xFF", "xyz"}, "", "xyz\n", "tarvik-id: argument 3: invalid UTF-8\n", 0},
      // ... and the input lines: no mark, one kind of line end, a bad line reported and passed over
      {{"--match", "999494"}, "\xEF\xBB\xBF" "ABC\r\nxyz\nab\xC0\xAF\nabc", "ABC\nabc\n",
       "tarvik-id: line 3: invalid UTF-8 at byte 3\n", 0},
      {{"--match", "0"}, "\n\r\nx\n", "\n\n", "", 0},
      {{"--match", "100964360"}, "AbX\nAb\xC3\x9C\r\r\n", "Ab\xC3\x9C\r\n", "", 0},
      {{"--match", "990908"}, "abc\n", "", "", 1},
      // NUMBER is spelt as the tool prints it, and nothing is answered otherwise
      {{"--match", "4294967296", "abc"}, "", "",
       "tarvik-id: --match takes an id number from 0 to 4294967295 in plain digits, not '4294967296'\n", 2},
      {{"--match", "+999494", "abc"}, "", "", "not '+999494'", 2},
      {{"--match", "0999494", "abc"}, "", "", "not '0999494'", 2},
      {{"--match", "", "abc"}, "", "", "not ''", 2},
      {{"--match", " 999494"}, "abc\n", "", "not ' 999494'", 2},
      {{"--match", "99949a"}, "abc\n", "", "not '99949a'", 2},
      {{"abc", "--match"}, "", "", "tarvik-id: option '--match' needs a NUMBER\n", 2},
      {{"--match", "1", "--match", "2"}, "", "", "option '--match' is given twice", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Describe(c.arguments, c.input));
    const Outcome got = RunTool(c.arguments, c.input);
    EXPECT_EQ(got.status, c.status) << "stderr: " << got.err;
    if (c.out.starts_with("Usage:")) {
      EXPECT_TRUE(got.out.starts_with(c.out)) << "expected usage, got: " << got.out;
    } else {
      EXPECT_EQ(got.out, c.out);
    }
    if (*c.err == '\0') {
      EXPECT_EQ(got.err, "");
    } else {
      EXPECT_NE(got.err.find(c.err), std::string::npos) << "expected in stderr: " << c.err << "\ngot: " << got.err;
    }
  }
}

TEST(IdTool, FoldsAOneMegabyteLine) {
  // 2^20 'X's, lower-cased to 'x': the reference fold gives 2155872256.
  const std::string line(std::size_t{1} << 20, 'X');
  const Outcome got = RunTool({}, line + "\r\n" + "abc\n");
  EXPECT_EQ(got.status, 0) << "stderr: " << got.err;
  EXPECT_EQ(got.out, "2155872256\n999494\n");
}

TEST(IdTool, KeepsMemoryFlatOnAQuarterGigabyteLine) {
  // The line repeats a 33-byte piece ("Firstname.LASTNAME@Ex.com€ üÜ"), so its
  // characters straddle every block size; 8134408 pieces make 268435464 bytes. The
  // reference fold, by repeated squaring in Python, gives 3675712592.
  const std::string piece = "Firstname.LASTNAME@Ex.com\xE2\x82\xAC \xC3\xBC\xC3\x9C";
  constexpr std::size_t kPieces = 8134408;
  const auto previous = std::signal(SIGPIPE, SIG_IGN);
  int input[2];
  ASSERT_EQ(pipe(input), 0);
  const std::string outputPath = TempPath("out");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, input[0], 0);
  posix_spawn_file_actions_addclose(&actions, input[1]);
  posix_spawn_file_actions_addopen(&actions, 1, outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const pid_t pid = Spawn({}, actions);
  ASSERT_NE(pid, 0);
  close(input[0]);

  std::string block;
  for (int k = 0; k < 1000; ++k) block += piece;
  std::size_t left = kPieces;
  while (left > 0) {
    const std::size_t pieces = std::min<std::size_t>(left, 1000);
    if (write(input[1], block.data(), pieces * piece.size()) != static_cast<ssize_t>(pieces * piece.size())) break;
    left -= pieces;
  }
  EXPECT_EQ(left, 0u) << "the tool stopped reading";
  EXPECT_EQ(write(input[1], "\nabc\n", 5), 5);
  close(input[1]);
  int raw = 0;
  rusage usage{};
  while (wait4(pid, &raw, 0, &usage) < 0 && errno == EINTR) {
  }
  std::signal(SIGPIPE, previous);
  EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << "wait status " << raw;
  EXPECT_EQ(ReadFile(outputPath), "3675712592\n999494\n");
  std::remove(outputPath.c_str());
#if !defined(__SANITIZE_ADDRESS__)
  // ru_maxrss is in KiB. AddressSanitizer's shadow memory and allocator take more
  // than the bound by themselves, so only the plain build checks it.
  EXPECT_LT(usage.ru_maxrss, 16 * 1024) << "peak resident set size in KiB";
#endif
}

TEST(IdTool, AnswersEachLineBeforeTheNextArrives) {
  // A tool that died early would turn the next write into a SIGPIPE for this test.
  const auto previous = std::signal(SIGPIPE, SIG_IGN);
  int input[2], output[2];
  ASSERT_EQ(pipe(input), 0);
  ASSERT_EQ(pipe(output), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, input[0], 0);
  posix_spawn_file_actions_adddup2(&actions, output[1], 1);
  posix_spawn_file_actions_addclose(&actions, input[1]);
  posix_spawn_file_actions_addclose(&actions, output[0]);
  const pid_t pid = Spawn({}, actions);
  ASSERT_NE(pid, 0);
  close(input[0]);
  close(output[1]);

  // Reads one answer line, giving up after ten seconds: a tool that buffers its
  // output until the input ends would never send it while the pipe stays open.
  auto readLine = [fd = output[0]]() {
    std::string line;
    char byte = 0;
    while (line.empty() || line.back() != '\n') {
      pollfd ready{fd, POLLIN, 0};
      if (poll(&ready, 1, 10000) <= 0 || read(fd, &byte, 1) != 1) return line + "<no more output>";
      line += byte;
    }
    return line;
  };
  const struct { std::string_view line, answer; } exchanges[] = {
      {"abc\n", "999494\n"},
      {"ABCDEFGH\r\n", "2974951252\n"},
      {"\n", "0\n"},
  };
  for (const auto& exchange : exchanges) {
    const bool written = write(input[1], exchange.line.data(), exchange.line.size()) ==
                         static_cast<ssize_t>(exchange.line.size());
    EXPECT_TRUE(written) << "cannot write \"" << exchange.line << "\" to the tool";
    EXPECT_EQ(readLine(), exchange.answer) << "after writing \"" << exchange.line << "\"";
    if (!written) break;
  }
  close(input[1]);
  EXPECT_EQ(Wait(pid), 0);
  close(output[0]);
  std::signal(SIGPIPE, previous);
}

TEST(IdTool, ReportsStreamsItCannotUse) {
  const std::string inputPath = TempPath("in");
  std::ofstream(inputPath) << "abc\n";
  // /dev/full takes the open but fails every write; the status is 1 with --match too.
  const std::string full = "tarvik-id: cannot write the output: No space left on device\n";
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"abc"}, {}, {"--version"}, {"--match", "999494"}}) {
    const Outcome got = RunWithFiles(arguments, inputPath, "/dev/full");
    EXPECT_EQ(got.status, 1) << Describe(arguments, "abc\n") << " into /dev/full";
    EXPECT_EQ(got.err, full) << Describe(arguments, "abc\n") << " into /dev/full";
  }
  std::remove(inputPath.c_str());

  // A directory opens for reading, but reading it fails.
  const std::string outputPath = TempPath("out");
  const Outcome directory = RunWithFiles({}, "/", outputPath);
  std::remove(outputPath.c_str());
  EXPECT_EQ(directory.status, 1);
  EXPECT_EQ(directory.err, "tarvik-id: cannot read the input: Is a directory\n");
}

TEST(IdTool, SaysSoWhenMemoryRunsOut) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer reserves far more address space than the limit here";
#else
  // --match keeps a line longer than a block until its end, and 64 MiB of address
  // space cannot keep a 256 MiB one.
  const auto previous = std::signal(SIGPIPE, SIG_IGN);
  int input[2];
  ASSERT_EQ(pipe(input), 0);
  const std::string outputPath = TempPath("out"), errorPath = TempPath("err");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, input[0], 0);
  posix_spawn_file_actions_addclose(&actions, input[1]);
  posix_spawn_file_actions_addopen(&actions, 1, outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const pid_t pid = Spawn({"--match", "0"}, actions, "ulimit -v 65536 && exec \"$0\" \"$@\"");
  ASSERT_NE(pid, 0);
  close(input[0]);
  const std::string block(1 << 20, 'a');
  for (int k = 0; k < 256 && write(input[1], block.data(), block.size()) > 0; ++k) {
  }
  close(input[1]);
  EXPECT_EQ(Wait(pid), 1);
  std::signal(SIGPIPE, previous);
  EXPECT_EQ(ReadFile(errorPath), "tarvik-id: out of memory\n");
  std::remove(outputPath.c_str());
  std::remove(errorPath.c_str());
#endif
}

#endif  // !_WIN32

TEST(IdTool, ReadsLinesCutAnywhere) {
  // A byte-order mark, CR LF, a three-byte and a two-byte character, a bad sequence,
  // a CR inside a line, one after a character outside ASCII and a CR ending the input,
  // each cut at every point: the answers, and with --match the lines printed, do not
  // depend on how the reads fall.
  const std::string input = "\xEF\xBB\xBF" "ABC\r\n" "\xE2\x82\xAC\r\n" "ab\xC0\xAF\n" "a\rb\n"
                            "Ab\xC3\x9C\r\r\n" "\xC5\x82\r";
  const struct {
    std::vector<tarvik::cli::Argument> arguments;
    std::string out;
  } readings[] = {
      {{}, "999494\n128\n990908\n100964360\n108\n"},
      {{u"--match", u"999494"}, "ABC\n"},
      {{u"--match", u"990908"}, "a\rb\n"},
      {{u"--match", u"100964360"}, "Ab\xC3\x9C\r\n"},
      {{u"--match", u"108"}, "\xC5\x82\n"},
  };
  for (const auto& reading : readings) {
    for (std::size_t first = 0; first <= input.size(); ++first) {
      for (std::size_t second = first; second <= input.size(); ++second) {
        const auto got = RunInProcess(reading.arguments, input, {first, second});
        ASSERT_EQ(got.out, reading.out) << "cut at " << first << " and " << second;
        ASSERT_EQ(got.err, "tarvik-id: line 3: invalid UTF-8 at byte 3\n") << "cut at " << first << " and " << second;
        ASSERT_EQ(got.status, reading.arguments.empty() ? 1 : 0);
      }
    }
  }
}

TEST(IdTool, AgreesWithTheEngineOnRandomLines) {
  std::mt19937 random(20240601);
  const auto below = [&random](uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(random); };
  // Mostly address characters, then Latin-1, other BMP letters, U+FEFF, pairs and CR.
  const char32_t others[] = {0xC0, 0xDC, 0xE9, 0xFF, 0x141, 0x142, 0x391, 0x20AC, 0x4E2D, 0xFEFF, 0xFF21, 0x1F600, 0x10FFFF, '\r'};
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
        char32_t c = below(4) != 0 ? ascii[below(ascii.size())] : others[below(std::size(others))];
        if (c == '\r' && k + 1 == length) c = 'r';  // a CR ending the line would be dropped
        bytes += tarvik::cli::testing::Utf8(c);
        if (c < 0x10000) {
          units.push_back(static_cast<char16_t>(c));
        } else {
          units.push_back(static_cast<char16_t>(0xD7C0 + (c >> 10)));
          units.push_back(static_cast<char16_t>(0xDC00 | (c & 0x3FF)));
        }
      }
      if (input.empty() && units.starts_with(u'\xFEFF')) continue;  // would be skipped as a mark
      input += bytes + (below(2) ? "\r\n" : "\n");
      const std::u16string number = tarvik::WorkOutIdNumber(units);
      expected += std::string(number.begin(), number.end()) + "\n";
      lines.emplace_back(std::move(bytes), number);
    }
    std::vector<std::size_t> cuts;
    for (std::size_t at = 0; at < input.size(); at += 1 + below(below(8) == 0 ? 100000 : 64)) cuts.push_back(at);
    const auto got = RunInProcess({}, input, cuts);
    ASSERT_EQ(got.status, 0) << "round " << round << ", stderr: " << got.err;
    ASSERT_EQ(got.out, expected) << "round " << round;
    // --match with the number of the first line longer than a block, which it keeps whole.
    const auto isLong = [](const auto& line) { return line.first.size() > 20000; };
    const auto longLine = std::find_if(lines.begin(), lines.end(), isLong);
    if (longLine == lines.end()) continue;
    std::string matching;
    for (const auto& [bytes, number] : lines) {
      if (number == longLine->second) matching += bytes + "\n";
    }
    const auto matched = RunInProcess({u"--match", longLine->second}, input, cuts);
    ASSERT_EQ(matched.out, matching) << "round " << round;
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
  const std::string help = RunInProcess({u"--help"}, "").out, page = ReadFile(TARVIK_MANUAL_PATH);
  // The manual page's list is its OPTIONS section: a .TP, then the option in bold.
  const std::size_t from = page.find("\n.SH OPTIONS\n"), to = page.find("\n.SH", from + 1);
  const std::vector<std::string> options = Options(help, std::regex(R"(\n  (-\S*)(?: ([A-Z]+))?)"));
  EXPECT_EQ(options, Options(page.substr(from, to - from), std::regex(R"re(\n\.TP\n\.BI? ([^ \n"]+)(?: " ([A-Z]+)")?)re")))
      << TARVIK_MANUAL_PATH;
  EXPECT_NE(std::find(options.begin(), options.end(), "--match NUMBER"), options.end()) << help;
}

#ifdef _WIN32

std::wstring Widen(std::string_view ascii) { return std::wstring(ascii.begin(), ascii.end()); }

// A string of the version resource, through the calls Windows' file properties use.
std::wstring VersionString(const std::wstring& path, const wchar_t* name) {
  return tarvik::test::VersionInfo(path).String(name);
}

TEST(IdToolFile, DescribesItselfAsPartOfTarvik) {
  const std::wstring tool = Widen(TARVIK_ID_PATH), window = Widen(TARVIK_EXE_PATH);
  EXPECT_EQ(VersionString(tool, L"FileVersion"), Widen(TARVIK_VERSION_TEXT));
  EXPECT_EQ(VersionString(tool, L"ProductVersion"), Widen(TARVIK_VERSION_TEXT));
  EXPECT_EQ(VersionString(tool, L"OriginalFilename"), L"tarvik-id.exe");
  EXPECT_NE(VersionString(tool, L"FileDescription"), VersionString(window, L"FileDescription"));
  for (const wchar_t* name : {L"CompanyName", L"LegalCopyright", L"LegalTrademarks", L"ProductName"}) {
    EXPECT_EQ(VersionString(tool, name), VersionString(window, name)) << name;
  }
  const HMODULE module = LoadLibraryExW(tool.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr) << "error " << GetLastError();
  const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
  const std::string manifest = found ? std::string(static_cast<const char*>(LockResource(LoadResource(module, found))),
                                                   SizeofResource(module, found))
                                     : "<no manifest>";
  FreeLibrary(module);
  const std::string version = std::to_string(TARVIK_VERSION_MAJOR) + "." + std::to_string(TARVIK_VERSION_MINOR) + "." +
                              std::to_string(TARVIK_VERSION_BUILD) + "." + std::to_string(TARVIK_VERSION_REVISION);
  EXPECT_NE(manifest.find("version=\"" + version + "\""), std::string::npos) << manifest;
  EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos) << manifest;
}

#endif

}  // namespace
