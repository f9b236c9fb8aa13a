#pragma once
// Writes a new resource section into a program (the stub) and streams the
// result out: the publisher's tool turns the prebuilt installer into a
// product's installer this way.
//
// StampResources works in three steps:
//   1. Merge. The stub's own resources are kept, except those whose type and
//      name the new list writes (every language of such a name is replaced).
//      The list is sorted the way the loader searches it: string names first,
//      by their upper-case text, then ids ascending; languages ascending.
//   2. Lay out. Sections at the end of the stub that hold the resource
//      directory or the base relocations are dropped; everything before them
//      stays byte for byte where it is. The new .rsrc follows the last kept
//      section (its raw data at a file offset that is a multiple of 4096, so
//      loaders can map it page by page), and the base relocations move after
//      it unchanged. A .rsrc that is not at the end stays where it is, unused.
//      Inside the section the tables come first (type, name and language
//      tables, then the data entries, then the names as upper-case strings),
//      then the data, each 8-byte aligned, smallest first. Every offset is
//      computed here, from sizes and alignments, before a byte is written.
//   3. Write. Headers (updated section count, SizeOfImage,
//      SizeOfInitializedData, resource and base-relocation directories; no
//      certificate table and no COFF symbol table, whose bytes after the last
//      section are left out), the kept sections' bytes, the new section and
//      the relocations are streamed to the sink in order while the checksum
//      is summed; the checksum is patched into the headers at the end.
// The same inputs give the same bytes: nothing time-dependent is written, and
// the stub's TimeDateStamp is kept.
//
// Resource data comes from memory or from a Source and is copied in chunks,
// so a resource may be larger than memory. Faults (a stub that has no room
// for another section header, a data directory that points into the part
// that is re-laid, bad names) raise PeError before anything is written.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "pe/PeImage.h"
#include "pe/PeIo.h"
#include "pe/PeResources.h"

namespace vo::pe {

// One resource to write. Names are stored upper-case. Data is either bytes,
// or size bytes of source from sourceOffset on; the source is not owned and
// must outlive StampResources.
struct NewResource {
  ResourceName type;
  ResourceName name;
  uint16_t language = 0;
  std::string bytes;
  Source* source = nullptr;
  uint64_t sourceOffset = 0;
  uint64_t size = 0;  // with a source

  static NewResource FromBytes(ResourceName type, ResourceName name, uint16_t language, std::string bytes);
  static NewResource FromSource(ResourceName type, ResourceName name, uint16_t language, Source& source,
                                uint64_t size, uint64_t sourceOffset = 0);
  uint64_t DataSize() const { return source != nullptr ? size : bytes.size(); }
};

struct StampResult {
  uint64_t fileSize = 0;
  uint32_t checkSum = 0;
  uint32_t resourceSectionRva = 0;
  uint32_t resourceSectionOffset = 0;  // file offset of its raw data
  uint32_t resourceSectionSize = 0;    // directory and data (VirtualSize)
};

// Called as bytes go out: written so far, total the output will have.
using StampProgress = std::function<void(uint64_t written, uint64_t total)>;

// A seal: one of the new resources whose bytes are made from the rest of the
// written program (its digest). It goes out as zeros; once every other byte
// has gone out, seal() gives its bytes, which are patched in and counted in
// the checksum.
struct StampSeal {
  size_t resource = 0;  // index into the resources given to StampResources
  // Before the first byte: the file offset of each new resource's data (in
  // the order given) and the size of the whole output.
  std::function<void(const std::vector<uint64_t>& dataOffsets, uint64_t fileSize)> onLayout;
  // Every byte as it goes out, in file order, the sealed resource's zeros
  // included.
  std::function<void(uint64_t offset, const void* data, size_t count)> onBytes;
  // The sealed resource's bytes; exactly its size.
  std::function<std::string()> seal;
};

// Writes stub (parsed from stubFile) with the merged resources to out.
StampResult StampResources(const PeImage& stub, Source& stubFile, const std::vector<NewResource>& resources, Sink& out,
                           const StampProgress& progress = nullptr, const StampSeal* seal = nullptr);

}  // namespace vo::pe
