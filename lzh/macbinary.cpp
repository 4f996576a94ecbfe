// MacBinary headers of MacLHA's members (see macbinary.h).
#include "macbinary.h"

#include <algorithm>

namespace lzh {

namespace {

// Seconds from 1904-01-01, the Mac epoch, to 1970-01-01.
constexpr std::int64_t MAC_EPOCH_OFFSET = 2082844800;
constexpr std::int64_t LARGEST_ZONE_OFFSET = 14 * 60 * 60;
constexpr std::size_t NAME_CAPACITY = 63;

constexpr std::size_t NAME_LENGTH = 0x01;
constexpr std::size_t NAME = 0x02;
constexpr std::size_t RESERVED_1 = 0x4A;
constexpr std::size_t RESERVED_2 = 0x52;
constexpr std::size_t DATA_FORK_LENGTH = 0x53;
constexpr std::size_t RESOURCE_FORK_LENGTH = 0x57;
constexpr std::size_t MODIFICATION_TIME = 0x5F;
constexpr std::size_t ZERO_TAIL = 0x63;

std::int64_t be32(const std::uint8_t* p) {
    return (std::int64_t{p[0]} << 24) | (std::int64_t{p[1]} << 16) | (std::int64_t{p[2]} << 8) | p[3];
}

bool all_zero(const std::uint8_t* begin, const std::uint8_t* end) {
    return std::all_of(begin, end, [](std::uint8_t b) { return b == 0; });
}

// The name's bytes after its last separator: '/' or 0xFF ('\\' may be the
// second byte of a Shift-JIS character).
ByteString last_component(const ByteString& name) {
    const std::size_t cut = name.find_last_of(ByteString("/\xFF", 2));
    return cut == ByteString::npos ? name : name.substr(cut + 1);
}

std::int64_t check(const void* context, const std::uint8_t* prefix, std::size_t size) {
    if (size < MACBINARY_HEADER_SIZE) return FileDecOutStream::KEEP_ALL;
    const std::int64_t fork = macbinary_fork_size(prefix, *static_cast<const MacMember*>(context));
    return fork < 0 ? FileDecOutStream::KEEP_ALL : fork;
}

}  // namespace

std::int64_t macbinary_fork_size(const std::uint8_t* header, const MacMember& member) {
    if (header[0] != 0 || header[RESERVED_1] != 0 || header[RESERVED_2] != 0) return -1;
    if (!all_zero(header + ZERO_TAIL, header + MACBINARY_HEADER_SIZE)) return -1;

    const std::size_t name_length = header[NAME_LENGTH];
    if (name_length > NAME_CAPACITY || name_length != member.stored_name.size()) return -1;
    if (!std::equal(header + NAME, header + NAME + name_length, member.stored_name.begin(),
                    [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); })) {
        return -1;
    }
    if (!all_zero(header + NAME + name_length, header + NAME + NAME_CAPACITY)) return -1;

    const std::int64_t data_fork = be32(header + DATA_FORK_LENGTH);
    const std::int64_t resource_fork = be32(header + RESOURCE_FORK_LENGTH);
    const std::int64_t header_size = MACBINARY_HEADER_SIZE;
    if ((header_size + data_fork + resource_fork + 127) / 128 * 128 != member.size) return -1;

    // Local time against UTC: they differ by the writer's zone offset.
    const std::int64_t mac_time = be32(header + MODIFICATION_TIME);
    if (mac_time < MAC_EPOCH_OFFSET) return -1;
    const std::int64_t local_time = mac_time - MAC_EPOCH_OFFSET;
    const std::int64_t difference =
        local_time > member.utc_time ? local_time - member.utc_time : member.utc_time - local_time;
    if (difference > LARGEST_ZONE_OFFSET) return -1;

    return data_fork > 0 ? data_fork : resource_fork;
}

bool may_hold_macbinary(const LZHHeadDec& head, MacMember& member) {
    if (head.os_id != OS_ID_MACOS || head.original_size < static_cast<std::int64_t>(MACBINARY_HEADER_SIZE)) {
        return false;
    }
    // Level 2 keeps the name in its 0x01 record, which level 1 may add.
    member.stored_name = last_component(head.narrow_name.empty() ? head.name_field : head.narrow_name);
    member.size = head.original_size;
    member.utc_time = head.stored_time;
    return member.utc_time >= 0 || from_date_record(head.local_time(), member.utc_time);
}

void strip_macbinary(FileDecOutStream& out, const MacMember& member) {
    out.hold_prefix(MACBINARY_HEADER_SIZE, check, &member);
}

}  // namespace lzh
