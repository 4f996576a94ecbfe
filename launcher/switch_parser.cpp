// Switch recognition. A switch is an argument whose first character is "/"
// or "-"; its body is the rest. The body's length picks the table that is
// consulted, so "/zip" and "/z" are different rows and "/D:a" (a body of
// three characters) never reaches the destination rule. Letters A-Z match
// either case, nothing else is folded, and a body that matches no row is
// dropped without a word: the launcher is started by drag and drop and has
// no console to complain on. On POSIX absolute paths start with "/" too:
// see is_path_argument.
#include "switch_parser.h"

#include <cstdint>
#include <limits>

#include "classify_job.h"
#include "file_system.h"
#include "path_text.h"
#include "platform.h"
#include "text_convert.h"

namespace {

// Windows code page of UTF-8; "/CP:8" and "/CP:-8" are short for it.
constexpr std::int32_t CODE_PAGE_UTF8 = 65001;
constexpr std::int32_t CODE_PAGE_JAPANESE = 932;

bool is_switch(const WideString& argument) { return !argument.empty() && (argument[0] == u'/' || argument[0] == u'-'); }

bool is_white_space(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

// A signed decimal read the way the C library's atoi reads it: white space
// skipped, an optional sign, digits up to the first non-digit, 0 for none.
// Unlike atoi it saturates at the 32-bit range instead of overflowing, so
// "/dlg:99999999999" is large rather than undefined.
std::int32_t read_decimal(const char16_t* text) {
    while (is_white_space(*text)) {
        ++text;
    }
    bool negative = false;
    if (*text == u'+' || *text == u'-') {
        negative = *text == u'-';
        ++text;
    }
    constexpr std::int64_t LIMIT = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t value = 0;
    for (; *text >= u'0' && *text <= u'9'; ++text) {
        value = value * 10 + (*text - u'0');
        if (value > LIMIT) {
            value = LIMIT;
        }
    }
    if (negative) {
        return static_cast<std::int32_t>(-value);
    }
    return static_cast<std::int32_t>(value < LIMIT ? value : LIMIT - 1);
}

bool apply_one_character(LaunchJob& job, char16_t c) {
    switch (c) {
    case u'2': job.options.flags |= OPT_UTF16; return true;
    case u'8': job.options.flags |= OPT_UTF8; return true;
    case u'C':
    case u'c':
    case u'P':
    case u'p': job.mode = MODE_CREATE; return true;
    case u'D':
    case u'd':
    case u'U':
    case u'u':
    case u'X':
    case u'x': job.mode = MODE_EXTRACT; return true;
    case u'L':
    case u'l': job.format = ARCHIVE_LZH; return true;
    case u'Z':
    case u'z': job.format = ARCHIVE_ZIP; return true;
    default: return false;
    }
}

struct FlagSwitch {
    const char16_t* key;
    std::uint32_t bit;
};

constexpr FlagSwitch TWO_CHARACTER_FLAGS[] = {
    {u"BE", OPT_BIG_ENDIAN},     {u"16", OPT_UTF16},          {u"FF", OPT_FF_SEPARATOR},
    {u"11", OPT_STD_CONVERTERS}, {u"44", OPT_UNICODE_HEADER},
};

constexpr FlagSwitch THREE_CHARACTER_FLAGS[] = {
    {u"LCT", OPT_LOCALE_OBJECT}, {u"bom", OPT_BOM}, {u"rpt", OPT_REPORT}, {u"lh6", OPT_LZH_LH6}, {u"lh7", OPT_LZH_LH7},
};

constexpr FlagSwitch LONG_FLAGS[] = {
    {u"CPH46", OPT_CODEPAGE_HEADER}, {u"CPHX4B", OPT_CODEPAGE_HEADER_SHORT},
    {u"EMPD", OPT_EMPTY_DIRS},       {u"lazy", OPT_DEFLATE_LAZY},
    {u"best", OPT_DEFLATE_BEST},
};

template <std::size_t N>
bool apply_flag(LaunchJob& job, const char16_t* body, const FlagSwitch (&table)[N]) {
    for (const FlagSwitch& row : table) {
        if (equal_nocase(body, row.key)) {
            job.options.flags |= row.bit;
            return true;
        }
    }
    return false;
}

bool apply_three_characters(LaunchJob& job, const char16_t* body) {
    if (equal_nocase(body, u"lzh")) {
        job.format = ARCHIVE_LZH;
    } else if (equal_nocase(body, u"zip")) {
        job.format = ARCHIVE_ZIP;
    } else if (equal_nocase(body, u"XFF")) {
        job.no_auto_ff = true;
    } else if (equal_nocase(body, u"cnf")) {
        job.confirm_arguments = true;
    } else {
        return apply_flag(job, body, THREE_CHARACTER_FLAGS);
    }
    return true;
}

// Bodies of four or more characters: the valued switches first, then the
// long flag names. A prefix only matches when a value follows it.
bool apply_long(LaunchJob& job, const char16_t* body) {
    const char16_t* value = match_prefix(body, u"D:", true);
    if (value == nullptr) {
        value = match_prefix(body, u"X:", true);
    }
    if (value != nullptr) {
        job.mode = MODE_EXTRACT;
        job.destination = value;
        return true;
    }
    if ((value = match_prefix(body, u"CP:", true)) != nullptr) {
        const std::int32_t n = read_decimal(value);
        job.options.code_page = (n == 8 || n == -8) ? CODE_PAGE_UTF8 : n;
        // "/CP:0" is an explicit choice of code page 0; "/CP:abc" is none.
        if (n != 0 || value[0] == u'0') {
            job.options.flags |= OPT_CODEPAGE_SET;
        }
        return true;
    }
    if ((value = match_prefix(body, u"LC:", true)) != nullptr) {
        // The name must fit the record's array with its terminator; a longer
        // one is dropped whole rather than cut to a different locale name.
        const std::size_t length = wide_length(value);
        if (length < static_cast<std::size_t>(LOCALE_NAME_LENGTH)) {
            for (std::size_t i = 0; i <= length; ++i) {
                job.options.locale_name[i] = value[i];
            }
            job.options.locale_name_ref = job.options.locale_name;
        }
        return true;
    }
    if ((value = match_prefix(body, u"dlg:", true)) != nullptr) {
        const std::int32_t n = read_decimal(value);
        if (n != 0) {
            job.options.dialog_limit = n;
        }
        return true;
    }
    return apply_flag(job, body, LONG_FLAGS);
}

// Applies a switch; false when its body matches no row of the tables.
bool apply_switch(LaunchJob& job, const WideString& argument) {
    const WideString body = argument.substr(1);
    switch (body.size()) {
    case 0: return false;
    case 1: return apply_one_character(job, body[0]);
    case 2: return apply_flag(job, body.c_str(), TWO_CHARACTER_FLAGS);
    case 3: return apply_three_characters(job, body.c_str());
    default: return apply_long(job, body.c_str());
    }
}

#if !defined(_WIN32)
// Whether a switch-like argument is a switch of the tables, found by
// applying it to a job of its own.
bool is_known_switch(const LaunchJob& job, const WideString& argument) {
    LaunchJob scratch(job.options);
    return apply_switch(scratch, argument);
}

// On POSIX every absolute path starts with "/", and a file manager hands
// over nothing else. There an argument is a path when it names something
// that exists, or when it starts with "/" and is no switch of the tables:
// "/home/me/new.zip" is the archive to create while "/zip", "/cp:932" and
// "/D:/tmp/out" stay switches. Unknown "-" arguments are still dropped.
// The tables are asked first: a "/" argument that is no switch is a path
// whether it exists or not, so only the rest is looked up on disk (the
// entry made of a path looks at it anyway).
bool is_path_argument(const LaunchJob& job, const WideString& argument) {
    if (!is_switch(argument) || (argument[0] == u'/' && !is_known_switch(job, argument))) {
        return true;
    }
    return path_kind_of(argument.c_str()) != PATH_MISSING;
}
#endif

// Whether names of the job's LZH archives are Japanese code-page names that
// use byte 0xFF between directories. Unicode names never carry it in their
// own header record, and an explicit code page or locale decides over the
// system's code page.
bool lzh_names_use_ff_separator(const ArchiveOptions& options) {
    if ((options.flags & (OPT_FF_SEPARATOR | OPT_UNICODE_HEADER)) != 0) {
        return false;
    }
    if ((options.flags & (OPT_UTF8 | OPT_UTF16)) != 0) {
        return true;
    }
    if (options.code_page != 0) {
        return options.code_page == CODE_PAGE_JAPANESE;
    }
    if (options.locale_name[0] != 0) {
        return is_japanese_locale_name(options.locale_name);
    }
    return platform::system_names_use_ff_separator();
}

}  // namespace

std::vector<bool> switch_arguments(const LaunchJob& job, const std::vector<WideString>& arguments) {
    std::vector<bool> switches(arguments.size(), false);
#if defined(_WIN32)
    static_cast<void>(job);  // the rule needs no look at the options
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        switches[i] = is_switch(arguments[i]);
    }
#else
    // "--" ends the switches: every later argument is a path. It counts as
    // a switch itself, one that matches no row and so changes nothing.
    bool switches_ended = false;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const WideString& argument = arguments[i];
        if (!switches_ended && argument == u"--") {
            switches_ended = true;
            switches[i] = true;
        } else {
            switches[i] = !switches_ended && !is_path_argument(job, argument);
        }
    }
