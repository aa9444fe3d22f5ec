// tarvik.exe as Windows sees it: its version information, manifest and icon read back
// with the Windows API. The version in every form comes from the generated version
// header; the texts the program carries and its icon's images are the design's.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "dib.h"
#include "file_util.h"
#include "resources.h"
#include "tarvik/version.h"
#include "ui/layout.h"

namespace tarvik {
namespace {

using namespace test;
constexpr WORD kSpanishModern = MAKELANGID(LANG_SPANISH, SUBLANG_SPANISH_MODERN);  // 3082
constexpr WORD kNeutral = ModuleResources::kNeutral;
constexpr int kIconGroupId = 1;
// The one language and code page pair: Spanish (modern sort), UTF-16.
constexpr WORD kTranslation[] = {kSpanishModern, 1200};

constexpr DWORD kVersionMS = MAKELONG(TARVIK_VERSION_MINOR, TARVIK_VERSION_MAJOR);
constexpr DWORD kVersionLS = MAKELONG(TARVIK_VERSION_REVISION, TARVIK_VERSION_BUILD);
// The fixed part a 32-bit application carries: signature, structure version, file and
// product version (major and minor, build and revision), flags mask, flags, OS, type,
// subtype and date.
constexpr VS_FIXEDFILEINFO kFixed = {
    0xFEEF04BD, 0x00010000, kVersionMS, kVersionLS, kVersionMS, kVersionLS, 0, 0, VOS__WINDOWS32, VFT_APP, 0, 0, 0};

// In the order the table lists them.
constexpr std::pair<const wchar_t*, const wchar_t*> kVersionStrings[] = {
    {L"Comments", L"Works out your MSN Messenger id number"},
    {L"CompanyName", L"Velloran (Ulvane)"},
    {L"FileDescription", L"MSN Messenger id number"},
    {L"LegalTrademarks", L"tarvik"}, {L"ProductName", L"tarvik"},
    {L"FileVersion", L"" TARVIK_VERSION_TEXT}, {L"ProductVersion", L"" TARVIK_VERSION_TEXT},
    {L"InternalName", L"tarvik"}, {L"OriginalFilename", L"tarvik.exe"},
};

template <typename T, typename Bytes>
T ReadAt(const Bytes& bytes, size_t offset) {
  T value{};
  if (offset <= bytes.size() && sizeof(T) <= bytes.size() - offset) std::memcpy(&value, &bytes[offset], sizeof(T));
  return value;
}

// Bytes in hexadecimal, in the file's order.
std::wstring Hex(const void* data, size_t size) {
  return Widen(test::Hex(std::string_view(static_cast<const char*>(data), size)));
}

using Catalogue = std::vector<std::pair<int, WORD>>;

size_t AlignToDword(size_t offset) { return (offset + 3) & ~size_t{3}; }

// Lists the node of the VS_VERSIONINFO tree at `offset`, then its children, depth first,
// a line each: its key after its parents' and its value, text (type 1) in quotes,
// terminator and all, anything else in hexadecimal. False if a node runs past its parent.
bool ListVersionNode(const std::vector<uint8_t>& block, size_t offset, size_t end, std::wstring path,
                     std::wstring& listing) {
  const size_t length = ReadAt<WORD>(block, offset), valueLength = ReadAt<WORD>(block, offset + 2);
  const bool text = ReadAt<WORD>(block, offset + 4) == 1;
  if (length < 6 || offset + length > end) return false;
  end = offset + length;
  size_t at = offset + 6;
  for (WCHAR c; at + 2 <= end && (c = ReadAt<WCHAR>(block, at)) != 0; at += 2) path += c;
  at = AlignToDword(at + 2);
  const size_t valueEnd = at + (text ? 2 * valueLength : valueLength);
  if (valueEnd > end) return false;
  const uint8_t* value = block.data() + at;
  listing += path + L" " + (text ? L'"' + std::wstring(reinterpret_cast<const wchar_t*>(value), valueLength) + L'"'
                                 : Hex(value, valueLength)) + L'\n';
  for (at = AlignToDword(valueEnd); at < end; at = AlignToDword(at + ReadAt<WORD>(block, at))) {
    if (!ListVersionNode(block, at, end, path + L"/", listing)) return false;
  }
  return true;
}

// The program's resources, with the program loaded as data, never run, and its version
// resource through the calls other programs use to read it.
class ProgramResources : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(resources_.Module()) << "cannot load " << TARVIK_EXE_PATH << ": error " << GetLastError();
    ASSERT_TRUE(info_.Ok()) << "no version information in " << TARVIK_EXE_PATH << ": error " << GetLastError();
  }

