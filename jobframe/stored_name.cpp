// Stored-name conversion in both directions (see stored_name.h).
#include "stored_name.h"

#include <utility>

#include "archive_options.h"
#include "job_state.h"
#include "library_traits.h"
#include "text_convert.h"
#include "unicode_names.h"

namespace {

// Names are converted with the options as they stand at the call; a job
// without a record (a header read outside an export) uses the defaults.
ArchiveOptions options_snapshot(const JobState& job) {
    ArchiveOptions options;
    if (job.options != nullptr) {
        options = *job.options;
    } else {
        init_archive_options(options);
    }
    return options;
}

bool use_std_converters(std::uint32_t flags) { return LIBRARY_HAS_STD_CONVERTERS && (flags & OPT_STD_CONVERTERS) != 0; }

// ---- the Unicode coders: the system's own, or in kanna on request the
// standard library's (which replace their destination, so they work on a
// fresh string that is then appended) -----------------------------------------

void decode_utf8(const ByteString& bytes, WideString& name, bool use_std) {
    if constexpr (LIBRARY_HAS_STD_CONVERTERS) {
        if (use_std) {
            WideString decoded;
            std_utf8_to_wide(bytes, decoded);
            name += decoded;
            return;
        }
    }
    // -1: a leading UTF-8 mark is skipped when there is one.
    utf8_to_wide(bytes, name, -1);
}

void decode_utf16(const ByteString& bytes, WideString& name, bool big_endian, bool use_std) {
    if constexpr (LIBRARY_HAS_STD_CONVERTERS) {
        if (use_std) {
            WideString decoded;
            std_utf16_bytes_to_wide(bytes, decoded, big_endian);
            name += decoded;
            return;
        }
    }
    utf16_bytes_to_wide(bytes, name, big_endian);
}

ByteString encode_utf8(const WideString& name, bool with_bom, bool use_std) {
    ByteString encoded;
    if constexpr (LIBRARY_HAS_STD_CONVERTERS) {
        if (use_std) {
            std_wide_to_utf8(name, encoded, with_bom);
            return encoded;
        }
    }
    wide_to_utf8(name, encoded, with_bom);
    return encoded;
}

ByteString encode_utf16(const WideString& name, bool with_bom, bool big_endian, bool use_std) {
    ByteString encoded;
    if constexpr (LIBRARY_HAS_STD_CONVERTERS) {
        if (use_std) {
            std_wide_to_utf16_bytes(name, encoded, with_bom, big_endian);
            return encoded;
        }
    }
    wide_to_utf16_bytes(name, encoded, with_bom, big_endian);
    return encoded;
}

bool is_separator(char16_t c) { return c == u'/' || c == u'\\'; }

// A component that the file systems take for "." or "..": dots, and on
// Windows also dots with blanks, which its path rules strip from the end
// of a component.
bool is_dot_component(const WideString& name, std::size_t begin, std::size_t end) {
    bool has_dot = false;
    for (std::size_t i = begin; i < end; ++i) {
        if (name[i] == u'.') {
            has_dot = true;
        } else if (name[i] != u' ') {
            return false;
        }
    }
    return has_dot;
}

// The support library's neutralize_leading_separators leaves two ways for a
// name to reach above the current directory: a last component ".." (the
// LZH reader appends "/" to a decoded directory name, so the directory ".."
// becomes "../"), and components such as ".. " that Windows reads as "..".
// A dot component followed by a separator loses the separator, a last dot
// component its last character, both to the replacement character.
//
// Any other component that ends in a dot or a blank loses that character
// too: Windows strips such endings in some calls and not in others, so the
// directory made and the file opened in it could differ, and Explorer
// cannot delete what is left ("a/../../b" gives "a/.._../b" above, whose
// ".._.." would be such a component).
int neutralize_dot_components(WideString& name) {
    int fixes = 0;
    std::size_t begin = 0;
    for (std::size_t i = 0; i <= name.size(); ++i) {
        const bool at_end = i == name.size();
        if (!at_end && !is_separator(name[i])) {
            continue;
        }
        if (is_dot_component(name, begin, i)) {
            name[at_end ? i - 1 : i] = replacement_char;
            ++fixes;
            if (!at_end) {
                continue;  // the component now runs on past the replaced separator
            }
        } else if (i > begin && (name[i - 1] == u'.' || name[i - 1] == u' ')) {
            name[i - 1] = replacement_char;
            ++fixes;
        }
        begin = i + 1;
    }
    return fixes;
}

// The nine characters that never go into the narrow fallback name.
bool is_rejected_in_fallback(unsigned char b) {
    switch (b) {
    case '"':
    case '*':
    case '/':
    case ':':
    case '<':
    case '>':
    case '?':
    case '\\':
    case '|': return true;
    default: return false;
    }
}

constexpr char16_t UTF16_SEPARATOR = 0xFFFF;
constexpr char FF_SEPARATOR = '\xFF';
constexpr std::int32_t CODE_PAGE_UTF8 = 65001;

}  // namespace

