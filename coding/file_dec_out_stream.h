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
// thread); a run of bytes goes with one fwrite and the CRC engine's run update.
//
// A large entry may hand its runs to a WriteBehind, which writes them on a
// second thread while the decoder goes on; settle() waits for them (the
// driver calls it before it completes the file), and so does the stream
// when it goes. A run that goes to the file whole is folded into the CRC on
// that thread too, just before it is written: the CRC is read only after
// settle().
//
// A format that wraps some files' data in a container of its own (MacLHA's
// MacBinary header) can have the stream hold back the first bytes of the
// data: they are folded into the CRC and counted like every byte, but kept
// here until they are all in; then a check of the format's decides whether
// they go to the file after all, or are left out together with whatever
// follows a given number of further bytes. The CRC and the count always
// cover every byte the decoder produced, as the archive's CRC does.
#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <limits>

#include "write_behind.h"

namespace coding {

template <class Crc>
class FileDecOutStream {
public:
    // output: opened by the caller in binary mode, referenced, not owned.
    // expected_size: the uncompressed size from the entry's header. Sizes
    // are 64-bit so that entries of 2 GiB to 4 GiB, which both formats can
    // describe, are not cut short.
    // behind: where runs may be written behind, for an entry larger than
    // WRITE_BEHIND_FROM; referenced, not owned.
    FileDecOutStream(std::FILE* output, std::int64_t expected_size, WriteBehind* behind = nullptr)
        : expected_size(expected_size), output_(output),
          behind_(expected_size > WRITE_BEHIND_FROM ? behind : nullptr) {
        if (output_ == nullptr) throw "FileDecOutStream: file open error.";
    }
    ~FileDecOutStream() { settle(); }

    // Entries up to this size are written in place: at most one run of the
    // output window, so there would be nothing to overlap.
    static constexpr std::int64_t WRITE_BEHIND_FROM = std::int64_t{1} << 18;

    FileDecOutStream(const FileDecOutStream&) = delete;
    FileDecOutStream& operator=(const FileDecOutStream&) = delete;

    // Folds the byte into the CRC, writes it and counts it; true (finished)
    // when the count has reached the expected size. The byte is written
    // also when the call reports finished.
    bool put(std::uint8_t byte) {
        settle();
        crc.update(byte);
        if (count >= write_from_ && count < write_to_) {
            if (put_unlocked(byte) == EOF) write_failed_ = true;
        } else if (count < held_size_) {
            hold(byte);
        }
        ++count;
        return count >= expected_size;
    }

    // The same for size bytes at once: all of them are folded, written and
    // counted, so a caller that must stop at the expected size cuts the run
    // to expected_size - count first.
    bool put(const std::uint8_t* data, std::size_t size) {
        if (size == 0) return count >= expected_size;
        const std::int64_t run_end = count + static_cast<std::int64_t>(size);
        if (behind_ != nullptr && count >= held_size_ && count >= write_from_ && run_end <= write_to_) {
            behind_->write(output_, data, size, &behind_failed_, {&fold_run, &crc});
            behind_pending_ = true;
            count = run_end;
            return count >= expected_size;
        }
        settle();
        crc.update(data, size);
        std::size_t i = 0;
        for (; i < size && count < held_size_; ++i, ++count) hold(data[i]);
        const std::int64_t end = count + static_cast<std::int64_t>(size - i);
        const std::int64_t from = std::max(count, write_from_);
        const std::int64_t to = std::min(end, write_to_);
        if (from < to) {
            write_out(data + i + (from - count), static_cast<std::size_t>(to - from));
        }
        count = end;
        return count >= expected_size;
    }

    // The largest prefix that can be held back.
    static constexpr std::size_t MAX_HELD = 128;

    // What a prefix check answers: KEEP_ALL writes the held bytes and all
    // that follows; any other value n >= 0 leaves the held bytes out and
    // writes only the n bytes after them.
    static constexpr std::int64_t KEEP_ALL = -1;
    using PrefixCheck = std::int64_t (*)(const void* context, const std::uint8_t* prefix, std::size_t size);

    // Holds back the first size bytes (at most MAX_HELD) until check has
    // seen them. Called before the first byte is put; a stream that ends
    // before they are all in has written none of them.
    void hold_prefix(std::size_t size, PrefixCheck check, const void* context) {
        held_size_ = static_cast<std::int64_t>(std::min(size, MAX_HELD));
        write_from_ = held_size_;
        check_ = check;
        check_context_ = context;
    }

    // Whether a write to the output failed (a full disk, say). The CRC
    // covers the bytes as they were handed over, so only this tells that
    // the file does not hold them.
    // With runs written behind, a failure shows once its run is written:
    // after settle() for certain.
    bool write_failed() const { return write_failed_ || behind_failed_.load(std::memory_order_relaxed); }

    // Waits for the runs written behind, so that the file is this thread's
    // again (for its time, its close) and write_failed() has the last word.
    void settle() {
        if (!behind_pending_) return;
        behind_->drain();
        behind_pending_ = false;
    }

    std::int64_t expected_size;
    std::int64_t count = 0;  // bytes put so far, held back or left out ones included
    Crc crc;                 // complete only after settle()

private:
    // The byte at count, inside the held prefix; the last one asks the check.
    void hold(std::uint8_t byte) {
        held_[static_cast<std::size_t>(count)] = byte;
        if (count + 1 < held_size_) return;
        const std::int64_t keep = check_(check_context_, held_.data(), static_cast<std::size_t>(held_size_));
        if (keep == KEEP_ALL) {
            write_out(held_.data(), static_cast<std::size_t>(held_size_));
        } else {
            write_to_ = held_size_ + keep;
        }
    }

    void write_out(const std::uint8_t* data, std::size_t size) {
        if (behind_ != nullptr) {
            behind_->write(output_, data, size, &behind_failed_, {});
            behind_pending_ = true;
        } else if (std::fwrite(data, 1, size, output_) != size) {
            write_failed_ = true;
        }
    }

    static void fold_run(void* crc, const std::uint8_t* data, std::size_t size) {
        static_cast<Crc*>(crc)->update(data, size);
    }

    int put_unlocked(std::uint8_t byte) {
#if defined(_WIN32)
        return _fputc_nolock(byte, output_);
#else
        return putc_unlocked(byte, output_);
#endif
    }

    std::FILE* output_;
    WriteBehind* behind_;
    bool write_failed_ = false;
    std::atomic<bool> behind_failed_ = false;  // set by the writing thread
    bool behind_pending_ = false;  // runs may be in flight
    // The bytes from write_from_ up to write_to_ go to the file; before
    // write_from_, those of the held prefix wait in held_.
    std::int64_t write_from_ = 0;
    std::int64_t write_to_ = std::numeric_limits<std::int64_t>::max();
    std::int64_t held_size_ = 0;
    std::array<std::uint8_t, MAX_HELD> held_{};
    PrefixCheck check_ = nullptr;
    const void* check_context_ = nullptr;
};

}  // namespace coding
