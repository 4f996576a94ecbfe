// Result text, report file and final message of a job (see result_report.h).
#include "result_report.h"

#include "file_system.h"
#include "job_state.h"
#include "message_box.h"
#include "path_text.h"
#include "platform.h"
#include "text_convert.h"

namespace {

// The settings line: which form stored names take in this job. The first
// rule that applies names it; the 0xFF separator is added to any of them.
WideString settings_line(const JobState& job, const ArchiveOptions& options) {
    const std::uint32_t flags = options.flags;
    WideString line;
    if (job.locale_mode == LOCALE_OBJECT || job.locale_mode == LOCALE_PROCESS) {
        line += job.locale_mode == LOCALE_OBJECT ? u"locale_t: " : u"setlocale: ";
        for (int i = 0; i < LOCALE_NAME_LENGTH && options.locale_name[i] != 0; ++i) {
            line.push_back(options.locale_name[i]);
        }
    } else if (flags & OPT_UNICODE_HEADER) {
        line += u"Unicode_Header0x44,45";
        if (job.cp_header_with_unicode) {
            const std::int32_t code_page = options.code_page != 0 ? options.code_page : job.ansi_code_page;
            line += u", CP_Header0x46: " + int_to_wide(code_page);
        }
    } else if (options.code_page != 0) {
        line += u"CodePage: " + int_to_wide(options.code_page);
        if (job.cp_header) {
            line += u", CP_Header0x46";
        }
    } else if (flags & (OPT_UTF8 | OPT_UTF16)) {
        line += (flags & OPT_UTF8) ? u"UTF8" : u"UTF16";
        if (flags & OPT_UTF16) {
            line += (flags & OPT_BIG_ENDIAN) ? u" BE" : u" LE";
        }
        if (flags & OPT_BOM) {
            line += u" BOM";
        }
    }
    if (flags & OPT_FF_SEPARATOR) {
        line += u", 0xFF_Delemiter";
    }
    line += u"\n";
    return line;
}

// The limit comes from the caller's record; before setup_job there is none,
// and the launcher's default applies.
std::int32_t dialog_limit_of(const JobState& job) { return job.options != nullptr ? job.options->dialog_limit : 1000; }

// The errors that a report could not take, for the box that says so: a
// line feed, then as many whole lines as fit the dialog limit, and a mark
// when some were left out. A single line longer than the limit is cut.
WideString errors_for_box(const WideString& errors, std::int32_t limit) {
    WideString shown;
    if (errors.empty()) {
        return shown;
    }
    shown.push_back(u'\n');
    const std::size_t room = limit > 0 ? static_cast<std::size_t>(limit) : 0;
    if (errors.size() <= room) {
        shown.append(errors);
        return shown;
    }
    std::size_t cut = errors.rfind(u'\n', room == 0 ? 0 : room - 1);
    cut = cut == WideString::npos || cut >= room ? room : cut + 1;
    // Never half a surrogate pair.
    if (cut > 0 && errors[cut - 1] >= 0xD800 && errors[cut - 1] <= 0xDBFF) {
        --cut;
    }
    shown.append(errors, 0, cut);
    if (cut > 0 && errors[cut - 1] != u'\n') {
        shown.push_back(u'\n');
    }
    shown.append(u"(以下省略)\n");
    return shown;
}

}  // namespace

void start_report(const WideString& header) {
    JobState& job = job_state();
    job.header_text = header;
    job.report_text.clear();
    job.error_text.clear();
    if (job.report_on && job.options != nullptr) {
        job.report_text += settings_line(job, *job.options);
    }
}

void append_archive_error(const WideString& archive_path, const char* message) {
    JobState& job = job_state();
    const WideString text = message != nullptr ? code_page_cstr_to_wide(message, 0) : WideString();
    job.error_text += u"エラー: " + archive_path + u"\n  " + text + u"\n";
}

void append_creation_error(const char* message) {
    JobState& job = job_state();
    const WideString text = message != nullptr ? code_page_cstr_to_wide(message, 0) : WideString();
    job.error_text += u"エラー: \n" + text + u"\n";
}

WideString report_file_name(bool has_errors, bool avoid_existing) {
    const JobState& job = job_state();
    WideString base;
    if (job.extract_mode) {
        base = file_name_of(job.first_source) + u"_dec";
    } else if (job.create_mode) {
        base = file_name_of(job.archive_path) + u"_enc";
    }
    if (has_errors) {
        base += u"_err";
    }
    base += u"_report";

    WideString name = base + u".txt";
    // Anything but a clear "missing" (a file, a directory, a link even
    // when its target is missing, a status that cannot be read) makes the
    // name unusable.
    if (avoid_existing && path_taken(name)) {
        for (int i = 1; i <= 9; ++i) {
            name = base + u"_" + int_to_wide(i) + u".txt";
            if (!path_taken(name)) {
                return name;
            }
        }
        return WideString();
    }
    return name;
}

void finish_job() {
    JobState& job = job_state();
    // The creation driver changes the current directory per source
    // directory; the report file belongs in the start directory.
    if (job.create_mode) {
        platform::set_current_directory(job.start_directory);
    }

    bool shown = false;
    bool write = job.report_on;
    const std::size_t error_length = job.error_text.size();
    if (error_length > 0) {
        const std::int32_t limit = dialog_limit_of(job);
        // A negative limit is below every length: the errors go to the box.
        const bool too_long_for_file = limit < 0 || error_length > static_cast<std::size_t>(limit);
        if (!job.report_on && too_long_for_file) {
            show_message(job.header_text + job.error_text, u"エラー");
            shown = true;
        } else {
            write = true;
            job.report_text += u"\nError:\n" + job.error_text;
        }
    }

    if (write) {
        job.report_text = job.header_text + job.report_text;
        const WideString path = report_file_name(error_length > 0, true);
        if (!path.empty() && write_report_file(job.report_text, path, true)) {
            job.header_text += u"レポート: " + path;
        } else {
            show_message(job.header_text + u"結果レポートのファイルへの書き込みに失敗。" +
                             errors_for_box(job.error_text, dialog_limit_of(job)),
                         u"エラー");
            shown = true;
        }
    }

    if (!shown) {
        show_message(job.header_text, u"終了");
    }
}
