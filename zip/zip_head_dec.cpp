#include "zip_head_dec.h"

#include "zip_entry.h"

namespace {

// Local file header.
constexpr std::size_t LOCAL_VERSION = 4;
constexpr std::size_t LOCAL_FLAGS = 6;
constexpr std::size_t LOCAL_METHOD = 8;
constexpr std::size_t LOCAL_TIME = 10;  // the date follows at 12: one 32-bit stamp
constexpr std::size_t LOCAL_CRC = 14;
constexpr std::size_t LOCAL_COMPRESSED = 18;
constexpr std::size_t LOCAL_UNCOMPRESSED = 22;
constexpr std::size_t LOCAL_NAME_LENGTH = 26;
constexpr std::size_t LOCAL_EXTRA_LENGTH = 28;
constexpr std::size_t LOCAL_FIXED = 30;

// Central directory file header.
constexpr std::size_t CENTRAL_NAME_LENGTH = 28;
constexpr std::size_t CENTRAL_EXTRA_LENGTH = 30;
constexpr std::size_t CENTRAL_COMMENT_LENGTH = 32;
constexpr std::size_t CENTRAL_FIXED = 46;

// End of central directory record.
constexpr std::size_t END_FIXED = 22;

}  // namespace

void ZipHeaderReader::read(ZipBitInStream& input) {
    *this = ZipHeaderReader{};
    if (!raw.fill(input, 4)) return;
    signature = int_get(0, 4);

    switch (signature) {
    case ZIP_LOCAL_SIGNATURE: {
        // A header cut short keeps the defaults of what it lacks: the
        // walk then finds no name, or no data, and stops.
        if (!raw.fill(input, LOCAL_FIXED)) return;
        version_needed = static_cast<std::int32_t>(int_get(LOCAL_VERSION, 2));
        flags = int_get(LOCAL_FLAGS, 2);
        method = static_cast<std::int32_t>(int_get(LOCAL_METHOD, 2));
        time = dos_time_of(int_get(LOCAL_TIME, 4));
        crc = int_get(LOCAL_CRC, 4);
        compressed_size = int_get(LOCAL_COMPRESSED, 4);
        uncompressed_size = int_get(LOCAL_UNCOMPRESSED, 4);
        const std::size_t name_length = int_get(LOCAL_NAME_LENGTH, 2);
        const std::size_t extra_length = int_get(LOCAL_EXTRA_LENGTH, 2);
        if (!raw.fill(input, LOCAL_FIXED + name_length + extra_length)) return;
        stored_name = str_get(LOCAL_FIXED, name_length);
        extra = str_get(LOCAL_FIXED + name_length, extra_length);
        has_name = true;
        return;
    }
    case ZIP_CENTRAL_SIGNATURE:
        if (!raw.fill(input, CENTRAL_FIXED)) return;
        raw.fill(input, CENTRAL_FIXED + int_get(CENTRAL_NAME_LENGTH, 2) + int_get(CENTRAL_EXTRA_LENGTH, 2) +
                            int_get(CENTRAL_COMMENT_LENGTH, 2));
        return;
    case ZIP_END_SIGNATURE: raw.fill(input, END_FIXED); return;
    default: throw "Outside of the support range.";
    }
}
