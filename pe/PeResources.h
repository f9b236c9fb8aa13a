#pragma once
// The resources of a PE image: names, the reader of the resource directory,
// and lookup.
//
// The resource directory is a tree of three levels: type, name, language.
// Each level is a table of entries; an entry is named by a 16-bit id or by a
// length-prefixed UTF-16 string, and points to the table of the next level
// or, at the language level, to a data entry that gives the data's RVA and
// size. ReadResources walks the tree with every offset checked against the
// directory's bounds, and every table and data entry must occupy bytes of its
// own: a loop or a subtree shared by two entries is refused, and with it any
// input that would make the walk revisit bytes. Data is located, not read;
// each entry carries its file offset so that callers can copy it in chunks.
//
// String names are matched without regard to letter case, as FindResourceW
// does (it upper-cases the name it is given; resource compilers store names
// upper-case).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "pe/PeImage.h"
#include "pe/PeIo.h"

namespace vo::pe {

// Predefined resource types used by the installer.
constexpr uint16_t kTypeBitmap = 2;
constexpr uint16_t kTypeIcon = 3;
constexpr uint16_t kTypeString = 6;
constexpr uint16_t kTypeRcData = 10;
constexpr uint16_t kTypeGroupIcon = 14;
constexpr uint16_t kTypeVersion = 16;
constexpr uint16_t kTypeManifest = 24;

// A resource type or name: a 16-bit id, or a UTF-16 string.
struct ResourceName {
  bool isString = false;
  uint16_t id = 0;
  std::u16string text;

  ResourceName() = default;
  ResourceName(uint16_t id) : id(id) {}  // implicit: ResourceName n = kTypeRcData;
  ResourceName(std::u16string text) : isString(true), text(std::move(text)) {}
  ResourceName(const char16_t* text) : ResourceName(std::u16string(text)) {}

  // "#10" for an id, the string as UTF-8 in quotes for a name (messages).
  std::string Label() const;
};

// Same id, or same string ignoring letter case.
bool SameResourceName(const ResourceName& a, const ResourceName& b);
// The upper-case form a resource compiler stores and FindResourceW looks for
// (ASCII and Latin-1 letters).
std::u16string UpperCaseResourceName(const std::u16string& text);

struct ResourceEntry {
  ResourceName type;
  ResourceName name;
  uint16_t language = 0;
  uint32_t dataRva = 0;
  uint32_t size = 0;
  uint32_t codePage = 0;
  uint64_t fileOffset = 0;  // where the size bytes of data lie in the file
};

// Every resource of the image in the directory's order (type, name,
// language); empty when the image has no resource directory. Raises PeError
// for a malformed tree.
std::vector<ResourceEntry> ReadResources(const PeImage& image, Source& file);

// The first entry with this type and name, and this language when one is
// given; nullptr when there is none.
const ResourceEntry* FindResourceEntry(const std::vector<ResourceEntry>& entries, const ResourceName& type,
                                       const ResourceName& name, std::optional<uint16_t> language = std::nullopt);

}  // namespace vo::pe
