// Job setup from the options record (see job_setup.h).
#include "job_setup.h"

#include "file_system.h"
#include "job_state.h"
#include "message_box.h"
#include "platform.h"
#include "text_convert.h"

namespace {

// The record used when a caller passes none: the launcher's defaults,
// made afresh for every job.
ArchiveOptions& default_options() {
    static ArchiveOptions options;
    return init_archive_options(options);
}

// The locale name field up to its terminator. The field has a fixed size;
// a record whose name fills it without a terminator is cut at its end
// instead of being read past it.
WideString locale_name_of(const ArchiveOptions& options) {
    WideString name;
    for (int i = 0; i < LOCALE_NAME_LENGTH && options.locale_name[i] != 0; ++i) {
        name.push_back(options.locale_name[i]);
    }
    return name;
}

// The runtime library's locale objects are made from narrow names: the low
// byte of each character, as the narrow interface would see it.
platform::LocaleHandle create_locale_object(const WideString& name) {
    char narrow[LOCALE_NAME_LENGTH];
    narrow_low_bytes(name.c_str(), narrow, LOCALE_NAME_LENGTH);
    WideString low_bytes;
    for (const char* p = narrow; *p != 0; ++p) {
        low_bytes.push_back(static_cast<unsigned char>(*p));
    }
    return platform::create_ctype_locale(low_bytes);
}

}  // namespace

bool check_arguments(std::int32_t count, const char16_t* const* paths) {
    // A negative count, or a count with no array behind it, would make the
    // frame read paths that are not there: treat both as no arguments.
    if (count <= 0 || paths == nullptr) {
        show_message(u"引数が無い。", u"使い方のエラー");
        return false;
    }
    return true;
}

WideString path_argument(const char16_t* const* paths, std::int32_t i) {
    const char16_t* path = paths[i];
    return path != nullptr ? WideString(path) : WideString();
}

bool setup_job(ArchiveOptions* options) {
    JobState& job = job_state();
    if (options == nullptr) {
        options = &default_options();
    }
    job.options = options;
    const std::uint32_t flags = options->flags;
    job.report_on = (flags & OPT_REPORT) != 0;

    job.start_directory.clear();
    current_directory(job.start_directory);

    if (options->max_name_length != 0) {
        job.name_length_limit = options->max_name_length;
    }
    if (options->separator_char != 0) {
        job.separator_byte = static_cast<char>(options->separator_char & 0xFF);
    }

    // A code page given explicitly is checked before any name is converted
    // with it; 0 means none was given and is never checked.
    bool validate_code_page = false;
    const WideString locale_name = locale_name_of(*options);
    if (!locale_name.empty()) {
        options->locale_name_ref = options->locale_name;
        if (flags & OPT_LOCALE_OBJECT) {
            // A locale the runtime library cannot make is not an error: the
            // handle stays null and names go through the process locale.
            job.locale_object = create_locale_object(locale_name);
            job.locale_mode = LOCALE_OBJECT;
        } else {
            bool ok = false;
            WideString previous = platform::set_ctype_locale(locale_name, ok);
            if (!ok) {
                show_message(u"指定の Local の設定に失敗。中止。", u"エラー");
                return false;
            }
            job.previous_locale = previous;
            job.locale_mode = LOCALE_PROCESS;
        }
    } else if (flags & OPT_CODEPAGE_SET) {
        validate_code_page = true;
    }

    if (job.create_mode) {
        if (flags & OPT_EMPTY_DIRS) {
            job.empd = true;
        }
        if (flags & OPT_CODEPAGE_HEADER_SHORT) {
            job.cp_header_4byte = false;
        }
        if (flags & OPT_CODEPAGE_HEADER) {
            job.cp_header = true;
            if (flags & OPT_UNICODE_HEADER) {
                job.cp_header_with_unicode = true;
            }
        }
        if ((flags & OPT_UNICODE_HEADER) && (flags & OPT_CODEPAGE_SET)) {
            job.cp_header_with_unicode = true;
        }
        // UTF-16 names asked for on their own go to the LZH Unicode records;
        // the narrow record beside them gets the code-page form, the one
        // the writer uses without any Unicode option, so that readers
        // without those records still find the names of their system.
        if ((flags & OPT_UTF16) && !(flags & OPT_UNICODE_HEADER)) {
            job.cp_header_with_unicode = true;
        }
        if (job.cp_header) {
            if (options->code_page != 0) {
                validate_code_page = true;
            } else {
                job.ansi_code_page = platform::ansi_code_page();
            }
        }
    }

    if (validate_code_page && options->code_page != 0 && !platform::code_page_available(options->code_page)) {
        show_message(u"指定の CodePage は、利用できない。中止。", u"エラー");
        // The job stops here; it must not leave the locale it set behind.
        restore_locale();
        return false;
    }
    return true;
}

void restore_locale() {
    JobState& job = job_state();
    switch (job.locale_mode) {
    case LOCALE_OBJECT:
        if (job.locale_object != nullptr) {
            platform::free_ctype_locale(job.locale_object);
        }
        job.locale_object = nullptr;
        break;
    case LOCALE_PROCESS:
        platform::restore_ctype_locale(job.previous_locale);
        job.previous_locale.clear();
        break;
    default: break;
    }
    job.locale_mode = LOCALE_NONE;
}
