// The entry point of tarvik-id: how each system hands over the arguments and the
// standard streams. Everything else is in id_tool.cpp.
#include <cerrno>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "cli/id_tool.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>

#include "cli/utf8.h"
#endif

namespace {

// One call of the system's read or write on a descriptor: how many bytes it moved,
// 0 at the end of the input, negative on failure.
#ifdef _WIN32
// The C runtime's descriptors rather than ReadFile and WriteFile: they keep the binary
// mode set in wmain, and they end the input at a closed pipe instead of failing. The
// tool's blocks are far below the unsigned int these calls count in.
std::ptrdiff_t ReadSome(int fd, char* buffer, std::size_t size) {
  return _read(fd, buffer, static_cast<unsigned>(size));
}
std::ptrdiff_t WriteSome(int fd, const char* bytes, std::size_t size) {
  return _write(fd, bytes, static_cast<unsigned>(size));
}
#else
// A signal that interrupts the call has moved nothing; the call is simply made again.
std::ptrdiff_t ReadSome(int fd, char* buffer, std::size_t size) {
  ssize_t got;
  while ((got = read(fd, buffer, size)) < 0 && errno == EINTR) {
  }
  return got;
}
std::ptrdiff_t WriteSome(int fd, const char* bytes, std::size_t size) {
  ssize_t written;
  while ((written = write(fd, bytes, size)) < 0 && errno == EINTR) {
  }
  return written;
}
#endif

class StandardInput final : public tarvik::cli::Input {
 public:
  std::ptrdiff_t Read(char* buffer, std::size_t size) override { return ReadSome(0, buffer, size); }
};

class StandardOutput final : public tarvik::cli::Output {
 public:
  explicit StandardOutput(int fd) : fd_(fd) {}
  bool Write(const char* bytes, std::size_t size) override {
    while (size > 0) {
      const std::ptrdiff_t written = WriteSome(fd_, bytes, size);
      if (written <= 0) return false;
      bytes += written;
      size -= static_cast<std::size_t>(written);
    }
    return true;
  }

 private:
  int fd_;
};

int Run(const std::vector<tarvik::cli::Argument>& arguments) {
  StandardInput in;
  StandardOutput out(1), err(2);
  return tarvik::cli::RunIdTool(arguments, in, out, err);
}

}  // namespace

#ifdef _WIN32

// Windows gives the arguments in UTF-16 only through the wide entry point; the narrow
// argv would be in the ANSI code page, which loses every character outside it. MinGW
// needs -municode to call wmain. An unpaired surrogate in an argument is passed on as
// it stands: the window takes such text too.
int wmain(int argc, wchar_t** argv) {
  // Binary mode: a CR in the input must reach the line splitter, and "\n" in the
  // output must not grow a CR that a consumer would take as part of the number.
  _setmode(0, _O_BINARY);
  _setmode(1, _O_BINARY);
  std::vector<tarvik::cli::Argument> arguments;
  for (int i = 1; i < argc; ++i) {
    const std::wstring_view wide = argv[i];
    arguments.emplace_back(std::u16string(wide.begin(), wide.end()));
  }
  return Run(arguments);
}

#else

// Arguments are bytes here; they are taken as UTF-8 whatever the locale says, as the
// standard input is.
int main(int argc, char** argv) {
  std::vector<tarvik::cli::Argument> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(tarvik::cli::DecodeUtf8(argv[i]));
  return Run(arguments);
}

#endif
