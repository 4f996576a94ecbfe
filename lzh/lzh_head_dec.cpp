// Reading LZH entry headers (see lzh_head_dec.h for the byte layout).
#include "lzh_head_dec.h"

#include <algorithm>

#include "archive_options.h"
#include "job_state.h"
#include "platform.h"
#include "stored_name.h"
#include "text_convert.h"

namespace lzh {

namespace {

constexpr const char* LEVEL_ERROR = "LZHHeadDec: this file level is out of support range.";
constexpr const char* FORMAT_ERROR = "LZHHeadDec: header format is illegal.";
constexpr const char* EXTENDED_ERROR = "LZHHeadDec: extended header is illegal.";

// A record is at least its type byte and the next size field.
constexpr int MIN_RECORD_SIZE = 3;

// Directory records separate their components with 0xFF (U+FFFF in the
// UTF-16LE record): that is the format, whatever the system's code page.
// With /FF the name conversion turns them into the user's separator
// character; without it they become "/" here, before the conversion sees
// them. "/" is neither a trail byte of any double-byte code page nor part
// of a UTF-8 sequence, so no character changes.
ByteString directory_separators(ByteString bytes, bool utf16) {
    const JobState& job = job_state();
    if (job.options != nullptr && (job.options->flags & OPT_FF_SEPARATOR) != 0) return bytes;
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

}  // namespace

LZHHeadDec::LZHHeadDec(BitInStream& input) : input_(input) {
    // A zero byte where a header would start is the end mark; no byte at
    // all ends the archive the same way.
    const int first = byte_get();
    if (first <= 0) {
        raw.clear();
        return;
    }
    fill_to(head::FIXED_SIZE);
    method = str_get(head::METHOD, head::METHOD_SIZE);
    const int found_level = int_get(head::LEVEL, 1);
    if (found_level > 2) throw LEVEL_ERROR;

    if (found_level == 2) {
        read_level2();
    } else {
        read_level01();
    }
    level = found_level;
    decode_names();
    split_name();
}

int LZHHeadDec::byte_get() {
    const int c = input_.byte_get();
    if (c >= 0) raw.push_back(static_cast<char>(c));
    return c;
}

bool LZHHeadDec::fill_to(std::size_t count) {
    while (raw.size() < count) {
        if (byte_get() < 0) return false;
    }
    return true;
}

int LZHHeadDec::int_get(std::size_t offset, int n) const {
    if (n < 0 || n > 4 || offset > raw.size() || raw.size() - offset < static_cast<std::size_t>(n)) {
        throw "int_get: header format is illegal.";
    }
    std::uint32_t value = 0;
    for (int i = n - 1; i >= 0; --i) {
        value = (value << 8) | static_cast<unsigned char>(raw[offset + static_cast<std::size_t>(i)]);
    }
    return static_cast<int>(value);
}

ByteString LZHHeadDec::str_get(std::size_t offset, std::size_t n) const {
    if (offset > raw.size() || raw.size() - offset < n) throw "str_get: header format is illegal.";
    return raw.substr(offset, n);
}

std::int64_t LZHHeadDec::data_size() const {
    if (compressed_size < 0) return 0;
    return std::max<std::int64_t>(0, compressed_size - extended_size);
}

// ---- levels 0 and 1 -------------------------------------------------------

void LZHHeadDec::read_level01() {
    const int found_level = int_get(head::LEVEL, 1);
    const std::size_t length = static_cast<std::size_t>(int_get(head::LEVEL0_LENGTH, 1)) + 2;
    if (length <= head::NAME_LENGTH) throw FORMAT_ERROR;
    fill_to(length);
    compressed_size = static_cast<std::uint32_t>(int_get(head::COMPRESSED_SIZE, 4));
    original_size = static_cast<std::uint32_t>(int_get(head::ORIGINAL_SIZE, 4));

    // MS-DOS stamp: bits 0-4 seconds / 2, 5-10 minutes, 11-15 hours,
    // 16-20 day, 21-24 month, 25-31 year - 1980.
    const auto stamp = static_cast<std::uint32_t>(int_get(head::TIME, 4));
    second = static_cast<std::int32_t>(stamp & 0x1F) * 2;
    minute = static_cast<std::int32_t>((stamp >> 5) & 0x3F);
    hour = static_cast<std::int32_t>((stamp >> 11) & 0x1F);
    day = static_cast<std::int32_t>((stamp >> 16) & 0x1F);
    month = static_cast<std::int32_t>((stamp >> 21) & 0x0F);
    year = static_cast<std::int32_t>(stamp >> 25) + 1980;

    // The name, its CRC and (level 1) the identifier and the first size
    // field must lie inside the base header: a length that leaves no room
    // for them would make the reader take entry data for header fields.
    const std::size_t name_length = static_cast<std::size_t>(int_get(head::NAME_LENGTH, 1));
    const std::size_t needed = head::NAME + name_length + 2 + (found_level == 1 ? 3 : 0);
    if (length < needed) throw FORMAT_ERROR;

    // An empty name field is no name (a level-1 directory entry has its
    // path in the 0x02 record only), not a name to be invented.
    if (name_length > 0) {
        decode_stored_name(str_get(head::NAME, name_length), name, HINT_FF_SEPARATOR);
    }
    data_crc = static_cast<std::uint16_t>(int_get(head::NAME + name_length, 2));
    if (found_level == 1) {
        os_id = int_get(head::NAME + name_length + 2, 1);
        read_extended(length - 2, length + LEVEL1_EXTENDED_LIMIT, true);
    }
}

// ---- level 2 -----------------------------------------------------------------

void LZHHeadDec::read_level2() {
    fill_to(head::LEVEL2_LENGTH + 2);
    const auto length = static_cast<std::size_t>(int_get(head::LEVEL2_LENGTH, 2));
    if (length < head::LEVEL2_BASE_SIZE) throw FORMAT_ERROR;
    // A header cut short by the end of the archive reads on as 0xFF bytes;
    // the entry then fails its CRC check, or its records are refused.
    if (!fill_to(length)) raw.resize(length, '\xFF');

    compressed_size = static_cast<std::uint32_t>(int_get(head::COMPRESSED_SIZE, 4));
    original_size = static_cast<std::uint32_t>(int_get(head::ORIGINAL_SIZE, 4));
    stored_time = static_cast<std::uint32_t>(int_get(head::TIME, 4));
    platform::LocalTime local;
    if (platform::to_local_time(stored_time, local)) {
        year = local.year;
        month = local.month;
        day = local.day;
        hour = local.hour;
        minute = local.minute;
        second = local.second;
    }
    data_crc = static_cast<std::uint16_t>(int_get(head::LEVEL2_CRC, 2));
    os_id = int_get(head::LEVEL2_OS, 1);
    read_extended(head::LEVEL2_FIRST_SIZE, length, false);
}

// ---- extended headers ---------------------------------------------------------

// size_field: offset of the first size field; limit: offset that no record
// may pass (the header length at level 2).
// counted: the records count in the compressed size (level 1).
void LZHHeadDec::read_extended(std::size_t size_field, std::size_t limit, bool counted) {
    JobState& job = job_state();
    std::size_t p = size_field;
    for (int size = int_get(p, 2); size != 0; size = int_get(p, 2)) {
        const auto record = static_cast<std::size_t>(size);
        if (size < MIN_RECORD_SIZE || p + 2 + record > limit) throw EXTENDED_ERROR;
        fill_to(p + 2 + record);
        const int type = int_get(p + 2, 1);
        const ByteString data = str_get(p + 3, record - 3);
        switch (type) {
        case EXT_NAME:
            narrow_name = data;
            break;
        case EXT_DIRECTORY:
            narrow_directory = data;
            break;
        case EXT_UNICODE_NAME:
        case EXT_UNICODE_DIRECTORY: {
            if (data.empty()) break;
            const bool is_name = type == EXT_UNICODE_NAME;
            if (job.report_on) {
                if (is_name ? unicode_directory : unicode_name) job.report_text += u" └";
                job.report_text += is_name ? u"H44: " : u"H45(dir): ";
            }
            if (is_name) {
                decode_stored_name(data, name, HINT_UTF16LE);
                unicode_name = true;
            } else {
                decode_stored_name(directory_separators(data, true), directory,
                                   HINT_UTF16LE | HINT_FF_SEPARATOR);
                unicode_directory = true;
            }
            break;
        }
        case EXT_CODE_PAGE:
            // Written as 4 bytes, or 2 by some writers; longer data keeps
            // its low 4 bytes.
            if (!data.empty()) {
                has_code_page = true;
                code_page = int_get(p + 3, static_cast<int>(std::min<std::size_t>(data.size(), 4)));
            }
            break;
        default:
            break;  // the header CRC and unknown records are not needed
        }
        if (counted) extended_size += size;
        p += record;
    }
}

// ---- names ------------------------------------------------------------------------

void LZHHeadDec::decode_names() {
    JobState& job = job_state();
    std::uint32_t hint = 0;
    WideString code_page_text;
    if (has_code_page) {
        job.header_code_page = code_page;
        hint = HINT_CODE_PAGE;
        if (job.report_on) code_page_text = u"cp" + int_to_wide(code_page);
    }
    // A 0xFF byte is a directory separator in LZH names wherever the user
    // asked for it (/FF): in 0x02 records, and also in name fields, where
    // MS-DOS-era writers put whole paths.
    if (!unicode_name && !narrow_name.empty()) {
        if (job.report_on) {
            if (unicode_directory) job.report_text += u" └";
            job.report_text += u"H01: ";
            if (!code_page_text.empty()) job.report_text += code_page_text + u": ";
        }
        decode_stored_name(narrow_name, name, hint | HINT_FF_SEPARATOR);
    }
    if (!unicode_directory && !narrow_directory.empty()) {
        if (job.report_on) {
            if (!narrow_name.empty() || unicode_name) job.report_text += u" └";
            job.report_text += u"H02(dir): ";
            if (!code_page_text.empty()) job.report_text += code_page_text + u": ";
        }
        decode_stored_name(directory_separators(narrow_directory, false), directory,
                           hint | HINT_FF_SEPARATOR);
    }
}

// A name with "/" in it carries directories: they move to the directory,
// which is first given "/" separators and a trailing "/". A directory
// record need not end with a separator, so one is added in any case: the
// output path is the directory followed by the name.
void LZHHeadDec::split_name() {
    const std::size_t last = name.rfind(u'/');
    if (last == WideString::npos || last == 0) {
        if (!directory.empty() && directory.back() != u'/' && directory.back() != u'\\') {
            directory.push_back(u'/');
        }
        return;
    }
    std::replace(directory.begin(), directory.end(), u'\\', u'/');
    if (!directory.empty() && directory.back() != u'/') directory.push_back(u'/');
    directory += name.substr(0, last + 1);
    name.erase(0, last + 1);
}

}  // namespace lzh
