// DeflateSource: the input side of the Deflate encoder.
//
// Reads the source file into the encoder's buffer, folds every byte read
// into the CRC-32 register and counts the bytes. A fill stops only when the
// room is full or the source has ended, so the buffer contents, and with
// them the compressed bytes, depend on the file's contents alone and never
// on how many bytes one read happened to deliver.
//
// What the creation driver needs to trust the result is kept here and
// shown by the encoder: the number of bytes actually read (a file that
// changed after it was examined no longer has its examined size), whether
// the source reported a read error, and whether it held more bytes than the
// caller's limit (for a caller whose headers cannot describe larger files).
#pragma once

#include <cstdint>
#include <cstdio>
#include <limits>

#include "coding_set.h"

class DeflateSource {
public:
    static constexpr std::int64_t NO_LIMIT = std::numeric_limits<std::int64_t>::max();

    // source: opened by the caller in binary mode, not owned; null reads as
    // an empty file. byte_limit: at most this many bytes are read (0 or
    // more). crc: the register every byte read is folded into.
    DeflateSource(std::FILE* source, std::int64_t byte_limit, coding::CrcTable32& crc)
        : source_(source), limit_(byte_limit < 0 ? 0 : byte_limit), crc_(crc) {}

    DeflateSource(const DeflateSource&) = delete;
    DeflateSource& operator=(const DeflateSource&) = delete;

    // Reads up to room bytes into destination, stopping early only at the
    // end of the source (or of the limit); returns the bytes read. Once the
    // source has ended, it is not read again: a file that grows behind us
    // does not restart the input.
    std::int32_t fill(std::uint8_t* destination, std::int32_t room);

    std::int64_t bytes_read() const { return read_; }
    bool read_failed() const { return failed_; }
    bool over_limit() const { return over_limit_; }

private:
    bool at_end() const;

    std::FILE* source_;
    std::int64_t limit_;
    coding::CrcTable32& crc_;
    std::int64_t read_ = 0;
    bool ended_ = false;
    bool failed_ = false;
    bool over_limit_ = false;
};
