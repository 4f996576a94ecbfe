// A stand-in codec library for the launcher tests. Built twice, as kanna
// (RECORDING_LZH: LZHEncode, LZHDecode) and as nomi (RECORDING_ZIP:
// ZIPEncode, ZIPDecode), it does no archive work: each call appends to a log
// file what the launcher handed over, so that a test can see which export
// ran, in which order, with which paths, archive name, options record and
// current directory.
//
// Log record, one "key=value" line each, UTF-8, ending with "end":
//   export=LZHDecode
//   count=2
//   paths_array=set            ("null" when the array pointer was null)
//   path=/abs/a.lzh            (once per path, in order)
//   archive=/abs/out.lzh       (Encode only; "archive_null" line when null)
//   flags=0x00001000
//   code_page=0
//   locale_name=
//   locale_name_ref=null       ("self" when it points at locale_name)
//   separator_char=92
//   max_name_length=1024
//   dialog_limit=1000
//   cwd=/abs/dir
//   end
//
// The log path comes from TSUCHI_RECORD_LOG; TSUCHI_RECORD_REPORT=text makes
// every export return a report text, =empty an empty one, anything else
// null. In-process tests, which cannot set environment variables portably,
// call recording_configure instead while they hold the library loaded.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "archive_exports.h"

namespace {

std::string configured_log;
std::string configured_report;
bool configured = false;

// UTF-16 to UTF-8; an unpaired surrogate becomes "?".
std::string utf8(const char16_t* text) {
    std::string out;
    for (; text != nullptr && *text != 0; ++text) {
        char32_t c = *text;
        if (c >= 0xD800 && c <= 0xDBFF && text[1] >= 0xDC00 && text[1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[1] - 0xDC00);
            ++text;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = u'?';
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string setting(const char* variable, const std::string& configured_value) {
    if (configured) {
        return configured_value;
    }
    const char* value = std::getenv(variable);
    return value != nullptr ? value : "";
}

std::string current_directory() {
    std::error_code error;
    const std::filesystem::path cwd = std::filesystem::current_path(error);
    if (error) {
        return "<unknown>";
    }
    const std::u8string text = cwd.u8string();
    return std::string(text.begin(), text.end());
}

const char16_t* record(const char* export_name, const char16_t* report, std::int32_t count,
                       const char16_t* const* paths, bool encode, const char16_t* archive_path,
                       const ArchiveOptions* options) {
    std::string text = std::string("export=") + export_name + "\n";
    text += "count=" + std::to_string(count) + "\n";
    text += std::string("paths_array=") + (paths != nullptr ? "set" : "null") + "\n";
    for (std::int32_t i = 0; paths != nullptr && i < count; ++i) {
        text += "path=" + utf8(paths[i]) + "\n";
    }
    if (encode) {
        text += archive_path != nullptr ? "archive=" + utf8(archive_path) + "\n" : "archive_null\n";
    }
    char flags[16];
    std::snprintf(flags, sizeof flags, "0x%08X", static_cast<unsigned>(options->flags));
    text += std::string("flags=") + flags + "\n";
    text += "code_page=" + std::to_string(options->code_page) + "\n";
    text += "locale_name=" + utf8(options->locale_name) + "\n";
    const char* ref = options->locale_name_ref == nullptr                ? "null"
                      : options->locale_name_ref == options->locale_name ? "self"
                                                                         : "other";
    text += std::string("locale_name_ref=") + ref + "\n";
    text += "separator_char=" + std::to_string(options->separator_char) + "\n";
    text += "max_name_length=" + std::to_string(options->max_name_length) + "\n";
    text += "dialog_limit=" + std::to_string(options->dialog_limit) + "\n";
    text += "cwd=" + current_directory() + "\nend\n";

    const std::string log = setting("TSUCHI_RECORD_LOG", configured_log);
    if (!log.empty()) {
        std::ofstream out(std::filesystem::path(std::u8string(log.begin(), log.end())),
                          std::ios::binary | std::ios::app);
        out << text;
    }
    const std::string mode = setting("TSUCHI_RECORD_REPORT", configured_report);
    if (mode == "text") {
        return report;
    }
    return mode == "empty" ? u"" : nullptr;
}

}  // namespace

ARCHIVE_EXPORT void recording_configure(const char* log_path, const char* report_mode) {
    configured_log = log_path != nullptr ? log_path : "";
    configured_report = report_mode != nullptr ? report_mode : "";
    configured = true;
}

#if defined(RECORDING_LZH)
ARCHIVE_ENCODE_SIGNATURE(LZHEncode) {
    return record("LZHEncode", u"LZHEncode の報告", count, paths, true, archive_path, options);
}
ARCHIVE_DECODE_SIGNATURE(LZHDecode) {
    return record("LZHDecode", u"LZHDecode の報告", count, paths, false, nullptr, options);
}
#elif defined(RECORDING_ZIP)
ARCHIVE_ENCODE_SIGNATURE(ZIPEncode) {
    return record("ZIPEncode", u"ZIPEncode の報告", count, paths, true, archive_path, options);
}
ARCHIVE_DECODE_SIGNATURE(ZIPDecode) {
    return record("ZIPDecode", u"ZIPDecode の報告", count, paths, false, nullptr, options);
}
#else
#error "RECORDING_LZH or RECORDING_ZIP selects the library"
#endif
