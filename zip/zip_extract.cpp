#include "zip_extract.h"

#include <cstdio>

#include "dec_window.h"
#include "deflate_dec.h"
#include "dir_path.h"
#include "file_system.h"
#include "job_state.h"
#include "message_box.h"
#include "platform.h"
#include "zip_entry.h"
#include "zip_head_dec.h"

namespace {

// Closes the archive on every way out.
class ArchiveInput {
public:
    explicit ArchiveInput(const WideString& path) : file_(platform::open_file(path, "rb")) {}
    ~ArchiveInput() {
        if (file_ != nullptr) std::fclose(file_);
    }
    ArchiveInput(const ArchiveInput&) = delete;
    ArchiveInput& operator=(const ArchiveInput&) = delete;
    std::FILE* file() const { return file_; }

private:
    std::FILE* file_;
};

// Drops an entry's compressed data. The end of the archive ends it early:
// every further byte would be missing too.
void skip_entry(ZipBitInStream& input, std::int64_t compressed_size) {
    for (std::int64_t i = 0; i < compressed_size; ++i) {
        if (input.byte_get() < 0) return;
    }
}

// A stored entry is its bytes as they are. One cut short by the end of the
// archive is an error like a cut Deflate stream: the file keeps the bytes
// that were there, and no made-up bytes are added.
void copy_stored(ZipBitInStream& input, ZipFileDecOutStream& out, std::int64_t size) {
    for (std::int64_t i = 0; i < size; ++i) {
        const int byte = input.byte_get();
        if (byte < 0) throw "It finished on the way.";
        out.put(static_cast<std::uint8_t>(byte));
    }
}

void set_modification_time(const WideString& name, const ZipHeaderReader& header) {
    platform::FileStatus status;
    if (platform::file_status(name, status) != platform::StatResult::ok) return;
    const platform::LocalTime local{header.year, header.month, header.day,
                                    header.hour, header.minute, header.second};
    std::int64_t seconds = 0;
    // DOS stamps are local wall-clock time; the conversion decides
    // daylight saving for that date itself.
    if (platform::from_local_time(local, seconds)) platform::set_file_time(name, seconds);
}

enum class Overwrite { yes, skip, cancel };

Overwrite ask_overwrite(const WideString& name) {
    JobState& job = job_state();
    const int answer = ask_yes_no_cancel(
        name + u"\n既に存在するが上書きする？ [いいえ]で スキップ、[キャンセル]で 中止。", u"上書き確認!?");
    if (answer > 0) return Overwrite::yes;
    if (answer < 0) {
        if (job.report_on) job.report_text += u"   >> スキップ\n";
        job.error_text += name + u" >>スキップ！\n";
        return Overwrite::skip;
    }
    if (job.report_on) job.report_text += u"   >> 中止！\n";
    job.error_text += name + u" >>中止！\n";
    return Overwrite::cancel;
}

}  // namespace

void decode_archive(MemberOutput& output, const WideString& archive_path) {
    const ArchiveInput archive(archive_path);
    if (archive.file() == nullptr) throw "decode: file is not found.";
    ZipBitInStream input(archive.file());
    JobState& job = job_state();
    ZipHeaderReader header;

    for (;;) {
        header.read(input);
        if (header.signature != ZIP_LOCAL_SIGNATURE ||
            (header.method != ZIP_METHOD_STORED && header.method != ZIP_METHOD_DEFLATE)) {
            return;
        }
        const WideString& name = header.name;
        if (name.empty()) {
            job.error_text += u"Zip内ファイル名の取得に失敗 >>スキップ\n";
            skip_entry(input, header.compressed_size);
            continue;
        }

        // Older Windows tools wrote "\" between the directories of a name,
        // so either separator ends the directory part.
        const std::size_t cut = name.find_last_of(u"/\\");
        if (cut != WideString::npos) {
            if (cut > 0) DirPath(name.substr(0, cut)).make();
            if (cut + 1 == name.size()) {
                // A directory entry. Its data, if a tool wrote any, is
                // dropped so that the next header is found where it is.
                skip_entry(input, header.compressed_size);
                continue;
            }
        }

        if (path_exists(name.c_str()) != 0) {
            const Overwrite answer = ask_overwrite(name);
            if (answer == Overwrite::cancel) return;
            if (answer == Overwrite::skip) {
                skip_entry(input, header.compressed_size);
                continue;
            }
        }

        if (!output.open(name)) {
            job.error_text += name + u" >>出力のオープンに失敗\n";
            skip_entry(input, header.compressed_size);
            continue;
        }
        ZipFileDecOutStream out(output.file(), header.uncompressed_size);
        if (header.method == ZIP_METHOD_DEFLATE) {
            DeflateDec decoder(input);
            DecWindow window;
            window.decode_entry(decoder, out);
        } else {
            copy_stored(input, out, header.uncompressed_size);
        }
        if (!output.close() || out.write_failed()) throw "decode_archive: the output file could not be written.";

        if ((out.crc.value ^ 0xFFFFFFFFu) != header.crc) job.error_text += name + u" >> CRC error!\n";
        set_modification_time(name, header);
    }
}
