#include "zip_create.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>
#include <vector>

#include "archive_output.h"
#include "coding_set.h"
#include "deflate_block_enc.h"
#include "deflate_enc.h"
#include "job_state.h"
#include "platform.h"
#include "zip_compress_ahead.h"
#include "zip_head_enc.h"

namespace {

// Versions needed to extract: 2.0 for Deflate data (and files in general),
// 1.0 for a directory, which needs nothing but its name.
constexpr std::int32_t VERSION_FILE = 20;
constexpr std::int32_t VERSION_DIRECTORY = 10;

// The error lines of one entry: its path, then one of these.
constexpr const char16_t* OPEN_FAILED = u" >> open 失敗。\n";
constexpr const char16_t* READ_FAILED = u" >> 読み込み失敗。\n";
constexpr const char16_t* CHANGED = u" >> 読み込み中に変化したので格納しない。\n";
constexpr const char16_t* NO_MEMORY = u" >> メモリ不足で格納しない。\n";
// The line of a failed write names the archive.
constexpr const char16_t* WRITE_FAILED = u" >> 書き込み失敗。\n";

// The job's option bits; none before a job is set up.
std::uint32_t job_flags() { return job_state().options != nullptr ? job_state().options->flags : 0; }

void entry_error(const ZipEntry& entry, const char16_t* suffix) { job_state().error_text += entry.path + suffix; }

class ArchiveWriter {
public:
    explicit ArchiveWriter(ArchiveOutput& output) : output_(output), encoder_(deflate_level_of(job_flags())) {}

    void store_directory(ZipEntry& entry) {
        const std::uint64_t local_offset = output_.position();
        entry.version_needed = VERSION_DIRECTORY;
        entry.method = ZIP_METHOD_STORED;
        entry.compressed_size = 0;
        entry.uncompressed_size = 0;
        // Only its offset can need ZIP64.
        if (zip64_entry(entry, local_offset)) entry.version_needed = ZIP_VERSION_ZIP64;
        local_header_write(entry);
        central_add(entry, local_offset);
    }

    // The local header goes out first, as the examined size has it; the
    // Deflate data follows in pieces as the encoder makes it, and the
    // header is then completed in place. ahead: the file's task when it was
    // queued (zip_compress_ahead.h), whose data is written as it is when it
    // ran cleanly.
    void store_file(InputFile& input, ZipEntry& entry, std::unique_ptr<AheadFile> ahead) {
        if (ahead != nullptr && ahead->ran && ahead->clean) {
            store_compressed(input, entry, *ahead);
            return;
        }
        // A task taken back before it started holds the file open.
        InputFile& source = ahead != nullptr && !ahead->ran ? ahead->input : input;
        if (&source == &input && !input.open(entry.path)) {
            entry_error(entry, OPEN_FAILED);
            return;
        }
        const std::uint64_t local_offset = output_.position();
        const std::size_t header_length = header_first(entry, source.size(), local_offset);
        MemberData data(output_, static_cast<std::uint64_t>(entry.uncompressed_size));
        try {
            std::vector<std::uint8_t> piece;
            {
                coding::ZipCoding::BitOutStream bits(piece,
                                                     [&data](std::vector<std::uint8_t>& sink) { data.take(sink); });
                DeflateBlockEnc blocks(bits, encoder_.block_entries());
                encoder_.compress(source.file(), blocks);
                blocks.finish();
                bits.flush();
            }
            data.take(piece);
        } catch (const std::bad_alloc&) {
            source.close();
            left_out(entry, NO_MEMORY, local_offset);
            return;
        }
        source.close();
        if (output_.failed()) return;
        if (encoder_.read_failed()) {
            left_out(entry, READ_FAILED, local_offset);
            return;
        }
        settle(source, entry, local_offset, header_length, data.length(), encoder_.bytes_read(),
               ~encoder_.crc.value);
    }

    // Also the encoder of files compressed ahead on this thread.
    DeflateEnc& encoder() { return encoder_; }

    // The central directory and the end record, after the last entry.
    void finish() {
        header_.clear();
        end_record_put(records_, central_.size(), output_.position(), header_);
        output_.write(central_.data(), central_.size());
        output_.write(header_.data(), header_.size());
    }

private:
    // Writes the local header of a file of the examined size at the end of
    // the archive, for Deflate data; returns its length. The data is
    // shorter than the file when it is deflated and as long when it is
    // stored, so the examined size decides whether the header has a ZIP64
    // block, and with that its length.
    std::size_t header_first(ZipEntry& entry, std::int64_t examined_size, std::uint64_t local_offset) {
        entry.method = ZIP_METHOD_DEFLATE;
        entry.uncompressed_size = std::max<std::int64_t>(examined_size, 0);
        entry.compressed_size = 0;
        version_set(entry, local_offset);
        return local_header_write(entry);
    }

    // A file compressed ahead: its header, and its data when Deflate paid.
    void store_compressed(InputFile& input, ZipEntry& entry, const AheadFile& ahead) {
        const std::uint64_t local_offset = output_.position();
        const std::size_t header_length = header_first(entry, ahead.input.size(), local_offset);
        if (ahead.length <= static_cast<std::uint64_t>(entry.uncompressed_size)) output_.write(ahead.data);
        if (output_.failed()) return;
        settle(input, entry, local_offset, header_length, ahead.length, ahead.bytes_read, ahead.crc);
    }