#endif
    return switches;
}

void parse_arguments(LaunchJob& job, const std::vector<WideString>& arguments) {
    platform::com_initialize();
    const std::vector<bool> switches = switch_arguments(job, arguments);
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        if (switches[i]) {
            apply_switch(job, arguments[i]);
        } else {
            add_argument(job, arguments[i]);
        }
    }
    platform::com_uninitialize();
}

void apply_name_encoding_defaults(LaunchJob& job) {
    ArchiveOptions& options = job.options;
    const bool extract_both = job.mode == MODE_EXTRACT && job.format == ARCHIVE_NONE;
    if ((job.format == ARCHIVE_LZH || extract_both) && !job.no_auto_ff && lzh_names_use_ff_separator(options)) {
        options.flags |= OPT_FF_SEPARATOR;
    }
    if (job.mode != MODE_CREATE) {
        return;
    }
    const bool encoding_chosen =
        (options.flags & (OPT_UTF8 | OPT_UTF16 | OPT_CODEPAGE_SET)) != 0 || options.locale_name[0] != 0;
    if (encoding_chosen) {
        return;
    }
    if (job.format == ARCHIVE_ZIP) {
        // Without a choice a new ZIP archive stores UTF-8 names (bit 11).
        options.flags |= OPT_UTF8;
        return;
    }
    // A new LZH archive gets both the Unicode name records and the code-page
    // record, so that readers of either kind find a name they understand.
    if ((options.flags & (OPT_UNICODE_HEADER | OPT_CODEPAGE_HEADER)) == 0) {
        options.flags |= OPT_UNICODE_HEADER | OPT_CODEPAGE_HEADER;
        if (!job.no_auto_ff && (options.flags & OPT_FF_SEPARATOR) == 0 && platform::system_names_use_ff_separator()) {
            options.flags |= OPT_FF_SEPARATOR;
        }
    }
}
