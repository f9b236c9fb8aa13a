#!/usr/bin/python3
"""Lists what Debian's python3-pefile reads in a PE image, for the PE tests
to compare with what they wrote. One line per fact:

  resource <type> <name> <language> <size> <crc32>   (type/name: #<id> or "<text>")
  checksum <stored> <computed> <verified>
  section <name> <rva> <virtual size> <raw offset> <raw size>
  directory <index> <rva> <size>
  import <dll> <function or #ordinal> <thunk rva>
  reloc <rva> <type>
  version fixed <file MS> <file LS> <product MS> <product LS> <signature>
  version string <table> <key>=<value>                (UTF-8)
  version translation <language> <code page>
  warning <text>

Usage: pefile_dump.py [--no-checksum] IMAGE
(pefile sums in Python, about 20 seconds for 100 MB; --no-checksum leaves the
checksum line out.)
"""
import sys
import zlib

import pefile


def label(entry):
    if entry.name is not None:
        return '"%s"' % entry.name.decode('utf-8', 'replace')
    return '#%d' % entry.id


def main(path, checksum=True):
    pe = pefile.PE(path)
    out = []
    for d in pe.OPTIONAL_HEADER.DATA_DIRECTORY:
        index = pefile.DIRECTORY_ENTRY[d.name]
        out.append('directory %d 0x%x 0x%x' % (index, d.VirtualAddress, d.Size))
    for s in pe.sections:
        name = s.Name.rstrip(b'\0').decode('latin-1')
        out.append('section %s 0x%x 0x%x 0x%x 0x%x' % (name, s.VirtualAddress, s.Misc_VirtualSize,
                                                      s.PointerToRawData, s.SizeOfRawData))
    types = pe.DIRECTORY_ENTRY_RESOURCE.entries if hasattr(pe, 'DIRECTORY_ENTRY_RESOURCE') else []
    for t in types:
        for n in t.directory.entries:
            for lang in n.directory.entries:
                data = pe.get_data(lang.data.struct.OffsetToData, lang.data.struct.Size)
                out.append('resource %s %s %d %d %08x' % (label(t), label(n), lang.id, len(data),
                                                          zlib.crc32(data) & 0xffffffff))
    for dll in getattr(pe, 'DIRECTORY_ENTRY_IMPORT', []):
        for imp in dll.imports:
            name = imp.name.decode() if imp.name else '#%d' % imp.ordinal
            out.append('import %s %s 0x%x' % (dll.dll.decode(), name, imp.address - pe.OPTIONAL_HEADER.ImageBase))
    for block in getattr(pe, 'DIRECTORY_ENTRY_BASERELOC', []):
        for entry in block.entries:
            out.append('reloc 0x%x %d' % (entry.rva, entry.type))
    for fixed in getattr(pe, 'VS_FIXEDFILEINFO', []):
        out.append('version fixed 0x%x 0x%x 0x%x 0x%x 0x%x' % (fixed.FileVersionMS, fixed.FileVersionLS,
                                                             fixed.ProductVersionMS, fixed.ProductVersionLS,
                                                             fixed.Signature))
    for info in getattr(pe, 'FileInfo', []):
        for entry in info:
            for table in getattr(entry, 'StringTable', []):
                for key, value in table.entries.items():
                    out.append('version string %s %s=%s' % (table.LangID.decode().lower(), key.decode('utf-8', 'replace'),
                                                            value.decode('utf-8', 'replace')))
            for var in getattr(entry, 'Var', []):
                for key, value in getattr(var, 'entry', {}).items():
                    key = key.decode('utf-8', 'replace') if isinstance(key, bytes) else key
                    if key == 'Translation':
                        out.append('version translation %s' % value)
    if checksum:
        out.append('checksum 0x%x 0x%x %s' % (pe.OPTIONAL_HEADER.CheckSum, pe.generate_checksum(),
                                              'verified' if pe.verify_checksum() else 'wrong'))
    for w in pe.get_warnings():
        out.append('warning %s' % w.replace('\n', ' '))
    sys.stdout.write('\n'.join(out) + '\n')


if __name__ == '__main__':
    if sys.argv[1] == '--no-checksum':
        main(sys.argv[2], checksum=False)
    else:
        main(sys.argv[1])