    // The end of a file whose compressed form is length bytes long (those
    // up to its examined size are in the archive after the header), made
    // from size bytes read with the given CRC-32.
    void settle(InputFile& input, ZipEntry& entry, std::uint64_t local_offset, std::size_t header_length,
                std::uint64_t length, std::int64_t size, std::uint32_t crc) {
        // The headers describe the bytes that were read and compressed,
        // also when the file changed since the list was made.
        const std::uint64_t limit = static_cast<std::uint64_t>(entry.uncompressed_size);
        entry.crc = crc;
        entry.uncompressed_size = size;
        // Data that was only counted (past the examined size) is not in the
        // archive: a file that grew since then is stored.
        if (static_cast<std::int64_t>(length) < size && length <= limit) {
            entry.compressed_size = static_cast<std::int64_t>(length);
            complete(entry, local_offset, header_length);
            return;
        }
        // Deflate did not help (every empty file ends here): stored, read
        // again and copied over the compressed form. The copy must be the
        // bytes the CRC was taken of; a file that changed is left out.
        output_.rewind(local_offset + header_length);
        coding::CrcTable32 check;
        switch (copy_source(input, entry.path, static_cast<std::uint64_t>(size), check, output_)) {
        case CopyResult::COPIED:
            if (~check.value == entry.crc) break;
            left_out(entry, CHANGED, local_offset);
            return;
        case CopyResult::OPEN_FAILED: left_out(entry, OPEN_FAILED, local_offset); return;
        case CopyResult::READ_FAILED: left_out(entry, READ_FAILED, local_offset); return;
        case CopyResult::CHANGED: left_out(entry, CHANGED, local_offset); return;
        }
        entry.method = ZIP_METHOD_STORED;
        entry.compressed_size = size;
        complete(entry, local_offset, header_length);
    }

    // An entry with a ZIP64 block in either header says version 4.5 in
    // both.
    static void version_set(ZipEntry& entry, std::uint64_t local_offset) {
        entry.version_needed = zip64_entry(entry, local_offset) ? ZIP_VERSION_ZIP64 : VERSION_FILE;
    }

    // Builds and writes the local header of entry at the end of the
    // archive; returns its length.
    std::size_t local_header_write(ZipEntry& entry) {
        entry.signature = ZIP_LOCAL_SIGNATURE;
        header_.clear();
        local_header_put(entry, header_);
        output_.write(header_.data(), header_.size());
        return header_.size();
    }

    // The central record of an entry whose local header and data are in
    // the archive.
    void central_add(ZipEntry& entry, std::uint64_t local_offset) {
        entry.signature = ZIP_CENTRAL_SIGNATURE;
        central_header_put(entry, local_offset, central_);
        ++records_;
    }

    // Rewrites the local header of a file entry with its final values and
    // adds its central record. A header that came out longer or shorter
    // than the one written first (the file crossed the ZIP64 line while
    // it was read) does not fit in its place: the entry is left out.
    void complete(ZipEntry& entry, std::uint64_t local_offset, std::size_t header_length) {
        version_set(entry, local_offset);
        entry.signature = ZIP_LOCAL_SIGNATURE;
        header_.clear();
        local_header_put(entry, header_);
        if (header_.size() != header_length) {
            left_out(entry, CHANGED, local_offset);
            return;
        }
        output_.patch(local_offset, header_.data(), header_.size());
        central_add(entry, local_offset);
    }

    // Takes back what went out of an entry that is left out.
    void left_out(const ZipEntry& entry, const char16_t* suffix, std::uint64_t local_offset) {
        output_.rewind(local_offset);
        entry_error(entry, suffix);
    }

    ArchiveOutput& output_;
    DeflateEnc encoder_;  // one for the job: compress starts it afresh
    ByteString header_;   // the header being written, reused
    ByteString central_;  // the central directory so far
    std::uint64_t records_ = 0;
};

}  // namespace

void encode_archive(InputFile& input, SourceList<ZipEntry>& list, const WideString& archive_path,
                    const AheadLimits& ahead_limits) {
    if (list.empty()) return;
    ArchiveOutput output(archive_path);
    if (!output.is_open()) throw "encode: file is not open.";

    ArchiveWriter writer(output);
    ZipAhead ahead(deflate_level_of(job_flags()), ahead_limits);
    // Records after one whose directory could not be entered are read in
    // that directory too; opening their relative paths anywhere else could
    // store another file of the same name.
    bool in_directory = true;
    for (std::size_t index = 0; index < list.size(); ++index) {
        ZipEntry& entry = list[index];
        if (output.failed()) break;
        if (!entry.directory.empty()) in_directory = platform::set_current_directory(entry.directory);
        entry.version_needed = VERSION_FILE;
        if (SourceEntryTraits<ZipEntry>::is_directory(entry)) {
            writer.store_directory(entry);
        } else if (!in_directory) {
            entry_error(entry, OPEN_FAILED);
        } else {
            ahead.feed(list, index, input);
            writer.store_file(input, entry, ahead.take(index, writer.encoder()));
        }
    }
    if (!output.failed()) writer.finish();
    if (!output.close()) job_state().error_text += archive_path + WRITE_FAILED;
}
