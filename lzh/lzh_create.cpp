// The LZH creation driver (see lzh_create.h).
#include "lzh_create.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <vector>

#include "archive_output.h"
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

constexpr const char16_t* SUFFIX_OPEN_FAILED = u" >> open 失敗。\n";
constexpr const char16_t* SUFFIX_READ_FAILED = u" >> read 失敗。\n";
constexpr const char16_t* SUFFIX_CHANGED = u" >> 読み込み中に変化、スキップ！\n";
constexpr const char16_t* SUFFIX_TOO_LARGE = u" >> 大き過ぎ、スキップ！\n";
constexpr const char16_t* SUFFIX_SKIPPED = u" >>スキップ！\n";

constexpr const char* METHOD_STORED = "-lh0-";
constexpr const char* METHOD_DIRECTORY = "-lhd-";

void source_error(const LZHEntry& entry, const char16_t* suffix) { job_state().error_text += entry.name + suffix; }

// What became of one record.
enum class Stored { WRITTEN, SKIPPED, WRITE_FAILED };

Stored written_if(bool ok) { return ok ? Stored::WRITTEN : Stored::WRITE_FAILED; }

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

// Takes back what went out for a record that is left out.
Stored skipped(LZHEntry& entry, const char16_t* suffix, ArchiveOutput& output, std::uint64_t header_offset) {
    output.rewind(header_offset);
    source_error(entry, suffix);
    return output.failed() ? Stored::WRITE_FAILED : Stored::SKIPPED;
}

// The file as it is (-lh0-), after its header at header_offset, in place of
// its compressed form. The copy must be the bytes that were compressed,
// which the CRC of the first reading tells; a file that changed in between
// is left out.
Stored store_as_is(InputFile& input, const WideString& path, LZHEntry& entry, LZHHeadEnc& header, ArchiveOutput& output,
                   std::uint64_t header_offset) {
    output.rewind(header_offset + header.bytes.size());
    coding::CrcTable16 check;
    switch (copy_source(input, path, static_cast<std::uint64_t>(entry.original_size), check, output)) {
    case CopyResult::COPIED:
        if (check.value == entry.data_crc) break;
        return skipped(entry, SUFFIX_CHANGED, output, header_offset);
    case CopyResult::OPEN_FAILED: return skipped(entry, SUFFIX_OPEN_FAILED, output, header_offset);
    case CopyResult::READ_FAILED: return skipped(entry, SUFFIX_READ_FAILED, output, header_offset);
    case CopyResult::CHANGED: return skipped(entry, SUFFIX_CHANGED, output, header_offset);
    }
    entry.method = METHOD_STORED;
    entry.compressed_size = entry.original_size;
    header.update(entry);
    output.patch(header_offset, header.bytes.data(), header.bytes.size());
    return written_if(!output.failed());
}

// The method of the job's new entries; -lh5- before a job is set up.
LzhCreateMethod job_method() {
    const ArchiveOptions* options = job_state().options;
    return lzh_create_method_of(options != nullptr ? options->flags : 0);
}

Stored store_file(InputFile& input, LZHEntry& entry, ArchiveOutput& output, const WideString& archive_full,
                  const HeadEncOptions& header_options) {
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

    // The header goes out first, as the listed size has it; the data
    // follows in pieces, and the header is completed once the data is out.
    // The header's length depends on the names only.
    const std::uint64_t header_offset = output.position();
    const std::uint64_t listed_size = static_cast<std::uint64_t>(std::max<std::int64_t>(entry.original_size, 0));
    entry.method = method.id;
    LZHHeadEnc header(entry, header_options);
    output.write(header.bytes);

    MemberData data(output, listed_size);
    LH5Result read;
    try {
        std::vector<std::uint8_t> piece;
        const coding::ByteDrain drain = [&data](std::vector<std::uint8_t>& sink) { data.take(sink); };
        read = method.dictionary_bits == CREATE_LH5.dictionary_bits
                   ? lh5_compress(input.file(), piece, LH5MatchFinder::FAST, drain)
                   : lh7_compress(input.file(), piece, method.dictionary_bits, drain);
        data.take(piece);
    } catch (const std::bad_alloc&) {
        input.close();
        return skipped(entry, SUFFIX_TOO_LARGE, output, header_offset);
    }
    input.close();
    if (output.failed()) return Stored::WRITE_FAILED;
    if (read.read_error) return skipped(entry, SUFFIX_READ_FAILED, output, header_offset);
    // The file may have changed since it was listed; what was compressed
    // is what the header describes.
    if (read.bytes_read >= ENTRY_SIZE_LIMIT) return skipped(entry, SUFFIX_TOO_LARGE, output, header_offset);
    entry.original_size = read.bytes_read;
    entry.data_crc = read.crc;

    const auto compressed_size = static_cast<std::int64_t>(data.length());
    // Data that was only counted (past the listed size) is not in the
    // archive: a file that grew since it was listed is then stored.
    if (compressed_size < entry.original_size && data.complete()) {
        entry.compressed_size = compressed_size;
        header.update(entry);
        output.patch(header_offset, header.bytes.data(), header.bytes.size());
        return written_if(!output.failed());
    }
    return store_as_is(input, path, entry, header, output, header_offset);
}

}  // namespace

HeadEncOptions header_options_of_job() {
    JobState& job = job_state();
    HeadEncOptions options;
    options.code_page_beside_unicode = job.cp_header_with_unicode;
    options.code_page_4byte = job.cp_header_4byte;
    options.report = job.report_on ? &job.report_text : nullptr;
    return options;
}

bool write_archive(InputFile& input, SourceList<LZHEntry>& list, std::FILE* archive, const WideString& archive_path) {
    const JobState& job = job_state();
    ArchiveOutput output(archive);
    const HeadEncOptions header_options = header_options_of_job();
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
            output.write(LZHHeadEnc(entry, header_options).bytes);
            stored = written_if(!output.failed());
        } else if (!in_place) {
            source_error(entry, SUFFIX_OPEN_FAILED);
        } else {
            stored = store_file(input, entry, output, archive_full, header_options);
        }
        if (stored == Stored::WRITE_FAILED) {
            ok = false;
            break;
        }
    }
    if (ok) {
        const std::uint8_t end_mark = 0;
        output.write(&end_mark, 1);
    }
    // Cuts off what a record taken back at the end left past the end mark.
    ok = output.close() && ok;
    if (!ok) append_archive_error(archive_path, WRITE_FAILED);
    return ok;
}

void encode(InputFile& input, SourceList<LZHEntry>& list, const WideString& archive_path) {
    if (list.empty()) return;
    std::FILE* archive = platform::open_file(archive_path, "wb");
    if (archive == nullptr) throw NOT_OPEN;
    std::setvbuf(archive, nullptr, _IOFBF, ArchiveOutput::BUFFER_SIZE);
    bool written = false;
    try {
        written = write_archive(input, list, archive, archive_path);
    } catch (...) {
        std::fclose(archive);
        throw;
    }
    if (std::fclose(archive) != 0 && written) append_archive_error(archive_path, WRITE_FAILED);
}

}  // namespace lzh
