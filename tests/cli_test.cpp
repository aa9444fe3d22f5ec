// tarvik-id as a process: its arguments, standard streams and exit status. Expected
// id numbers come from a separate fold written in Python over the code page 1252
// bytes of the lower-cased text, with Windows' best-fit mapping where 1252 lacks a
// character (ł -> l). The same fold in the engine is the reference for random text.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "cli/id_tool.h"
#include "engine/id_number.h"
#include "tarvik/version.h"

extern char** environ;

namespace {

struct Outcome {
  int status = -1;  // the exit status, or -1 when the tool did not exit normally
  std::string out, err;
};

std::string TempPath(const char* what) {
  return ::testing::TempDir() + "tarvik-id-" + what + "-" + std::to_string(getpid());
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// Starts the tool with the given arguments and the streams `actions` sets up, which it
// then releases; the process id, or 0 (with a failure recorded) if it did not start.
pid_t Spawn(std::vector<std::string> arguments, posix_spawn_file_actions_t& actions) {
  std::vector<char*> argv{const_cast<char*>(TARVIK_ID_PATH)};
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, TARVIK_ID_PATH, &actions, nullptr, argv.data(), environ);
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
  // /dev/full takes the open but fails every write.
  const Outcome full = RunWithFiles({"abc"}, inputPath, "/dev/full");
  EXPECT_EQ(full.status, 1);
  EXPECT_NE(full.err.find("cannot write"), std::string::npos) << "arguments into /dev/full, stderr: " << full.err;
  const Outcome fullLines = RunWithFiles({}, inputPath, "/dev/full");
  EXPECT_EQ(fullLines.status, 1);
  EXPECT_NE(fullLines.err.find("cannot write"), std::string::npos) << "lines into /dev/full, stderr: " << fullLines.err;
  std::remove(inputPath.c_str());

  // A directory opens for reading, but reading it fails.
  const std::string outputPath = TempPath("out");
  const Outcome directory = RunWithFiles({}, "/", outputPath);
  std::remove(outputPath.c_str());
  EXPECT_EQ(directory.status, 1);
  EXPECT_NE(directory.err.find("cannot read"), std::string::npos) << "directory as input, stderr: " << directory.err;
}

// Feeds the tool in-process, at most one piece per read, cut where the test says.
class PiecesInput final : public tarvik::cli::Input {
 public:
  PiecesInput(std::string_view bytes, std::vector<std::size_t> cuts) : bytes_(bytes), cuts_(std::move(cuts)) {
    cuts_.push_back(bytes.size());
  }
  std::ptrdiff_t Read(char* buffer, std::size_t size) override {
    while (next_ < cuts_.size() && cuts_[next_] <= done_) ++next_;
    if (next_ == cuts_.size()) return 0;
    const std::size_t count = std::min(size, cuts_[next_] - done_);
    std::memcpy(buffer, bytes_.data() + done_, count);
    done_ += count;
    return static_cast<std::ptrdiff_t>(count);
  }

 private:
  std::string_view bytes_;
  std::vector<std::size_t> cuts_;
  std::size_t next_ = 0, done_ = 0;
};

class TextOutput final : public tarvik::cli::Output {
 public:
  bool Write(const char* bytes, std::size_t size) override {
    text.append(bytes, size);
    return true;
  }
  std::string text;
};

Outcome RunInProcess(std::string_view input, std::vector<std::size_t> cuts) {
  PiecesInput in(input, std::move(cuts));
  TextOutput out, err;
  const int status = tarvik::cli::RunIdTool({}, in, out, err);
  return {status, out.text, err.text};
}

TEST(IdTool, ReadsLinesCutAnywhere) {
  // A byte-order mark, CR LF, a three-byte and a two-byte character, a bad sequence,
  // a CR inside a line and a CR ending the input, each cut at every point: the
  // answers do not depend on how the reads fall.
  const std::string input =
      "\xEF\xBB\xBF" "ABC\r\n" "\xE2\x82\xAC\r\n" "ab\xC0\xAF\n" "a\rb\n" "\xC5\x82\r";
  for (std::size_t first = 0; first <= input.size(); ++first) {
    for (std::size_t second = first; second <= input.size(); ++second) {
      const Outcome got = RunInProcess(input, {first, second});
      ASSERT_EQ(got.out, "999494\n128\n990908\n108\n") << "cut at " << first << " and " << second;
      ASSERT_EQ(got.err, "tarvik-id: line 3: invalid UTF-8 at byte 3\n") << "cut at " << first << " and " << second;
      ASSERT_EQ(got.status, 1);
    }
  }
}

// The bytes of a code point, straight from the definition of UTF-8 (RFC 3629).
void AppendUtf8(std::string& out, char32_t c) {
  auto b = [&out](char32_t v) { out.push_back(static_cast<char>(v)); };
  if (c < 0x80) {
    b(c);
  } else if (c < 0x800) {
    b(0xC0 | c >> 6), b(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    b(0xE0 | c >> 12), b(0x80 | (c >> 6 & 0x3F)), b(0x80 | (c & 0x3F));
  } else {
    b(0xF0 | c >> 18), b(0x80 | (c >> 12 & 0x3F)), b(0x80 | (c >> 6 & 0x3F)), b(0x80 | (c & 0x3F));
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
    for (int line = 0; line < 100; ++line) {
      // Now and then a line longer than the tool's blocks of bytes and units.
      const uint32_t length = below(50) == 0 ? 20000 + below(60000) : below(40);
      std::u16string units;
      std::string bytes;
      for (uint32_t k = 0; k < length; ++k) {
        char32_t c = below(4) != 0 ? ascii[below(ascii.size())] : others[below(std::size(others))];
        if (c == '\r' && k + 1 == length) c = 'r';  // a CR ending the line would be dropped
        AppendUtf8(bytes, c);
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
    }
    std::vector<std::size_t> cuts;
    for (std::size_t at = 0; at < input.size(); at += 1 + below(below(8) == 0 ? 100000 : 64)) cuts.push_back(at);
    const Outcome got = RunInProcess(input, cuts);
    ASSERT_EQ(got.status, 0) << "round " << round << ", stderr: " << got.err;
    ASSERT_EQ(got.out, expected) << "round " << round;
  }
}

}  // namespace
