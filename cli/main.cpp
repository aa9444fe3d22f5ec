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

namespace {

// The C runtime's descriptors rather than ReadFile and WriteFile: they keep the binary
// mode set below, and they end the input at a closed pipe instead of failing.
class StandardInput final : public tarvik::cli::Input {
 public:
  std::ptrdiff_t Read(char* buffer, std::size_t size) override {
    return _read(0, buffer, static_cast<unsigned>(size));
  }
};

class StandardOutput final : public tarvik::cli::Output {
 public:
  explicit StandardOutput(int fd) : fd_(fd) {}
  bool Write(const char* bytes, std::size_t size) override {
    while (size > 0) {
      const int written = _write(fd_, bytes, static_cast<unsigned>(size));
      if (written <= 0) return false;
      bytes += written;
      size -= static_cast<std::size_t>(written);
    }
    return true;
  }

 private:
  int fd_;
};

}  // namespace

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
  StandardInput in;
  StandardOutput out(1), err(2);
  return tarvik::cli::RunIdTool(arguments, in, out, err);
}

#else
#include <unistd.h>

#include "cli/utf8.h"

namespace {

class StandardInput final : public tarvik::cli::Input {
 public:
  std::ptrdiff_t Read(char* buffer, std::size_t size) override {
    for (;;) {
      const ssize_t got = read(0, buffer, size);
      if (got >= 0 || errno != EINTR) return got;
    }
  }
};

class StandardOutput final : public tarvik::cli::Output {
 public:
  explicit StandardOutput(int fd) : fd_(fd) {}
  bool Write(const char* bytes, std::size_t size) override {
    while (size > 0) {
      const ssize_t written = write(fd_, bytes, size);
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) return false;
      bytes += written;
      size -= static_cast<std::size_t>(written);
    }
    return true;
  }

 private:
  int fd_;
};

}  // namespace

// Arguments are bytes here; they are taken as UTF-8 whatever the locale says, as the
// standard input is.
int main(int argc, char** argv) {
  std::vector<tarvik::cli::Argument> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(tarvik::cli::DecodeUtf8(argv[i]));
  StandardInput in;
  StandardOutput out(1), err(2);
  return tarvik::cli::RunIdTool(arguments, in, out, err);
}

#endif
