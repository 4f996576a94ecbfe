// The frame of an extract export (LZHDecode, ZIPDecode): argument check,
// job setup, one driver call per archive with the driver's fatal errors
// caught, and the end of the job.
//
// The driver extracts one archive into the current directory, which the
// caller made the destination. It is called as
//     extract_archive(OutputStream& output, const WideString& archive_path)
// with a newly made output stream object that is not yet open; the driver
// opens and closes it per member. The stream object is destroyed after the
// call, before the next archive. A fatal error is a thrown narrow text
// (const char*): it ends that archive only and becomes an error line of the
// job; nothing else thrown is caught here.
#pragma once

#include <cstdint>

#include "archive_options.h"
#include "job_setup.h"
#include "job_state.h"
#include "result_report.h"
#include "text_types.h"

template <class OutputStream, class ExtractArchive>
const char16_t* run_extract_job(std::int32_t count, const char16_t* const* paths, ArchiveOptions* options,
                                ExtractArchive&& extract_archive) {
    JobState& job = job_state();
    job.extract_mode = true;
    if (!check_arguments(count, paths)) {
        return nullptr;
    }
    if (!setup_job(options)) {
        return nullptr;
    }
    job.first_source = path_argument(paths, 0);
    start_report(u"展開先: " + job.start_directory + u"\n");

    for (std::int32_t i = 0; i < count; ++i) {
        const WideString archive_path = path_argument(paths, i);
        try {
            OutputStream output;
            extract_archive(output, archive_path);
        } catch (const char* message) {
            append_archive_error(archive_path, message);
        }
    }

    restore_locale();
    finish_job();
    // No text crosses back: the library has shown the result itself.
    return nullptr;
}
