#include "zip_extra_field.h"

#include <type_traits>

#include "crc_table.h"
#include "header_bytes.h"

namespace {

constexpr const char* ZIP64_SHORT = "zip64_fields_apply: ZIP64 extra field is too short.";

// Seconds from 1601-01-01 (the NTFS epoch) to 1970-01-01.
constexpr std::int64_t NTFS_EPOCH_OFFSET = 11644473600;
constexpr std::int64_t NTFS_TICKS_PER_SECOND = 10000000;

// Rounds towards minus infinity, so that times before 1970 stay exact.
std::int64_t floor_div(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// NTFS block:
//   +0  4  reserved
//   +4     attributes, each: tag 2, size 2, data
// Attribute 1 (24 bytes): modification, access, creation time, 8 bytes
// each, unsigned 100 ns steps since 1601-01-01 UTC (7-Zip leaves the
// access and creation times 0).
std::optional<std::int64_t> ntfs_time(std::string_view block) {
    const coding::LeBytes bytes(block, "");
    for (std::size_t at = 4; at + 4 <= block.size();) {
        const std::uint16_t tag = bytes.u16(at);
        const std::uint16_t size = bytes.u16(at + 2);
        if (size > block.size() - at - 4) break;
        if (tag == 1 && size >= 8) {
            const auto ticks = static_cast<std::int64_t>(bytes.u64(at + 4) & 0x7FFFFFFFFFFFFFFF);
            // 0 is a time that was not recorded.
            if (ticks == 0) return std::nullopt;
            return floor_div(ticks, NTFS_TICKS_PER_SECOND) - NTFS_EPOCH_OFFSET;
        }
        at += 4 + std::size_t{size};
    }
    return std::nullopt;
}

// Extended timestamp block:
//   +0  1  flags: bit 0 modification, bit 1 access, bit 2 creation time
//   +1  4  modification time, signed seconds since 1970 UTC (if bit 0)
// The local block carries the times its flags name; the central one only
// the modification time, with the same flags.
std::optional<std::int64_t> timestamp_time(std::string_view block) {
    if (block.size() < 5 || (static_cast<std::uint8_t>(block[0]) & 1) == 0) return std::nullopt;
    return static_cast<std::int32_t>(coding::LeBytes(block, "").u32(1));
}

}  // namespace

std::optional<std::string_view> extra_block(std::string_view extra, std::uint16_t id) {
    const coding::LeBytes bytes(extra, "");
    for (std::size_t at = 0; at + 4 <= extra.size();) {
        const std::uint16_t size = bytes.u16(at + 2);
        if (size > extra.size() - at - 4) break;
        if (bytes.u16(at) == id) return extra.substr(at + 4, size);
        at += 4 + std::size_t{size};
    }
    return std::nullopt;
}

bool zip64_fields_apply(std::string_view extra, Zip64Fields& fields, bool local) {
    const std::optional<std::string_view> block = extra_block(extra, ZIP_EXTRA_ZIP64);
    if (!block) return false;
    const coding::LeBytes bytes(*block, ZIP64_SHORT);
    std::size_t at = 0;
    const auto take = [&](auto& field, std::size_t width, bool marked) {
        if (!marked) return;
        field = static_cast<std::remove_reference_t<decltype(field)>>(bytes.get(at, width));
        at += width;
    };
    const bool usize_marked = fields.uncompressed_size == ZIP64_MARK_32;
    const bool csize_marked = fields.compressed_size == ZIP64_MARK_32;
    if (local) {
        // Both sizes or none: an unmarked size still takes its 8 bytes.
        if (usize_marked || csize_marked) {
            take(fields.uncompressed_size, 8, usize_marked);
            at = 8;
            take(fields.compressed_size, 8, csize_marked);
        }
        return true;
    }
    take(fields.uncompressed_size, 8, usize_marked);
    take(fields.compressed_size, 8, csize_marked);
    take(fields.local_offset, 8, fields.local_offset == ZIP64_MARK_32);
    take(fields.disk_start, 4, fields.disk_start == ZIP64_MARK_16);
    return true;
}

std::optional<std::int64_t> extra_modification_time(std::string_view extra) {
    if (const auto block = extra_block(extra, ZIP_EXTRA_NTFS)) {
        if (const auto time = ntfs_time(*block)) return time;
    }
    if (const auto block = extra_block(extra, ZIP_EXTRA_TIMESTAMP)) return timestamp_time(*block);
    return std::nullopt;
}

std::optional<ByteString> unicode_path_name(std::string_view extra, std::string_view stored_name) {
    const std::optional<std::string_view> block = extra_block(extra, ZIP_EXTRA_UNICODE_PATH);
    if (!block || block->size() < 5 || block->front() != 1) return std::nullopt;
    coding::CrcTable32 crc;
    for (const char c : stored_name) crc.update(static_cast<std::uint8_t>(c));
    if ((crc.value ^ 0xFFFFFFFFu) != coding::LeBytes(*block, "").u32(1)) return std::nullopt;
    return ByteString(block->substr(5));
}
