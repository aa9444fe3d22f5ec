// One way to run a program as a child process, natively and on Windows (under Wine
// too): its standard streams from and to files or pipes, its exit status, and on
// POSIX its peak memory. The command-line tool's tests run through it on both.
#pragma once

#include <cstdio>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "file_util.h"
#ifdef _WIN32
#include "win32.h"
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

namespace tarvik::test {

/// Where one standard stream of the child goes: a file by path (read for input,
/// created or truncated for output), or, on POSIX, a pipe whose other end the parent holds.
struct Stream {
  std::string path;
  bool pipe = false;
};
inline Stream Pipe() { return {"", true}; }

/// A child process, started at construction and waited for at destruction.
class Child {
 public:
  /// argv[0] is the program's path; every string is UTF-8.
  Child(const std::vector<std::string>& argv, const Stream& in, const Stream& out, const Stream& err) {
#ifdef _WIN32
    std::wstring line;
    for (const std::string& argument : argv) line += (line.empty() ? L"" : L" ") + Quoted(argument);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE ends[3] = {};
    const Stream* streams[3] = {&in, &out, &err};
    for (int k = 0; k < 3; ++k) {
      ends[k] = CreateFileW(WindowsPath(streams[k]->path).c_str(), k == 0 ? GENERIC_READ : GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, k == 0 ? OPEN_EXISTING : OPEN_ALWAYS,
                            FILE_FLAG_BACKUP_SEMANTICS, nullptr);  // a directory opens too, and fails to read
      if (k != 0) SetEndOfFile(ends[k]);
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ends[0], startup.hStdOutput = ends[1], startup.hStdError = ends[2];
    PROCESS_INFORMATION started{};
    if (CreateProcessW(WindowsPath(argv[0]).c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                       &startup, &started)) {
      process_ = started.hProcess;
      CloseHandle(started.hThread);
    } else {
      error_ = static_cast<int>(GetLastError());
    }
    for (HANDLE end : ends) CloseHandle(end);
#else
    std::vector<char*> pointers;
    for (const std::string& argument : argv) pointers.push_back(const_cast<char*>(argument.c_str()));
    pointers.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    int ends[3] = {-1, -1, -1};
    const Stream* streams[3] = {&in, &out, &err};
    for (int k = 0; k < 3; ++k) {
      if (streams[k]->pipe) {
        int fds[2];
        if (pipe(fds) != 0) continue;
        ends[k] = fds[k == 0 ? 0 : 1];
        parent_[k] = fds[k == 0 ? 1 : 0];
        fcntl(parent_[k], F_SETFD, FD_CLOEXEC);
        posix_spawn_file_actions_adddup2(&actions, ends[k], k);
      } else {
        posix_spawn_file_actions_addopen(&actions, k, streams[k]->path.c_str(),
                                         k == 0 ? O_RDONLY : O_WRONLY | O_CREAT | O_TRUNC, 0600);
      }
    }
    error_ = posix_spawn(&pid_, pointers[0], &actions, nullptr, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    for (int end : ends) {
      if (end >= 0) close(end);
    }
    if (error_ != 0) pid_ = 0;
#endif
  }

  ~Child() {
#ifndef _WIN32
    CloseInput();
#endif
    Wait();
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  /// 0 once started; otherwise the system's error number.
  int Error() const { return error_; }

#ifndef _WIN32
  /// Ends its standard input.
  void CloseInput() { Close(0); }

  /// Writes to its standard input pipe; false once it takes no more.
  bool Write(std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t written = write(parent_[0], bytes.data(), bytes.size());
      if (written <= 0) return false;
      bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
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

  /// Waits for it to end: its exit status, or -1 if it did not exit normally. With
  /// `peakKiB`, its peak resident set size where the system tells (0 elsewhere).
  int Wait(long* peakKiB = nullptr) {
    if (peakKiB) *peakKiB = 0;
#ifdef _WIN32
    if (process_) {
      WaitForSingleObject(process_, INFINITE);
      DWORD code = 0;
      status_ = GetExitCodeProcess(process_, &code) ? static_cast<int>(code) : -1;
      CloseHandle(process_);
      process_ = nullptr;
    }
#else
    int raw = 0;
    rusage usage{};
    if (pid_ != 0) {
      while (wait4(pid_, &raw, 0, &usage) < 0 && errno == EINTR) {
      }
      status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
      peak_ = usage.ru_maxrss;
      pid_ = 0;
    }
    if (peakKiB) *peakKiB = peak_;
    for (int k = 0; k < 3; ++k) Close(k);
#endif
    return status_;
  }

 private:
#ifndef _WIN32
  void Close(int k) {
    if (parent_[k] >= 0) close(parent_[k]);
    parent_[k] = -1;
  }
#endif

#ifdef _WIN32
  // The command-line quoting that CommandLineToArgvW and the C runtime undo.
  static std::wstring Quoted(const std::string& utf8) {
    const std::wstring argument = Wide(utf8);
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
      if (c == L'"') quoted.append(backslashes + 1, L'\\');
      backslashes = c == L'\\' ? backslashes + 1 : 0;
      quoted += c;
    }
    return quoted.append(backslashes, L'\\') + L"\"";
  }

  HANDLE process_ = nullptr;
#else
  pid_t pid_ = 0;
  long peak_ = 0;
  int parent_[3] = {-1, -1, -1};
#endif
  int error_ = 0;
  int status_ = -1;
};

/// What a finished child said and how it ended.
struct Outcome {
  int status = -1;  // the exit status, or -1 when it did not exit normally
  std::string out, err;
};

/// A file name of this process's own in the temporary directory.
inline std::string TempPath(const std::string& what) {
#ifdef _WIN32
  const unsigned long id = GetCurrentProcessId();
#else
  const unsigned long id = static_cast<unsigned long>(getpid());
#endif
  return ::testing::TempDir() + "tarvik-" + what + "-" + std::to_string(id);
}

/// Runs to its end with its standard input from `inputPath` and its output into
/// `outputPath`, both files, so no pipe can fill up; standard error is read back, its
/// line ends as LF. Reading the output is left to the caller: it may be a device.
inline Outcome RunWithFiles(const std::vector<std::string>& argv, const std::string& inputPath,
                            const std::string& outputPath) {
  const std::string errorPath = TempPath("err");
  Outcome outcome;
  {
    Child child(argv, {inputPath}, {outputPath}, {errorPath});
    if (child.Error() != 0) {
      ADD_FAILURE() << "cannot start " << argv[0] << ": error " << child.Error();
      return outcome;
    }
    outcome.status = child.Wait();
  }
  outcome.err = FileBytes(errorPath);
  std::remove(errorPath.c_str());
  // Standard error stays in text mode on Windows, where its lines end in CR LF.
  for (std::size_t at; (at = outcome.err.find("\r\n")) != std::string::npos;) outcome.err.erase(at, 1);
  return outcome;
}

/// Runs to its end with `input` as its standard input; output and error read back.
inline Outcome Run(const std::vector<std::string>& argv, std::string_view input) {
  const std::string inputPath = TempPath("in"), outputPath = TempPath("out");
  std::ofstream(inputPath, std::ios::binary) << input;
  Outcome outcome = RunWithFiles(argv, inputPath, outputPath);
  outcome.out = FileBytes(outputPath);
  std::remove(inputPath.c_str());
  std::remove(outputPath.c_str());
  return outcome;
}

}  // namespace tarvik::test
