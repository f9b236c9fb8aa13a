#include "pe/ResourceStamper.h"

#include <algorithm>
#include <map>

#include "pe/PeChecksum.h"
#include "pe/PeFormat.h"

namespace vo::pe {
namespace {

using namespace format;

constexpr uint32_t kPageSize = 4096;
constexpr uint32_t kResourceSectionCharacteristics = kScnCntInitializedData | kScnMemRead;

// A resource on its way into the new section, wherever its bytes come from.
struct Item {
  ResourceName type;
  ResourceName name;
  uint16_t language = 0;
  uint32_t codePage = 0;
  uint32_t size = 0;
  const std::string* bytes = nullptr;  // in memory, or
  Source* source = nullptr;            // size bytes of source from sourceOffset
  uint64_t sourceOffset = 0;
  uint32_t dataOffset = 0;  // in the section; set by the layout
  int newIndex = -1;        // index among the new resources, -1 for one of the stub's

  std::string Label() const {
    return "resource type " + type.Label() + " name " + name.Label() + " language " + std::to_string(language);
  }
};

// Order of the resource directory: string names first, by their upper-case
// text (code unit by code unit, a prefix first), then ids ascending.
int CompareNames(const ResourceName& a, const ResourceName& b) {
  if (a.isString != b.isString) return a.isString ? -1 : 1;
  if (!a.isString) return a.id < b.id ? -1 : a.id > b.id ? 1 : 0;
  return UpperCaseResourceName(a.text).compare(UpperCaseResourceName(b.text));
}

bool TreeOrder(const Item& a, const Item& b) {
  if (int c = CompareNames(a.type, b.type)) return c < 0;
  if (int c = CompareNames(a.name, b.name)) return c < 0;
  return a.language < b.language;
}

void CheckName(const ResourceName& name, const char* role, const std::string& owner) {
  if (!name.isString) {
    if (name.id == 0) throw PeError(owner + ": " + role + " id 0 cannot be looked up; ids start at 1");
    return;
  }
  if (name.text.empty()) throw PeError(owner + ": the " + role + " name is empty");
  if (name.text.size() > 0xFFFF) throw PeError(owner + ": the " + role + " name is longer than 65535 characters");
  if (name.text[0] == u'#') {
    throw PeError(owner + ": the " + role + " name " + name.Label() +
                  " starts with \"#\", which FindResource reads as a number; give the id instead");
  }
}

// The stub's resources that stay, and the new ones, in directory order.
std::vector<Item> MergeResources(const PeImage& stub, Source& stubFile, const std::vector<NewResource>& resources) {
  std::vector<Item> items;
  for (const NewResource& r : resources) {
    Item item;
    item.newIndex = int(&r - resources.data());
    item.type = r.type;
    item.name = r.name;
    item.language = r.language;
    CheckName(r.type, "type", item.Label());
    CheckName(r.name, "resource", item.Label());
    if (r.DataSize() > 0xFFFFFFFFu) throw PeError(item.Label() + ": " + FormatHex(r.DataSize()) + " bytes do not fit a PE32 image");
    item.size = uint32_t(r.DataSize());
    if (r.source != nullptr) {
      const uint64_t available = r.source->Size();
      if (r.sourceOffset > available || r.size > available - r.sourceOffset) {
        throw PeError(item.Label() + ": data " + FormatHex(r.sourceOffset) + "+" + FormatHex(r.size) +
                      " runs past the end of its source (" + FormatHex(available) + " bytes)");
      }
      item.source = r.source;
      item.sourceOffset = r.sourceOffset;
    } else {
      item.bytes = &r.bytes;
    }
    items.push_back(item);
  }
  for (const ResourceEntry& own : ReadResources(stub, stubFile)) {
    const bool replaced = std::any_of(resources.begin(), resources.end(), [&](const NewResource& r) {
      return SameResourceName(r.type, own.type) && SameResourceName(r.name, own.name);
    });
    if (replaced) continue;
    Item item;
    item.type = own.type;
    item.name = own.name;
    item.language = own.language;
    item.codePage = own.codePage;
    item.size = own.size;
    item.source = &stubFile;
    item.sourceOffset = own.fileOffset;
    items.push_back(item);
  }
  std::stable_sort(items.begin(), items.end(), TreeOrder);
  for (size_t i = 1; i < items.size(); ++i) {
    if (!TreeOrder(items[i - 1], items[i])) throw PeError(items[i].Label() + " is given twice");
  }
  return items;
}

// The directory part of the new section (tables, data entries, names) for
// items in tree order placed at sectionRva; sets each item's dataOffset and
// returns the directory's bytes. The section's content ends at the returned
// contentSize.
std::string LayOutResourceSection(std::vector<Item>& items, uint32_t sectionRva, uint64_t& contentSize) {
  // Ranges of items that share a type, and of those that share a name.
  std::vector<std::pair<size_t, size_t>> types, names;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i == 0 || CompareNames(items[i - 1].type, items[i].type) != 0) types.push_back({i, i});
    if (i == 0 || CompareNames(items[i - 1].type, items[i].type) != 0 ||
        CompareNames(items[i - 1].name, items[i].name) != 0) {
      names.push_back({i, i});
    }
    types.back().second = i + 1;
    names.back().second = i + 1;
  }
  auto tableSize = [](size_t entries) { return kResourceTableSize + kResourceEntrySize * uint32_t(entries); };
  // Breadth first: the root, the name tables, the language tables.
  uint32_t offset = tableSize(types.size());
  std::vector<uint32_t> nameTableAt, languageTableAt;
  size_t nameIndex = 0;
  for (const auto& t : types) {
    nameTableAt.push_back(offset);
    size_t count = 0;
    while (nameIndex < names.size() && names[nameIndex].first < t.second) ++count, ++nameIndex;
    offset += tableSize(count);
  }
  for (const auto& n : names) {
    languageTableAt.push_back(offset);
    offset += tableSize(n.second - n.first);
  }
  const uint32_t dataEntriesAt = offset;
  offset += kResourceDataEntrySize * uint32_t(items.size());
  std::map<std::u16string, uint32_t> stringAt;
  std::vector<const std::u16string*> strings;
  auto placeString = [&](const ResourceName& name) {
    if (!name.isString) return;
    auto [it, added] = stringAt.emplace(UpperCaseResourceName(name.text), offset);
    if (added) {
      strings.push_back(&it->first);
      offset += 2 + 2 * uint32_t(it->first.size());
    }
  };
  for (const auto& t : types) placeString(items[t.first].type);
  for (const auto& n : names) placeString(items[n.first].name);
  const uint64_t directorySize = AlignUp(offset, 8);