  const ModuleResources resources_{TARVIK_EXE_PATH};
  const VersionInfo info_{WindowsPath(TARVIK_EXE_PATH)};
};

// What other programs read of the version resource: the fixed part a 32-bit application
// carries, and every string in the one Spanish Unicode table.
TEST_F(ProgramResources, VersionInfoCarriesTheFixedPartAndTheSpanishUnicodeStrings) {
  UINT length = 0;
  const void* fixed = info_.Query(L"\\", length);
  EXPECT_TRUE(fixed && length == sizeof(VS_FIXEDFILEINFO)) << "no VS_FIXEDFILEINFO under \\";
  EXPECT_EQ(Hex(fixed, length), Hex(&kFixed, sizeof kFixed)) << "VS_FIXEDFILEINFO, field by field";
  for (const auto& [key, value] : kVersionStrings) EXPECT_EQ(info_.String(key), value) << Narrow(key);
  const void* translation = info_.Query(L"\\VarFileInfo\\Translation", length);
  ASSERT_NE(translation, nullptr) << "no \\VarFileInfo\\Translation";
  EXPECT_EQ(Hex(translation, length), Hex(kTranslation, sizeof kTranslation)) << "one language and code page pair";
}

TEST_F(ProgramResources, VersionResourceIsOneSpanishBlockOfUnicodeStrings) {
  EXPECT_EQ(resources_.Catalogue(RT_VERSION), (Catalogue{{1, kSpanishModern}})) << "expected language 3082 only";

  // The raw tree, because the API hides the order, the types and any extra entries.
  const std::wstring table = L"VS_VERSION_INFO/StringFileInfo/0C0A04B0";
  std::wstring expected = L"VS_VERSION_INFO " + Hex(&kFixed, sizeof kFixed) + L'\n';
  expected += L"VS_VERSION_INFO/StringFileInfo \"\"\n" + table + L" \"\"\n";
  for (const auto& [key, text] : kVersionStrings) expected += table + L'/' + key + L" \"" + text + L'\0' + L"\"\n";
  expected += L"VS_VERSION_INFO/VarFileInfo \"\"\nVS_VERSION_INFO/VarFileInfo/Translation " +
              Hex(kTranslation, sizeof kTranslation) + L'\n';
  const std::vector<uint8_t> block = resources_.Data(RT_VERSION, 1, kSpanishModern);
  std::wstring listed;
  EXPECT_TRUE(ListVersionNode(block, 0, block.size(), L"", listed)) << "malformed, " << block.size() << " bytes";
  EXPECT_EQ(listed, expected);
}

