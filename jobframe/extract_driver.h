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
//                     opening_line(): an error line on how the archive
//                     is read (empty when as usual), and
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
#include <utility>

#include "archive_files.h"
#include "file_system.h"
#include "job_state.h"
#include "member_path.h"
#include "output_place.h"
#include "platform.h"
#include "staged_file.h"
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

// The line of a link member, after its path: what was written instead.
inline constexpr const char16_t* LINK_WRITTEN_AS_FILE_LINE =
    u" >> シンボリックリンクは作らず、リンク先を書いたファイルとして出力。\n";

// Writes a link member's target text into its file; a failed write marks
// the file failed.
void write_link_text(StagedFile& output, const ByteString& target);

// The overwrite question for an existing file: yes, no or cancel (a box
// closed otherwise counts as cancel).
platform::BoxAnswer ask_overwrite(const WideString& question);

// Gives the member's time to the file it is written to, to be set when
// the file is complete.
void set_member_time(StagedFile& output, std::int64_t exact_time, const DateRecord& local_time);

template <class L>
void extract_archive(StagedFile& output, const WideString& archive_path) {
    JobState& job = job_state();
    InputFile archive{InputFile::Buffer::RUNTIME};
    if (!archive.open(archive_path)) throw "decode: file is not found.";
    constexpr ExtractRules rules = L::RULES;
    typename L::Source source(archive.file(), archive.size());
    if constexpr (requires { source.opening_line(); }) job.error_text += source.opening_line();
    typename L::Source::Member member;
    DirectoryTrail trail;
    // Writes large members' runs while the next ones are decoded; declared
    // before the members' streams, so that it outlives them.
    typename L::Coding::WriteBehind write_behind;

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
        // Every directory of the path is entered from the one before it,
        // none through a link; a path that meets a link or a file is
        // refused here, before anything is made or written.
        const bool directory_only =
            member.directory_entry || (rules.trailing_separator_is_directory && ends_with_separator(path));
        const WideString place_path = directory_only ? output_directory_of(path) : path;
        OutputPlace place;
        if (!place_path.empty()) {
            const PlaceResult placed = place.enter(place_path, true, &trail);
            if (placed != PlaceResult::ok) {
                job.error_text += place_error_line(path, placed, place.refused_part());
                source.skip();
                continue;
            }
        }
        if (directory_only) {
            source.skip();  // nothing, unless the header says otherwise
            continue;
        }

        // A link at the name counts as an existing file: Yes replaces the
        // link itself, never what it points to.
        const platform::NodeKind standing = place.kind();
        if (standing != platform::NodeKind::missing) {
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
        // The member is written beside its name and renamed into place when
        // complete; a decoder that throws leaves the temporary file to the
        // output object, which removes it.
        // A directory at the name cannot be replaced by a file.
        if (standing == platform::NodeKind::directory ||
            !output.open(std::move(place), Staging::unnamed_where_possible, standing == platform::NodeKind::missing)) {
            job.error_text += path + u" >>出力のオープンに失敗\n";
            source.skip();
            continue;
        }

        const bool target_in_header = member.link && !member.link_target_in_data;
        typename L::Coding::FileDecOutStream out(output.file(), target_in_header ? 0 : member.size, &write_behind);
        if (target_in_header) {
            write_link_text(output, member.link_target);
            source.skip();
        } else {
            source.decode(decoder, out);
        }
        out.settle();
        if (out.write_failed()) output.mark_failed();
        set_member_time(output, member.exact_time, member.local_time);
        if (!output.commit()) {
            if (rules.write_failure_text != nullptr) throw rules.write_failure_text;
            job.error_text += path + u" >>出力の書き込みに失敗\n";
            continue;
        }
        if (member.link) job.error_text += path + LINK_WRITTEN_AS_FILE_LINE;
        if (!target_in_header && (out.crc.stored_value() != member.crc || out.count != member.size)) {
            job.error_text += names.name + u" >> CRC error!\n";
        }
        // A source that checks what follows the data says so here.
        if constexpr (requires { source.after_data_problem(); }) {
            if (!source.after_data_problem().empty())
                job.error_text += path + u" >> " + source.after_data_problem() + u"\n";
        }
    }
}
