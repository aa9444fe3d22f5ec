// One reader of what a Windows program carries: its resources, loaded as data and
// never run, its version resource through the calls Windows' file properties use, and
// its manifest's elements; with the version as version.h spells it for the manifest.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "tarvik/version.h"
#include "win32.h"

namespace tarvik::test {

/// major.minor.build.revision, as an assembly identity writes a version.
inline std::string DottedVersion() {
  return std::to_string(TARVIK_VERSION_MAJOR) + "." + std::to_string(TARVIK_VERSION_MINOR) + "." +
         std::to_string(TARVIK_VERSION_BUILD) + "." + std::to_string(TARVIK_VERSION_REVISION);
}

/// A program's resources, with the program loaded as data.
class ModuleResources {
 public:
  static constexpr WORD kNeutral = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);

  explicit ModuleResources(const std::string& path)
      : module_(LoadLibraryExW(WindowsPath(path).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE), FreeLibrary) {}

  /// Null if it could not be loaded; GetLastError then says why.
  HMODULE Module() const { return module_.get(); }

  /// The bytes of one resource in one language; empty if there is none.
  std::vector<uint8_t> Data(LPCWSTR type, int id, WORD language = kNeutral) const {
    const HRSRC found = module_ ? FindResourceExW(Module(), type, MAKEINTRESOURCEW(id), language) : nullptr;
    const auto* bytes = found ? static_cast<const uint8_t*>(LockResource(LoadResource(Module(), found))) : nullptr;
    return bytes ? std::vector<uint8_t>(bytes, bytes + SizeofResource(Module(), found)) : std::vector<uint8_t>();
  }

  /// The manifest, type 24 id 1, in the neutral language.
  std::string Manifest() const {
    const std::vector<uint8_t> data = Data(RT_MANIFEST, 1);
    return {data.begin(), data.end()};
  }

  /// Every resource of a type as its id and language, in the file's order; a named one has id -1.
  std::vector<std::pair<int, WORD>> Catalogue(LPCWSTR type) const {
    std::vector<std::pair<int, WORD>> found;
    EnumResourceNamesW(Module(), type, AddLanguages, reinterpret_cast<LONG_PTR>(&found));
    return found;
  }

 private:
  static BOOL CALLBACK AddLanguages(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR found) {
    return EnumResourceLanguagesW(module, type, name, AddOne, found);
  }
  static BOOL CALLBACK AddOne(HMODULE, LPCWSTR, LPCWSTR name, WORD language, LONG_PTR found) {
    const int id = IS_INTRESOURCE(name) ? static_cast<int>(reinterpret_cast<ULONG_PTR>(name)) : -1;
    reinterpret_cast<std::vector<std::pair<int, WORD>>*>(found)->push_back({id, language});
    return TRUE;
  }

  std::unique_ptr<std::remove_pointer_t<HMODULE>, decltype(&FreeLibrary)> module_;
};

/// A file's version resource, read through the calls Windows' file properties use.
class VersionInfo {
 public:
  explicit VersionInfo(const std::wstring& path) : info_(GetFileVersionInfoSizeW(path.c_str(), nullptr)) {
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

  /// A string of the program's one string table (Spanish, Unicode), to the length
  /// VerQueryValue reports; "<no NAME>" if there is none.
  std::wstring String(const wchar_t* name) const {
    UINT length = 0;
    const std::wstring path = std::wstring(L"\\StringFileInfo\\0C0A04B0\\") + name;
    const auto* value = static_cast<const wchar_t*>(Query(path, length));
    return value ? std::wstring(value, wcsnlen(value, length)) : L"<no " + std::wstring(name) + L">";
  }

 private:
  std::vector<char> info_;
};

/// An element of a manifest, in document order, with its path from the root; the text
/// is what follows its start tag up to the next tag.
struct XmlElement {
  std::string path;
  std::map<std::string, std::string> attributes;
  std::string text;
};

/// Enough XML for a manifest: elements, quoted attributes, text, and declarations and
/// comments without '>' inside; no entities. False if it is not well-formed that far.
inline bool ParseManifest(const std::string& xml, std::vector<XmlElement>& elements) {
  // A start or end tag (declarations and comments match none): its name, attributes,
  // whether it is empty, and the text up to the next tag.
  static const std::regex tag(R"(<(/?)([^\s/<>?!]+)([^>]*?)(/?)>([^<]*))");
  static const std::regex attribute(R"re(\s+([^\s=]+)="([^"]*)")re"), attributes(R"re((\s+[^\s=]+="[^"]*")*\s*)re");
  std::vector<std::string> open;
  for (std::sregex_iterator at(xml.begin(), xml.end(), tag), end; at != end; ++at) {
    const std::smatch& m = *at;
    const std::string name = m[2], list = m[3];
    if (m[1] == "/") {
      // An end tag closes the innermost open element, and only that.
      if (open.empty() || !("/" + open.back()).ends_with("/" + name)) return false;
      open.pop_back();
      continue;
    }
    if (!std::regex_match(list, attributes)) return false;
    XmlElement element{(open.empty() ? "" : open.back() + "/") + name, {}, m[4] == "/" ? "" : m[5].str()};
    for (std::sregex_iterator a(list.begin(), list.end(), attribute); a != end; ++a) {
      element.attributes[(*a)[1]] = (*a)[2];
    }
    if (m[4] != "/") open.push_back(element.path);
    elements.push_back(std::move(element));
  }
  return open.empty();
}

/// The attribute of the first element whose path ends in `path`; "" if none has it.
inline std::string Attribute(const std::vector<XmlElement>& elements, std::string_view path, const std::string& name) {
  for (const XmlElement& element : elements) {
    if (element.path.ends_with(path) && element.attributes.contains(name)) return element.attributes.at(name);
  }
  return "";
}

}  // namespace tarvik::test
