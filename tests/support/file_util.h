// A file's bytes, read the same way by every suite: on Windows through the drive path
// Wine gives a Unix path from the build.
#pragma once

#include <cstdio>
#include <string>

#ifdef _WIN32
#include "win32.h"
#endif

namespace tarvik::test {

/// The whole of a file; empty if it cannot be read.
inline std::string FileBytes(const std::string& path) {
#ifdef _WIN32
  FILE* file = _wfopen(WindowsPath(path).c_str(), L"rb");
#else
  FILE* file = std::fopen(path.c_str(), "rb");
#endif
  std::string bytes;
  if (!file) return bytes;
  char buffer[65536];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) bytes.append(buffer, n);
  std::fclose(file);
  return bytes;
}

}  // namespace tarvik::test
