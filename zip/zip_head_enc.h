// The ZIP header writers: local file header, central directory file header
// and end of central directory record, each appended to a byte buffer.
//
// Local file header (30 bytes, then name and extra field):
//
//   +0   4  signature 50 4B 03 04
//   +4   2  version needed to extract      20 files, 10 directories, 45 ZIP64
//   +6   2  general purpose flags          0x0800 when the name is UTF-8
//   +8   2  compression method             0 stored, 8 Deflate
//   +10  2  modification time, DOS format  } one 32-bit stamp (date_record.h)
//   +12  2  modification date, DOS format  }
//   +14  4  CRC-32 of the uncompressed data
//   +18  4  compressed size                } 0xFFFFFFFF both when either
//   +22  4  uncompressed size              } is in the ZIP64 block
//   +26  2  file name length n
//   +28  2  extra field length m
//   +30  n  file name
//   +30+n m extra field: the ZIP64 block, when there is one, first
//
// Central directory file header (46 bytes, then name and extra field):
//
//   +0   4  signature 50 4B 01 02
//   +4   2  version made by                20, upper byte 3: Unix
//   +6  24  version needed ... uncompressed size, as in the local header,
//           except that only a size that does not fit is 0xFFFFFFFF
//   +28  2  file name length n
//   +30  2  extra field length m
//   +32  2  file comment length            0
//   +34  2  disk number start              0
//   +36  2  internal file attributes       0
//   +38  4  external file attributes       Unix mode << 16 | MS-DOS bits
//   +42  4  relative offset of the local header (0xFFFFFFFF: in ZIP64)
//   +46  n  file name
//   +46+n m extra field
//
// End of central directory record (22 bytes):
//
//   +0   4  signature 50 4B 05 06
//   +4   2  number of this disk            0
//   +6   2  disk where the directory starts 0
//   +8   2  central records on this disk
//   +10  2  central records in total
//   +12  4  size of the central directory in bytes
//   +16  4  offset of the central directory from the start of the archive
//   +20  2  comment length                 0
//
// ZIP64 extra block (id 0x0001), for the values that do not fit their
// 32-bit fields (a value equal to 0xFFFFFFFF included), 8 bytes each in
// this order: uncompressed size, compressed size, local header offset.
//
// When the record count (0xFFFF or more), the directory size or its offset
// do not fit the end record, a ZIP64 end record (56 bytes, 64-bit fields)
// and its locator (20 bytes, pointing at it) come between the central
// directory and the end record, whose fields that do not fit hold
// 0xFFFF / 0xFFFFFFFF.
//
// An entry with a ZIP64 block in either header needs version 4.5 (45).
// Every archive whose values fit stays without ZIP64 records.
//
// All integers little-endian.
#pragma once

#include <cstdint>

#include "text_types.h"
#include "zip_entry.h"

// Appends the local header of entry to out. The first header built for an
// entry makes its stored name (stored-name conversion of its path) and
// notes the UTF-8 flag in entry.name_flags. Throws "program error." unless
// entry.signature is ZIP_LOCAL_SIGNATURE.
void local_header_put(ZipEntry& entry, ByteString& out);

// Appends the central header of entry, whose local header starts at
// local_offset, to out. Throws "program error." unless entry.signature is
// ZIP_CENTRAL_SIGNATURE.
void central_header_put(ZipEntry& entry, std::uint64_t local_offset, ByteString& out);

// Whether the headers of entry, with its local header at local_offset,
// carry a ZIP64 block (and so need version 45).
bool zip64_entry(const ZipEntry& entry, std::uint64_t local_offset);

// Appends the end record to out, with the ZIP64 end record and its
// locator in front when the values do not fit it; the central directory
// ends right where out begins.
void end_record_put(std::uint64_t record_count, std::uint64_t directory_size, std::uint64_t directory_offset,
                    ByteString& out);