  // Data, smallest first, so the large pieces end the file.
  std::vector<size_t> bySize(items.size());
  for (size_t i = 0; i < items.size(); ++i) bySize[i] = i;
  std::stable_sort(bySize.begin(), bySize.end(), [&](size_t a, size_t b) { return items[a].size < items[b].size; });
  uint64_t end = directorySize;
  for (size_t i : bySize) {
    end = AlignUp(end, 8);
    if (end > 0xFFFFFFFFu) throw PeError("the resources do not fit the 4 GiB of a PE32 image");
    items[i].dataOffset = uint32_t(end);
    end += items[i].size;
  }
  contentSize = end;
  if (sectionRva + end > 0xFFFFFFFFu) throw PeError("the resources do not fit the 4 GiB of a PE32 image");

  std::string out;
  auto writeTable = [&](size_t named, size_t ids) {
    Append32(out, 0);  // characteristics
    Append32(out, 0);  // time stamp: none, for reproducible output
    Append32(out, 0);  // version
    Append16(out, uint16_t(named));
    Append16(out, uint16_t(ids));
  };
  auto nameField = [&](const ResourceName& name) {
    return name.isString ? kResourceHighBit | stringAt.at(UpperCaseResourceName(name.text)) : uint32_t(name.id);
  };
  auto writeTableOf = [&](size_t first, size_t last, auto nameOf, auto targetOf) {
    size_t named = 0;
    for (size_t k = first; k < last; ++k) named += nameOf(k).isString ? 1 : 0;
    if (named > 0xFFFF || last - first - named > 0xFFFF) throw PeError("more than 65535 resources in one table");
    writeTable(named, last - first - named);
    for (size_t k = first; k < last; ++k) {
      Append32(out, nameField(nameOf(k)));
      Append32(out, targetOf(k));
    }
  };

