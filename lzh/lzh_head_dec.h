// LZHHeadDec: reads one LZH entry header, of level 0, 1 or 2, from the
// archive's bit stream into a plain record of its fields and stored names.
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
// Extended headers: a chain of records, each announced by the size field in
// front of it. A record of size S is type (1 byte), data (S - 3 bytes) and
// the size of the next record (2 bytes); size 0 ends the chain.
//   0x00 header CRC (not verified)      0x44 file name, UTF-16LE
//   0x01 file name, stored bytes        0x45 directory name, UTF-16LE
//   0x02 directory name, stored bytes   0x46 code page of the stored names
// Other types are skipped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "date_record.h"
#include "header_bytes.h"
#include "lzh_coding.h"
#include "text_types.h"

namespace lzh {

// Offsets of the fixed header fields.
namespace head {
constexpr std::size_t LEVEL0_LENGTH = 0;  // 1 byte, H - 2 (levels 0 and 1)
constexpr std::size_t LEVEL2_LENGTH = 0;  // 2 bytes, H (level 2)
constexpr std::size_t METHOD = 2;
constexpr std::size_t METHOD_SIZE = 5;
constexpr std::size_t COMPRESSED_SIZE = 7;
constexpr std::size_t ORIGINAL_SIZE = 11;
constexpr std::size_t TIME = 15;
constexpr std::size_t ATTRIBUTE = 19;
constexpr std::size_t LEVEL = 20;
constexpr std::size_t FIXED_SIZE = 21;       // bytes read before the level is known
constexpr std::size_t NAME_LENGTH = 21;      // levels 0 and 1
constexpr std::size_t NAME = 22;             // levels 0 and 1
constexpr std::size_t LEVEL2_CRC = 21;
constexpr std::size_t LEVEL2_OS = 23;
constexpr std::size_t LEVEL2_FIRST_SIZE = 24;
constexpr std::size_t LEVEL2_BASE_SIZE = 26;  // through the first size field
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

// The extended headers of a level-1 entry have no length field of their
// own; a chain longer than this is taken for corrupt data rather than kept
// in memory.
constexpr std::int64_t LEVEL1_EXTENDED_LIMIT = 1 << 20;

// A Unicode name record (0x44 or 0x45) with data, in the order found.
struct UnicodeNameRecord {
    bool directory = false;  // 0x45
    ByteString bytes;        // UTF-16LE
};

// One entry header as stored. The names stay the bytes of their fields and
// records; how they become a path is the member source's concern
// (lzh_member_source.h).
class LZHHeadDec {
public:
    // Reads one header and leaves the stream at the first byte of the
    // entry's data. Finding no header (the zero end mark, or the end of the
    // data) leaves level at -1. A header that cannot be read throws:
    // "int_get: header format is illegal.", "str_get: header format is
    // illegal." (a truncated header), "LZHHeadDec: this file level is out of
    // support range.", "LZHHeadDec: header format is illegal." (lengths
    // that contradict each other) and "LZHHeadDec: extended header is
    // illegal."; the record then holds the names read before the damage.
    void read(BitInStream& input);

    // Bytes of entry data that follow the header: the compressed size,
    // less the extended headers at level 1, which that size also counts.
    std::int64_t data_size() const;

    coding::HeaderBytes raw;  // every header byte read so far
    std::string method;
    std::int32_t level = -1;
    // The size fields, read as unsigned 32-bit values (entries of 2 GiB to
    // 4 GiB exist); -1 until read.
    std::int64_t compressed_size = -1;
    std::int64_t original_size = -1;
    // Local modification time.
    DateRecord time;
    // Level 2: the stored seconds since 1970, exact where the local fields
    // are ambiguous (the hour repeated when daylight saving ends); -1 for an
    // MS-DOS stamp.
    std::int64_t stored_time = -1;
    std::uint16_t data_crc = 0;
    std::int32_t os_id = 0;
    // Level 1: bytes of the extended headers that follow the base header.
    std::int64_t extended_size = 0;

    // Names as stored. name_field: the name of a level-0/1 base header
    // (empty when the field is). narrow_name, narrow_directory: the last
    // 0x01 and 0x02 records. unicode_records: the 0x44 and 0x45 records
    // that hold data. code_page: the 0x46 record.
    ByteString name_field;
    ByteString narrow_name;
    ByteString narrow_directory;
    std::vector<UnicodeNameRecord> unicode_records;
    bool has_code_page = false;
    std::int32_t code_page = 0;
    // True once the whole header was read.
    bool complete = false;

private:
    int int_get(std::size_t offset, int n) const;
    bool fill_to(BitInStream& input, std::size_t count);
    void read_level01(BitInStream& input);
    void read_level2(BitInStream& input);
    void read_extended(BitInStream& input, std::size_t size_field, std::size_t limit, bool counted);
};

}  // namespace lzh
