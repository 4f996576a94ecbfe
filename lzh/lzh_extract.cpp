// LZH extraction (see lzh_extract.h).
#include "lzh_extract.h"

#include <algorithm>

#include "lzh_methods.h"
#include "stored_name.h"
#include "text_convert.h"

namespace lzh {

namespace {

#if defined(FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION)
// Under the fuzzer a few bytes may legitimately decode to gigabytes (the
// zero-bit codes of -lh5- cost nothing per symbol); each entry is cut at
// this size so that a run explores inputs instead of writing.
constexpr std::int64_t FUZZ_OUTPUT_LIMIT = std::int64_t{1} << 20;
#endif

constexpr const char* DIRECTORY_METHOD = "-lhd-";

}  // namespace

MemberDecoder decoder_for(const std::string& method) {
    if (method == DIRECTORY_METHOD) return decode_stored;
    const LzhMethod* row = find_lzh_method(method);
    return row ? row->decode : nullptr;
}

WideString Archive::method_text(const std::string& method) {
    WideString wide;
    for (const char c : method) wide.push_back(static_cast<unsigned char>(c));
    return wide;
}

std::vector<NamePart> name_parts(const LZHHeadDec& head) {
    std::vector<NamePart> parts;
    // A 0xFF byte is a directory separator in LZH names wherever the user
    // asked for it (/FF): in 0x02 records, and also in name fields, where
    // MS-DOS-era writers put whole paths.
    if (!head.name_field.empty()) parts.push_back({head.name_field, HINT_FF_SEPARATOR, 0, false, u""});
    bool unicode_name = false;
    bool unicode_directory = false;
    for (const UnicodeNameRecord& record : head.unicode_records) {
        NamePart part{record.bytes, HINT_UTF16LE, 0, record.directory, u""};
        if (record.directory ? unicode_name : unicode_directory) part.label = u" └";
        if (record.directory) {
            part.hint |= HINT_FF_SEPARATOR | HINT_DIRECTORY_RECORD;
            part.label += u"H45(dir): ";
            unicode_directory = true;
        } else {
            part.label += u"H44: ";
            unicode_name = true;
        }
        parts.push_back(std::move(part));
    }
    if (!head.complete) return parts;

    std::uint32_t hint = HINT_FF_SEPARATOR;
    WideString code_page_label;
    if (head.has_code_page) {
        hint |= HINT_CODE_PAGE;
        code_page_label = u"cp" + int_to_wide(head.code_page) + u": ";
    }
    if (!unicode_name && !head.narrow_name.empty()) {
        parts.push_back({head.narrow_name, hint, head.code_page, false,
                         (unicode_directory ? u" └" : u"") + WideString(u"H01: ") + code_page_label});
    }
    if (!unicode_directory && !head.narrow_directory.empty()) {
        const bool after_name = !head.narrow_name.empty() || unicode_name;
        parts.push_back({head.narrow_directory, hint | HINT_DIRECTORY_RECORD, head.code_page, true,
                         (after_name ? u" └" : u"") + WideString(u"H02(dir): ") + code_page_label});
    }
    return parts;
}

bool MemberSource::next(Member& member) {
    member = Member{};
    try {
        head_.read(reader_);
    } catch (const char*) {
        member.name_parts = name_parts(head_);
        throw;
    }
    if (head_.level < 0) return false;
    data_start_ = reader_.byte_position();
    member.name_parts = name_parts(head_);
    member.method = head_.method;
    member.directory_entry = head_.method == DIRECTORY_METHOD;
    member.size = head_.original_size;
#if defined(FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION)
    member.size = std::min(member.size, FUZZ_OUTPUT_LIMIT);
#endif
    member.crc = head_.data_crc;
    member.exact_time = head_.stored_time;
    member.local_time = head_.time;
    return true;
}

void MemberSource::skip_bytes(std::int64_t count) {
    // The end of the archive ends the skip.
    for (std::int64_t i = 0; i < count; ++i) {
        if (reader_.byte_get() < 0) return;
    }
}

void MemberSource::skip() {
    skip_bytes(head_.data_size());
}

void MemberSource::decode(MemberDecoder decoder, FileDecOutStream& out) {
    if (out.expected_size > 0) decoder(reader_, out);
    const std::int64_t consumed = reader_.byte_position() - data_start_;
    if (consumed < head_.data_size()) skip_bytes(head_.data_size() - consumed);
}

void decode(OutputFile& output, const WideString& archive_path) {
    extract_archive<Archive>(output, archive_path);
}

}  // namespace lzh