  writeTableOf(0, types.size(), [&](size_t k) -> const ResourceName& { return items[types[k].first].type; },
               [&](size_t k) { return kResourceHighBit | nameTableAt[k]; });
  size_t firstName = 0;
  for (const auto& t : types) {
    size_t lastName = firstName;
    while (lastName < names.size() && names[lastName].first < t.second) ++lastName;
    writeTableOf(firstName, lastName,
                 [&](size_t k) -> const ResourceName& { return items[names[k].first].name; },
                 [&](size_t k) { return kResourceHighBit | languageTableAt[k]; });
    firstName = lastName;
  }
  for (const auto& n : names) {
    writeTable(0, n.second - n.first);
    for (size_t i = n.first; i < n.second; ++i) {
      Append32(out, items[i].language);
      Append32(out, dataEntriesAt + kResourceDataEntrySize * uint32_t(i));
    }
  }
  for (const Item& item : items) {
    Append32(out, sectionRva + item.dataOffset);
    Append32(out, item.size);
    Append32(out, item.codePage);
    Append32(out, 0);
  }
  for (const std::u16string* s : strings) {
    Append16(out, uint16_t(s->size()));
    for (char16_t c : *s) Append16(out, c);
  }
  out.resize(size_t(directorySize), '\0');
  return out;
}

// Sums the checksum and reports progress over everything written.
class ChecksumWriter final : public Sink {
 public:
  ChecksumWriter(Sink& out, uint64_t total, const StampProgress& progress, const StampSeal* seal)
      : fOut(out), fTotal(total), fProgress(progress), fSeal(seal) {}
  void Write(const void* data, size_t count) override {
    fOut.Write(data, count);
    if (fSeal && fSeal->onBytes) fSeal->onBytes(fSum.Length(), data, count);
    fSum.Add(data, count);
    if (fProgress) fProgress(fSum.Length(), fTotal);
  }
  // Overwrites zeros already written, and counts the new bytes.
  void Patch(uint64_t offset, const void* data, size_t count) {
    fOut.WriteAt(offset, data, count);
    fSum.AddPatch(offset, data, count);
  }
  void WriteAt(uint64_t offset, const void* data, size_t count) override { fOut.WriteAt(offset, data, count); }
  void Zeros(uint64_t count) {
    static const char kZeros[4096] = {};
    while (count > 0) {
      const size_t chunk = size_t(std::min<uint64_t>(count, sizeof kZeros));
      Write(kZeros, chunk);
      count -= chunk;
    }
  }
  uint64_t Position() const { return fSum.Length(); }
  uint32_t CheckSum() const { return fSum.Value(); }

 private:
  Sink& fOut;
  uint64_t fTotal;
  const StampProgress& fProgress;
  const StampSeal* fSeal;
  PeChecksum fSum;
};

bool Overlaps(uint64_t start, uint64_t size, uint64_t otherStart, uint64_t otherEnd) {
  return start < otherEnd && start + std::max<uint64_t>(size, 1) > otherStart;
}

