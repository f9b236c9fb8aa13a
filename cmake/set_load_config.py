#!/usr/bin/env python3
"""Points a 32-bit PE image's load-configuration data directory at the
structure named _load_config_used (shell/SystemLibraryWin.cpp).

GNU ld before binutils 2.41 links the structure into .rdata but leaves the
data directory empty, so Windows would never read it. This finds the
structure's address in the link map, checks that the bytes there start with
the structure's own size, and writes that address and size into data
directory 10 of the optional header. Run after every link; running it twice
changes nothing.

    set_load_config.py <image.exe> <link.map>
"""
import os
import re
import struct
import sys

SYMBOL = "__load_config_used"  # the C name with the i386 underscore
# The map lists it under its C name; binutils versions differ.
MAP_NAMES = ("_load_config_used", "__load_config_used")
LOAD_CONFIG_DIRECTORY = 10


def fail(path, what):
    sys.stderr.write(f"set_load_config: {path}: {what}\n")
    sys.exit(1)


def symbol_address(map_path):
    pattern = re.compile(r"^\s+0x([0-9a-fA-F]+)\s+(\S+)\s*$")
    with open(map_path, encoding="utf-8", errors="replace") as map_file:
        for line in map_file:
            match = pattern.match(line)
            if match and match.group(2) in MAP_NAMES:
                return int(match.group(1), 16)
    fail(map_path, f"no {SYMBOL} in the link map; link shell/SystemLibraryWin.cpp with "
                   f"-Wl,--require-defined={SYMBOL}")


def main():
    if len(sys.argv) != 3:
        sys.stderr.write("usage: set_load_config.py <image.exe> <link.map>\n")
        sys.exit(2)
    image_path, map_path = sys.argv[1], sys.argv[2]
    address = symbol_address(map_path)
    with open(image_path, "rb") as image_file:
        image = bytearray(image_file.read())

    def read(fmt, offset):
        if offset < 0 or offset + struct.calcsize(fmt) > len(image):
            fail(image_path, f"truncated: {struct.calcsize(fmt)} bytes at offset {offset} "
                             f"exceed the file size {len(image)}")
        return struct.unpack_from(fmt, image, offset)

    if read("<H", 0)[0] != 0x5A4D:
        fail(image_path, "not a PE image (no MZ header)")
    pe = read("<I", 0x3C)[0]
    if read("<I", pe)[0] != 0x00004550:
        fail(image_path, "not a PE image (no PE signature)")
    section_count, optional_size = read("<H", pe + 6)[0], read("<H", pe + 20)[0]
    optional = pe + 24
    if read("<H", optional)[0] != 0x10B:
        fail(image_path, "not a 32-bit (PE32) image")
    image_base = read("<I", optional + 28)[0]
    directory_count = read("<I", optional + 92)[0]
    if directory_count <= LOAD_CONFIG_DIRECTORY or 96 + 8 * (LOAD_CONFIG_DIRECTORY + 1) > optional_size:
        fail(image_path, f"the optional header has no room for data directory {LOAD_CONFIG_DIRECTORY}")

    rva = address - image_base
    file_offset = None
    for index in range(section_count):
        header = optional + optional_size + 40 * index
        virtual_size, virtual_address, raw_size, raw_offset = read("<IIII", header + 8)
        if virtual_address <= rva < virtual_address + min(virtual_size, raw_size):
            file_offset = raw_offset + (rva - virtual_address)
    if file_offset is None:
        fail(image_path, f"{SYMBOL} at address {address:#x} lies in no section of the file; "
                         f"is {map_path} the map of this link?")
    size = read("<I", file_offset)[0]
    if size < 0x40 or size > 0x200:
        fail(image_path, f"the bytes at {SYMBOL} do not start with a load-configuration size "
                         f"(found {size:#x}); is {map_path} the map of this link?")

    struct.pack_into("<II", image, optional + 96 + 8 * LOAD_CONFIG_DIRECTORY, rva, size)
    if read("<I", optional + 64)[0] != 0:
        struct.pack_into("<I", image, optional + 64, pe_checksum(image, optional + 64))
    partial = image_path + ".partial"
    with open(partial, "wb") as out:
        out.write(image)
    os.chmod(partial, os.stat(image_path).st_mode)
    os.replace(partial, image_path)


def pe_checksum(image, checksum_offset):
    """The optional header's CheckSum: 16-bit one's-complement-style sum of the
    file's words with the CheckSum field taken as zero, plus the file length."""
    data = bytes(image[:checksum_offset]) + b"\0\0\0\0" + bytes(image[checksum_offset + 4:])
    if len(data) % 2:
        data += b"\0"
    total = 0
    for (word,) in struct.iter_unpack("<H", data):
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    return ((total & 0xFFFF) + len(image)) & 0xFFFFFFFF


if __name__ == "__main__":
    main()
