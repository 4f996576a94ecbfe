#include "zip_create.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <stdexcept>
#include <vector>

#include "coding_set.h"
#include "deflate_block_enc.h"
#include "deflate_enc.h"
#include "job_state.h"
#include "platform.h"
#include "zip_head_enc.h"

namespace {

// The most memory reserved up front for a file's compressed form.
constexpr std::int64_t RESERVE_MOST = std::int64_t{1} << 28;

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

// The archive file. The first write that fails (a full disk) makes every
// later one a no-op: the archive cannot be whole any more, and the driver
// stops at the next entry. The close flushes the last buffered bytes, so it
// can fail too.
class ArchiveOutput {
public:
    explicit ArchiveOutput(const WideString& path) : file_(platform::open_file(path, "wb")) {}
    ~ArchiveOutput() { close(); }
    ArchiveOutput(const ArchiveOutput&) = delete;
    ArchiveOutput& operator=(const ArchiveOutput&) = delete;

    bool is_open() const { return file_ != nullptr; }
    bool failed() const { return failed_; }

    void write(const void* bytes, std::size_t size) {
        if (failed_ || file_ == nullptr || size == 0) return;
        if (std::fwrite(bytes, 1, size, file_) != size) failed_ = true;
    }
    // False when this or an earlier write failed.
    bool close() {
        if (file_ != nullptr) {
            if (std::fclose(file_) != 0) failed_ = true;
            file_ = nullptr;
        }
        return !failed_;
    }

private:
    std::FILE* file_;
    bool failed_ = false;
};

enum class Reread { same, open_failed, read_failed, changed };

// The second reading of a file that is stored as it is: data receives the
// whole file again, which must be the size bytes with the CRC that the
// Deflate pass saw. Holding it in memory before the header is written
// (rather than copying it straight to the archive) is what lets a file
// that changed in between be left out instead of stored under headers
// that do not describe it. data already holds at least size bytes (the
// compressed form was not shorter), so no memory is added.
Reread reread_source(InputFile& input, const WideString& path, std::int64_t size, std::uint32_t crc,
                     std::vector<std::uint8_t>& data) {
    // A file larger than this process can address (a 32-bit build).
    if (static_cast<std::uint64_t>(size) > data.max_size()) throw std::bad_alloc();
    if (!input.open(path)) return Reread::open_failed;
    data.resize(static_cast<std::size_t>(size));
    std::FILE* file = input.file();
    const std::size_t got = std::fread(data.data(), 1, data.size(), file);
    const bool failed = std::ferror(file) != 0;
    const bool longer = !failed && got == data.size() && std::fgetc(file) != EOF;
    input.close();
    if (failed) return Reread::read_failed;
    if (got != data.size() || longer) return Reread::changed;
    coding::CrcTable32 check;
    check.update(data.data(), data.size());
    return ~check.value == crc ? Reread::same : Reread::changed;
}

class ArchiveWriter {
public:
    explicit ArchiveWriter(ArchiveOutput& output)
        : output_(output), encoder_(deflate_level_of(job_flags())) {}

    void store_directory(ZipEntry& entry) {
        entry.version_needed = VERSION_DIRECTORY;
        entry.method = ZIP_METHOD_STORED;
        entry.compressed_size = 0;
        entry.uncompressed_size = 0;
        emit(entry, nullptr, 0);
    }

