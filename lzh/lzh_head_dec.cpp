// Reading LZH entry headers (see lzh_head_dec.h for the byte layout).
#include "lzh_head_dec.h"

#include <algorithm>

#include "unicode_names.h"

namespace lzh {

namespace {

constexpr const char* LEVEL_ERROR = "LZHHeadDec: this file level is out of support range.";
constexpr const char* FORMAT_ERROR = "LZHHeadDec: header format is illegal.";
constexpr const char* EXTENDED_ERROR = "LZHHeadDec: extended header is illegal.";

// Level 3 counts in 4-byte words: its first field holds that word size.
constexpr int LEVEL3_WORD = 4;
// Largest level-3 header accepted; its 4-byte length field could otherwise
// ask for gigabytes of header.
constexpr std::size_t LEVEL3_HEADER_LIMIT = std::size_t{1} << 20;
// OS-9/68k writes level-2 headers whose length field leaves out the last
// two bytes of the extended headers.
constexpr int OS9_68K = 'K';

}  // namespace

void LZHHeadDec::read(BitInStream& input) {
    *this = LZHHeadDec{};
    // A zero byte where a header would start is the end mark; no byte at
    // all ends the archive the same way.
    if (!raw.fill(input, 1) || raw.bytes[0] == '\0') {
        raw.bytes.clear();
        return;
    }
    fill_to(input, head::FIXED_SIZE);
    method = raw.str_get(head::METHOD, head::METHOD_SIZE);
    const int found_level = int_get(head::LEVEL, 1);
    if (found_level > 3) throw LEVEL_ERROR;

    if (found_level == 3) {
        read_level3(input);
    } else if (found_level == 2) {
        read_level2(input);
    } else {
        read_level01(input);
    }
    level = found_level;
    complete = true;
}

bool LZHHeadDec::fill_to(BitInStream& input, std::size_t count) { return raw.fill(input, count); }

// A 4-byte value with bit 31 set comes out negative.
int LZHHeadDec::int_get(std::size_t offset, int n) const {
    return static_cast<int>(raw.int_get(offset, static_cast<std::size_t>(n)));
}

std::int64_t LZHHeadDec::data_size() const {
    if (compressed_size < 0) return 0;
    return std::max<std::int64_t>(0, compressed_size - extended_size);
}

DateRecord LZHHeadDec::local_time() const {
    DateRecord local = time;
    if (stored_time >= 0) to_date_record(stored_time, local);
    return local;
}

// ---- levels 0 and 1 -------------------------------------------------------

void LZHHeadDec::read_level01(BitInStream& input) {
    const int found_level = int_get(head::LEVEL, 1);
    const std::size_t length = static_cast<std::size_t>(int_get(head::LEVEL0_LENGTH, 1)) + 2;
    if (length <= head::NAME_LENGTH) throw FORMAT_ERROR;
    fill_to(input, length);
    compressed_size = raw.int_get(head::COMPRESSED_SIZE, 4);
    original_size = raw.int_get(head::ORIGINAL_SIZE, 4);
    time = dos_time_of(raw.int_get(head::TIME, 4));

    // The name, its CRC and (level 1) the identifier and the first size
    // field must lie inside the base header: a length that leaves no room
    // for them would make the reader take entry data for header fields.
    const std::size_t name_length = static_cast<std::size_t>(int_get(head::NAME_LENGTH, 1));
    const std::size_t needed = head::NAME + name_length + 2 + (found_level == 1 ? 3 : 0);
    if (length < needed) throw FORMAT_ERROR;

    // An empty name field is no name (a level-1 directory entry has its
    // path in the 0x02 record only), not a name to be invented.
    name_field = raw.str_get(head::NAME, name_length);
    // Amiga writers put the file's comment after a NUL in the name field.
    name_field.resize(std::min(name_field.size(), name_field.find('\0')));
    data_crc = static_cast<std::uint16_t>(int_get(head::NAME + name_length, 2));
    if (found_level == 1) {
        os_id = int_get(head::NAME + name_length + 2, 1);
        read_extended(input, length - 2, length + LEVEL1_EXTENDED_LIMIT, 2, true);
    }
}

// ---- level 2 -----------------------------------------------------------------

void LZHHeadDec::read_level2(BitInStream& input) {
    fill_to(input, head::LEVEL2_LENGTH + 2);
    const auto length = static_cast<std::size_t>(int_get(head::LEVEL2_LENGTH, 2));
    if (length < head::LEVEL2_BASE_SIZE) throw FORMAT_ERROR;
    // A header cut short by the end of the archive reads on as 0xFF bytes;
    // the entry then fails its CRC check, or its records are refused.
    if (!fill_to(input, length)) raw.bytes.resize(length, '\xFF');

    read_unix_fields();
    std::size_t limit = length;
    if (os_id == OS9_68K) {
        fill_to(input, length + 2);
        limit += 2;
    }
    read_extended(input, head::LEVEL2_FIRST_SIZE, limit, 2, false);
}

// The fixed fields that levels 2 and 3 share.
void LZHHeadDec::read_unix_fields() {
    compressed_size = raw.int_get(head::COMPRESSED_SIZE, 4);
    original_size = raw.int_get(head::ORIGINAL_SIZE, 4);
    stored_time = raw.int_get(head::TIME, 4);
    data_crc = static_cast<std::uint16_t>(int_get(head::LEVEL2_CRC, 2));
    os_id = int_get(head::LEVEL2_OS, 1);
}

// ---- level 3 -----------------------------------------------------------------

void LZHHeadDec::read_level3(BitInStream& input) {
    fill_to(input, head::LEVEL3_BASE_SIZE);
    if (int_get(head::LEVEL3_WORD_SIZE, 2) != LEVEL3_WORD) throw FORMAT_ERROR;
    const std::size_t length = raw.int_get(head::LEVEL3_LENGTH, 4);
    if (length < head::LEVEL3_BASE_SIZE || length > LEVEL3_HEADER_LIMIT) throw FORMAT_ERROR;
    if (!fill_to(input, length)) raw.bytes.resize(length, '\xFF');

    read_unix_fields();
    read_extended(input, head::LEVEL3_FIRST_SIZE, length, 4, false);
}

// ---- extended headers ---------------------------------------------------------

// size_field: offset of the first size field; limit: offset that no record
// may pass (the header length at level 2).
// width: bytes of each size field (4 at level 3, else 2). A record is at
// least its type byte and the next size field.
// counted: the records count in the compressed size (level 1).
void LZHHeadDec::read_extended(BitInStream& input, std::size_t size_field, std::size_t limit, std::size_t width,
                               bool counted) {
    std::size_t p = size_field;
    for (std::size_t record = raw.int_get(p, width); record != 0; record = raw.int_get(p, width)) {
        if (record < 1 + width || record > limit || p + width + record > limit) throw EXTENDED_ERROR;
        fill_to(input, p + width + record);
        const std::size_t data_at = p + width + 1;
        const int type = int_get(p + width, 1);
        const ByteString data = raw.str_get(data_at, record - 1 - width);
        switch (type) {
        case EXT_NAME: narrow_name = data; break;
        case EXT_DIRECTORY: narrow_directory = data; break;
        case EXT_UNICODE_NAME:
        case EXT_UNICODE_DIRECTORY:
            // A record that is no UTF-16LE text leaves the name to the
            // narrow record.
            if (is_utf16le_name(data)) unicode_records.push_back({type == EXT_UNICODE_DIRECTORY, data});
            break;
        case EXT_CODE_PAGE:
            // Written as 4 bytes, or 2 by some writers; longer data keeps
            // its low 4 bytes.
            if (!data.empty()) {
                has_code_page = true;
                code_page = int_get(data_at, static_cast<int>(std::min<std::size_t>(data.size(), 4)));
            }
            break;
        default: break;  // the header CRC and unknown records are not needed
        }
        if (counted) extended_size += static_cast<std::int64_t>(record);
        p += record;
    }
}

}  // namespace lzh
