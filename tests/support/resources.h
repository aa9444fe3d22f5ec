// One reader of what a Windows program carries: its resources, loaded as data and
// never run, its version resource through the calls Windows' file properties use, and
// its manifest's elements; with the version as version.h spells it for the manifest.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "tarvik/version.h"
#include "version_info.h"
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
      : module_(LoadLibraryExW(WindowsPath(path).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
  ~ModuleResources() {
    if (module_) FreeLibrary(module_);
  }
  ModuleResources(const ModuleResources&) = delete;
  ModuleResources& operator=(const ModuleResources&) = delete;

  /// Null if it could not be loaded; GetLastError then says why.
  HMODULE Module() const { return module_; }

  /// The bytes of one resource in one language; empty if there is none.
  std::vector<uint8_t> Data(LPCWSTR type, int id, WORD language = kNeutral) const {
    const HRSRC found = module_ ? FindResourceExW(module_, type, MAKEINTRESOURCEW(id), language) : nullptr;
    const auto* bytes = found ? static_cast<const uint8_t*>(LockResource(LoadResource(module_, found))) : nullptr;
    if (!bytes) return {};
    return {bytes, bytes + SizeofResource(module_, found)};
  }

  /// The manifest, type 24 id 1, in the neutral language.
  std::string Manifest() const {
    const std::vector<uint8_t> data = Data(RT_MANIFEST, 1);
    return {data.begin(), data.end()};
  }

  /// Every id under a resource type, in order; a named resource shows as -1.
  std::vector<int> Ids(LPCWSTR type) const {
    std::vector<int> ids;
    EnumResourceNamesW(module_, type, AddId, reinterpret_cast<LONG_PTR>(&ids));
    std::sort(ids.begin(), ids.end());
    return ids;
  }

  std::vector<WORD> Languages(LPCWSTR type, int id) const {
    std::vector<WORD> languages;
    EnumResourceLanguagesW(module_, type, MAKEINTRESOURCEW(id), AddLanguage, reinterpret_cast<LONG_PTR>(&languages));
    return languages;
  }

 private:
  static BOOL CALLBACK AddId(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR ids) {
    reinterpret_cast<std::vector<int>*>(ids)->push_back(
        IS_INTRESOURCE(name) ? static_cast<int>(reinterpret_cast<ULONG_PTR>(name)) : -1);
    return TRUE;
  }
  static BOOL CALLBACK AddLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR languages) {
    reinterpret_cast<std::vector<WORD>*>(languages)->push_back(language);
    return TRUE;
  }

  HMODULE module_;
};

/// The attributes of each element, in document order, with its path from the root.
struct XmlElement {
  std::string path;
  std::map<std::string, std::string> attributes;
  std::string text;
};

/// Enough XML for a manifest: elements, quoted attributes, text and comments without
/// '<' or '>' inside; no entities. False if it is not well-formed that far.
inline bool ParseManifest(std::string_view xml, std::vector<XmlElement>& elements) {
  std::vector<std::string> open;
  size_t at = 0;
  while ((at = xml.find('<', at)) != std::string_view::npos) {
    const size_t close = xml.find('>', at);
    if (close == std::string_view::npos) return false;
    std::string_view tag = xml.substr(at + 1, close - at - 1);
    if (tag.starts_with('/')) {
      if (open.empty() || open.back() != tag.substr(1)) return false;
      open.pop_back();
    } else if (!tag.starts_with('?') && !tag.starts_with('!')) {
      const bool empty = tag.ends_with('/');
      if (empty) tag.remove_suffix(1);
      XmlElement element;
      const size_t nameEnd = std::min(tag.find_first_of(" \t\r\n"), tag.size());
      const std::string name(tag.substr(0, nameEnd));
      for (const std::string& parent : open) element.path += parent + "/";
      element.path += name;
      for (size_t i = nameEnd; (i = tag.find_first_not_of(" \t\r\n", i)) != std::string_view::npos;) {
        const size_t equals = tag.find("=\"", i);
        const size_t quote = equals == std::string_view::npos ? equals : tag.find('"', equals + 2);
        if (quote == std::string_view::npos) return false;
        element.attributes[std::string(tag.substr(i, equals - i))] = std::string(tag.substr(equals + 2, quote - equals - 2));
        i = quote + 1;
      }
      if (!empty) {
        const size_t next = xml.find('<', close);
        element.text = std::string(xml.substr(close + 1, next - close - 1));
        open.push_back(name);
      }
      elements.push_back(std::move(element));
    }
    at = close + 1;
  }
  return open.empty();
}

/// The attribute of the first element whose path ends in `path`; "" if none has it.
inline std::string Attribute(const std::vector<XmlElement>& elements, std::string_view path, const std::string& name) {
  for (const XmlElement& element : elements) {
    const auto found = element.attributes.find(name);
    if (element.path.ends_with(path) && found != element.attributes.end()) return found->second;
  }
  return "";
}

}  // namespace tarvik::test
