// The ZIP header writers: local file header, central directory file header
// and end of central directory record, each appended to a byte buffer.
//
// Local file header (30 bytes, then name and extra field):
//
//   +0   4  signature 50 4B 03 04
//   +4   2  version needed to extract      20 files, 10 directories
//   +6   2  general purpose flags          0x0800 when the name is UTF-8
//   +8   2  compression method             0 stored, 8 Deflate
//   +10  2  modification time, DOS format  } one 32-bit stamp (date_record.h)
//   +12  2  modification date, DOS format  }
//   +14  4  CRC-32 of the uncompressed data
//   +18  4  compressed size
//   +22  4  uncompressed size
//   +26  2  file name length n
//   +28  2  extra field length m
//   +30  n  file name
//   +30+n m extra field
//
// Central directory file header (46 bytes, then name and extra field):
//
//   +0   4  signature 50 4B 01 02
//   +4   2  version made by                20 (upper byte 0: MS-DOS)
//   +6  24  version needed ... uncompressed size, as in the local header
//   +28  2  file name length n
//   +30  2  extra field length m
//   +32  2  file comment length            0
//   +34  2  disk number start              0
//   +36  2  internal file attributes       0
//   +38  4  external file attributes       0, for directories too
//   +42  4  relative offset of the local header
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
// All integers little-endian; counts and offsets are stored as their low
// 16 or 32 bits.
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
void central_header_put(ZipEntry& entry, std::uint32_t local_offset, ByteString& out);

// Appends the end record to out.
void end_record_put(std::uint32_t record_count, std::uint32_t directory_size,
                    std::uint32_t directory_offset, ByteString& out);
