// FileDecOutStream: the sink for the decoded bytes of one extracted entry.
//
// Every byte a decoder produces, literal or copied from its window, and
// every byte of a stored entry passes through put: it is folded into the
// CRC, written to the output file and counted, and put says when the
// entry's uncompressed size has been reached. The extraction driver then
// compares the CRC register with the one stored in the archive.
//
// The CRC engine is the library's: CrcTable16 for LZH, CrcTable32 for ZIP.
// Bytes go straight into the output file's own stdio buffer, so nothing is
// pending here when the driver closes the file, even when a decoder throws
// in the middle of an entry or stops early. A byte is stored without the
// stream lock that fputc takes for every call (the file belongs to one
// thread); a run of bytes goes with one fwrite and an eight-byte-wide CRC.
#pragma once

#include <cstddef>
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
        if (put_unlocked(byte) == EOF) write_failed_ = true;
        ++count;
        return count >= expected_size;
    }

    // The same for size bytes at once: all of them are folded, written and
    // counted, so a caller that must stop at the expected size cuts the run
    // to expected_size - count first.
    bool put(const std::uint8_t* data, std::size_t size) {
        crc.update(data, size);
        if (size > 0 && std::fwrite(data, 1, size, output_) != size) write_failed_ = true;
        count += static_cast<std::int64_t>(size);
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
    int put_unlocked(std::uint8_t byte) {
#if defined(_WIN32)
        return _fputc_nolock(byte, output_);
#else
        return putc_unlocked(byte, output_);
#endif
    }

    std::FILE* output_;
    bool write_failed_ = false;
};

}  // namespace coding