// ---- decoding -----------------------------------------------------------------

namespace {

// The bytes of an all-ASCII name as the writers store it: one byte per
// character, and with 0xFF separators the byte 0xFF between components.
bool is_ascii_name(const ByteString& bytes, bool ff) {
    for (const char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        if (u >= 0x80 && !(ff && u == 0xFF)) return false;
    }
    return true;
}

// The bytes between 0xFF separators, which are no part of any UTF-8 text.
ByteString without_ff_separators(ByteString bytes) {
    std::erase(bytes, FF_SEPARATOR);
    return bytes;
}

// Directory records separate their components with 0xFF (U+FFFF in the
// UTF-16LE record): that is the format, whatever the system's code page.
// With /FF the name conversion turns them into the user's separator
// character; without it they become "/" here, before the conversion sees
// them. "/" is neither a trail byte of any double-byte code page nor part
// of a UTF-8 sequence, so no character changes.
ByteString directory_record_separators(ByteString bytes, bool utf16) {
    if (utf16) {
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
            if (bytes[i] == '\xFF' && bytes[i + 1] == '\xFF') {
                bytes[i] = '/';
                bytes[i + 1] = '\0';
            }
        }
    } else {
        for (char& b : bytes) {
            if (b == '\xFF') b = '/';
        }
    }
    return bytes;
}

// The form in which a name's bytes are decoded. The archive's own marks (a
// Unicode name record, a code-page record) decide it; otherwise the options
// and the ZIP UTF-8 bit do, and a byte-order mark in the bytes overrides
// which Unicode form.
struct DecodeForm {
    bool utf8 = false;
    bool utf16 = false;         // with the options' byte order
    bool utf16_record = false;  // an LZH Unicode record: always little-endian
    bool code_page_record = false;
    bool ascii = false;  // the bytes as they are
    bool ff = false;     // 0xFF (U+FFFF) separates directories
};

DecodeForm choose_form(const ByteString& bytes, std::uint32_t hint, std::uint32_t flags) {
    DecodeForm form;
    form.utf16_record = (hint & HINT_UTF16LE) != 0;
    form.code_page_record = (hint & HINT_CODE_PAGE) != 0;
    form.ff = (hint & HINT_FF_SEPARATOR) != 0 && (flags & OPT_FF_SEPARATOR) != 0;
    if (form.utf16_record || form.code_page_record) return form;
    form.utf8 = (hint & HINT_UTF8) != 0 || (flags & OPT_UTF8) != 0 ||
                ((hint & HINT_UTF8_LIKELY) != 0 && (flags & OPT_CODEPAGE_SET) == 0 &&
                 is_utf8_beyond_ascii(form.ff ? without_ff_separators(bytes) : bytes));
    form.utf16 = (flags & OPT_UTF16) != 0;
    if (!form.utf8 && !form.utf16) return form;
    const int bom = detect_bom(bytes);
    if (bom == 2 || bom == 3) {
        if (form.utf8) {
            form.utf8 = false;
            form.utf16 = true;
        }
    } else if (bom == 8) {
        if (form.utf16) {
            form.utf16 = false;
            form.utf8 = true;
        }
    } else if (form.utf16 && (flags & OPT_BOM)) {
        form.utf16 = false;  // a mark was promised and is absent
    } else if (form.utf8 && is_ascii_name(bytes, form.ff)) {
        // ASCII bytes are their own UTF-8 and are taken as they are; so is
        // an ASCII directory written with 0xFF separators (0xFF is no byte
        // of UTF-8). Writers store ASCII names in one byte per character
        // even with both Unicode options, so the ASCII form also wins over
        // UTF-16 here; decoding the bytes as UTF-16 as well would put a
        // second, garbled copy in front of the name.
        form.utf8 = false;
        form.utf16 = false;
        form.ascii = true;
    }
    return form;
}

