// The LZH creation driver (see lzh_create.h).
#include "lzh_create.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <vector>

#include "crc_table.h"
#include "job_state.h"
#include "lh5_enc.h"
#include "lh7_enc.h"
#include "lzh_create_method.h"
#include "lzh_head_enc.h"
#include "platform.h"
#include "result_report.h"

namespace lzh {

namespace {

constexpr const char* NOT_OPEN = "encode: file is not open.";
constexpr const char* WRITE_FAILED = "encode: file write failed.";

// The archive is written in large pieces (headers, whole compressed
// members); the buffer spares the system calls for the small ones.
constexpr std::size_t ARCHIVE_BUFFER_SIZE = 1 << 16;

const WideString SUFFIX_OPEN_FAILED = u" >> open 失敗。\n";
const WideString SUFFIX_READ_FAILED = u" >> read 失敗。\n";
const WideString SUFFIX_CHANGED = u" >> 読み込み中に変化、スキップ！\n";
const WideString SUFFIX_TOO_LARGE = u" >> 大き過ぎ、スキップ！\n";
const WideString SUFFIX_SKIPPED = u" >>スキップ！\n";

const std::string METHOD_STORED = "-lh0-";
const std::string METHOD_DIRECTORY = "-lhd-";

void source_error(const LZHEntry& entry, const WideString& suffix) {
    job_state().error_text += entry.name + suffix;
}

// The archive stream; after the first failed write nothing more is tried.
class ArchiveSink {
public:
    explicit ArchiveSink(std::FILE* file) : file_(file) {}