// The relocations must patch only pages of sections that stay where they are.
void CheckRelocationTargets(const PeImage& stub, Source& stubFile, uint64_t keptEnd) {
  const DataDirectory directory = stub.Directory(kBaseRelocationDirectory);
  if (directory.rva == 0 || directory.size == 0) return;
  const std::string label = DataDirectoryLabel(kBaseRelocationDirectory);
  const std::optional<uint64_t> start = stub.FileOffsetOf(directory.rva, directory.size);
  if (!start) throw PeError(label + ": does not lie inside one section's raw data");
  for (uint32_t at = 0; at + kRelocationBlockHeaderSize <= directory.size;) {
    uint8_t head[kRelocationBlockHeaderSize];
    stubFile.ReadAt(*start + at, head, sizeof head);
    const uint32_t page = Load32(head);
    const uint32_t size = Load32(head + 4);
    if (size < kRelocationBlockHeaderSize || size > directory.size - at) {
      throw PeError(label + ": the block at " + FormatHex(at) + " has size " + FormatHex(size) + ", outside the directory");
    }
    if (page >= keptEnd) {
      throw PeError(label + ": the block at " + FormatHex(at) + " patches page " + FormatHex(page) +
                    ", which lies in the part of the image that is written anew");
    }
    at += size;
  }
}

// Where everything goes, computed from the stub's sections, sizes and
// alignments before a byte is written.
struct Layout {
  size_t keptCount = 0;                 // leading stub sections that stay as they are
  int relocationSection = -1;           // stub section moved after the resources, or -1
  uint64_t keptRawEnd = 0;              // end of the kept sections' raw data
  SectionHeader resources;              // the new section
  std::string directory;                // its tables, data entries and names
  std::vector<SectionHeader> sections;  // the new section table
  uint32_t relocationRva = 0;           // the moved base-relocation directory
  uint64_t imageEnd = 0;                // SizeOfImage
  uint64_t fileEnd = 0;                 // the file's size
};

[[noreturn]] void TooLarge(uint64_t fileEnd) {
  throw PeError("the new image (" + FormatHex(fileEnd) + " bytes) does not fit the 32-bit offsets of a PE32 image");
}

