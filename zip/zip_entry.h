// ZipEntry: one entry of a ZIP archive to be written, as the source file
// list holds it and the header writers (zip_head_enc.h) store it.
#pragma once

#include <cstdint>

#include "date_record.h"
#include "text_types.h"

// Record signatures, as 32-bit little-endian values ("PK" and two digits).
enum : std::uint32_t {
    ZIP_LOCAL_SIGNATURE = 0x04034B50,    // 50 4B 03 04
    ZIP_CENTRAL_SIGNATURE = 0x02014B50,  // 50 4B 01 02
    ZIP_END_SIGNATURE = 0x06054B50,      // 50 4B 05 06
};

// Compression methods this system reads and writes.
enum : std::int32_t { ZIP_METHOD_STORED = 0, ZIP_METHOD_DEFLATE = 8 };

// General purpose flag bit 11: the name (and comment) are UTF-8.
constexpr std::uint32_t ZIP_FLAG_UTF8 = 0x0800;

// Version needed to extract an entry with ZIP64 records.
constexpr std::int32_t ZIP_VERSION_ZIP64 = 45;

// Uncompressed-size markers of an entry that holds no file data.
enum : std::int32_t { ZIP_SIZE_UNKNOWN = -1, ZIP_SIZE_DIRECTORY = -2 };

struct ZipEntry {
    // The kind of header about to be written: ZIP_LOCAL_SIGNATURE or
    // ZIP_CENTRAL_SIGNATURE. A writer refuses a record of the other kind.
    std::uint32_t signature = ZIP_LOCAL_SIGNATURE;
    std::int32_t method = ZIP_METHOD_STORED;
    std::int32_t version_needed = 0;  // 20 for files, 10 for directories, 45 with ZIP64
    // Flags before the UTF-8 bit; name_flags holds that bit once the stored
    // name is made, so that both headers of the entry carry the same flags.
    std::uint32_t flags = 0;
    std::uint32_t name_flags = 0;
    std::int64_t compressed_size = ZIP_SIZE_UNKNOWN;
    // ZIP_SIZE_DIRECTORY for a directory, ZIP_SIZE_UNKNOWN for a path that
    // could not be examined.
    std::int64_t uncompressed_size = ZIP_SIZE_UNKNOWN;
    DateRecord time;         // local modification time
    std::uint32_t crc = 0;   // CRC-32 as stored (already complemented)
    WideString path;         // the source; a directory's path ends in "/"
    ByteString stored_name;  // empty until the first header is built
    WideString directory;    // to make current before the source is opened
    ByteString extra;        // extra field bytes after the writer's ZIP64 block; empty

    ZipEntry() = default;
    // Reads the status of path (relative to the current directory): sizes
    // and modification time from it, "/" appended for a directory. A path
    // that cannot be examined keeps the defaults and an empty path.
    explicit ZipEntry(const WideString& source_path);
};