TEST_F(ProgramResources, ManifestAsksForCommonControls6) {
  EXPECT_EQ(resources_.Catalogue(RT_MANIFEST), (Catalogue{{1, kNeutral}})) << "expected the neutral language only";
  const std::string xml = resources_.Manifest();
  ASSERT_FALSE(xml.empty()) << "no manifest, type 24 id 1";

  EXPECT_TRUE(xml.starts_with(R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"))
      << "expected the UTF-8 standalone declaration first, no byte order mark:\n" << xml.substr(0, 80);
  std::vector<XmlElement> elements;
  ASSERT_TRUE(ParseManifest(xml, elements)) << "unbalanced or malformed XML:\n" << xml;

  // Each element with its attributes in name order, and its text if it has any.
  const std::string expected =
      R"(assembly manifestVersion="1.0" xmlns="urn:schemas-microsoft-com:asm.v1")" "\n"
      R"(assembly/assemblyIdentity name="Velloran.Ulvane.tarvik6" processorArchitecture="x86" type="win32" version=")" +
      DottedVersion() + "\"\n"
      "assembly/description MSN Messenger id number\n"
      "assembly/dependency\n"
      "assembly/dependency/dependentAssembly\n"
      R"(assembly/dependency/dependentAssembly/assemblyIdentity language="*" name="Microsoft.Windows.Common-Controls")"
      R"( processorArchitecture="X86" publicKeyToken="6595b64144ccf1df" type="win32" version="6.0.0.0")" "\n";
  std::string shown;
  for (const XmlElement& element : elements) {
    shown += element.path;
    for (const auto& [name, value] : element.attributes) shown += " " + name + "=\"" + value + '"';
    if (element.text.find_first_not_of(" \t\r\n") != std::string::npos) shown += " " + element.text;
    shown += '\n';
  }
  EXPECT_EQ(shown, expected) << "expected exactly these elements in:\n" << xml;
}

// The one version in all its forms: the fixed part's numbers, the version strings and
// the manifest's identity, each against version.h, and the caption the window shows after
// Form_Load: its design-time caption (the header's) and major.minor.revision from the
// fixed part. Only the end-to-end suite sees the window's own caption.
TEST_F(ProgramResources, EveryFormOfTheVersionAgreesWithTheCaption) {
  UINT length = 0;
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(info_.Query(L"\\", length));
  ASSERT_TRUE(fixed && length == sizeof *fixed) << "no fixed part";
  EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
  EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
  const unsigned major = HIWORD(fixed->dwFileVersionMS), minor = LOWORD(fixed->dwFileVersionMS);
  const unsigned build = HIWORD(fixed->dwFileVersionLS), revision = LOWORD(fixed->dwFileVersionLS);
  wchar_t caption[128], padded[32];
  swprintf(caption, 128, L"%ls - %u.%u.%u", ui::kForm1Caption, major, minor, revision);
  EXPECT_EQ(std::wstring(caption), std::wstring(ui::kForm1Caption) + L" - " + Widen(TARVIK_VERSION_SHORT));

  swprintf(padded, 32, L"%u.%02u.%04u", major, minor, revision);
  EXPECT_EQ(std::wstring(padded), Widen(TARVIK_VERSION_TEXT));
  for (const wchar_t* name : {L"FileVersion", L"ProductVersion"}) {
    EXPECT_EQ(info_.String(name), padded) << Narrow(name) << " against the fixed part";
  }
  std::vector<XmlElement> elements;
  ASSERT_TRUE(ParseManifest(resources_.Manifest(), elements));
  const std::string dotted = std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(build) + "." +
                             std::to_string(revision);
  EXPECT_EQ(Attribute(elements, "assembly/assemblyIdentity", "version"), dotted) << "against the fixed part";
}

#pragma pack(push, 2)
struct GroupIconEntry {
  BYTE width, height, colourCount, reserved;
  WORD planes, bitCount;
  DWORD bytesInRes;
  WORD id;
  bool operator==(const GroupIconEntry&) const = default;
};
#pragma pack(pop)
static_assert(sizeof(GroupIconEntry) == 14);

void PrintTo(const GroupIconEntry& e, std::ostream* out) {
  *out << "image " << e.id << ", " << int{e.width} << "x" << int{e.height} << ", " << int{e.colourCount} << " colours ("
       << int{e.reserved} << "), " << e.planes << " planes, " << e.bitCount << " bits, " << e.bytesInRes << " bytes";
}

// The design's images as the group lists them, in its order: 256 colours or more (0),
// one plane, and their sizes in bytes to come from the images themselves.
constexpr GroupIconEntry kIconImages[] = {
    {16, 16, 0, 0, 1, 8, 0, 30001},  {32, 32, 0, 0, 1, 8, 0, 30002},  {48, 48, 0, 0, 1, 8, 0, 30003},
    {16, 16, 0, 0, 1, 32, 0, 30004}, {32, 32, 0, 0, 1, 32, 0, 30005}, {48, 48, 0, 0, 1, 32, 0, 30006},
};

TEST_F(ProgramResources, IconGroupListsSixImagesWithTheirIds) {
  EXPECT_EQ(resources_.Catalogue(RT_GROUP_ICON), (Catalogue{{kIconGroupId, kNeutral}}));
  Catalogue images;
  for (const GroupIconEntry& image : kIconImages) images.push_back({image.id, kNeutral});
  EXPECT_EQ(resources_.Catalogue(RT_ICON), images) << "expected the group's images only, in the neutral language";

  const std::vector<uint8_t> group = resources_.Data(RT_GROUP_ICON, kIconGroupId);
  const WORD header[] = {0, 1, std::size(kIconImages)};
  EXPECT_EQ(Hex(group.data(), std::min(group.size(), sizeof header)), Hex(header, sizeof header))
      << "reserved, type 1 (icon), image count";
  ASSERT_EQ(group.size(), sizeof header + sizeof(GroupIconEntry) * std::size(kIconImages)) << "six entries after it";
  for (size_t i = 0; i < std::size(kIconImages); ++i) {
    GroupIconEntry expected = kIconImages[i];
    expected.bytesInRes = static_cast<DWORD>(resources_.Data(RT_ICON, expected.id).size());
    EXPECT_EQ(ReadAt<GroupIconEntry>(group, sizeof header + i * sizeof(GroupIconEntry)), expected)
        << "entry " << i + 1 << ": image " << expected.id << ", its size against the image resource";
  }
}

// Each image is the matching one of the checked-in tarvik.ico, well-formed enough for
// Windows to draw: its corners let the background through (AND mask, alpha) and its
// middle covers it.
TEST_F(ProgramResources, IconImagesAreTheCheckedInIconAndDrawTransparently) {
  const std::string ico = FileBytes(TARVIK_ICO_PATH);
  ASSERT_GE(ico.size(), 6 + 16 * std::size(kIconImages)) << "cannot read " << TARVIK_ICO_PATH;
  ASSERT_EQ(ReadAt<WORD>(ico, 4), std::size(kIconImages)) << "images in " << TARVIK_ICO_PATH;

  for (size_t i = 0; i < std::size(kIconImages); ++i) {
    const GroupIconEntry& expected = kIconImages[i];
    const int side = expected.width, middle = side / 2, last = side - 1;
    SCOPED_TRACE("image " + std::to_string(expected.id));
    std::vector<uint8_t> image = resources_.Data(RT_ICON, expected.id);
    ASSERT_GE(image.size(), sizeof(BITMAPINFOHEADER)) << "missing";

    const auto size = ReadAt<DWORD>(ico, 6 + 16 * i + 8), offset = ReadAt<DWORD>(ico, 6 + 16 * i + 12);
    ASSERT_LE(size_t{offset} + size, ico.size()) << "entry " << i << " of the .ico runs past its end";
    EXPECT_TRUE(image.size() == size && std::memcmp(image.data(), ico.data() + offset, size) == 0)
        << "differs from image " << i + 1 << " of the .ico: " << image.size() << " bytes against " << size;

    const auto header = ReadAt<BITMAPINFOHEADER>(image, 0);
    EXPECT_EQ(header.biWidth, side);
    EXPECT_EQ(header.biHeight, 2 * side) << "colour rows and mask rows";
    EXPECT_EQ(header.biBitCount, expected.bitCount);
    EXPECT_TRUE(expected.bitCount != 8 || header.biClrUsed == 0 || header.biClrUsed == 256)
        << "palette entries: " << header.biClrUsed;

    const std::unique_ptr<std::remove_pointer_t<HICON>, decltype(&DestroyIcon)> icon(
        CreateIconFromResourceEx(image.data(), static_cast<DWORD>(image.size()), TRUE, 0x00030000, side, side, 0),
        DestroyIcon);
    ASSERT_TRUE(icon) << "Windows cannot make an icon of it: error " << GetLastError();
    for (uint32_t background : {0xFFFFFFu, 0x000000u}) {
      Dib canvas(side, side, background);
      ASSERT_TRUE(canvas.Valid() && DrawIconEx(canvas.Dc(), 0, 0, icon.get(), side, side, 0, nullptr, DI_NORMAL));
      const std::vector corners = {canvas.At(0, 0), canvas.At(last, 0), canvas.At(0, last), canvas.At(last, last)};
      EXPECT_EQ(corners, std::vector(4, background)) << "top left, top right, bottom left, bottom right";
      EXPECT_NE(canvas.At(middle, middle), background) << "the middle lets the background through";
    }
  }
}

}  // namespace
}  // namespace tarvik
