#include "zip_head_dec.h"

#include "dos_time.h"
#include "stored_name.h"
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

bool ZipHeaderReader::fill(ZipBitInStream& input, std::size_t size) {
    while (header_bytes.size() < size) {
        const int byte = input.byte_get();
        if (byte < 0) return false;
        header_bytes.push_back(static_cast<char>(byte));
    }
    return true;
}

std::uint32_t ZipHeaderReader::int_get(std::size_t offset, std::size_t width) const {
    if (width > 4 || offset > header_bytes.size() || width > header_bytes.size() - offset) {
        throw "int_get: header format is illegal.";
    }
    std::uint32_t value = 0;
    for (std::size_t i = width; i > 0; --i) {
        value = (value << 8) | static_cast<std::uint8_t>(header_bytes[offset + i - 1]);
    }
    return value;
}

ByteString ZipHeaderReader::str_get(std::size_t offset, std::size_t length) const {
    if (offset > header_bytes.size() || length > header_bytes.size() - offset) {
        throw "str_get: header format is illegal.";
    }
    return header_bytes.substr(offset, length);
}

void ZipHeaderReader::read(ZipBitInStream& input) {
    *this = ZipHeaderReader{};
    if (!fill(input, 4)) return;
    signature = int_get(0, 4);

    switch (signature) {
        case ZIP_LOCAL_SIGNATURE: {
            // A header cut short keeps the defaults of what it lacks: the
            // walk then finds no name, or no data, and stops.
            if (!fill(input, LOCAL_FIXED)) return;
            version_needed = static_cast<std::int32_t>(int_get(LOCAL_VERSION, 2));
            flags = int_get(LOCAL_FLAGS, 2);
            method = static_cast<std::int32_t>(int_get(LOCAL_METHOD, 2));
            const DosTime time = dos_time_of(int_get(LOCAL_TIME, 4));
            year = time.year;
            month = time.month;
            day = time.day;
            hour = time.hour;
            minute = time.minute;
            second = time.second;
            crc = int_get(LOCAL_CRC, 4);
            compressed_size = int_get(LOCAL_COMPRESSED, 4);
            uncompressed_size = int_get(LOCAL_UNCOMPRESSED, 4);
            const std::size_t name_length = int_get(LOCAL_NAME_LENGTH, 2);
            const std::size_t extra_length = int_get(LOCAL_EXTRA_LENGTH, 2);
            if (!fill(input, LOCAL_FIXED + name_length + extra_length)) return;
            decode_stored_name(str_get(LOCAL_FIXED, name_length), name,
                               (flags & ZIP_FLAG_UTF8) != 0 ? std::uint32_t{HINT_UTF8} : 0u);
            return;
        }
        case ZIP_CENTRAL_SIGNATURE:
            if (!fill(input, CENTRAL_FIXED)) return;
            fill(input, CENTRAL_FIXED + int_get(CENTRAL_NAME_LENGTH, 2) + int_get(CENTRAL_EXTRA_LENGTH, 2) +
                            int_get(CENTRAL_COMMENT_LENGTH, 2));
            return;
        case ZIP_END_SIGNATURE:
            fill(input, END_FIXED);
            return;
        default:
            throw "Outside of the support range.";
    }
}
