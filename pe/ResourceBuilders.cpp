#include "pe/ResourceBuilders.h"

#include <algorithm>

#include "pe/PeFormat.h"

namespace vo::pe {
namespace {

using namespace format;

constexpr uint32_t kIconHeaderSize = 6;
constexpr uint32_t kIconFileEntrySize = 16;
constexpr uint32_t kBitmapInfoHeaderSize = 40;
const char kPngSignature[8] = {'\x89', 'P', 'N', 'G', '\r', '\n', '\x1a', '\n'};

[[noreturn]] void BadIcon(const std::string& message) { throw PeError("icon file: " + message); }

}  // namespace

std::vector<NewResource> MakeStringTableResources(const std::map<uint16_t, std::u16string>& strings,
                                                  uint16_t language) {
  std::vector<NewResource> blocks;
  for (auto it = strings.begin(); it != strings.end();) {
    const uint32_t block = it->first / 16;
    std::string bytes;
    for (uint32_t id = block * 16; id < block * 16 + 16; ++id) {
      std::u16string text;
      if (it != strings.end() && it->first == id) text = (it++)->second;
      if (text.size() > 0xFFFF) {
        throw PeError("string " + std::to_string(id) + ": " + std::to_string(text.size()) +
                      " characters, more than the 65535 a string table holds");
      }
      Append16(bytes, uint16_t(text.size()));
      for (char16_t c : text) Append16(bytes, c);
    }
    blocks.push_back(NewResource::FromBytes(kTypeString, uint16_t(block + 1), language, std::move(bytes)));
  }
  return blocks;
}

std::vector<NewResource> MakeIconResources(const std::string& icoFile, const ResourceName& groupName,
                                           uint16_t language, uint16_t firstIconId) {
  const uint64_t size = icoFile.size();
  if (size < kIconHeaderSize) {
    BadIcon(std::to_string(size) + " bytes are too few for the " + std::to_string(kIconHeaderSize) +
            "-byte icon header");
  }
  const char* file = icoFile.data();
  const uint16_t reserved = Load16(file), type = Load16(file + 2), count = Load16(file + 4);
  if (reserved != 0 || type != 1) {
    BadIcon(type == 2 && reserved == 0 ? "this is a cursor, not an icon"
                                       : "the header (reserved " + std::to_string(reserved) + ", type " +
                                             std::to_string(type) + ") is not that of an icon file");
  }
  if (count == 0) BadIcon("the file holds no images");
  const uint64_t directoryEnd = kIconHeaderSize + uint64_t(kIconFileEntrySize) * count;
  if (directoryEnd > size) {
    BadIcon("the directory of " + std::to_string(count) + " images (" + FormatHex(directoryEnd) +
            " bytes) runs past the end of the file (" + FormatHex(size) + " bytes)");
  }
  if (firstIconId == 0 || uint32_t(firstIconId) + count - 1 > 0xFFFF) {
    throw PeError("icon ids " + std::to_string(firstIconId) + " to " + std::to_string(uint32_t(firstIconId) + count - 1) +
                  " are not all within 1 to 65535");
  }

  std::vector<NewResource> resources;
  std::string group;
  Append16(group, 0);
  Append16(group, 1);
  Append16(group, count);
  for (uint32_t k = 0; k < count; ++k) {
    const char* e = file + kIconHeaderSize + kIconFileEntrySize * k;
    const uint32_t bytes = Load32(e + 8), offset = Load32(e + 12);
    const std::string image = "image " + std::to_string(k + 1) + " of " + std::to_string(count);
    if (bytes == 0) BadIcon(image + " is empty");
    if (offset < directoryEnd || uint64_t(offset) + bytes > size) {
      BadIcon(image + ": data " + FormatHex(offset) + "+" + FormatHex(bytes) + " lies outside the file's images (" +
              FormatHex(directoryEnd) + " to " + FormatHex(size) + ")");
    }
    const char* data = file + offset;
    const bool png = bytes >= sizeof kPngSignature && std::equal(kPngSignature, kPngSignature + 8, data);
    const bool bitmap = bytes >= kBitmapInfoHeaderSize && Load32(data) == kBitmapInfoHeaderSize;
    if (!png && !bitmap) BadIcon(image + " is neither a PNG nor a bitmap (no PNG signature or BITMAPINFOHEADER)");
    // Some icon files leave planes and bits at 0; the loader matches images
    // by them, so take them from the image itself.
    uint16_t planes = Load16(e + 4), bitCount = Load16(e + 6);
    if (planes == 0) planes = 1;
    if (bitCount == 0) bitCount = png ? 32 : Load16(data + 14);
    group.append(e, 4);  // width, height, colour count, reserved
    Append16(group, planes);
    Append16(group, bitCount);
    Append32(group, bytes);
    Append16(group, uint16_t(firstIconId + k));
    resources.push_back(NewResource::FromBytes(kTypeIcon, uint16_t(firstIconId + k), language, std::string(data, bytes)));
  }
  resources.push_back(NewResource::FromBytes(kTypeGroupIcon, groupName, language, std::move(group)));
  return resources;
}

}  // namespace vo::pe

