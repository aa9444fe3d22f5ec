// tarvik.exe as Windows sees it: its version information, manifest and icon read back
// with the Windows API. The version in every form comes from the generated version
// header; the texts the program carries and its icon's images are the design's.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cwctype>
#include <cstdio>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dib.h"
#include "file_util.h"
#include "resources.h"
#include "tarvik/version.h"
#include "ui/layout.h"

namespace tarvik {
namespace {

constexpr WORD kSpanishModern = MAKELANGID(LANG_SPANISH, SUBLANG_SPANISH_MODERN);  // 3082
using namespace test;
constexpr WORD kNeutral = ModuleResources::kNeutral;
constexpr int kIconGroupId = 1;

template <typename T>
T ReadAt(const std::vector<uint8_t>& bytes, size_t offset) {
  T value{};
  if (offset <= bytes.size() && sizeof(T) <= bytes.size() - offset) std::memcpy(&value, bytes.data() + offset, sizeof(T));
  return value;
}

// One node of the VS_VERSIONINFO tree: length, value length, type, key, value, children.
struct VersionNode {
  std::wstring key;
  WORD type = 0;  // 1: the value is text
  WORD valueLength = 0;
  std::vector<uint8_t> value;
  std::vector<VersionNode> children;
};

size_t AlignToDword(size_t offset) { return (offset + 3) & ~size_t{3}; }

// Parses the node at `offset` of the resource; false if it runs past its bounds.
bool ParseVersionNode(const std::vector<uint8_t>& block, size_t offset, size_t end, VersionNode& node) {
  const size_t length = ReadAt<WORD>(block, offset);
  if (length < 6 || offset + length > end) return false;
  node.valueLength = ReadAt<WORD>(block, offset + 2);
  node.type = ReadAt<WORD>(block, offset + 4);
  const size_t nodeEnd = offset + length;
  size_t at = offset + 6;
  for (WCHAR c; at + 2 <= nodeEnd && (c = ReadAt<WCHAR>(block, at)) != 0; at += 2) node.key += c;
  at = AlignToDword(at + 2);
  const size_t valueBytes = node.type == 1 ? 2 * size_t{node.valueLength} : node.valueLength;
  if (at + valueBytes > nodeEnd) return false;
  node.value.assign(block.begin() + static_cast<std::ptrdiff_t>(at),
                    block.begin() + static_cast<std::ptrdiff_t>(at + valueBytes));
  for (at = AlignToDword(at + valueBytes); at < nodeEnd; at = AlignToDword(at)) {
    VersionNode child;
    if (!ParseVersionNode(block, at, nodeEnd, child)) return false;
    at += ReadAt<WORD>(block, at);
    node.children.push_back(std::move(child));
  }
  return true;
}

std::wstring TextValue(const VersionNode& node) {
  std::wstring text(node.value.size() / 2, L'\0');
  std::memcpy(text.data(), node.value.data(), text.size() * 2);
  return text;
}

// The program's resources, with the program loaded as data, never run.
class ProgramResources : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(resources_.Module()) << "cannot load " << TARVIK_EXE_PATH << ": " << GetLastError(); }

  // The version resource as a tree; a failure if it does not parse.
  VersionNode VersionTree() const {
    const std::vector<uint8_t> block = resources_.Data(RT_VERSION, 1, kSpanishModern);
    VersionNode root;
    EXPECT_TRUE(ParseVersionNode(block, 0, block.size(), root)) << "malformed VS_VERSIONINFO, " << block.size() << " bytes";
    return root;
  }

  const ModuleResources resources_{TARVIK_EXE_PATH};
};

constexpr DWORD kVersionMS = MAKELONG(TARVIK_VERSION_MINOR, TARVIK_VERSION_MAJOR);
constexpr DWORD kVersionLS = MAKELONG(TARVIK_VERSION_REVISION, TARVIK_VERSION_BUILD);
struct VersionString {
  const wchar_t* key;
  const wchar_t* value;
};

