// FileDecOutStream: the sink for the decoded bytes of one extracted entry.
//
// Every byte a decoder produces, literal or copied from its window, and
// every byte of a stored entry passes through put: it is folded into the
// CRC, written to the output file and counted, and put says when the
// entry's uncompressed size has been reached. The extraction driver then
// compares the CRC register with the one stored in the archive.
//
// The CRC engine is the library's: CrcTable16 for LZH, CrcTable32 for ZIP.
// Bytes go straight to the output file (whose own stdio buffer makes that
// cheap), so nothing is pending when the driver closes the file, even when
// a decoder throws in the middle of an entry.
#pragma once

#include <cstdint>
#include <cstdio>

namespace coding {

template <class Crc>
class FileDecOutStream {
public:
    // output: opened by the caller in binary mode, referenced, not owned.
    // expected_size: the uncompressed size from the entry's header. Sizes
    // are 64-bit so that entries of 2 GiB to 4 GiB, which both formats can
    // describe, are not cut short.
    FileDecOutStream(std::FILE* output, std::int64_t expected_size)
        : expected_size(expected_size), output_(output) {
        if (output_ == nullptr) throw "FileDecOutStream: file open error.";
    }

    FileDecOutStream(const FileDecOutStream&) = delete;
    FileDecOutStream& operator=(const FileDecOutStream&) = delete;

    // Folds the byte into the CRC, writes it and counts it; true (finished)
    // when the count has reached the expected size. The byte is written
    // also when the call reports finished.
    bool put(std::uint8_t byte) {
        crc.update(byte);
        if (std::fputc(byte, output_) == EOF) write_failed_ = true;
        ++count;
        return count >= expected_size;
    }

    // Whether a write to the output failed (a full disk, say). The CRC
    // covers the bytes as they were handed over, so only this tells that
    // the file does not hold them.
    bool write_failed() const { return write_failed_; }

    std::int64_t expected_size;
    std::int64_t count = 0;  // bytes written so far
    Crc crc;

private:
    std::FILE* output_;
    bool write_failed_ = false;
};

}  // namespace coding
