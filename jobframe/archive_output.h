// ArchiveOutput: the archive file a creation driver writes, and the two
// ways a member's data reaches it.
//
// A member's header carries the sizes and the CRC of its data, which are
// known only once the data has been made. So the header goes out first as
// it is expected to be, the data is written after it in pieces as the coder
// makes it (MemberData), and the header is then rewritten in place with the
// final values (patch). Memory stays bounded whatever the size of a file.
// A member that is dropped after some of it went out (its source turned out
// unreadable or changed) is taken back (rewind), and the next one is
// written over it; what lies past the end of the archive when it is closed
// is cut off, so a member taken back last leaves nothing behind either.
//
// The bytes of the member being written wait in a buffer of BUFFER_SIZE:
// a small member's header is rewritten there, and the member goes out
// with one write when it is complete (patch flushes), instead of a write,
// a seek back, a rewrite and a seek forward. A member taken back while it
// is all in the buffer never reaches the file. A longer member streams
// through, and its header is rewritten in the file.
//
// The first write, seek or cut that fails makes every later call a no-op:
// the archive cannot be whole any more. failed() and close() report it;
// a member's bytes have been handed to the file when its patch returns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "archive_files.h"
#include "text_types.h"

class ArchiveOutput {
public:
    static constexpr std::size_t BUFFER_SIZE = std::size_t{1} << 16;

    // Creates or truncates path for binary writing; owned and closed here.
    explicit ArchiveOutput(const WideString& path);
    // A stream the caller opened in binary mode, at its start, and closes.
    explicit ArchiveOutput(std::FILE* file);
    ~ArchiveOutput() { close(); }
    ArchiveOutput(const ArchiveOutput&) = delete;
    ArchiveOutput& operator=(const ArchiveOutput&) = delete;

    bool is_open() const { return file_ != nullptr; }
    bool failed() const { return failed_; }
    // Bytes in the archive so far: where the next write goes.
    std::uint64_t position() const { return position_; }

    void write(const void* bytes, std::size_t size);
    void write(const std::vector<std::uint8_t>& bytes) { write(bytes.data(), bytes.size()); }
    // Rewrites size bytes at offset, below position(), and goes on at the
    // end again.
    void patch(std::uint64_t offset, const void* bytes, std::size_t size);
    // Takes back everything from offset on: the next write goes there.
    void rewind(std::uint64_t offset);
    // Cuts off what lies past position() and, when owned, closes the file.
    // False when this or an earlier step failed. Closing twice is harmless.
    bool close();

private:
    void seek(std::uint64_t offset);
    // Hands the buffer to the file (and the file's own buffer to the
    // system), so that a failure shows now.
    void flush();
    // Writes to the file at its own position, past the buffer.
    void write_through(const void* bytes, std::size_t size);

    std::FILE* file_;
    bool owned_;
    bool failed_ = false;
    std::uint64_t position_ = 0;
    std::uint64_t written_end_ = 0;     // the farthest any write to the file reached
    std::vector<std::uint8_t> buffer_;  // the bytes from position_ - size() on
};

// The compressed data of one member, drained from the coder's byte sink
// (bit_out_stream.h) straight into the archive. Once limit bytes have come
// (the member's size as it is, at which point compression has not paid and
// the member will be stored and written again) the rest is only counted.
class MemberData {
public:
    MemberData(ArchiveOutput& output, std::uint64_t limit) : output_(output), limit_(limit) {}

    // Writes what sink holds and empties it.
    void take(std::vector<std::uint8_t>& sink);
    // Bytes taken in all, and whether all of them are in the archive.
    std::uint64_t length() const { return length_; }
    bool complete() const { return length_ <= limit_; }

private:
    ArchiveOutput& output_;
    std::uint64_t limit_;
    std::uint64_t length_ = 0;
};

// The second reading of a source that is stored as it is, copied to the
// archive through a buffer of bounded size and folded into crc (an engine
// of crc_table.h, as the caller started it). COPIED when the source gave
// exactly size bytes; the caller compares the CRC with that of the first
// reading, since a source can change in between.
enum class CopyResult { COPIED, OPEN_FAILED, READ_FAILED, CHANGED };

template <class Crc>
CopyResult copy_source(InputFile& input, const WideString& path, std::uint64_t size, Crc& crc, ArchiveOutput& output) {
    if (!input.open(path)) return CopyResult::OPEN_FAILED;
    std::vector<std::uint8_t> buffer(ArchiveOutput::BUFFER_SIZE);
    std::uint64_t copied = 0;
    for (;;) {
        const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), input.file());
        if (got == 0) break;
        copied += got;
        // A source longer than the first reading: no need to copy on.
        if (copied > size) break;
        crc.update(buffer.data(), got);
        output.write(buffer.data(), got);
    }
    const bool failed = std::ferror(input.file()) != 0;
    input.close();
    if (failed) return CopyResult::READ_FAILED;
    return copied == size ? CopyResult::COPIED : CopyResult::CHANGED;
}
