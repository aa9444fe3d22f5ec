// A file's version resource, read through the calls Windows' file properties use: one
// reader for every test that looks at what a program says it is.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace tarvik::test {

class VersionInfo {
 public:
  explicit VersionInfo(const std::wstring& path) {
    DWORD ignored = 0;
    info_.resize(GetFileVersionInfoSizeW(path.c_str(), &ignored));
    if (!info_.empty() && !GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(info_.size()), info_.data())) {
      info_.clear();
    }
  }

  /// False if the file has no version resource; GetLastError then says why.
  bool Ok() const { return !info_.empty(); }

  /// The value under a VerQueryValue path, and its length as VerQueryValue reports it;
  /// null if there is none.
  const void* Query(const std::wstring& subBlock, UINT& length) const {
    void* value = nullptr;
    length = 0;
    if (!Ok() || !VerQueryValueW(info_.data(), subBlock.c_str(), &value, &length)) return nullptr;
    return value;
  }

  /// A string of the program's one string table (Spanish, Unicode), or "<no NAME>".
  std::wstring String(const wchar_t* name) const {
    UINT length = 0;
    const void* value = Query(std::wstring(L"\\StringFileInfo\\0C0A04B0\\") + name, length);
    return value ? static_cast<const wchar_t*>(value) : L"<no " + std::wstring(name) + L">";
  }

 private:
  std::vector<char> info_;
};

}  // namespace tarvik::test