Layout LayOut(const PeImage& stub, Source& stubFile, std::vector<Item>& items) {
  const std::vector<SectionHeader>& sections = stub.sections;
  if (stub.directories.size() <= kResourceDirectory) {
    throw PeError("optional header: NumberOfRvaAndSizes " + std::to_string(stub.directories.size()) +
                  " leaves no slot for the resource directory");
  }
  // The sections that stay: all but the resource and relocation sections at
  // the end.
  const DataDirectory resourceDirectory = stub.Directory(kResourceDirectory);
  const DataDirectory relocationDirectory = stub.Directory(kBaseRelocationDirectory);
  const int resourceSection = resourceDirectory.rva != 0 ? stub.SectionContaining(resourceDirectory.rva) : -1;
  const int relocationSection = relocationDirectory.rva != 0 ? stub.SectionContaining(relocationDirectory.rva) : -1;
  if (resourceSection >= 0 && resourceSection == relocationSection) {
    throw PeError(stub.SectionLabel(size_t(resourceSection)) +
                  " holds both the resources and the base relocations; they cannot be re-laid apart");
  }
  Layout layout;
  layout.keptCount = sections.size();
  while (layout.keptCount > 0 &&
         (int(layout.keptCount) - 1 == resourceSection || int(layout.keptCount) - 1 == relocationSection)) {
    if (int(layout.keptCount) - 1 == relocationSection) layout.relocationSection = relocationSection;
    --layout.keptCount;
  }
  const size_t kept = layout.keptCount;
  const uint64_t keptEnd =
      kept > 0 ? AlignUp(uint64_t(sections[kept - 1].virtualAddress) + sections[kept - 1].MappedSize(),
                         stub.sectionAlignment)
               : AlignUp(stub.sizeOfHeaders, stub.sectionAlignment);

  // Nothing else may live in the part that is written anew.
  for (uint32_t i = 0; i < stub.directories.size(); ++i) {
    const DataDirectory d = stub.directories[i];
    if (d.rva == 0 || i == kResourceDirectory || i == kCertificateTable) continue;
    if (i == kBaseRelocationDirectory && layout.relocationSection >= 0) {
      const SectionHeader& s = sections[size_t(relocationSection)];
      if (uint64_t(d.rva) + d.size > uint64_t(s.virtualAddress) + s.MappedSize()) {
        throw PeError(DataDirectoryLabel(i) + " runs past the end of " + stub.SectionLabel(size_t(relocationSection)));
      }
      continue;
    }
    if (Overlaps(d.rva, d.size, keptEnd, stub.sizeOfImage)) {
      const int section = stub.SectionContaining(d.rva);
      throw PeError(DataDirectoryLabel(i) + " points into " +
                    (section >= 0 ? stub.SectionLabel(size_t(section)) : "the end of the image") +
                    ", which is written anew after the new resources");
    }
  }
  if (kept < sections.size()) CheckRelocationTargets(stub, stubFile, keptEnd);

  // The new section after the last kept one, its raw data page-aligned in
  // the file (FileAlignment is a power of two, so this is aligned too).
  layout.keptRawEnd = stub.sizeOfHeaders;
  for (size_t i = 0; i < kept; ++i) {
    if (sections[i].rawSize > 0) {
      layout.keptRawEnd = std::max<uint64_t>(layout.keptRawEnd, uint64_t(sections[i].rawOffset) + sections[i].rawSize);
    }
  }
  SectionHeader& resources = layout.resources;
  resources.name = ".rsrc";
  resources.virtualAddress = uint32_t(keptEnd);  // keptEnd <= SizeOfImage, a 32-bit field
  resources.characteristics = kResourceSectionCharacteristics;
  uint64_t contentSize = 0;
  layout.directory = LayOutResourceSection(items, resources.virtualAddress, contentSize);
  const uint64_t rawOffset = AlignUp(layout.keptRawEnd, std::max(stub.fileAlignment, kPageSize));
  const uint64_t rawSize = AlignUp(contentSize, stub.fileAlignment);
  layout.fileEnd = rawOffset + rawSize;
  layout.imageEnd = AlignUp(resources.virtualAddress + contentSize, stub.sectionAlignment);
  if (layout.fileEnd > 0xFFFFFFFFu || layout.imageEnd > 0xFFFFFFFFu) TooLarge(layout.fileEnd);
  resources.rawOffset = uint32_t(rawOffset);
  resources.virtualSize = uint32_t(contentSize);
  resources.rawSize = uint32_t(rawSize);
  layout.sections.assign(sections.begin(), sections.begin() + std::ptrdiff_t(kept));
  layout.sections.push_back(resources);

  // The relocations, unchanged, after it.
  if (layout.relocationSection >= 0) {
    SectionHeader relocations = sections[size_t(layout.relocationSection)];
    const uint32_t newAddress = uint32_t(layout.imageEnd);
    layout.relocationRva = relocationDirectory.rva - relocations.virtualAddress + newAddress;
    relocations.virtualAddress = newAddress;
    relocations.rawOffset = relocations.rawSize > 0 ? uint32_t(layout.fileEnd) : 0;
    layout.fileEnd += relocations.rawSize;
    layout.imageEnd = AlignUp(uint64_t(newAddress) + relocations.MappedSize(), stub.sectionAlignment);
    if (layout.fileEnd > 0xFFFFFFFFu || layout.imageEnd > 0xFFFFFFFFu) TooLarge(layout.fileEnd);
    layout.sections.push_back(relocations);
  }
  return layout;
}