// In the order the table lists them.
constexpr VersionString kVersionStrings[] = {
    {L"Comments", L"Works out your MSN Messenger id number"},
    {L"CompanyName", L"Velloran (Ulvane)"},
    {L"FileDescription", L"MSN Messenger id number"},
    {L"LegalTrademarks", L"tarvik"},
    {L"ProductName", L"tarvik"},
    {L"FileVersion", L"" TARVIK_VERSION_TEXT},
    {L"ProductVersion", L"" TARVIK_VERSION_TEXT},
    {L"InternalName", L"tarvik"},
    {L"OriginalFilename", L"tarvik.exe"},
};

// The version resource through the calls other programs use to read it.
class VersionInfo : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(info_.Ok()) << "no version information in " << TARVIK_EXE_PATH << ": error " << GetLastError();
  }

  const VS_FIXEDFILEINFO* Fixed() {
    UINT length = 0;
    const void* value = info_.Query(L"\\", length);
    return value && length == sizeof(VS_FIXEDFILEINFO) ? static_cast<const VS_FIXEDFILEINFO*>(value) : nullptr;
  }

  const test::VersionInfo info_{WindowsPath(TARVIK_EXE_PATH)};
};

TEST_F(VersionInfo, FixedPartCarriesTheVersionForA32BitApplication) {
  const VS_FIXEDFILEINFO* fixed = Fixed();
  ASSERT_NE(fixed, nullptr) << "no VS_FIXEDFILEINFO under \\";
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  const struct {
    const char* field;
    DWORD expected, actual;
  } fields[] = {
      {"file version, major and minor", kVersionMS, fixed->dwFileVersionMS},
      {"file version, build and revision", kVersionLS, fixed->dwFileVersionLS},
      {"product version, major and minor", kVersionMS, fixed->dwProductVersionMS},
      {"product version, build and revision", kVersionLS, fixed->dwProductVersionLS},
      {"file flags mask", 0, fixed->dwFileFlagsMask},
      {"file flags", 0, fixed->dwFileFlags},
      {"file OS (VOS__WINDOWS32)", 4, fixed->dwFileOS},
      {"file type (VFT_APP)", 1, fixed->dwFileType},
      {"file subtype", 0, fixed->dwFileSubtype},
      {"file date, high part", 0, fixed->dwFileDateMS},
      {"file date, low part", 0, fixed->dwFileDateLS},
  };
  for (const auto& f : fields) {
    EXPECT_EQ(f.actual, f.expected) << f.field << std::hex << ": expected 0x" << f.expected << ", got 0x" << f.actual;
  }
}

TEST_F(VersionInfo, SpanishUnicodeTableHoldsEveryString) {
  for (const VersionString& s : kVersionStrings) {
    SCOPED_TRACE(Narrow(s.key));
    UINT length = 0;
    const auto* value = static_cast<const wchar_t*>(info_.Query(std::wstring(L"\\StringFileInfo\\0C0A04B0\\") + s.key, length));
    ASSERT_NE(value, nullptr) << "missing";
    const std::wstring text(value, wcsnlen(value, length));
    EXPECT_EQ(text, s.value) << "expected \"" << Narrow(s.value) << "\", got \"" << Narrow(text) << "\"";
  }

  UINT length = 0;
  const auto* translation = static_cast<const WORD*>(info_.Query(L"\\VarFileInfo\\Translation", length));
  ASSERT_NE(translation, nullptr) << "no \\VarFileInfo\\Translation";
  ASSERT_EQ(length, 4u) << "expected one language and code page pair";
  EXPECT_EQ(translation[0], 0x0C0A) << "language";
  EXPECT_EQ(translation[1], 0x04B0) << "code page";
}

