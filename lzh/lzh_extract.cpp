// LZH extraction (see lzh_extract.h).
#include "lzh_extract.h"

#include <algorithm>
#include <cstdio>
#include <span>
#include <vector>

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

// Losses at the end of an archive; the members before them are extracted.
constexpr const char* NO_END_MARK = "LZH: the archive ends without its end mark; members may be missing.";
constexpr const char* DATA_PAST_END = "LZH: a member's data runs past the end of the archive.";
constexpr const char* NO_ARCHIVE = "LZH: no archive header in the first 64 KiB.";

// Where a header could start: a method id at offset 2, five characters
// between dashes ("-lh5-", "-lzs-", "-pm2-"). Behind a
// stub, more must hold, since a stub may contain such text by chance: a
// header level of 0 to 3 and a header length that can hold the fixed
// fields (levels 0 and 1 give it in one byte, level 2 in two).
bool looks_like_header(const unsigned char* p, std::size_t available, bool strict) {
    if (available < 7 || p[2] != '-' || p[6] != '-') return false;
    for (int i = 3; i < 6; ++i) {
        const unsigned char c = p[i];
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return false;
    }
    if (!strict) return true;
    if (available < 21) return false;
    const unsigned level = p[20];
    if (level > 3) return false;
    if (level == 2) return (p[0] | (p[1] << 8)) >= 26;
    return level == 3 || p[0] >= 20;
}

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
    // MS-DOS-era writers put whole paths. Narrow names without a code-page
    // record are in the writer's code page, which nothing names: UTF-8
    // (Unix and macOS tools, UTF-8 writers on Windows) is told by its form,
    // which text in the double-byte code pages has only by rare accident.
    if (!head.name_field.empty()) {
        parts.push_back({head.name_field, HINT_FF_SEPARATOR | HINT_UTF8_LIKELY, 0, false, u""});
    }
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

    std::uint32_t hint = HINT_FF_SEPARATOR | HINT_UTF8_LIKELY;
    WideString code_page_label;
    if (head.has_code_page) {
        hint = HINT_FF_SEPARATOR | HINT_CODE_PAGE;
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

namespace {

// Unix LHA tools store a symbolic link as a directory entry named
// "name|target". The target is cut off every name part that holds one and
// kept; the member becomes a link. '|' cannot stand in a file name on
// Windows, and a name keeps its bytes before it.
void take_link_target(Member& member) {
    for (NamePart& part : member.name_parts) {
        if (part.directory || (part.hint & HINT_UTF16LE) != 0) continue;
        const std::size_t bar = part.bytes.find('|');
        if (bar == ByteString::npos) continue;
        if (!member.link) member.link_target = part.bytes.substr(bar + 1);
        part.bytes.resize(bar);
        member.link = true;
    }
}

}  // namespace

namespace {

// The reader takes the archive in blocks of its own: a buffer of the
// runtime's in between would only cost a look at the file (the runtime
// sizes its buffer by it) and a copy of every byte.
std::FILE* unbuffered(std::FILE* archive) {
    if (archive != nullptr) std::setvbuf(archive, nullptr, _IONBF, 0);
    return archive;
}

}  // namespace

MemberSource::MemberSource(std::FILE* archive, std::int64_t size) : reader_(unbuffered(archive), READ_BLOCK, size) {
    find_archive_start();
}

void MemberSource::find_archive_start() {
    // Nearly every archive starts with its first header (or is empty: the
    // end mark, or no byte at all). Otherwise a self-extracting program or
    // other leading bytes stand before it, and it is searched for in the
    // reader's first block, which holds the whole search; the reader then
    // moves to it there. The file is read once either way.
    const std::span<const std::uint8_t> start = reader_.block_ahead();
    const std::size_t got = start.size();
    if (got == 0 || start[0] == 0 || looks_like_header(start.data(), got, false)) return;
    std::size_t offset = 1;
    while (offset < static_cast<std::size_t>(ARCHIVE_SEARCH) && offset < got &&
           !looks_like_header(start.data() + offset, got - offset, true)) {
        ++offset;
    }
    if (offset >= static_cast<std::size_t>(ARCHIVE_SEARCH) || offset >= got) throw NO_ARCHIVE;
    reader_.move_within_block(static_cast<std::int64_t>(offset));
}

bool MemberSource::next(Member& member) {
    member = Member{};
    if (data_cut_) throw DATA_PAST_END;
    const std::int64_t header_start = reader_.byte_position();
    try {
        head_.read(reader_);
    } catch (const char*) {
        member.name_parts = name_parts(head_);
        throw;
    }
    if (head_.level < 0) {
        // No byte at all where a header or the end mark should be: the
        // archive was cut, perhaps right before another member.
        if (any_member_ && reader_.byte_position() == header_start) throw NO_END_MARK;
        return false;
    }
    any_member_ = true;
    data_start_ = reader_.byte_position();
    member.name_parts = name_parts(head_);
    member.method = head_.method;
    member.directory_entry = head_.method == DIRECTORY_METHOD;
    if (member.directory_entry) take_link_target(member);
    if (member.link) member.directory_entry = false;
    member.size = head_.original_size;
#if defined(FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION)
    member.size = std::min(member.size, FUZZ_OUTPUT_LIMIT);
#endif
    member.crc = head_.data_crc;
    mac_candidate_ = may_hold_macbinary(head_, mac_member_);
    member.exact_time = head_.stored_time;
    // The file gets its local time only when there are no exact seconds.
    if (member.exact_time < 0) member.local_time = head_.local_time();
    return true;
}

void MemberSource::skip_bytes(std::int64_t count) {
    // The end of the archive ends the skip.
    for (std::int64_t i = 0; i < count; ++i) {
        if (reader_.byte_get() < 0) {
            data_cut_ = true;
            return;
        }
    }
}

void MemberSource::skip() { skip_bytes(head_.data_size()); }

void MemberSource::decode(MemberDecoder decoder, FileDecOutStream& out) {
    if (mac_candidate_) strip_macbinary(out, mac_member_);
    if (out.expected_size > 0) decoder(reader_, out);
    const std::int64_t consumed = reader_.byte_position() - data_start_;
    if (consumed < head_.data_size()) skip_bytes(head_.data_size() - consumed);
}

void decode(StagedFile& output, const WideString& archive_path) { extract_archive<Archive>(output, archive_path); }

}  // namespace lzh
