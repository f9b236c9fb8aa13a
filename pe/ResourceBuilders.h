#pragma once
// Resources in the binary forms Windows reads them in, made from plain data:
// string tables for LoadStringW and icons for LoadIcon.
//
// A string table resource (type 6) is a block of 16 strings: block n holds
// the ids (n - 1) * 16 to (n - 1) * 16 + 15, each as its length in UTF-16 code
// units (a 16-bit word) followed by the units, with no terminator; an id
// without a string has length 0.
//
// An .ico file is a directory of images (width, height, colours, planes,
// bits, size, file offset) followed by the images. In a program each image is
// a resource of its own (type 3, numbered), and a group resource (type 14)
// holds the same directory with resource ids in place of file offsets.
//
// A version resource (type 16, id 1) is the VS_VERSIONINFO tree Explorer shows
// in a file's properties. Every node is: wLength (the node's bytes with its
// children), wValueLength, wType (0 binary, 1 text), a null-terminated UTF-16
// key, padding to a 4-byte boundary, the value, then its children, each
// starting on a 4-byte boundary. The root "VS_VERSION_INFO" holds the 52-byte
// VS_FIXEDFILEINFO (signature 0xFEEF04BD) and two children: "StringFileInfo"
// with one string table "040904b0" (US English, UTF-16) of name/value pairs
// (wValueLength counts the value's UTF-16 units with its terminator), and
// "VarFileInfo" with "Translation" = 0x0409, 1200 (wValueLength 4 bytes).

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "pe/ResourceStamper.h"

namespace vo::pe {

// The string table blocks holding strings, all under language. Raises
// PeError for a string longer than 65535 code units.
std::vector<NewResource> MakeStringTableResources(const std::map<uint16_t, std::u16string>& strings,
                                                  uint16_t language);

// The icon images of icoFile as type 3 resources numbered firstIconId,
// firstIconId + 1, ..., then the type 14 group named groupName that lists
// them, all under language. Raises PeError naming the fault for a malformed
// file: too short, not an icon (a cursor, say), no images, an image that runs
// past the end of the file or is neither a PNG nor a bitmap.
std::vector<NewResource> MakeIconResources(const std::string& icoFile, const ResourceName& groupName,
                                           uint16_t language, uint16_t firstIconId = 1);

// A binary version: four 16-bit numbers, most significant first.
using VersionNumbers = std::array<uint16_t, 4>;

// Up to four dotted numbers of text ("2.0", "3.1.4 beta"): each part's leading
// decimal digits, 0 for a part without any or beyond 65535, and for parts
// that are missing.
VersionNumbers ParseVersionNumbers(const std::u16string& text);

struct VersionInfo {
  VersionNumbers fileVersion{};
  VersionNumbers productVersion{};
  // The string table's pairs in the order given ("CompanyName", ...).
  std::vector<std::pair<std::u16string, std::u16string>> strings;
};

// The version resource (type 16, id 1) under language for an application
// (VFT_APP) for 32-bit Windows (VOS_NT_WINDOWS32). Raises PeError when it
// would exceed the 65535 bytes a node's length holds.
NewResource MakeVersionResource(const VersionInfo& info, uint16_t language);

}  // namespace vo::pe