namespace vo::pe {
namespace {

constexpr uint32_t kFixedFileInfoSignature = 0xFEEF04BD;
constexpr uint32_t kFixedFileInfoStructVersion = 0x00010000;
constexpr uint32_t kFileFlagsMask = 0x3F;           // VS_FFI_FILEFLAGSMASK
constexpr uint32_t kFileOsNtWindows32 = 0x00040004;  // VOS_NT_WINDOWS32
constexpr uint32_t kFileTypeApp = 1;                // VFT_APP
constexpr uint16_t kBinaryNode = 0, kTextNode = 1;

void AppendUtf16z(std::string& out, const std::u16string& text) {
  for (char16_t c : text) Append16(out, c);
  Append16(out, 0);
}

void PadTo4(std::string& out) { out.append(AlignUp(out.size(), 4) - out.size(), '\0'); }

// One node: header, key, value, children (each 4-byte aligned), with its
// wLength filled in. The node itself starts on a 4-byte boundary, so
// alignment inside it is alignment in the resource.
std::string VersionNode(const std::u16string& key, uint16_t type, uint16_t valueLength, const std::string& value,
                        const std::vector<std::string>& children) {
  std::string node;
  Append16(node, 0);  // wLength, below
  Append16(node, valueLength);
  Append16(node, type);
  AppendUtf16z(node, key);
  PadTo4(node);
  node += value;
  for (const std::string& child : children) {
    PadTo4(node);
    node += child;
  }
  if (node.size() > 0xFFFF) {
    throw PeError("version resource: the block \"" + std::string(key.begin(), key.end()) + "\" has " +
                  std::to_string(node.size()) + " bytes, more than the 65535 its length holds");
  }
  Store16(&node[0], uint16_t(node.size()));
  return node;
}

}  // namespace

VersionNumbers ParseVersionNumbers(const std::u16string& text) {
  VersionNumbers numbers{};
  size_t at = 0;
  for (size_t part = 0; part < numbers.size() && at <= text.size(); ++part) {
    size_t end = text.find(u'.', at);
    if (end == std::u16string::npos) end = text.size();
    uint32_t value = 0;
    size_t digits = 0;
    while (at + digits < end && text[at + digits] >= u'0' && text[at + digits] <= u'9' && value <= 0xFFFF) {
      value = value * 10 + uint32_t(text[at + digits] - u'0');
      ++digits;
    }
    numbers[part] = value <= 0xFFFF ? uint16_t(value) : 0;
    at = end + 1;
  }
  return numbers;
}

NewResource MakeVersionResource(const VersionInfo& info, uint16_t language) {
  std::string fixed;
  Append32(fixed, kFixedFileInfoSignature);
  Append32(fixed, kFixedFileInfoStructVersion);
  for (const VersionNumbers* v : {&info.fileVersion, &info.productVersion}) {
    Append32(fixed, uint32_t((*v)[0]) << 16 | (*v)[1]);
    Append32(fixed, uint32_t((*v)[2]) << 16 | (*v)[3]);
  }
  Append32(fixed, kFileFlagsMask);
  Append32(fixed, 0);  // dwFileFlags: a release build
  Append32(fixed, kFileOsNtWindows32);
  Append32(fixed, kFileTypeApp);
  Append32(fixed, 0);  // dwFileSubtype
  Append32(fixed, 0);  // dwFileDateMS: no date, so the same inputs give the same bytes
  Append32(fixed, 0);  // dwFileDateLS

  std::vector<std::string> strings;
  for (const auto& [name, value] : info.strings) {
    if (value.size() + 1 > 0xFFFF) throw PeError("version resource: the value of \"" + std::string(name.begin(), name.end()) + "\" is too long");
    std::string text;
    AppendUtf16z(text, value);
    strings.push_back(VersionNode(name, kTextNode, uint16_t(value.size() + 1), text, {}));
  }
  const std::string table = VersionNode(u"040904b0", kTextNode, 0, "", strings);
  const std::string stringFileInfo = VersionNode(u"StringFileInfo", kTextNode, 0, "", {table});
  std::string translation;
  Append16(translation, 0x0409);  // US English
  Append16(translation, 1200);    // UTF-16
  const std::string var = VersionNode(u"Translation", kBinaryNode, 4, translation, {});
  const std::string varFileInfo = VersionNode(u"VarFileInfo", kTextNode, 0, "", {var});
  std::string root = VersionNode(u"VS_VERSION_INFO", kBinaryNode, uint16_t(fixed.size()), fixed,
                                 {stringFileInfo, varFileInfo});
  return NewResource::FromBytes(kTypeVersion, uint16_t(1), language, std::move(root));
}

}  // namespace vo::pe
