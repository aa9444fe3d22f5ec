// One way to run a program as a child process, natively and on Windows (under Wine
// too): its standard streams from and to files or, on POSIX, pipes; its exit status;
// and on POSIX its peak memory. The command-line tool's tests run through it on both.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>  // getpid, which MinGW has too

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "file_util.h"
#ifdef _WIN32
#include <regex>

#include "win32.h"
#else
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <csignal>

extern char** environ;
#endif

namespace tarvik::test {

/// A standard stream of the child given as this empty path is a pipe (POSIX only)
/// whose other end the parent holds; any other path is a file, read for input and
/// created or truncated for output.
inline const std::string kPipe;

/// A child process, started at construction and waited for at destruction.
class Child {
 public:
  /// argv[0] is the program's path; every string is UTF-8.
  Child(const std::vector<std::string>& argv, const std::string& in, const std::string& out, const std::string& err) {
    const std::string* paths[3] = {&in, &out, &err};
#ifdef _WIN32
    std::wstring line;
    for (const std::string& argument : argv) line += (line.empty() ? L"" : L" ") + Quoted(argument);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    HANDLE* ends[3] = {&startup.hStdInput, &startup.hStdOutput, &startup.hStdError};
    for (int k = 0; k < 3; ++k) {
      *ends[k] = CreateFileW(WindowsPath(*paths[k]).c_str(), k == 0 ? GENERIC_READ : GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, k == 0 ? OPEN_EXISTING : OPEN_ALWAYS,
                             FILE_FLAG_BACKUP_SEMANTICS, nullptr);  // a directory opens too, and fails to read
      if (k != 0) SetEndOfFile(*ends[k]);
    }
    PROCESS_INFORMATION started{};
    const bool ok = CreateProcessW(WindowsPath(argv[0]).c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                   nullptr, &startup, &started);
    for (HANDLE* end : ends) CloseHandle(*end);
    CloseHandle(started.hThread);
    process_ = started.hProcess;
    const unsigned long error = ok ? 0 : GetLastError();
#else
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    int ends[3] = {-1, -1, -1};
    for (int k = 0; k < 3; ++k) {
      int fds[2];
      if (!paths[k]->empty()) {
        posix_spawn_file_actions_addopen(&actions, k, paths[k]->c_str(),
                                         k == 0 ? O_RDONLY : O_WRONLY | O_CREAT | O_TRUNC, 0600);
      } else if (pipe2(fds, O_CLOEXEC) == 0) {
        ends[k] = fds[k == 0 ? 0 : 1];
        parent_[k] = fds[k == 0 ? 1 : 0];
        posix_spawn_file_actions_adddup2(&actions, ends[k], k);
      }
    }
    std::vector<char*> pointers;
    for (const std::string& argument : argv) pointers.push_back(const_cast<char*>(argument.c_str()));
    pointers.push_back(nullptr);
    const int error = posix_spawn(&pid_, pointers[0], &actions, nullptr, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    for (const int end : ends) close(end);
    if (error != 0) pid_ = 0;
#endif
    if (error != 0) ADD_FAILURE() << "cannot start " << argv[0] << ": error " << error;
  }

  ~Child() { Wait(); }

#ifndef _WIN32
  /// Writes to its standard input pipe; false once it takes no more.
  bool Write(std::string_view bytes) {
    // A child that ended early would turn a write into a SIGPIPE for the whole test.
    const auto previous = std::signal(SIGPIPE, SIG_IGN);
    for (ssize_t written = 1; !bytes.empty() && written > 0;) {
      written = write(parent_[0], bytes.data(), bytes.size());
      bytes.remove_prefix(static_cast<std::size_t>(std::max<ssize_t>(written, 0)));
    }
    std::signal(SIGPIPE, previous);
    return bytes.empty();
  }

  /// One line from its standard output pipe, ending in LF; what came and "<no more
  /// output>" if nothing more arrives within `seconds` or the pipe ends.
  std::string ReadLine(int seconds) {
    std::string line;
    char byte = 0;
    while (line.empty() || line.back() != '\n') {
      pollfd ready{parent_[1], POLLIN, 0};
      if (poll(&ready, 1, seconds * 1000) <= 0 || read(parent_[1], &byte, 1) != 1) return line + "<no more output>";
      line += byte;
    }
    return line;
  }

#endif

  /// After Wait, on POSIX: its peak resident set size, or that of a child of its own that
  /// it waited for, whichever is larger; 0 elsewhere.
  long PeakKiB() const { return peakKiB_; }

  /// Ends its standard input and waits for it to end: its exit status, or -1 if it did
  /// not exit normally.
  int Wait() {
#ifdef _WIN32
    DWORD code = 0;
    if (process_ && WaitForSingleObject(process_, INFINITE) == WAIT_OBJECT_0 && GetExitCodeProcess(process_, &code)) {
      status_ = static_cast<int>(code);
    }
    if (process_) CloseHandle(std::exchange(process_, nullptr));
#else
    close(std::exchange(parent_[0], -1));
    int raw = 0;
    rusage usage{};
    if (pid_ != 0 && wait4(std::exchange(pid_, 0), &raw, 0, &usage) > 0) {
      status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
      peakKiB_ = usage.ru_maxrss;
    }
    for (int& end : parent_) close(std::exchange(end, -1));
#endif
    return status_;
  }

 private:
#ifdef _WIN32
  // The command-line quoting that CommandLineToArgvW and the C runtime undo: quotes
  // escaped, and the backslashes before one or before the closing quote doubled.
  static std::wstring Quoted(const std::string& utf8) {
    const std::wstring escaped = std::regex_replace(Wide(utf8), std::wregex(LR"re((\\*)")re"), L"$1$1\\\"");
    return L"\"" + std::regex_replace(escaped, std::wregex(LR"((\\*)$)"), L"$1$1") + L"\"";
  }

  HANDLE process_ = nullptr;
#else
  pid_t pid_ = 0;
  int parent_[3] = {-1, -1, -1};
#endif
  long peakKiB_ = 0;
  int status_ = -1;
};

/// What a finished child said and how it ended.
struct Outcome {
  int status = -1;  // the exit status, or -1 when it did not exit normally
  std::string out, err;
  long peakKiB = 0;  // as Child::PeakKiB
};

/// A file name of this process's own in the temporary directory.
inline std::string TempPath(const std::string& what) {
  return ::testing::TempDir() + "tarvik-" + what + "-" + std::to_string(getpid());
}

/// Runs to its end with `input` as its standard input, or the file `inputPath` if given,
/// and its output read back, or left in the file `outputPath` if given (a device, say).
/// Files only, so that no pipe can fill up. Standard error is read back, its lines
/// ending in LF.
inline Outcome RunToEnd(const std::vector<std::string>& argv, std::string_view input, const std::string& inputPath = "",
                        const std::string& outputPath = "") {
  const std::string in = TempPath("in"), out = TempPath("out"), err = TempPath("err");
  std::ofstream(in, std::ios::binary) << input;
  Outcome outcome;
  Child child(argv, inputPath.empty() ? in : inputPath, outputPath.empty() ? out : outputPath, err);
  outcome.status = child.Wait();
  outcome.peakKiB = child.PeakKiB();
  outcome.out = FileBytes(out);
  outcome.err = FileBytes(err);
  for (const std::string& path : {in, out, err}) std::remove(path.c_str());
  // Standard error stays in text mode on Windows, where its lines end in CR LF.
  for (std::size_t at; (at = outcome.err.find("\r\n")) != std::string::npos;) outcome.err.erase(at, 1);
  return outcome;
}

}  // namespace tarvik::test
