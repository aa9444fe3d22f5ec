// One way to run a program to its end as a child process, natively and on Windows
// (under Wine too): its standard streams from and to files, so that no pipe can fill
// up, its exit status and, on POSIX, its peak memory. The command-line tool's tests run
// through it on both; where they want pipes, a shell between makes them.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>  // getpid, which MinGW has too

#include <cstdio>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "file_util.h"
#ifdef _WIN32
#include <regex>

#include "win32.h"
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char** environ;
#endif

namespace tarvik::test {

/// What a finished child said and how it ended.
struct Outcome {
  int status = -1;  // the exit status, or -1 when it did not exit normally
  std::string out, err;
  long peakKiB = 0;  // on POSIX: its peak resident set size, or a larger one of a child it waited for
};

/// A file name of this process's own in the temporary directory.
inline std::string TempPath(const std::string& what) {
  return ::testing::TempDir() + "tarvik-" + what + "-" + std::to_string(getpid());
}

#ifdef _WIN32
/// The command-line quoting that CommandLineToArgvW and the C runtime undo: quotes
/// escaped, and the backslashes before one or before the closing quote doubled.
inline std::wstring Quoted(const std::string& utf8) {
  const std::wstring escaped = std::regex_replace(Wide(utf8), std::wregex(LR"re((\\*)")re"), L"$1$1\\\"");
  return L"\"" + std::regex_replace(escaped, std::wregex(LR"((\\*)$)"), L"$1$1") + L"\"";
}
#endif

/// Runs `argv` (argv[0] the program's path, every string UTF-8) to its end with `input`
/// as its standard input, or the file `inputPath` if given, and its output read back, or
/// left in the file `outputPath` if given (a device, say). Standard error is read back,
/// its lines ending in LF.
inline Outcome RunToEnd(const std::vector<std::string>& argv, std::string_view input, const std::string& inputPath = "",
                        const std::string& outputPath = "") {
  const std::string in = TempPath("in"), out = TempPath("out"), err = TempPath("err");
  std::ofstream(in, std::ios::binary) << input;
  const std::string paths[3] = {inputPath.empty() ? in : inputPath, outputPath.empty() ? out : outputPath, err};
  Outcome outcome;
#ifdef _WIN32
  std::wstring line;
  for (const std::string& argument : argv) line += (line.empty() ? L"" : L" ") + Quoted(argument);
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  HANDLE* ends[3] = {&startup.hStdInput, &startup.hStdOutput, &startup.hStdError};
  for (int k = 0; k < 3; ++k) {
    *ends[k] = CreateFileW(WindowsPath(paths[k]).c_str(), k == 0 ? GENERIC_READ : GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, k == 0 ? OPEN_EXISTING : OPEN_ALWAYS,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);  // a directory opens too, and fails to read
    if (k != 0) SetEndOfFile(*ends[k]);
  }
  PROCESS_INFORMATION started{};
  const bool ok = CreateProcessW(WindowsPath(argv[0]).c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                 nullptr, &startup, &started);
  const unsigned long error = ok ? 0 : GetLastError();
  for (HANDLE* end : ends) CloseHandle(*end);
  DWORD code = 0;
  if (ok && WaitForSingleObject(started.hProcess, INFINITE) == WAIT_OBJECT_0 &&
      GetExitCodeProcess(started.hProcess, &code)) {
    outcome.status = static_cast<int>(code);
  }
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
#else
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  for (int k = 0; k < 3; ++k) {
    const int flags = k == 0 ? O_RDONLY : O_WRONLY | O_CREAT | O_TRUNC;
    posix_spawn_file_actions_addopen(&actions, k, paths[k].c_str(), flags, 0600);
  }
  std::vector<char*> pointers;
  for (const std::string& argument : argv) pointers.push_back(const_cast<char*>(argument.c_str()));
  pointers.push_back(nullptr);
  pid_t pid = 0;
  const int error = posix_spawn(&pid, pointers[0], &actions, nullptr, pointers.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  int raw = 0;
  rusage usage{};
  if (error == 0 && wait4(pid, &raw, 0, &usage) == pid) {
    outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    outcome.peakKiB = usage.ru_maxrss;
  }
#endif
  if (error != 0) ADD_FAILURE() << "cannot start " << argv[0] << ": error " << error;
  outcome.out = FileBytes(out);
  outcome.err = FileBytes(err);
  for (const std::string& path : {in, out, err}) std::remove(path.c_str());
  // Standard error stays in text mode on Windows, where its lines end in CR LF.
  for (std::size_t at; (at = outcome.err.find("\r\n")) != std::string::npos;) outcome.err.erase(at, 1);
  return outcome;
}

}  // namespace tarvik::test
