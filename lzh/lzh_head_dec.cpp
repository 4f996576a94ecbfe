// Reading LZH entry headers (see lzh_head_dec.h for the byte layout).
#include "lzh_head_dec.h"

#include <algorithm>

namespace lzh {

namespace {

constexpr const char* LEVEL_ERROR = "LZHHeadDec: this file level is out of support range.";
constexpr const char* FORMAT_ERROR = "LZHHeadDec: header format is illegal.";
constexpr const char* EXTENDED_ERROR = "LZHHeadDec: extended header is illegal.";

// A record is at least its type byte and the next size field.
constexpr int MIN_RECORD_SIZE = 3;

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
    if (found_level > 2) throw LEVEL_ERROR;

    if (found_level == 2) {
        read_level2(input);
    } else {
        read_level01(input);
    }
    level = found_level;
    complete = true;
}

bool LZHHeadDec::fill_to(BitInStream& input, std::size_t count) {
    return raw.fill(input, count);
}

// A 4-byte value with bit 31 set comes out negative.
int LZHHeadDec::int_get(std::size_t offset, int n) const {
    return static_cast<int>(raw.int_get(offset, static_cast<std::size_t>(n)));
}

std::int64_t LZHHeadDec::data_size() const {
    if (compressed_size < 0) return 0;
    return std::max<std::int64_t>(0, compressed_size - extended_size);
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
    data_crc = static_cast<std::uint16_t>(int_get(head::NAME + name_length, 2));
    if (found_level == 1) {
        os_id = int_get(head::NAME + name_length + 2, 1);
        read_extended(input, length - 2, length + LEVEL1_EXTENDED_LIMIT, true);
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

    compressed_size = raw.int_get(head::COMPRESSED_SIZE, 4);
    original_size = raw.int_get(head::ORIGINAL_SIZE, 4);
    stored_time = raw.int_get(head::TIME, 4);
    to_date_record(stored_time, time);
    data_crc = static_cast<std::uint16_t>(int_get(head::LEVEL2_CRC, 2));
    os_id = int_get(head::LEVEL2_OS, 1);
    read_extended(input, head::LEVEL2_FIRST_SIZE, length, false);
}

// ---- extended headers ---------------------------------------------------------

// size_field: offset of the first size field; limit: offset that no record
// may pass (the header length at level 2).
// counted: the records count in the compressed size (level 1).
void LZHHeadDec::read_extended(BitInStream& input, std::size_t size_field, std::size_t limit, bool counted) {
    std::size_t p = size_field;
    for (int size = int_get(p, 2); size != 0; size = int_get(p, 2)) {
        const auto record = static_cast<std::size_t>(size);
        if (size < MIN_RECORD_SIZE || p + 2 + record > limit) throw EXTENDED_ERROR;
        fill_to(input, p + 2 + record);
        const int type = int_get(p + 2, 1);
        const ByteString data = raw.str_get(p + 3, record - 3);
        switch (type) {
        case EXT_NAME:
            narrow_name = data;
            break;
        case EXT_DIRECTORY:
            narrow_directory = data;
            break;
        case EXT_UNICODE_NAME:
        case EXT_UNICODE_DIRECTORY:
            if (!data.empty()) unicode_records.push_back({type == EXT_UNICODE_DIRECTORY, data});
            break;
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

}  // namespace lzh
