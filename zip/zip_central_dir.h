// The central directory of a ZIP archive: the list of its members, read
// from the end of the file.
//
// The end of central directory record sits at the very end, followed only
// by the archive comment (at most 65535 bytes); it gives the size and
// offset of the central directory, one record per member. An archive too
// large for its 16- and 32-bit fields puts 0xFFFF / 0xFFFFFFFF there and
// adds a ZIP64 end record and its locator right before the end record.
//
// Offsets in these records count from the start of the archive proper. A
// self-extracting program put in front of an archive shifts every one of
// them by its length, unless the writer adjusted them; the shift is found
// as the distance between where the end records stand and where the
// directory says they should stand (after the directory's last byte).
//
// The reader is pure: it takes bytes through a read callback and returns
// plain records; every fault is a thrown text.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "text_types.h"

enum : std::uint32_t {
    ZIP64_END_SIGNATURE = 0x06064B50,      // 50 4B 06 06
    ZIP64_LOCATOR_SIGNATURE = 0x07064B50,  // 50 4B 06 07
};

// General purpose flags the reader looks at.
enum : std::uint16_t {
    ZIP_FLAG_ENCRYPTED = 0x0001,
    ZIP_FLAG_DATA_DESCRIPTOR = 0x0008,  // CRC and sizes follow the data
    ZIP_FLAG_STRONG_ENCRYPTION = 0x0040,
};

// The host of "version made by" whose external attributes carry a Unix
// mode in their high half.
constexpr int ZIP_HOST_UNIX = 3;

// One central directory record, with the ZIP64 values applied.
//
//   +0   4  signature 50 4B 01 02
//   +4   2  version made by (high byte: host system)
//   +6   2  version needed to extract
//   +8   2  general purpose flags
//   +10  2  compression method
//   +12  2  modification time, DOS format
//   +14  2  modification date, DOS format
//   +16  4  CRC-32
//   +20  4  compressed size         (0xFFFFFFFF: in the ZIP64 block)
//   +24  4  uncompressed size       (0xFFFFFFFF: in the ZIP64 block)
//   +28  2  name length n
//   +30  2  extra field length m
//   +32  2  comment length k
//   +34  2  disk number start       (0xFFFF: in the ZIP64 block)
//   +36  2  internal attributes
//   +38  4  external attributes (MS-DOS bits low; Unix mode high on host 3)
//   +42  4  local header offset     (0xFFFFFFFF: in the ZIP64 block)
//   +46     name n, extra field m, comment k
struct ZipCentralRecord {
    std::uint16_t version_made_by = 0;
    std::uint16_t version_needed = 0;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint32_t dos_stamp = 0;  // time in the low half, date in the high half (dos_time.h)
    std::uint32_t crc = 0;
    std::uint64_t compressed_size = 0;
    std::uint64_t uncompressed_size = 0;
    std::uint32_t disk_start = 0;
    std::uint16_t internal_attributes = 0;
    std::uint32_t external_attributes = 0;
    // Where the local header begins in the file: the stored offset plus
    // the directory's prefix.
    std::uint64_t local_offset = 0;
    bool zip64 = false;  // the record has a ZIP64 block
    ByteString name;     // the stored bytes, not converted
    ByteString extra;
    ByteString comment;

    // The host system of version made by: 0 MS-DOS, 3 Unix, 10 NTFS, 19 OS X.
    int host() const { return version_made_by >> 8; }
};

// The end of central directory record, as stored.
//
//   +0   4  signature 50 4B 05 06
//   +4   2  number of this disk
//   +6   2  disk where the central directory starts
//   +8   2  records on this disk
//   +10  2  records in total
//   +12  4  central directory size
//   +16  4  central directory offset
//   +20  2  comment length k
//   +22  k  comment
struct ZipEndRecord {
    std::uint64_t position = 0;  // where the record begins in the file
    std::uint32_t disk = 0;
    std::uint32_t directory_disk = 0;
    std::uint64_t disk_records = 0;
    std::uint64_t records = 0;
    std::uint64_t directory_size = 0;
    std::uint64_t directory_offset = 0;
    ByteString comment;
};

struct ZipDirectory {
    std::vector<ZipCentralRecord> records;  // in directory order
    // Bytes in front of the archive proper (a self-extracting program
    // whose offsets were not adjusted); added to every stored offset.
    std::uint64_t prefix = 0;
    std::uint64_t directory_offset = 0;  // where the first record begins in the file
    std::uint64_t directory_size = 0;
    bool zip64 = false;  // read through a ZIP64 end record
    ByteString comment;
};

// Reads length bytes from offset of the archive; fewer where the archive
// ends first.
using ZipReadAt = std::function<ByteString(std::uint64_t offset, std::size_t length)>;

// The bytes at the end of an archive that may hold its end record and the
// ZIP64 locator before it: 20 + 22 + 65535.
constexpr std::size_t ZIP_END_SEARCH_LENGTH = 20 + 22 + 0xFFFF;

// The end record in the last bytes of an archive (tail, which begins at
// tail_offset): the last signature whose comment fits in the file,
// searching back over a comment of up to 65535 bytes. Throws
// "ZipCentralDir: end of central directory record is not found.".
ZipEndRecord end_record_find(std::string_view tail, std::uint64_t tail_offset);

// The records of a central directory of the given bytes, prefix added to
// each local header offset. Throws "ZipCentralDir: central directory
// record is illegal." for a record without its signature and
// "ZipCentralDir: central directory is cut short." for one that runs past
// the bytes.
std::vector<ZipCentralRecord> central_records_parse(std::string_view bytes, std::uint64_t prefix);

// The whole directory of an archive of archive_size bytes: end record,
// ZIP64 end record, prefix, records. Throws the texts above and
// "ZipCentralDir: ZIP64 end record is not found.", "ZipCentralDir:
// central directory lies outside the archive.", "ZipCentralDir: the
// number of entries does not match the end record.", "ZipCentralDir:
// archive split over several disks is out of support range." (the end
// record and the directory on different disks).
ZipDirectory zip_directory_read(std::uint64_t archive_size, const ZipReadAt& read_at);

// For every record, whether the bytes its member takes overlap those of
// another member or the central directory. Overlapping members are how an
// archive makes one stored stream count many times over (a zip bomb), and
// no writer produces them. A member takes at least its local header (30
// bytes and the name), its compressed data and, with a data descriptor, 12
// bytes after it; the local extra field is not counted, so that a sound
// archive never shows an overlap.
std::vector<bool> overlapping_members(const ZipDirectory& directory);