TEST_F(ProgramResources, VersionResourceIsOneSpanishBlockOfUnicodeStrings) {
  EXPECT_EQ(resources_.Ids(RT_VERSION), std::vector<int>{1});
  EXPECT_EQ(resources_.Languages(RT_VERSION, 1), std::vector<WORD>{kSpanishModern}) << "expected language 3082 only";

  // The raw tree, because the API hides the order, the types and any extra entries.
  const VersionNode root = VersionTree();
  EXPECT_EQ(root.key, L"VS_VERSION_INFO");
  EXPECT_EQ(root.valueLength, sizeof(VS_FIXEDFILEINFO));
  ASSERT_EQ(root.children.size(), 2u);
  const VersionNode& strings = root.children[0];
  const VersionNode& vars = root.children[1];
  EXPECT_EQ(strings.key, L"StringFileInfo");
  EXPECT_EQ(vars.key, L"VarFileInfo");

  ASSERT_EQ(strings.children.size(), 1u) << "expected one string table";
  const VersionNode& table = strings.children[0];
  EXPECT_EQ(table.key, L"0C0A04B0");
  ASSERT_EQ(table.children.size(), std::size(kVersionStrings)) << "expected exactly the nine strings";
  for (size_t i = 0; i < table.children.size(); ++i) {
    const VersionNode& entry = table.children[i];
    const VersionString& expected = kVersionStrings[i];
    SCOPED_TRACE("entry " + std::to_string(i) + ", " + Narrow(entry.key));
    EXPECT_EQ(entry.key, expected.key) << "expected key " << Narrow(expected.key);
    EXPECT_EQ(entry.type, 1) << "the value must be stored as text (UTF-16)";
    EXPECT_EQ(TextValue(entry), std::wstring(expected.value) + L'\0')
        << "expected \"" << Narrow(expected.value) << "\" and its terminator, got \"" << Narrow(TextValue(entry)) << "\"";
  }

  ASSERT_EQ(vars.children.size(), 1u);
  const VersionNode& translation = vars.children[0];
  EXPECT_EQ(translation.key, L"Translation");
  EXPECT_EQ(translation.type, 0) << "the translation is binary";
  EXPECT_EQ(translation.value, (std::vector<uint8_t>{0x0A, 0x0C, 0xB0, 0x04}));
}

