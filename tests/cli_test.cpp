// tarvik-id as a process: its arguments, standard streams and exit status. Expected
// id numbers come from a separate fold written in Python over the code page 1252
// bytes of the lower-cased text, with Windows' best-fit mapping where 1252 lacks a
// character (ł -> l).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

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

std::vector<char*> Argv(std::vector<std::string>& arguments) {
  std::vector<char*> argv{const_cast<char*>(TARVIK_ID_PATH)};
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  return argv;
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
  std::vector<char*> argv = Argv(arguments);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, TARVIK_ID_PATH, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  Outcome outcome;
  if (spawned != 0) {
    ADD_FAILURE() << "cannot start " << TARVIK_ID_PATH << ": error " << spawned;
    return outcome;
  }
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
  std::vector<std::string> none;
  std::vector<char*> argv = Argv(none);
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, TARVIK_ID_PATH, &actions, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
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

}  // namespace
