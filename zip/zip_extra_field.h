// The extra fields of ZIP headers that the reader uses.
//
// An extra field is a sequence of blocks, each
//   +0  2  block id
//   +2  2  data size n
//   +4  n  data
// kept in both the local and the central header, not always with the same
// content. The blocks read here:
//   0x0001  ZIP64: the 64-bit values of the size and offset fields that
//           hold their 32-bit maximum
//   0x000A  NTFS: modification, access and creation time in 100 ns steps
//           since 1601-01-01 UTC
//   0x5455  extended timestamp: Unix times (seconds since 1970 UTC)
//   0x7075  Unicode Path: the name in UTF-8 beside a name in a code page
// Every other block is skipped.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "text_types.h"

enum : std::uint16_t {
    ZIP_EXTRA_ZIP64 = 0x0001,
    ZIP_EXTRA_NTFS = 0x000A,
    ZIP_EXTRA_TIMESTAMP = 0x5455,
    ZIP_EXTRA_UNICODE_PATH = 0x7075,
};

// The field value that says "the real value is in the ZIP64 block".
constexpr std::uint32_t ZIP64_MARK_32 = 0xFFFFFFFF;
constexpr std::uint16_t ZIP64_MARK_16 = 0xFFFF;

// The data of the first block with the given id; nullopt when there is
// none. A block whose size runs past the end of the field ends the walk
// (some writers pad the field with a few zero bytes), so a damaged field
// gives what lies before the damage.
std::optional<std::string_view> extra_block(std::string_view extra, std::uint16_t id);

// The size and offset fields of one header. Fields that hold their
// maximum (ZIP64_MARK_32, the disk ZIP64_MARK_16) are replaced from the
// ZIP64 block by zip64_fields_apply.
struct Zip64Fields {
    std::uint64_t uncompressed_size = 0;
    std::uint64_t compressed_size = 0;
    std::uint64_t local_offset = 0;  // central headers only
    std::uint32_t disk_start = 0;    // central headers only
};

// ZIP64 block layout: only the values whose header field holds its
// maximum are there, in this order:
//   uncompressed size 8, compressed size 8, local header offset 8, disk 4
// A local header has neither offset nor disk (local = true); its block
// holds both sizes whenever it holds one, as the format requires.
// Without a ZIP64 block the fields keep their values (a maximum is then
// taken at its word). Returns whether a ZIP64 block was used. Throws
// "zip64_fields_apply: ZIP64 extra field is too short." when a marked
// value is missing from the block.
bool zip64_fields_apply(std::string_view extra, Zip64Fields& fields, bool local);

// The modification time kept in the extra field, in seconds since
// 1970-01-01 00:00 UTC (rounded down): from an NTFS block, else from an
// extended timestamp block whose flags say it holds the modification
// time. nullopt when neither does; the DOS stamp (local time) applies
// then.
std::optional<std::int64_t> extra_modification_time(std::string_view extra);

// The UTF-8 name of a Unicode Path block: version 1 and a CRC-32 that
// matches stored_name, the name field of the same header. A program that
// renames an entry without knowing the block leaves it behind with the
// old CRC; such a block is not taken (nullopt).
//   +0  1  version (1)
//   +1  4  CRC-32 of the header's name field
//   +5     the name, UTF-8
std::optional<ByteString> unicode_path_name(std::string_view extra, std::string_view stored_name);