    void store_file(InputFile& input, ZipEntry& entry) {
        platform::FileStatus status;
        if (platform::file_status(entry.path, status) != platform::StatResult::ok) {
            entry_error(entry, OPEN_FAILED);
            return;
        }
        if (!input.open(entry.path)) {
            entry_error(entry, OPEN_FAILED);
            return;
        }
        try {
            std::vector<std::uint8_t> data;
            // The examined size only reserves memory; what counts is what
            // is read. Large files mostly compress well (the reservation
            // is address space, not memory used), and one that does not
            // is read back whole anyway; more than RESERVE_MOST is left to
            // grow as needed, which a 32-bit build could not reserve.
            data.reserve(static_cast<std::size_t>(std::min<std::int64_t>(status.size, RESERVE_MOST)));
            {
                coding::ZipCoding::BitOutStream bits(data);
                DeflateBlockEnc blocks(bits, DeflateBlockEnc::BUFFER_ENTRIES);
                encoder_.compress(input.file(), blocks);
                blocks.finish();
                bits.flush();
            }
            input.close();
            if (encoder_.read_failed()) {
                entry_error(entry, READ_FAILED);
                return;
            }
            // The headers describe the bytes that were read and compressed,
            // also when the file changed since the list was made.
            const std::int64_t size = encoder_.bytes_read();
            entry.crc = ~encoder_.crc.value;
            entry.uncompressed_size = size;
            if (static_cast<std::int64_t>(data.size()) < size) {
                entry.method = ZIP_METHOD_DEFLATE;
                entry.compressed_size = static_cast<std::int64_t>(data.size());
                emit(entry, data.data(), data.size());
                return;
            }
            // Deflate did not help (every empty file ends here): stored.
            switch (reread_source(input, entry.path, size, entry.crc, data)) {
            case Reread::same: break;
            case Reread::open_failed: entry_error(entry, OPEN_FAILED); return;
            case Reread::read_failed: entry_error(entry, READ_FAILED); return;
            case Reread::changed: entry_error(entry, CHANGED); return;
            }
            entry.method = ZIP_METHOD_STORED;
            entry.compressed_size = size;
            emit(entry, data.data(), data.size());
        } catch (const std::bad_alloc&) {
            // A file whose compressed form does not fit in memory; the
            // memory is free again for the next one.
            input.close();
            entry_error(entry, NO_MEMORY);
        } catch (const std::length_error&) {
            // The same, past what a vector can address (a 32-bit build).
            input.close();
            entry_error(entry, NO_MEMORY);
        }
    }

    // The central directory and the end record, after the last entry.
    void finish() {
        header_.clear();
        end_record_put(records_, central_.size(), static_cast<std::uint64_t>(offset_), header_);
        output_.write(central_.data(), central_.size());
        output_.write(header_.data(), header_.size());
    }

private:
    // Both headers of an entry and its data. The central record is built
    // first (that makes the stored name) with the offset where the local
    // header is about to go; an entry with a ZIP64 block in either header
    // says version 4.5 in both.
    void emit(ZipEntry& entry, const std::uint8_t* data, std::size_t data_length) {
        const auto local_offset = static_cast<std::uint64_t>(offset_);
        if (zip64_entry(entry, local_offset)) entry.version_needed = ZIP_VERSION_ZIP64;
        entry.signature = ZIP_CENTRAL_SIGNATURE;
        central_header_put(entry, local_offset, central_);
        ++records_;
        entry.signature = ZIP_LOCAL_SIGNATURE;
        header_.clear();
        local_header_put(entry, header_);
        output_.write(header_.data(), header_.size());
        output_.write(data, data_length);
        offset_ += static_cast<std::int64_t>(header_.size() + data_length);
    }

    ArchiveOutput& output_;
    DeflateEnc encoder_;       // one for the job: compress starts it afresh
    ByteString header_;        // the header being written, reused
    ByteString central_;       // the central directory so far
    std::uint64_t records_ = 0;
    std::int64_t offset_ = 0;  // bytes written: the next local header's offset
};

}  // namespace

void encode_archive(InputFile& input, SourceList<ZipEntry>& list, const WideString& archive_path) {
    if (list.empty()) return;
    ArchiveOutput output(archive_path);
    if (!output.is_open()) throw "encode: file is not open.";

    ArchiveWriter writer(output);
    // Records after one whose directory could not be entered are read in
    // that directory too; opening their relative paths anywhere else could
    // store another file of the same name.
    bool in_directory = true;
    for (ZipEntry& entry : list) {
        if (output.failed()) break;
        if (!entry.directory.empty()) in_directory = platform::set_current_directory(entry.directory);
        entry.version_needed = VERSION_FILE;
        if (SourceEntryTraits<ZipEntry>::is_directory(entry)) {
            writer.store_directory(entry);
        } else if (!in_directory) {
            entry_error(entry, OPEN_FAILED);
        } else {
            writer.store_file(input, entry);
        }
    }
    if (!output.failed()) writer.finish();
    if (!output.close()) job_state().error_text += archive_path + WRITE_FAILED;
}
