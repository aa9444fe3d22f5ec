// The entry point of tarvik-id: how each system hands over the arguments and the
// standard streams. Everything else is in id_tool.cpp.
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/id_tool.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <stdio.h>

// Windows gives the arguments in UTF-16 only through the wide entry point; the narrow
// argv would be in the ANSI code page, which loses every character outside it. MinGW
// needs -municode to call wmain. An unpaired surrogate in an argument is passed on as
// it stands: the window takes such text too.
int wmain(int argc, wchar_t** argv) {
  // Binary mode: a CR in the input must reach the line splitter, and "\n" in the
  // output must not grow a CR that a consumer would take as part of the number.
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  std::ios::sync_with_stdio(false);
  std::vector<tarvik::cli::Argument> arguments;
  for (int i = 1; i < argc; ++i) {
    const std::wstring_view wide = argv[i];
    arguments.emplace_back(std::u16string(wide.begin(), wide.end()));
  }
  return tarvik::cli::RunIdTool(arguments, std::cin, std::cout, std::cerr);
}

#else
#include "cli/utf8.h"

// Arguments are bytes here; they are taken as UTF-8 whatever the locale says, as the
// standard input is.
int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  std::vector<tarvik::cli::Argument> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(tarvik::cli::DecodeUtf8(argv[i]));
  return tarvik::cli::RunIdTool(arguments, std::cin, std::cout, std::cerr);
}

#endif