// The stub's headers with the new section table, counts, sizes and
// directories; the checksum field is zero.
std::string NewHeaders(const PeImage& stub, const Layout& layout) {
  std::string headers = stub.headers;
  const uint64_t oldTableEnd = stub.sectionTableOffset + uint64_t(kSectionHeaderSize) * stub.sections.size();
  const uint64_t newTableEnd = stub.sectionTableOffset + uint64_t(kSectionHeaderSize) * layout.sections.size();
  if (newTableEnd > stub.sizeOfHeaders) {
    throw PeError("headers: no room for another section header; SizeOfHeaders " + FormatHex(stub.sizeOfHeaders) +
                  " holds the section table up to " + FormatHex(oldTableEnd) + " and " +
                  std::to_string(layout.sections.size()) + " headers need up to " + FormatHex(newTableEnd) +
                  "; link the stub with room for one more section");
  }
  for (uint64_t at = oldTableEnd; at < newTableEnd; ++at) {
    if (headers[size_t(at)] != 0) {
      throw PeError("headers: bytes " + FormatHex(oldTableEnd) + "-" + FormatHex(newTableEnd) +
                    " after the section table are in use; the new section header needs them");
    }
  }
  if (newTableEnd < oldTableEnd) std::fill(&headers[size_t(newTableEnd)], &headers[0] + oldTableEnd, '\0');

  char* coff = &headers[stub.peOffset + kPeSignatureSize];
  Store16(coff + kCoffNumberOfSections, uint16_t(layout.sections.size()));
  Store32(coff + kCoffPointerToSymbolTable, 0);
  Store32(coff + kCoffNumberOfSymbols, 0);

  // SizeOfInitializedData: the linker's figure, less the sections dropped,
  // plus those written (its own sum when the figure is too small for that).
  uint64_t removed = 0, added = 0, initialized = 0;
  for (size_t i = layout.keptCount; i < stub.sections.size(); ++i) {
    if (stub.sections[i].characteristics & kScnCntInitializedData) removed += stub.sections[i].rawSize;
  }
  for (size_t i = 0; i < layout.sections.size(); ++i) {
    if (!(layout.sections[i].characteristics & kScnCntInitializedData)) continue;
    initialized += layout.sections[i].rawSize;
    if (i >= layout.keptCount) added += layout.sections[i].rawSize;
  }
  const uint64_t linkers = stub.sizeOfInitializedData;
  const uint64_t newInitialized = linkers >= removed ? linkers - removed + added : initialized;
  char* opt = &headers[stub.optionalHeaderOffset];
  Store32(opt + kOptSizeOfInitializedData, uint32_t(std::min<uint64_t>(newInitialized, 0xFFFFFFFFu)));
  Store32(opt + kOptSizeOfImage, uint32_t(layout.imageEnd));
  Store32(opt + kOptCheckSum, 0);

  char* directories = opt + stub.dataDirectoriesOffset;
  Store32(directories + 8 * kResourceDirectory, layout.resources.virtualAddress);
  Store32(directories + 8 * kResourceDirectory + 4, layout.resources.virtualSize);
  if (stub.directories.size() > kCertificateTable) {
    Store32(directories + 8 * kCertificateTable, 0);
    Store32(directories + 8 * kCertificateTable + 4, 0);
  }
  if (layout.relocationSection >= 0) Store32(directories + 8 * kBaseRelocationDirectory, layout.relocationRva);

  for (size_t i = 0; i < layout.sections.size(); ++i) {
    const SectionHeader& section = layout.sections[i];
    char* s = &headers[stub.sectionTableOffset + kSectionHeaderSize * i];
    if (i >= layout.keptCount) {
      std::fill(s, s + kSectionHeaderSize, '\0');
      std::copy(section.name.begin(), section.name.end(), s + kSectionName);
      Store32(s + kSectionCharacteristics, section.characteristics);
    }
    Store32(s + kSectionVirtualSize, section.virtualSize);
    Store32(s + kSectionVirtualAddress, section.virtualAddress);
    Store32(s + kSectionSizeOfRawData, section.rawSize);
    Store32(s + kSectionPointerToRawData, section.rawOffset);
  }
  return headers;
}

}  // namespace

NewResource NewResource::FromBytes(ResourceName type, ResourceName name, uint16_t language, std::string bytes) {
  NewResource r;
  r.type = std::move(type);
  r.name = std::move(name);
  r.language = language;
  r.bytes = std::move(bytes);
  return r;
}