TEST_F(ProgramResources, ManifestAsksForCommonControls6) {
  EXPECT_EQ(resources_.Ids(RT_MANIFEST), std::vector<int>{1});
  EXPECT_EQ(resources_.Languages(RT_MANIFEST, 1), std::vector<WORD>{kNeutral}) << "expected the neutral language only";
  const std::string xml = resources_.Manifest();
  ASSERT_FALSE(xml.empty()) << "no manifest, type 24 id 1";

  EXPECT_TRUE(xml.starts_with(R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"))
      << "expected the UTF-8 standalone declaration first, without a byte order mark; got:\n"
      << xml.substr(0, 80);
  std::vector<XmlElement> elements;
  ASSERT_TRUE(ParseManifest(xml, elements)) << "unbalanced or malformed XML:\n" << xml;

  using Attributes = std::map<std::string, std::string>;
  const XmlElement expected[] = {
      {"assembly", Attributes{{"xmlns", "urn:schemas-microsoft-com:asm.v1"}, {"manifestVersion", "1.0"}}, ""},
      {"assembly/assemblyIdentity",
       Attributes{{"version", DottedVersion()}, {"processorArchitecture", "x86"}, {"name", "Velloran.Ulvane.tarvik6"},
                  {"type", "win32"}},
       ""},
      {"assembly/description", {}, "MSN Messenger id number"},
      {"assembly/dependency", {}, ""},
      {"assembly/dependency/dependentAssembly", {}, ""},
      {"assembly/dependency/dependentAssembly/assemblyIdentity",
       Attributes{{"type", "win32"}, {"name", "Microsoft.Windows.Common-Controls"}, {"version", "6.0.0.0"},
                  {"processorArchitecture", "X86"}, {"publicKeyToken", "6595b64144ccf1df"}, {"language", "*"}},
       ""},
  };
  ASSERT_EQ(elements.size(), std::size(expected)) << "expected exactly these elements in:\n" << xml;
  for (size_t i = 0; i < elements.size(); ++i) {
    SCOPED_TRACE(expected[i].path);
    EXPECT_EQ(elements[i].path, expected[i].path);
    EXPECT_EQ(elements[i].attributes, expected[i].attributes);
    if (!expected[i].text.empty()) {
      EXPECT_EQ(elements[i].text, expected[i].text);
    }
  }
}

// The one version in all its forms: the fixed part's numbers, the version strings and
// the manifest's identity, each against version.h, and the caption the window shows after
// Form_Load: its design-time caption (the header's) and major.minor.revision from the
// fixed part. Only the end-to-end suite sees the window's own caption.
TEST_F(ProgramResources, EveryFormOfTheVersionAgreesWithTheCaption) {
  const VersionNode root = VersionTree();
  ASSERT_EQ(root.value.size(), sizeof(VS_FIXEDFILEINFO));
  VS_FIXEDFILEINFO fixed;
  std::memcpy(&fixed, root.value.data(), sizeof fixed);
  EXPECT_EQ(fixed.dwProductVersionMS, fixed.dwFileVersionMS);
  EXPECT_EQ(fixed.dwProductVersionLS, fixed.dwFileVersionLS);
  const unsigned major = HIWORD(fixed.dwFileVersionMS), minor = LOWORD(fixed.dwFileVersionMS);
  const unsigned build = HIWORD(fixed.dwFileVersionLS), revision = LOWORD(fixed.dwFileVersionLS);
  wchar_t caption[128], padded[32];
  swprintf(caption, 128, L"%ls - %u.%u.%u", ui::kForm1Caption, major, minor, revision);
  EXPECT_EQ(std::wstring(caption), std::wstring(ui::kForm1Caption) + L" - " + Widen(TARVIK_VERSION_SHORT));

  swprintf(padded, 32, L"%u.%02u.%04u", major, minor, revision);
  EXPECT_EQ(std::wstring(padded), Widen(TARVIK_VERSION_TEXT));
  ASSERT_EQ(root.children.size(), 2u);
  ASSERT_EQ(root.children[0].children.size(), 1u);
  for (const VersionNode& entry : root.children[0].children[0].children) {
    if (entry.key == L"FileVersion" || entry.key == L"ProductVersion") {
      EXPECT_EQ(TextValue(entry), std::wstring(padded) + L'\0') << Narrow(entry.key) << " against the fixed part";
    }
  }
  std::vector<XmlElement> elements;
  ASSERT_TRUE(ParseManifest(resources_.Manifest(), elements));
  EXPECT_EQ(Attribute(elements, "assembly/assemblyIdentity", "version"),
            std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(build) + "." + std::to_string(revision))
      << "the manifest's identity against the fixed part";
}

struct IconImage {
  int id;
  int size;
  int bitCount;
};

// In the group's order.
constexpr IconImage kIconImages[] = {
    {30001, 16, 8}, {30002, 32, 8}, {30003, 48, 8}, {30004, 16, 32}, {30005, 32, 32}, {30006, 48, 32},
};

#pragma pack(push, 2)
struct GroupIconEntry {
  BYTE width, height, colourCount, reserved;
  WORD planes, bitCount;
  DWORD bytesInRes;
  WORD id;
};
#pragma pack(pop)
static_assert(sizeof(GroupIconEntry) == 14);

TEST_F(ProgramResources, IconGroupListsSixImagesWithTheirIds) {
  EXPECT_EQ(resources_.Ids(RT_GROUP_ICON), std::vector<int>{kIconGroupId});
  EXPECT_EQ(resources_.Languages(RT_GROUP_ICON, kIconGroupId), std::vector<WORD>{kNeutral});
  std::vector<int> expectedIds;
  for (const IconImage& image : kIconImages) expectedIds.push_back(image.id);
  EXPECT_EQ(resources_.Ids(RT_ICON), expectedIds) << "expected no icon images but the group's";

  const std::vector<uint8_t> group = resources_.Data(RT_GROUP_ICON, kIconGroupId, kNeutral);
  ASSERT_GE(group.size(), 6u) << "no icon group 1";
  EXPECT_EQ(ReadAt<WORD>(group, 0), 0) << "reserved";
  EXPECT_EQ(ReadAt<WORD>(group, 2), 1) << "type: icon";
  ASSERT_EQ(ReadAt<WORD>(group, 4), std::size(kIconImages)) << "image count";
  ASSERT_EQ(group.size(), 6 + sizeof(GroupIconEntry) * std::size(kIconImages));

  for (size_t i = 0; i < std::size(kIconImages); ++i) {
    const IconImage& expected = kIconImages[i];
    SCOPED_TRACE("entry " + std::to_string(i + 1) + ", expected id " + std::to_string(expected.id));
    const auto entry = ReadAt<GroupIconEntry>(group, 6 + i * sizeof(GroupIconEntry));
    EXPECT_EQ(entry.id, expected.id);
    EXPECT_EQ(entry.width, expected.size);
    EXPECT_EQ(entry.height, expected.size);
    EXPECT_EQ(entry.colourCount, 0) << "0 stands for 256 colours or more";
    EXPECT_EQ(entry.planes, 1);
    EXPECT_EQ(entry.bitCount, expected.bitCount);
    EXPECT_EQ(resources_.Languages(RT_ICON, expected.id), std::vector<WORD>{kNeutral}) << "image language";
    EXPECT_EQ(entry.bytesInRes, resources_.Data(RT_ICON, expected.id, kNeutral).size()) << "size against the image resource";
  }
}

struct IconDeleter {
  void operator()(HICON icon) const { DestroyIcon(icon); }
};

// Each image is the matching one of the checked-in tarvik.ico, well-formed enough for
// Windows to draw: its corners let the background through (AND mask, alpha) and its
// middle covers it.
TEST_F(ProgramResources, IconImagesAreTheCheckedInIconAndDrawTransparently) {
  const std::string icoFile = FileBytes(TARVIK_ICO_PATH);
  const std::vector<uint8_t> ico(icoFile.begin(), icoFile.end());
  ASSERT_GE(ico.size(), 6 + 16 * std::size(kIconImages)) << "cannot read " << TARVIK_ICO_PATH;
  ASSERT_EQ(ReadAt<WORD>(ico, 4), std::size(kIconImages)) << "images in " << TARVIK_ICO_PATH;

  for (size_t i = 0; i < std::size(kIconImages); ++i) {
    const IconImage& expected = kIconImages[i];
    SCOPED_TRACE("image " + std::to_string(expected.id));
    std::vector<uint8_t> image = resources_.Data(RT_ICON, expected.id, kNeutral);
    ASSERT_GE(image.size(), sizeof(BITMAPINFOHEADER)) << "missing";

    const size_t entry = 6 + 16 * i;
    const auto size = ReadAt<DWORD>(ico, entry + 8), offset = ReadAt<DWORD>(ico, entry + 12);
    ASSERT_LE(size_t{offset} + size, ico.size()) << "entry " << i << " of the .ico runs past its end";
    EXPECT_TRUE(std::equal(image.begin(), image.end(), ico.begin() + offset, ico.begin() + offset + size))
        << "the resource (" << image.size() << " bytes) differs from image " << i + 1 << " of the .ico (" << size
        << " bytes)";

    const auto header = ReadAt<BITMAPINFOHEADER>(image, 0);
    EXPECT_EQ(header.biWidth, expected.size);
    EXPECT_EQ(header.biHeight, 2 * expected.size) << "colour rows and mask rows";
    EXPECT_EQ(header.biBitCount, expected.bitCount);
    if (expected.bitCount == 8) {
      EXPECT_TRUE(header.biClrUsed == 0 || header.biClrUsed == 256) << "palette entries: " << header.biClrUsed;
    }

    std::unique_ptr<std::remove_pointer_t<HICON>, IconDeleter> icon(CreateIconFromResourceEx(
        image.data(), static_cast<DWORD>(image.size()), TRUE, 0x00030000, expected.size, expected.size, 0));
    ASSERT_TRUE(icon) << "Windows cannot make an icon of it: error " << GetLastError();
    const int middle = expected.size / 2, last = expected.size - 1;
    for (COLORREF background : {RGB(255, 255, 255), RGB(0, 0, 0)}) {
      Dib canvas(expected.size, expected.size, FromColorRef(background));
      ASSERT_TRUE(canvas.Valid() && DrawIconEx(canvas.Dc(), 0, 0, icon.get(), expected.size, expected.size, 0,
                                                nullptr, DI_NORMAL));
      for (auto [x, y] : {std::pair{0, 0}, {last, 0}, {0, last}, {last, last}}) {
        EXPECT_EQ(canvas.At(x, y), FromColorRef(background))
            << "corner (" << x << ", " << y << ") on background " << std::hex << background << " came out "
            << canvas.At(x, y);
      }
      EXPECT_NE(canvas.At(middle, middle), FromColorRef(background)) << "the middle lets the background through";
    }
  }
}

}  // namespace
}  // namespace tarvik