// The Unicode forms; false (name untouched) for the others.
bool convert_unicode(const ByteString& bytes, const DecodeForm& form, std::uint32_t flags, WideString& name,
                     WideString& label) {
    const bool use_std = use_std_converters(flags);
    if (form.utf8) {
        decode_utf8(bytes, name, use_std);
        label = u"UTF-8";
        return true;
    }
    if (form.utf16 || form.utf16_record) {
        const bool big_endian = (flags & OPT_BIG_ENDIAN) != 0 && !form.utf16_record;
        decode_utf16(bytes, name, big_endian, use_std);
        label = u"UTF-16";
        return true;
    }
    return false;
}

// 0xFF separators become the user's separator character: U+FFFF in a
// converted name, the byte 0xFF in bytes still to be converted. 0xFF is no
// character of the ASCII range nor a lead or trail byte of code page 932,
// so it can be replaced before either conversion sees the bytes. True when
// the bytes are ASCII then.
bool split_separators(ByteString& bytes, WideString& name, bool converted, char separator) {
    if (converted) {
        for (char16_t& c : name) {
            if (c == UTF16_SEPARATOR) c = static_cast<unsigned char>(separator);
        }
        return false;
    }
    bool ascii = true;
    for (char& b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        if (u == 0xFF) {
            b = separator;
        } else if (u >= 0x80) {
            ascii = false;
        }
    }
    return ascii;
}

// The narrow forms: the archive's code page, the options' code page (0 is
// the ANSI code page) or the job's locale.
WideString convert_narrow(const ByteString& bytes, bool code_page_record, std::int32_t archive_code_page,
                          const ArchiveOptions& options, const JobState& job, WideString& name) {
    if (code_page_record || options.locale_name_ref == nullptr) {
        const std::int32_t code_page = code_page_record ? archive_code_page : options.code_page;
        code_page_to_wide(bytes, name, code_page, true);
        return u"cp " + int_to_wide(code_page);
    }
    if (job.locale_object != nullptr) {
        locale_bytes_to_wide(bytes, name, true, job.locale_object);
        return u"(locale_t)";
    }
    locale_bytes_to_wide(bytes, name, true);
    return u"(locale)";
}

// Makes the name creatable below the current directory; the number of
// changes made.
int sanitise_name(WideString& name, std::uint32_t length_limit) {
    int fixes = 0;
    if (name.empty()) {
        name = u"0_" + random_wide_string(18, false);
        fixes = 1;
    } else if (name.size() > length_limit) {
        name.erase(0, name.size() - length_limit);
        fixes = 1;
    }
    fixes += replace_invalid_name_chars(name);
    fixes += neutralize_leading_separators(name);
    fixes += neutralize_dot_components(name);
    return fixes;
}

}  // namespace

void decode_stored_name(ByteString bytes, WideString& name, std::uint32_t hint, std::int32_t code_page) {
    JobState& job = job_state();
    const ArchiveOptions options = options_snapshot(job);
    const std::uint32_t flags = options.flags;
    name.clear();
    if ((hint & HINT_DIRECTORY_RECORD) != 0 && (flags & OPT_FF_SEPARATOR) == 0) {
        bytes = directory_record_separators(std::move(bytes), (hint & HINT_UTF16LE) != 0);
    }
    const DecodeForm form = choose_form(bytes, hint, flags);
    const WideString raw = job.report_on ? hex_list(bytes) : WideString();

    WideString label;
    // 0xFF is no byte of UTF-8: UTF-8 names split there before they are
    // converted (and still at U+FFFF, EF BF BF, after it).
    if (form.ff && form.utf8) split_separators(bytes, name, false, job.separator_byte);
    bool converted = convert_unicode(bytes, form, flags, name, label);
    bool ascii = form.ascii;
    if (form.ff) ascii = split_separators(bytes, name, converted, job.separator_byte);
    if (ascii || (!form.ff && !converted && is_ascii(bytes))) {
        for (const char b : bytes) name.push_back(static_cast<unsigned char>(b));
        label = u"Ascii";
        converted = true;
    }
    if (!converted) label = convert_narrow(bytes, form.code_page_record, code_page, options, job, name);

    if (job.report_on) {
        job.report_text += raw + u"\n └";
        if (!label.empty()) job.report_text += label + u":";
        job.report_text += u" " + name + u"\n";
    }
    // Names stored decomposed (as macOS writes them) are extracted composed.
    name = compose_kana_marks(name);
    const int fixes = sanitise_name(name, job.name_length_limit);
    if (job.report_on && fixes > 0) job.report_text += u" └修正> " + name + u"\n";
}

