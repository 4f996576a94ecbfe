// ZipHeaderReader: reads one record of a ZIP archive, front to back, from
// the archive's bit stream, into a plain record of its fields.
//
// The extraction walk reads local headers one after another and stops at
// the first record of any other kind; so of the central directory header
// and the end record only enough is read to recognise them.
//
// Local file header (30 bytes, then name and extra field):
//
//   +0   4  signature 50 4B 03 04
//   +4   2  version needed to extract      (kept, not checked)
//   +6   2  general purpose flags          (bit 11: the name is UTF-8)
//   +8   2  compression method             (0 stored, 8 Deflate)
//   +10  2  modification time, DOS format
//   +12  2  modification date, DOS format
//   +14  4  CRC-32 of the uncompressed data
//   +18  4  compressed size
//   +22  4  uncompressed size
//   +26  2  file name length n
//   +28  2  extra field length m
//   +30  n  file name
//   +30+n m extra field
//
// Central directory file header: 46 fixed bytes, whose +28, +30 and +32
// give the lengths of the name, extra field and comment that follow.
// End of central directory record: 22 fixed bytes (its comment is not read).
//
// All integers are little-endian. Bytes are taken with byte_get, so a
// header read after Deflate data starts at the next byte boundary.
#pragma once

#include <cstdint>

#include "date_record.h"
#include "deflate_dec.h"
#include "header_bytes.h"
#include "text_types.h"

class ZipHeaderReader {
public:
    // Reads one record; the fields keep their defaults where the input
    // ended first (signature -1 when not even the signature was there).
    // Throws "Outside of the support range." for a signature that is none
    // of the three record kinds.
    void read(ZipBitInStream& input);

    // The little-endian unsigned value of width (1 to 4) bytes of the
    // header bytes read so far; throws "int_get: header format is
    // illegal." for bytes beyond them.
    std::uint32_t int_get(std::size_t offset, std::size_t width) const { return raw.int_get(offset, width); }
    // length bytes of the header read so far; throws "str_get: header
    // format is illegal." for bytes beyond them.
    ByteString str_get(std::size_t offset, std::size_t length) const { return raw.str_get(offset, length); }

    coding::HeaderBytes raw;  // every byte of the record read so far
    std::int64_t signature = -1;
    std::int32_t method = 0;
    std::int32_t version_needed = 0;
    std::uint32_t flags = 0;  // bit 11 (ZIP_FLAG_UTF8): the name is UTF-8
    // The 32-bit fields as unsigned values; -1 until read.
    std::int64_t compressed_size = -1;
    std::int64_t uncompressed_size = -1;
    DateRecord time;
    std::uint32_t crc = 0;
    // The stored name of a local header; has_name is false when the header
    // was cut before its end.
    ByteString stored_name;
    ByteString extra;  // the local extra field, read with the name
    bool has_name = false;
};
