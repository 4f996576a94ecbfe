// The byte layout of LZH entry headers, for the reader (lzh_head_dec.h)
// and the writer (lzh_head_enc.h).
//
// An archive is a sequence of entries, each a header followed by the entry's
// data, ended by a single zero byte. All integers are little-endian.
//
// Level 0 and level 1 (read only). H = byte 0 + 2 is the length of the base
// header; N is the name length.
//
//   offset  size  field
//   0       1     H - 2
//   1       1     checksum of bytes 2 to H-1 (not verified)
//   2       5     method, "-lh0-", "-lh5-", "-lhd-", ...
//   7       4     compressed size (level 1: extended headers included)
//   11      4     original size
//   15      4     time stamp, MS-DOS format, local time
//   19      1     attribute (ignored)
//   20      1     header level, 0 or 1
//   21      1     N
//   22      N     name
//   22+N    2     CRC-16 of the original data
//   24+N    1     level 1: operating-system identifier
//   H-2     2     level 1: size of the first extended header (0 = none)
//
// A level-0 header ends at H (bytes between 24+N and H are ignored). The
// extended headers of a level-1 header follow the base header, starting
// with the size field at H-2.
//
// Level 2. H is the length of the whole header, extended headers included.
//
//   offset  size  field
//   0       2     H
//   2       5     method
//   7       4     compressed size
//   11      4     original size
//   15      4     modification time, seconds since 1970-01-01 00:00 UTC
//   19      1     attribute (ignored)
//   20      1     header level, 2
//   21      2     CRC-16 of the original data
//   23      1     operating-system identifier
//   24      2     size of the first extended header
//
// OS-9/68k writers leave the last two bytes of a level-2 header out of H.
//
// Level 3 (read only; OS/2 and others). The fields of level 2, with 4-byte
// sizes; H is the length of the whole header.
//
//   offset  size  field
//   0       2     word size, 4
//   2..23         as level 2
//   24      4     H
//   28      4     size of the first extended header
//
// Extended headers: a chain of records, each announced by the size field in
// front of it. A record of size S is type (1 byte), data (S - 3 bytes) and
// the size of the next record (2 bytes); size 0 ends the chain. At level 3
// the size fields are 4 bytes and the data S - 5.
//   0x00 header CRC (not verified)      0x44 file name, UTF-16LE
//   0x01 file name, stored bytes        0x45 directory name, UTF-16LE
//   0x02 directory name, stored bytes   0x46 code page of the stored names
// Other types are skipped.
#pragma once

#include <cstddef>

namespace lzh {

// Offsets of the fixed header fields.
namespace head {
enum : std::size_t {
    LEVEL0_LENGTH = 0,  // 1 byte, H - 2 (levels 0 and 1)
    LEVEL2_LENGTH = 0,  // 2 bytes, H (level 2)
    METHOD = 2,
    METHOD_SIZE = 5,
    COMPRESSED_SIZE = 7,
    ORIGINAL_SIZE = 11,
    TIME = 15,
    ATTRIBUTE = 19,
    LEVEL = 20,
    FIXED_SIZE = 21,   // bytes read before the level is known
    NAME_LENGTH = 21,  // levels 0 and 1
    NAME = 22,         // levels 0 and 1
    LEVEL2_CRC = 21,
    LEVEL2_OS = 23,
    LEVEL2_FIRST_SIZE = 24,
    LEVEL2_BASE_SIZE = 26,  // through the first size field
    LEVEL3_WORD_SIZE = 0,
    LEVEL3_LENGTH = 24,
    LEVEL3_FIRST_SIZE = 28,
    LEVEL3_BASE_SIZE = 32,
};
}  // namespace head

// Extended header types.
enum : int {
    EXT_HEADER_CRC = 0x00,
    EXT_NAME = 0x01,
    EXT_DIRECTORY = 0x02,
    EXT_UNICODE_NAME = 0x44,
    EXT_UNICODE_DIRECTORY = 0x45,
    EXT_CODE_PAGE = 0x46,
};

}  // namespace lzh
