// The non-template steps of the extraction driver (see extract_driver.h).
#include "extract_driver.h"

#include <cstdio>

platform::BoxAnswer ask_overwrite(const WideString& question) {
    const platform::BoxAnswer answer =
        platform::message_box(question, u"上書き確認!?", platform::BoxKind::yes_no_cancel);
    if (answer == platform::BoxAnswer::yes || answer == platform::BoxAnswer::no) return answer;
    return platform::BoxAnswer::cancel;
}

void set_member_time(StagedFile& output, std::int64_t exact_time, const DateRecord& local_time) {
    std::int64_t seconds = exact_time;
    if (seconds < 0 && !from_date_record(local_time, seconds)) return;
    output.set_time_at_commit(seconds);
}

void write_link_text(StagedFile& output, const ByteString& target) {
    if (std::fwrite(target.data(), 1, target.size(), output.file()) != target.size()) output.mark_failed();
}