// ---- encoding -----------------------------------------------------------------

namespace {

// result gathers the forms over the components of a split directory path.
void encode_name(const WideString& name, ByteString& bytes, std::uint32_t mode, EncodedName& result) {
    JobState& job = job_state();
    const ArchiveOptions options = options_snapshot(job);
    const std::uint32_t flags = options.flags;
    const bool use_std = use_std_converters(flags);

    if (name.empty()) {
        if (job.report_on) {
            job.report_text += u"empty! \n";
        }
        return;
    }

    const bool no_unicode = (mode & ENCODE_NO_UNICODE) != 0;
    const bool utf16_record = (mode & ENCODE_UNICODE_RECORD) != 0 && (flags & OPT_UTF16) != 0;
    const bool unicode_header = ((flags & OPT_UNICODE_HEADER) != 0 || utf16_record) && !no_unicode;
    const bool ff = (mode & ENCODE_DIRECTORY) != 0 && ((flags & OPT_FF_SEPARATOR) != 0 || unicode_header);
    const bool top = (mode & ENCODE_COMPONENT) == 0;
    // UTF-16 without a mark is the one form that does not keep ASCII names
    // in one byte per character, unless the UTF-16 goes to a record of its
    // own.
    const bool plain_allowed = !((flags & OPT_UTF16) != 0 && (flags & OPT_BOM) == 0) || utf16_record;
    const std::size_t start = bytes.size();
    // A name whose UTF-16 goes to a record of its own gets that record also
    // when it is ASCII: extracted with the switch it was made with, which
    // reads narrow names as UTF-16, it is then taken from the record.
    const bool ascii_record = utf16_record && !no_unicode;

    if (plain_allowed && top && is_ascii(name) && !ascii_record) {
        for (char16_t c : name) {
            bytes.push_back(ff && is_separator(c) ? FF_SEPARATOR : static_cast<char>(c & 0xFF));
        }
        result.flags |= NAME_ASCII;
        if (job.report_on) {
            job.report_text += name + u"\n└Ascii: " + hex_list(bytes.substr(start)) + u"\n";
        }
        return;
    }

    const bool unicode = ((flags & (OPT_UTF8 | OPT_UTF16)) != 0 || unicode_header) && !no_unicode;
    // The separator of UTF-16 forms is U+FFFF. UTF-8 forms keep the byte
    // 0xFF, which no UTF-8 text holds (its U+FFFF, EF BF BF, is what no
    // reader splits): the separators are encoded as themselves, ASCII bytes
    // that occur in UTF-8 only as those characters, and replaced afterwards.
    const bool utf8_form = unicode ? (flags & OPT_UTF8) != 0 : options.code_page == CODE_PAGE_UTF8;
    WideString source = name;
    if (ff && unicode && !utf8_form) {
        for (char16_t& c : source) {
            if (is_separator(c)) {
                c = UTF16_SEPARATOR;
            }
        }
    }

    WideString label;
    bool split = false;
    if (unicode) {
        const bool bom = (flags & OPT_BOM) != 0 && !unicode_header;
        if (bom) {
            result.flags |= NAME_BOM;
        }
        if (flags & OPT_UTF8) {
            bytes += encode_utf8(source, bom, use_std);
            result.flags |= NAME_UTF8;
            label = u"UTF-8";
        } else {
            // The LZH Unicode header is always little-endian.
            const bool big_endian = (flags & OPT_BIG_ENDIAN) != 0 && !unicode_header;
            bytes += encode_utf16(source, bom, big_endian, use_std);
            result.flags |= NAME_UTF16;
            if (unicode_header) {
                result.flags |= NAME_UNICODE_HEADER;
            }
            label = u"UTF-16";
        }
    } else if (!ff || options.code_page == CODE_PAGE_UTF8) {
        if (job.locale_object != nullptr) {
            wide_to_locale_bytes(name, bytes, true, job.locale_object);
            label = u"(locale_t)";
        } else if (options.locale_name_ref != nullptr) {
            wide_to_locale_bytes(name, bytes, true);
            label = u"(locale)";
        } else {
            const int produced = wide_to_code_page(source, bytes, options.code_page, true);
            if (produced > 0 && options.code_page == CODE_PAGE_UTF8) {
                result.flags |= NAME_UTF8;
                if (flags & OPT_BOM) {
                    bytes.insert(start, "\xEF\xBB\xBF");
                }
            }
            if (job.cp_header) {
                if ((result.flags & NAME_CODEPAGE_HEADER) == 0) {
                    result.flags |= NAME_CODEPAGE_HEADER;
                    result.code_page = options.code_page != 0 ? options.code_page : job.ansi_code_page;
                    if (job.report_on) {
                        const WideString cp = u"cp" + int_to_wide(result.code_page);
                        if (top) {
                            label = cp;
                        } else {
                            job.report_text += cp + u": ";
                        }
                    }
                }
            } else if (top) {
                label = u"cp " + int_to_wide(options.code_page);
            }
        }
    } else {
        // A directory path whose separators must become 0xFF, through a
        // code page or locale that cannot produce that byte: each component
        // is converted on its own and the 0xFF bytes are put between them.
        split = true;
        if (job.report_on) {
            if (!no_unicode) {
                job.report_text += name + u"\n└";
            }
            job.report_text += u"(分割処理)";
        }
        const std::uint32_t component_mode = ENCODE_COMPONENT | (mode & (ENCODE_NO_UNICODE | ENCODE_UNICODE_RECORD));
        std::size_t begin = 0;
        for (std::size_t i = 0; i <= name.size(); ++i) {
            const bool at_end = i == name.size();
            if (!at_end && !is_separator(name[i])) {
                continue;
            }
            // Empty components (two separators in a row) convert to nothing.
            if (i > begin) {
                ByteString piece;
                encode_name(name.substr(begin, i - begin), piece, component_mode, result);
                bytes += piece;
            }
            if (at_end) {
                break;
            }
            bytes.push_back(FF_SEPARATOR);
            begin = i + 1;
        }
    }

    if (ff && utf8_form && !split) {
        for (std::size_t i = start; i < bytes.size(); ++i) {
            if (is_separator(static_cast<unsigned char>(bytes[i]))) bytes[i] = FF_SEPARATOR;
        }
    }

    if (job.report_on && top) {
        if (!split) {
            if (!no_unicode) {
                job.report_text += name + u"\n";
            }
            job.report_text += u"└";
        }
        if (!label.empty()) {
            job.report_text += label + u": ";
        }
        job.report_text += hex_list(bytes.substr(start)) + u"\n";
    }
}

}  // namespace

EncodedName encode_stored_name(const WideString& name, ByteString& bytes, std::uint32_t mode) {
    EncodedName result;
    encode_name(name, bytes, mode, result);
    return result;
}

// ---- the narrow fallback beside a Unicode header --------------------------------

ByteString ascii_fallback_name(const ByteString& bytes) {
    ByteString result;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        const bool odd = (i & 1) != 0;
        if (odd && b == 0) {
            continue;  // the zero high byte of an ASCII character
        }
        if (b >= 0x80) {
            // U+FFFF, the directory separator of the Unicode form, stays the
            // narrow form's 0xFF separator.
            if (b == 0xFF && !odd && i + 1 < bytes.size() && static_cast<unsigned char>(bytes[i + 1]) == 0xFF) {
                result.push_back(FF_SEPARATOR);
                ++i;
            } else {
                result.push_back('_');
            }
            continue;
        }
        if (b < 0x20 || b == 0x7F || is_rejected_in_fallback(b)) {
            result.push_back('_');
        } else {
            result.push_back(static_cast<char>(b));
        }
    }
    JobState& job = job_state();
    if (job.report_on) {
        job.report_text += u" " + escape_non_printable(result) + u"\n";
    }
    return result;
}
