// The extraction driver of both libraries: extracts one archive into the
// current directory (the job's destination), member by member, in the
// order the library's member source hands them out.
//
// A library brings, in one traits type L:
//   L::Source         its member source, made from the open archive file:
//                       Member              ExtractMember<its method id>
//                       bool next(Member&)  the next member; false at the
//                                           end of the archive. Damage is
//                                           thrown as text, the member then
//                                           holding the names read before it.
//                       void skip()         passes over the member's data
//                       void decode(decoder, sink)
//                                           the member's data through the
//                                           decoder into the sink
//                     A member may carry a refusal: it gets that error
//                     line and is skipped. A source may also offer
//                     after_data_problem(): what was wrong after the
//                     member's data, as the text of an error line.
//   L::Coding         its coding set (coding_set.h): the sink and its CRC
//   L::decoder_for(method)  the member decoder of a method, a function
//                     (bit stream, sink); null when the method is not read
//   L::method_text(method)  the method as the error line names it
//   L::RULES          the ways in which the libraries differ (ExtractRules)
//
// Per member the driver decodes the names, checks the output path, makes
// the directories, asks before an existing file is overwritten, writes the
// data through the decoder, checks size and CRC and sets the file time.
// What goes wrong with one member becomes a line of the job's error text;
// the user's Cancel ends the archive. A missing archive is thrown as
// "decode: file is not found.".
#pragma once

#include <cstdint>

#include "archive_files.h"
#include "dir_path.h"
#include "file_system.h"
#include "job_state.h"
#include "member_path.h"
#include "platform.h"
#include "text_types.h"

// What the two libraries have always done differently, and keep doing so
// that no archive extracts otherwise than it did. The defaults are the LZH
// library's.
struct ExtractRules {
    // A name's directories move into the directory part: boxes and the CRC
    // line show the last component only.
    bool split_name = false;
    // A member of an unknown method ends the archive instead of being
    // skipped with an error line.
    bool unsupported_method_ends_archive = false;
    // A path ending in a separator is a directory entry.
    bool trailing_separator_is_directory = false;
    // When not null, a member that could not be written ends the archive
    // with this text instead of getting an error line.
    const char* write_failure_text = nullptr;
    const char16_t* name_failed_line = u"内部ファイル名の取得に失敗 >>スキップ!\n";
    const char16_t* overwrite_question = u"\n既に存在するが上書きする？、[いいえ]で スキップ、[キャンセル]で 中止。";
    const char16_t* skip_report_line = u"   >> スキップ！\n";
};

// The overwrite question for an existing file: yes, no or cancel (a box
// closed otherwise counts as cancel).
platform::BoxAnswer ask_overwrite(const WideString& question);

// Sets the member's time on the file at path, when the file is there.
void set_member_time(const WideString& path, std::int64_t exact_time, const DateRecord& local_time);

template <class L>
void extract_archive(OutputFile& output, const WideString& archive_path) {
    JobState& job = job_state();
    InputFile archive;
    if (!archive.open(archive_path)) throw "decode: file is not found.";
    constexpr ExtractRules rules = L::RULES;
    typename L::Source source(archive.file());
    typename L::Source::Member member;

    for (;;) {
        try {
            if (!source.next(member)) return;
        } catch (const char*) {
            // The names read before the damage still appear in the report.
            if (job.report_on) decode_member_path(member.name_parts, rules.split_name);
            throw;
        }
        const MemberPath names = decode_member_path(member.name_parts, rules.split_name);
        const WideString path = names.full();
        const auto decoder = L::decoder_for(member.method);
        if (decoder == nullptr && rules.unsupported_method_ends_archive) return;

        if (!is_safe_output_path(path)) {
            job.error_text += rules.name_failed_line;
            source.skip();
            continue;
        }
        if (!member.refusal.empty()) {
            job.error_text += path + u" >> " + member.refusal + u"\n";
            source.skip();
            continue;
        }
        if (decoder == nullptr) {
            job.error_text += path + u" >> " + L::method_text(member.method) + u", this file-type is not support.\n";
            source.skip();
            continue;
        }
        // A failure shows up when the output cannot be opened.
        const WideString directory = output_directory_of(path);
        if (!directory.empty()) DirPath(directory).make();
        if (member.directory_entry || (rules.trailing_separator_is_directory && ends_with_separator(path))) {
            source.skip();  // nothing, unless the header says otherwise
            continue;
        }

        // A path whose status cannot be read is taken for an existing file.
        if (path_exists(path.c_str()) != 0) {
            const platform::BoxAnswer answer = ask_overwrite(names.name + rules.overwrite_question);
            if (answer == platform::BoxAnswer::no) {
                if (job.report_on) job.report_text += rules.skip_report_line;
                job.error_text += path + u" >>スキップ！\n";
                source.skip();
                continue;
            }
            if (answer != platform::BoxAnswer::yes) {
                if (job.report_on) job.report_text += u"   >> 中止！\n";
                job.error_text += path + u" >>中止！\n";
                return;
            }
        }
        if (!output.open(path)) {
            job.error_text += path + u" >>出力のオープンに失敗\n";
            source.skip();
            continue;
        }

        typename L::Coding::FileDecOutStream out(output.file(), member.size);
        source.decode(decoder, out);
        const bool closed = output.close();
        if (out.write_failed() || !closed) {
            if (rules.write_failure_text != nullptr) throw rules.write_failure_text;
            job.error_text += path + u" >>出力の書き込みに失敗\n";
        } else if (out.crc.stored_value() != member.crc || out.count != member.size) {
            job.error_text += names.name + u" >> CRC error!\n";
        }
        // A source that checks what follows the data says so here.
        if constexpr (requires { source.after_data_problem(); }) {
            if (!source.after_data_problem().empty()) job.error_text += path + u" >> " + source.after_data_problem() + u"\n";
        }
        set_member_time(path, member.exact_time, member.local_time);
    }
}
