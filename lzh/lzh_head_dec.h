// LZHHeadDec: reads one LZH entry header, of level 0 to 3, from the
// archive's bit stream into a plain record of its fields and stored names.
//
// The byte layout is drawn in lzh_header_layout.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "date_record.h"
#include "header_bytes.h"
#include "lzh_coding.h"
#include "lzh_header_layout.h"
#include "text_types.h"

namespace lzh {

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

    // The modification time as local wall-clock time, whatever the level.
    DateRecord local_time() const;

    coding::HeaderBytes raw;  // every header byte read so far
    std::string method;
    std::int32_t level = -1;
    // The size fields, read as unsigned 32-bit values (entries of 2 GiB to
    // 4 GiB exist); -1 until read.
    std::int64_t compressed_size = -1;
    std::int64_t original_size = -1;
    // Levels 0 and 1: the MS-DOS stamp, local time. Levels 2 and 3 leave it
    // unset: local_time() converts their seconds on request only, because
    // the conversion loads the time zone, and extraction, which sets the
    // file time from the seconds, never needs it.
    DateRecord time;
    // Levels 2 and 3: the stored seconds since 1970, exact where the local
    // fields are ambiguous (the hour repeated when daylight saving ends);
    // -1 for an MS-DOS stamp.
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
    void read_level3(BitInStream& input);
    void read_unix_fields();
    void read_extended(BitInStream& input, std::size_t size_field, std::size_t limit, std::size_t width, bool counted);
};

}  // namespace lzh
