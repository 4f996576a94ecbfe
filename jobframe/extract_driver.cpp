// The non-template steps of the extraction driver (see extract_driver.h).
#include "extract_driver.h"

platform::BoxAnswer ask_overwrite(const WideString& question) {
    const platform::BoxAnswer answer =
        platform::message_box(question, u"上書き確認!?", platform::BoxKind::yes_no_cancel);
    if (answer == platform::BoxAnswer::yes || answer == platform::BoxAnswer::no) return answer;
    return platform::BoxAnswer::cancel;
}

void set_member_time(const WideString& path, std::int64_t exact_time, const DateRecord& local_time) {
    platform::FileStatus status;
    if (platform::file_status(path, status) != platform::StatResult::ok) return;
    std::int64_t seconds = exact_time;
    if (seconds < 0 && !from_date_record(local_time, seconds)) return;
    platform::set_file_time(path, seconds);
}
