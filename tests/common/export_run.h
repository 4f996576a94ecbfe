// A library's export called in-process as the launcher calls it after
// loading the library: the paths as an argument list, the message boxes
// answered from a script and recorded, and what the job left in its state
// (error lines, report lines, the header of the final boxes). For test
// programs that compile the export definitions in.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "archive_exports.h"
#include "job_setup.h"
#include "job_state.h"
#include "message_box.h"
#include "text_types.h"

namespace test_common {

// Forgets everything a previous job left in the library's job state, as a
// newly loaded library starts.
inline void reset_job_state() {
    restore_locale();
    job_state() = JobState{};
}

struct ExportRun {
    std::vector<RecordedBox> boxes;
    WideString errors;
    WideString report;
    WideString header;
};

// Whether an answer of the script that no question took fails the test
// (allowed: a script given to be safe, as for a job that may ask).
enum class Unasked { fails, allowed };

// Calls call(count, paths) with the boxes scripted.
template <class Call>
ExportRun run_export(const std::vector<WideString>& paths, std::vector<platform::BoxAnswer> answers, Unasked unasked,
                     Call call) {
    std::vector<const char16_t*> pointers;
    for (const WideString& path : paths) pointers.push_back(path.c_str());
    ExportRun run;
    {
        ScriptedMessageBoxes script(std::move(answers));
        EXPECT_EQ(call(static_cast<std::int32_t>(pointers.size()), pointers.empty() ? nullptr : pointers.data()),
                  nullptr);
        if (unasked == Unasked::fails) {
            EXPECT_EQ(script.answers_left(), 0u) << "questions expected but not asked";
        }
        run.boxes = script.boxes();
    }
    const JobState& job = job_state();
    run.errors = job.error_text;
    run.report = job.report_text;
    run.header = job.header_text;
    return run;
}

inline ExportRun run_decode(DecodeExport decode, const std::vector<WideString>& archives, ArchiveOptions& options,
                            std::vector<platform::BoxAnswer> answers = {}, Unasked unasked = Unasked::fails) {
    return run_export(archives, std::move(answers), unasked,
                      [&](std::int32_t count, const char16_t* const* paths) { return decode(count, paths, &options); });
}

// archive: the archive to create, null for the one the job names itself.
inline ExportRun run_encode(EncodeExport encode, const std::vector<WideString>& sources, const char16_t* archive,
                            ArchiveOptions& options, std::vector<platform::BoxAnswer> answers = {},
                            Unasked unasked = Unasked::fails) {
    return run_export(sources, std::move(answers), unasked, [&](std::int32_t count, const char16_t* const* paths) {
        return encode(count, paths, archive, &options);
    });
}

}  // namespace test_common
