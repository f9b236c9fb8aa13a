#include "pe/PeResources.h"

#include <map>

#include "pe/PeFormat.h"

namespace vo::pe {
namespace {

using namespace format;

std::string Utf8(const std::u16string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;  // a lone surrogate
    }
    if (c < 0x80) {
      out += char(c);
    } else if (c < 0x800) {
      out += char(0xC0 | c >> 6);
      out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += char(0xE0 | c >> 12);
      out += char(0x80 | (c >> 6 & 0x3F));
      out += char(0x80 | (c & 0x3F));
    } else {
      out += char(0xF0 | c >> 18);
      out += char(0x80 | (c >> 12 & 0x3F));
      out += char(0x80 | (c >> 6 & 0x3F));
      out += char(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// Walks one resource directory. Offsets inside the tree are relative to the
// directory's start and checked against its size; every table and data entry
// claims its bytes, and a second claim on the same bytes is a loop or a
// shared subtree.
class TreeReader {
 public:
  TreeReader(const PeImage& image, Source& file, uint64_t fileOffset, uint32_t size)
      : fImage(image), fFile(file), fStart(fileOffset), fSize(size) {}

  struct Entry {
    ResourceName name;
    bool isTable = false;
    uint32_t target = 0;
  };

  std::vector<Entry> Table(uint32_t offset, const std::string& owner) {
    const std::string what = "the table of " + owner + " at " + FormatHex(offset);
    uint8_t head[kResourceTableSize];
    Read(offset, head, sizeof head, what);
    const uint32_t count = uint32_t(Load16(head + kResourceTableNamedCount)) + Load16(head + kResourceTableIdCount);
    const uint32_t size = kResourceTableSize + kResourceEntrySize * count;
    std::string raw(size, '\0');
    Read(offset, raw.data(), size, what);
    Claim(offset, size, what);

    std::vector<Entry> entries;
    for (uint32_t k = 0; k < count; ++k) {
      const char* e = raw.data() + kResourceTableSize + kResourceEntrySize * k;
      const uint32_t nameField = Load32(e);
      const uint32_t dataField = Load32(e + 4);
      Entry entry;
      if (nameField & kResourceHighBit) {
        entry.name = ResourceName(String(nameField & ~kResourceHighBit, what + ", entry " + std::to_string(k + 1)));
      } else if (nameField > 0xFFFF) {
        throw PeError("resource directory: " + what + ", entry " + std::to_string(k + 1) + ": id " + FormatHex(nameField) +
                      " does not fit 16 bits");
      } else {
        entry.name = ResourceName(uint16_t(nameField));
      }
      entry.isTable = (dataField & kResourceHighBit) != 0;
      entry.target = dataField & ~kResourceHighBit;
      entries.push_back(std::move(entry));
    }
    return entries;
  }

  ResourceEntry Data(uint32_t offset, ResourceEntry entry, const std::string& owner) {
    const std::string what = "the data entry of " + owner + " at " + FormatHex(offset);
    uint8_t raw[kResourceDataEntrySize];
    Read(offset, raw, sizeof raw, what);
    Claim(offset, sizeof raw, what);
    entry.dataRva = Load32(raw);
    entry.size = Load32(raw + 4);
    entry.codePage = Load32(raw + 8);
    const std::optional<uint64_t> at = fImage.FileOffsetOf(entry.dataRva, entry.size);
    if (!at) {
      throw PeError("resource directory: " + owner + ": data " + FormatHex(entry.dataRva) + "+" + FormatHex(entry.size) +
                    " does not lie inside one section's raw data");
    }
    entry.fileOffset = *at;
    return entry;
  }

 private:
  void Read(uint32_t offset, void* buffer, uint32_t count, const std::string& what) {
    if (offset > fSize || count > fSize - offset) {
      throw PeError("resource directory: " + what + " (" + FormatHex(count) + " bytes) runs past the directory's end (" +
                    FormatHex(fSize) + " bytes)");
    }
    fFile.ReadAt(fStart + offset, buffer, count);
  }

  void Claim(uint32_t offset, uint32_t size, const std::string& what) {
    const uint32_t end = offset + size;  // Read has checked it against fSize
    auto next = fClaimed.lower_bound(offset);
    const bool hitsNext = next != fClaimed.end() && next->first < end;
    const bool hitsPrevious = next != fClaimed.begin() && std::prev(next)->second > offset;
    if (hitsNext || hitsPrevious) {
      const uint32_t other = hitsNext ? next->first : std::prev(next)->first;
      throw PeError("resource directory: " + what + " overlaps the structure at " + FormatHex(other) +
                    "; the tree has a loop or a shared subtree");
    }
    fClaimed.emplace(offset, end);
  }

  std::u16string String(uint32_t offset, const std::string& what) {
    auto known = fStrings.find(offset);
    if (known != fStrings.end()) return known->second;
    const std::string name = what + ": name at " + FormatHex(offset);
    uint8_t length[2];
    Read(offset, length, 2, name);
    const uint32_t units = Load16(length);
    std::string raw(2 * units, '\0');
    Read(offset + 2, raw.data(), uint32_t(raw.size()), name);
    std::u16string text;
    for (uint32_t i = 0; i < units; ++i) text += char16_t(Load16(raw.data() + 2 * i));
    fStrings.emplace(offset, text);
    return text;
  }

  const PeImage& fImage;
  Source& fFile;
  uint64_t fStart;
  uint32_t fSize;
  std::map<uint32_t, uint32_t> fClaimed;  // start -> end
  std::map<uint32_t, std::u16string> fStrings;
};

}  // namespace

std::string ResourceName::Label() const { return isString ? "\"" + Utf8(text) + "\"" : "#" + std::to_string(id); }

std::u16string UpperCaseResourceName(const std::u16string& text) {
  std::u16string upper = text;
  for (char16_t& c : upper) {
    if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) c = char16_t(c - 0x20);
  }
  return upper;
}

bool SameResourceName(const ResourceName& a, const ResourceName& b) {
  if (a.isString != b.isString) return false;
  if (!a.isString) return a.id == b.id;
  return a.text.size() == b.text.size() && UpperCaseResourceName(a.text) == UpperCaseResourceName(b.text);
}

std::vector<ResourceEntry> ReadResources(const PeImage& image, Source& file) {
  const DataDirectory directory = image.Directory(kResourceDirectory);
  if (directory.rva == 0) return {};
  const std::string label = DataDirectoryLabel(kResourceDirectory);
  if (directory.size < kResourceTableSize) {
    throw PeError(label + ": size " + FormatHex(directory.size) + " is too small for the root table");
  }
  const std::optional<uint64_t> start = image.FileOffsetOf(directory.rva, directory.size);
  if (!start) {
    throw PeError(label + ": " + FormatHex(directory.rva) + "+" + FormatHex(directory.size) +
                  " does not lie inside one section's raw data");
  }

  TreeReader tree(image, file, *start, directory.size);
  std::vector<ResourceEntry> resources;
  for (const auto& type : tree.Table(0, "the root")) {
    const std::string typeLabel = "type " + type.name.Label();
    if (!type.isTable) throw PeError("resource directory: " + typeLabel + " points to data, not to a table of names");
    for (const auto& name : tree.Table(type.target, typeLabel)) {
      const std::string nameLabel = typeLabel + " name " + name.name.Label();
      if (!name.isTable) {
        throw PeError("resource directory: " + nameLabel + " points to data, not to a table of languages");
      }
      for (const auto& language : tree.Table(name.target, nameLabel)) {
        const std::string languageLabel = nameLabel + " language " + language.name.Label();
        if (language.isTable) {
          throw PeError("resource directory: " + languageLabel + " points to a table; the tree is deeper than three levels");
        }
        if (language.name.isString) {
          throw PeError("resource directory: " + languageLabel + ": a language is an id, not a string");
        }
        ResourceEntry entry;
        entry.type = type.name;
        entry.name = name.name;
        entry.language = language.name.id;
        resources.push_back(tree.Data(language.target, entry, languageLabel));
      }
    }
  }
  return resources;
}

const ResourceEntry* FindResourceEntry(const std::vector<ResourceEntry>& entries, const ResourceName& type,
                                       const ResourceName& name, std::optional<uint16_t> language) {
  for (const ResourceEntry& entry : entries) {
    if (SameResourceName(entry.type, type) && SameResourceName(entry.name, name) &&
        (!language || entry.language == *language)) {
      return &entry;
    }
  }
  return nullptr;
}

}  // namespace vo::pe