    bool put(const std::uint8_t* data, std::size_t size) {
        if (failed_) return false;
        if (size != 0 && std::fwrite(data, 1, size, file_) != size) failed_ = true;
        return !failed_;
    }
    bool put(const std::vector<std::uint8_t>& bytes) { return put(bytes.data(), bytes.size()); }
    // The header goes out right before the data it describes.
    bool put_header(LZHEntry& entry) { return put(LZHHeadEnc(entry).bytes); }
    bool flush() {
        if (!failed_ && std::fflush(file_) != 0) failed_ = true;
        return !failed_;
    }

private:
    std::FILE* file_;
    bool failed_ = false;
};

// What became of one record.
enum class Stored { WRITTEN, SKIPPED, WRITE_FAILED };

Stored written_if(bool ok) { return ok ? Stored::WRITTEN : Stored::WRITE_FAILED; }

// The second read of a file that goes out as it is, into bytes. SAME when
// it yields exactly size bytes with the CRC of the compression pass; a file
// that is shorter, longer or different now is not the file the header
// describes.
enum class Reread { SAME, OPEN_FAILED, READ_FAILED, CHANGED };

Reread read_again(InputFile& input, const WideString& path, std::int64_t size, std::uint16_t crc,
                  std::vector<std::uint8_t>& bytes) {
    if (!input.open(path)) return Reread::OPEN_FAILED;
    bytes.resize(static_cast<std::size_t>(size));
    const std::size_t got = bytes.empty() ? 0 : std::fread(bytes.data(), 1, bytes.size(), input.file());
    const bool longer = got == bytes.size() && std::fgetc(input.file()) != EOF;
    const bool failed = std::ferror(input.file()) != 0;
    input.close();
    if (failed) return Reread::READ_FAILED;
    if (got != bytes.size() || longer) return Reread::CHANGED;
    coding::CrcTable16 check;
    check.update(bytes.data(), bytes.size());
    return check.value == crc ? Reread::SAME : Reread::CHANGED;
}

// The full form of a path with "/" separators, to compare paths that the
// walk and the caller formed in different ways; empty when it cannot be
// formed.
WideString comparable_path(const WideString& path) {
    WideString full;
    if (!platform::full_path(path, full)) return WideString();
    std::replace(full.begin(), full.end(), u'\\', u'/');
    return full;
}

// Whether path, relative to the current directory, is the archive being
// written (an existing archive inside a dropped folder, replaced): reading
// it would store the archive's own first bytes in it.
bool is_the_archive(const WideString& path, const WideString& archive_full) {
    return !archive_full.empty() && comparable_path(path) == archive_full;
}

// The method of the job's new entries; -lh5- before a job is set up.
LzhCreateMethod job_method() {
    const ArchiveOptions* options = job_state().options;
    return lzh_create_method_of(options != nullptr ? options->flags : 0);
}

Stored store_file(InputFile& input, LZHEntry& entry, ArchiveSink& sink, const WideString& archive_full) {
    const LzhCreateMethod method = job_method();
    if (entry.original_size >= ENTRY_SIZE_LIMIT) {
        source_error(entry, SUFFIX_TOO_LARGE);
        return Stored::SKIPPED;
    }
    const WideString path = entry.directory + entry.name;
    if (is_the_archive(path, archive_full)) {
        source_error(entry, SUFFIX_SKIPPED);
        return Stored::SKIPPED;
    }
    if (!input.open(path)) {
        source_error(entry, SUFFIX_OPEN_FAILED);
        return Stored::SKIPPED;
    }

    std::vector<std::uint8_t> data;
    LH5Result read;
    try {
        // Room for data as large as the file, the most that is kept.
        data.reserve(static_cast<std::size_t>(std::max<std::int64_t>(entry.original_size, 0)));
        read = method.dictionary_bits == CREATE_LH5.dictionary_bits
                   ? lh5_compress(input.file(), data)
                   : lh7_compress(input.file(), data, method.dictionary_bits);
    } catch (const std::bad_alloc&) {
        input.close();
        source_error(entry, SUFFIX_TOO_LARGE);
        return Stored::SKIPPED;
    }
    input.close();
    if (read.read_error) {
        source_error(entry, SUFFIX_READ_FAILED);
        return Stored::SKIPPED;
    }
    // The file may have changed since it was listed; what was compressed
    // is what the header describes.
    if (read.bytes_read >= ENTRY_SIZE_LIMIT) {
        source_error(entry, SUFFIX_TOO_LARGE);
        return Stored::SKIPPED;
    }
    entry.original_size = read.bytes_read;
    entry.data_crc = read.crc;

    const auto compressed_size = static_cast<std::int64_t>(data.size());
    if (compressed_size < entry.original_size) {
        entry.method = method.id;
        entry.compressed_size = compressed_size;
        return written_if(sink.put_header(entry) && sink.put(data));
    }

    // Stored as it is. Nothing seeks back in the archive, so the bytes are
    // read and checked before the header goes out.
    std::vector<std::uint8_t>().swap(data);
    std::vector<std::uint8_t> bytes;
    Reread again;
    try {
        again = read_again(input, path, entry.original_size, entry.data_crc, bytes);
    } catch (const std::bad_alloc&) {
        input.close();
        source_error(entry, SUFFIX_TOO_LARGE);
        return Stored::SKIPPED;
    }
    switch (again) {
    case Reread::SAME:
        break;
    case Reread::OPEN_FAILED:
        source_error(entry, SUFFIX_OPEN_FAILED);
        return Stored::SKIPPED;
    case Reread::READ_FAILED:
        source_error(entry, SUFFIX_READ_FAILED);
        return Stored::SKIPPED;
    case Reread::CHANGED:
        source_error(entry, SUFFIX_CHANGED);
        return Stored::SKIPPED;
    }
    entry.method = METHOD_STORED;
    entry.compressed_size = entry.original_size;
    return written_if(sink.put_header(entry) && sink.put(bytes));
}

// Closes the archive whatever leaves encode.
class ArchiveFile {
public:
    explicit ArchiveFile(std::FILE* file) : file_(file) {}
    ~ArchiveFile() { close(); }
    ArchiveFile(const ArchiveFile&) = delete;
    ArchiveFile& operator=(const ArchiveFile&) = delete;
    std::FILE* get() const { return file_; }
    // False when the last buffered bytes could not be written.
    bool close() {
        if (file_ == nullptr) return true;
        const bool ok = std::fclose(file_) == 0;
        file_ = nullptr;
        return ok;
    }

private:
    std::FILE* file_;
};

}  // namespace

bool write_archive(InputFile& input, SourceList<LZHEntry>& list, std::FILE* archive,
                   const WideString& archive_path) {
    const JobState& job = job_state();
    ArchiveSink sink(archive);
    const WideString archive_full = comparable_path(archive_path);
    // After a change directory that could not be made, the records read in
    // it would be other files of the same names: they are not opened.
    bool in_place = true;
    bool ok = true;
    for (LZHEntry& entry : list) {
        if (!entry.change_directory.empty()) {
            in_place = platform::set_current_directory(entry.change_directory);
        }
        Stored stored = Stored::SKIPPED;
        if (entry.is_directory()) {
            if (!job.empd) continue;
            entry.method = METHOD_DIRECTORY;
            entry.original_size = 0;
            entry.compressed_size = 0;
            stored = written_if(sink.put_header(entry));
        } else if (!in_place) {
            source_error(entry, SUFFIX_OPEN_FAILED);
        } else {
            stored = store_file(input, entry, sink, archive_full);
        }
        if (stored == Stored::WRITE_FAILED) {
            ok = false;
            break;
        }
    }
    if (ok) {
        const std::uint8_t end_mark = 0;
        ok = sink.put(&end_mark, 1) && sink.flush();
    }
    if (!ok) append_archive_error(archive_path, WRITE_FAILED);
    return ok;
}

void encode(InputFile& input, SourceList<LZHEntry>& list, const WideString& archive_path) {
    if (list.empty()) return;
    ArchiveFile archive(platform::open_file(archive_path, "wb"));
    if (archive.get() == nullptr) throw NOT_OPEN;
    std::setvbuf(archive.get(), nullptr, _IOFBF, ARCHIVE_BUFFER_SIZE);
    const bool written = write_archive(input, list, archive.get(), archive_path);
    if (!archive.close() && written) append_archive_error(archive_path, WRITE_FAILED);
}

}  // namespace lzh
