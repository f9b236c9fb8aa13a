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

}  // namespace vo::pe
