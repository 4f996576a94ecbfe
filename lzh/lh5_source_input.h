// LH5SourceInput: the source file of one -lh5- compression, read once from
// start to end, with its CRC-16 and its length taken on the way.
//
// The archive header that follows the compressed data carries the CRC and
// the original size, so whatever the encoder reads is counted here: every
// byte goes into the CRC and the count. A read error ends the input like
// the end of the file; the caller learns of it from read_error, and of a
// file that changed its size from bytes_read. Once the input has ended it
// is not read again, so the bytes encoded are exactly the bytes counted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "crc_table.h"

namespace lzh {

class LH5SourceInput {
public:
    // source: opened by the caller in binary mode, not owned; null reads as
    // an empty file. crc: the register that every byte read is folded into.
    LH5SourceInput(std::FILE* source, coding::CrcTable16& crc)
        : source_(source), crc_(crc), ended_(source == nullptr) {}

    LH5SourceInput(const LH5SourceInput&) = delete;
    LH5SourceInput& operator=(const LH5SourceInput&) = delete;

    // The next byte (0 to 255), or -1 once the source has ended or failed.
    int byte_get();

    // Up to size bytes into data; fewer only when the source ends or fails
    // on the way. Returns the number of bytes stored.
    std::size_t read(std::uint8_t* data, std::size_t size);

    bool ended() const { return ended_; }
    std::int64_t bytes_read() const { return bytes_read_; }
    bool read_error() const { return read_error_; }

private:
    void end_input();

    std::FILE* source_;
    coding::CrcTable16& crc_;
    std::int64_t bytes_read_ = 0;
    bool ended_;
    bool read_error_ = false;
};

}  // namespace lzh
