// Runs the export ZIPDecode in-process, as the launcher calls it after
// loading the library: a fresh job state (a newly loaded library), the
// options record, the archives as absolute paths, the message boxes
// answered from a script and recorded. For test programs that compile the
// export definitions in.
#pragma once

#include <vector>

#include "archive_exports.h"
#include "message_box.h"
#include "test_options.h"
#include "zip_test_support.h"

namespace ziptest {

struct DecodeRun {
    std::vector<RecordedBox> boxes;
    WideString error_text;
    WideString report_text;
    WideString header_text;
};

inline ArchiveOptions default_options(std::uint32_t flags = 0, std::int32_t code_page = 0) {
    return test_common::make_options(flags, code_page);
}

inline DecodeRun zip_decode(const std::vector<fs::path>& archives, ArchiveOptions options = default_options(),
                            std::vector<platform::BoxAnswer> answers = {}) {
    restore_locale();
    job_state() = JobState{};
    std::vector<WideString> paths;
    for (const fs::path& archive : archives) paths.push_back(wide_of(fs::absolute(archive)));
    std::vector<const char16_t*> pointers;
    for (const WideString& path : paths) pointers.push_back(path.c_str());
    DecodeRun run;
    {
        ScriptedMessageBoxes boxes(std::move(answers));
        EXPECT_EQ(ZIPDecode(static_cast<std::int32_t>(pointers.size()), pointers.empty() ? nullptr : pointers.data(),
                            &options),
                  nullptr);
        EXPECT_EQ(boxes.answers_left(), 0u) << "questions expected but not asked";
        run.boxes = boxes.boxes();
    }
    run.error_text = job_state().error_text;
    run.report_text = job_state().report_text;
    run.header_text = job_state().header_text;
    return run;
}

// The UTF-8 form of a wide text, for messages of failed expectations.
inline std::string utf8_of(const WideString& text) {
    const std::u8string bytes = fs::path(text).u8string();
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace ziptest