NewResource NewResource::FromSource(ResourceName type, ResourceName name, uint16_t language, Source& source,
                                    uint64_t size, uint64_t sourceOffset) {
  NewResource r;
  r.type = std::move(type);
  r.name = std::move(name);
  r.language = language;
  r.source = &source;
  r.size = size;
  r.sourceOffset = sourceOffset;
  return r;
}

StampResult StampResources(const PeImage& stub, Source& stubFile, const std::vector<NewResource>& resources, Sink& out,
                           const StampProgress& progress, const StampSeal* seal) {
  if (seal && (seal->resource >= resources.size() || resources[seal->resource].source != nullptr)) {
    throw PeError("internal error: the sealed resource must be one of the new resources held in memory");
  }
  std::vector<Item> items = MergeResources(stub, stubFile, resources);
  const Layout layout = LayOut(stub, stubFile, items);
  const std::string headers = NewHeaders(stub, layout);
  const SectionHeader& section = layout.resources;
  std::vector<uint64_t> dataOffsets(resources.size());
  for (const Item& item : items) {
    if (item.newIndex >= 0) dataOffsets[size_t(item.newIndex)] = uint64_t(section.rawOffset) + item.dataOffset;
  }
  if (seal && seal->onLayout) seal->onLayout(dataOffsets, layout.fileEnd);

  // Out it goes, in file order: headers, the kept sections' bytes as they
  // are, the new section, the relocations.
  ChecksumWriter writer(out, layout.fileEnd, progress, seal);
  writer.Write(headers.data(), headers.size());
  CopyRange(stubFile, stub.sizeOfHeaders, layout.keptRawEnd - stub.sizeOfHeaders, writer);
  writer.Zeros(section.rawOffset - layout.keptRawEnd);
  writer.Write(layout.directory.data(), layout.directory.size());
  std::vector<const Item*> byOffset;
  for (const Item& item : items) byOffset.push_back(&item);
  // An empty datum shares its offset with the next one; it goes first.
  std::sort(byOffset.begin(), byOffset.end(), [](const Item* a, const Item* b) {
    return a->dataOffset != b->dataOffset ? a->dataOffset < b->dataOffset : a->size < b->size;
  });
  for (const Item* item : byOffset) {
    writer.Zeros(uint64_t(section.rawOffset) + item->dataOffset - writer.Position());
    if (seal && item->newIndex == int(seal->resource)) {
      writer.Zeros(item->size);
    } else if (item->bytes != nullptr) {
      writer.Write(item->bytes->data(), item->bytes->size());
    } else {
      CopyRange(*item->source, item->sourceOffset, item->size, writer);
    }
  }
  writer.Zeros(uint64_t(section.rawOffset) + section.rawSize - writer.Position());
  if (layout.relocationSection >= 0) {
    const SectionHeader& relocations = stub.sections[size_t(layout.relocationSection)];
    CopyRange(stubFile, relocations.rawOffset, relocations.rawSize, writer);
  }
  if (writer.Position() != layout.fileEnd) {
    throw PeError("internal error: wrote " + FormatHex(writer.Position()) + " bytes where the layout has " +
                  FormatHex(layout.fileEnd));
  }

  if (seal) {
    const std::string bytes = seal->seal ? seal->seal() : std::string();
    const NewResource& sealed = resources[seal->resource];
    if (bytes.size() != sealed.bytes.size()) {
      throw PeError("internal error: the seal has " + std::to_string(bytes.size()) + " bytes where its resource has " +
                    std::to_string(sealed.bytes.size()));
    }
    writer.Patch(dataOffsets[seal->resource], bytes.data(), bytes.size());
  }

  StampResult result;
  result.fileSize = layout.fileEnd;
  result.checkSum = writer.CheckSum();
  uint8_t field[4];
  Store32(field, result.checkSum);
  out.WriteAt(stub.CheckSumOffset(), field, sizeof field);
  result.resourceSectionRva = section.virtualAddress;
  result.resourceSectionOffset = section.rawOffset;
  result.resourceSectionSize = section.virtualSize;
  return result;
}

}  // namespace vo::pe
