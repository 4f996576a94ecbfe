// The frame of a create export (LZHEncode, ZIPEncode): argument check, job
// setup, the source file list and the archive name, the question before an
// existing archive is replaced, one driver call for the whole job with its
// fatal error caught, and the end of the job.
//
// The driver writes the archive. It is called as
//     create_archive(InputStream& input, SourceList<Entry>& list,
//                    const WideString& archive_path)
// with a newly made input stream object that is not yet open (the driver
// opens and closes it per source file), the list in storing order and the
// full path of the archive. The stream object is destroyed after the call.
// The driver may append lines to the job's error_text (problems with one
// source, a write error on the archive) and, while report_on, to
// report_text; it may change the current directory, which finish_job puts
// back. A fatal error is a thrown narrow text (const char*): it ends the
// job, which still ends normally with finish_job; nothing else thrown is
// caught here.
#pragma once

#include <cstdint>

#include "archive_options.h"
#include "job_setup.h"
#include "job_state.h"
#include "result_report.h"
#include "source_list.h"
#include "text_types.h"

// Shows "ファイル・リストの作成に失敗。": no archive name could be formed or
// nothing was left to store.
void report_empty_file_list();

// True when the job may write archive_path: nothing exists there, or the
// user answered Yes to the question "上書き確認!?" (whose text starts with
// the job's header).
bool confirm_archive_overwrite(const WideString& header, const WideString& archive_path);

// extension: the library's default, appended to a derived archive name
// only (".lzh" or ".zip"); a given archive path is used unchanged.
template <class Entry, class InputStream, class CreateArchive>
const char16_t* run_create_job(std::int32_t count, const char16_t* const* paths, const char16_t* archive_path,
                               ArchiveOptions* options, const WideString& extension, CreateArchive&& create_archive) {
    JobState& job = job_state();
    job.create_mode = true;
    if (!check_arguments(count, paths)) {
        return nullptr;
    }
    if (!setup_job(options)) {
        return nullptr;
    }

    // An empty archive path counts as none.
    const bool archive_given = archive_path != nullptr && archive_path[0] != 0;
    WideString archive_name = archive_given ? WideString(archive_path) : WideString();
    SourceList<Entry> list;
    build_file_list<Entry>(count, paths, list, archive_name);
    if (archive_name.empty() || list.empty()) {
        report_empty_file_list();
        // The job stops here; it must not leave the locale it set behind.
        restore_locale();
        return nullptr;
    }
    if (!archive_given) {
        archive_name += extension;
    }
    job.archive_path = archive_name;
    const WideString header = u"保存名: " + archive_name + u"\n";
    if (!confirm_archive_overwrite(header, archive_name)) {
        restore_locale();
        return nullptr;
    }

    start_report(header);
    try {
        InputStream input;
        create_archive(input, list, job.archive_path);
    } catch (const char* message) {
        append_creation_error(message);
    }

    restore_locale();
    finish_job();
    // No text crosses back: the library has shown the result itself.
    return nullptr;
}
