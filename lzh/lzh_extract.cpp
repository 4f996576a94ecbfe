// The LZH extraction driver (see lzh_extract.h).
#include "lzh_extract.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "dir_path.h"
#include "job_state.h"
#include "lh5_dec.h"
#include "lzh_coding.h"
#include "lzh_head_dec.h"
#include "message_box.h"
#include "platform.h"
#include "truncated_fill.h"

namespace lzh {

namespace {

const WideString METHOD_LH5 = u"-lh5-";
const WideString METHOD_LH0 = u"-lh0-";
const WideString METHOD_LHD = u"-lhd-";

#if defined(FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION)
// Under the fuzzer a few bytes may legitimately decode to gigabytes (the
// zero-bit codes of -lh5- cost nothing per symbol); each entry is cut at
// this size so that a run explores inputs instead of writing.
constexpr std::int64_t FUZZ_OUTPUT_LIMIT = std::int64_t{1} << 20;
#endif

class ArchiveFile {
public:
    explicit ArchiveFile(const WideString& path) : file_(platform::open_file(path, "rb")) {}
    ~ArchiveFile() {
        if (file_ != nullptr) std::fclose(file_);
    }
    ArchiveFile(const ArchiveFile&) = delete;
    ArchiveFile& operator=(const ArchiveFile&) = delete;
    std::FILE* get() const { return file_; }

private:
    std::FILE* file_;
};

WideString widened(const std::string& text) {
    WideString wide;
    for (const char c : text) wide.push_back(static_cast<unsigned char>(c));
    return wide;
}

bool is_separator(char16_t c) {
    return c == u'/' || c == u'\\';
}

// The stored-name conversion already makes every name harmless; this is
// the last word before a file is created: a relative path, no drive or
// stream colon, and no component that the file systems take for "." or
// "..".
bool is_safe_output_path(const WideString& path) {
    if (path.empty() || is_separator(path.front())) return false;
    if (path.find(u':') != WideString::npos) return false;
    std::size_t begin = 0;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size() && !is_separator(path[i])) continue;
        bool dots_only = i > begin;
        bool has_dot = false;
        for (std::size_t k = begin; k < i; ++k) {
            if (path[k] == u'.') {
                has_dot = true;
            } else if (path[k] != u' ') {
                dots_only = false;
            }
        }
        if (dots_only && has_dot) return false;
        begin = i + 1;
    }
    return true;
}

// The directory part of an output path: everything up to its last "/" or
// "\". Names from MS-DOS-era archives carry their directories with "\"
// inside the name.
WideString output_directory_of(const WideString& path) {
    const auto last = std::find_if(path.rbegin(), path.rend(), is_separator);
    if (last == path.rend()) return WideString();
    return path.substr(0, static_cast<std::size_t>(path.rend() - last));
}

// Skips count bytes of entry data; the end of the archive ends the skip.
void skip_data(BitInStream& reader, std::int64_t count) {
    for (std::int64_t i = 0; i < count; ++i) {
        if (reader.byte_get() < 0) return;
    }
}

// Stored data: original-size bytes copied as they are.
void copy_stored(BitInStream& reader, FileDecOutStream& out) {
    while (out.count < out.expected_size) {
        const int c = reader.byte_get();
        if (c < 0) {
            fill_truncated_entry(out);
            return;
        }
        if (out.put(static_cast<std::uint8_t>(c)) || out.write_failed()) return;
    }
}

// The header's time: the stored seconds at level 2, the local wall-clock
// time of the MS-DOS stamp otherwise, with daylight saving left for the C
// library to decide.
bool entry_time(const LZHHeadDec& head, std::int64_t& seconds) {
    if (head.stored_time >= 0) {
        seconds = head.stored_time;
        return true;
    }
    const platform::LocalTime local{head.year, head.month, head.day, head.hour, head.minute, head.second};
    return platform::from_local_time(local, seconds);
}

enum class Overwrite { yes, skip, cancel };

Overwrite ask_overwrite(const LZHHeadDec& head, const WideString& path) {
    JobState& job = job_state();
    const int answer = ask_yes_no_cancel(
        head.name + u"\n既に存在するが上書きする？、[いいえ]で スキップ、[キャンセル]で 中止。", u"上書き確認!?");
    if (answer == 1) return Overwrite::yes;
    if (answer == -2) {
        if (job.report_on) job.report_text += u"   >> スキップ！\n";
        job.error_text += path + u" >>スキップ！\n";
        return Overwrite::skip;
    }
    if (job.report_on) job.report_text += u"   >> 中止！\n";
    job.error_text += path + u" >>中止！\n";
    return Overwrite::cancel;
}

}  // namespace

void decode(OutputFile& output, const WideString& archive_path) {
    JobState& job = job_state();
    const ArchiveFile archive(archive_path);
    if (archive.get() == nullptr) throw "decode: file is not found.";
    BitInStream reader(archive.get());

    for (;;) {
        const LZHHeadDec head(reader);
        if (head.level < 0) return;
        const std::int64_t data_start = reader.byte_position();
        const std::int64_t data_size = head.data_size();
        const WideString path = head.directory + head.name;

        if (!is_safe_output_path(path)) {
            job.error_text += u"内部ファイル名の取得に失敗 >>スキップ!\n";
            skip_data(reader, data_size);
            continue;
        }
        const WideString method = widened(head.method);
        if (method != METHOD_LH5 && method != METHOD_LH0 && method != METHOD_LHD) {
            job.error_text += path + u" >> " + method + u", this file-type is not support.\n";
            skip_data(reader, data_size);
            continue;
        }
        // A failure shows up when the output cannot be opened.
        const WideString directory = output_directory_of(path);
        if (!directory.empty()) DirPath(directory).make();
        if (method == METHOD_LHD) {
            skip_data(reader, data_size);  // nothing, unless the header says otherwise
            continue;
        }

        platform::FileStatus status;
        if (platform::file_status(path, status) == platform::StatResult::ok) {
            const Overwrite answer = ask_overwrite(head, path);
            if (answer == Overwrite::cancel) return;
            if (answer == Overwrite::skip) {
                skip_data(reader, data_size);
                continue;
            }
        }
        if (!output.open(path)) {
            job.error_text += path + u" >>出力のオープンに失敗\n";
            skip_data(reader, data_size);
            continue;
        }

        std::int64_t output_size = head.original_size;
#if defined(FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION)
        output_size = std::min(output_size, FUZZ_OUTPUT_LIMIT);
#endif
        FileDecOutStream out(output.file(), output_size);
        // An empty entry reads nothing, whatever its method.
        if (output_size > 0) {
            if (method == METHOD_LH5) {
                LH5Dec decoder(reader);
                LH5DecWindow window;
                window.decode_entry(decoder, out);
            } else {
                copy_stored(reader, out);
            }
        }
        // Whatever of the entry's data the decoder left unread (padding, or
        // all of it for an empty entry) is skipped, so that the next header
        // is read where the compressed size puts it.
        const std::int64_t consumed = reader.byte_position() - data_start;
        if (consumed < data_size) skip_data(reader, data_size - consumed);

        const bool closed = output.close();
        if (out.write_failed() || !closed) {
            job.error_text += path + u" >>出力の書き込みに失敗\n";
        } else if (out.crc.value != head.data_crc || out.count != output_size) {
            job.error_text += head.name + u" >> CRC error!\n";
        }

        std::int64_t seconds = 0;
        if (platform::file_status(path, status) == platform::StatResult::ok && entry_time(head, seconds)) {
            platform::set_file_time(path, seconds);
        }
    }
}

}  // namespace lzh
