// Runs the export ZIPDecode in-process, as the launcher calls it after
// loading the library: a fresh job state (a newly loaded library), the
// options record, the archives as absolute paths, the message boxes
// answered from a script and recorded. For test programs that compile the
// export definitions in.
#pragma once

#include <vector>

#include "export_run.h"
#include "test_options.h"
#include "zip_test_support.h"

namespace ziptest {

using DecodeRun = test_common::ExportRun;

inline ArchiveOptions default_options(std::uint32_t flags = 0, std::int32_t code_page = 0) {
    return test_common::make_options(flags, code_page);
}

// ZIPDecode on a fresh job state (a newly loaded library), the archives as
// absolute paths.
inline DecodeRun zip_decode(const std::vector<fs::path>& archives, ArchiveOptions options = default_options(),
                            std::vector<platform::BoxAnswer> answers = {}) {
    test_common::reset_job_state();
    std::vector<WideString> paths;
    for (const fs::path& archive : archives) paths.push_back(wide_of(fs::absolute(archive)));
    return test_common::run_decode(ZIPDecode, paths, options, std::move(answers));
}

// The UTF-8 form of a wide text, for messages of failed expectations.
inline std::string utf8_of(const WideString& text) {
    const std::u8string bytes = fs::path(text).u8string();
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace ziptest
