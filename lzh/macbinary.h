// MacBinary headers in front of the data of MacLHA's members.
//
// Classic Mac OS files have a data fork, a resource fork and Finder
// information. MacLHA keeps them by storing each file as MacBinary: a
// 128-byte header, then the data fork and the resource fork, padded to a
// multiple of 128 bytes. Its archives say so only by the operating-system
// id 'm', which it also writes for members stored without the header, and
// the header has no magic number. So the first 128 bytes of a member are
// taken for a header only when every field that MacLHA fills in a fixed
// way holds and the fields that repeat the member's own header agree:
//   0x00        0 (old version number)
//   0x01        length of the file name, at most 63: the member's name
//   0x02-0x40   the name's bytes, then zeros
//   0x4A, 0x52  0 (reserved)
//   0x53-0x56   data fork length      } with the 128 of the header, rounded
//   0x57-0x5A   resource fork length  } up to 128: the member's size
//   0x5F-0x62   modification time, seconds since 1904 in the writer's local
//               time: within the largest zone offset (14 hours) of the
//               member's time
//   0x63-0x7F   0 (comment length and MacBinary II fields MacLHA leaves out)
// (big-endian fields; type, creator, Finder flags, icon position and
// creation time are not looked at). A MacBinary file archived on purpose
// has ".bin" after its name, so its header names another file and stays.
//
// What is extracted of a member with a header is its data fork, or its
// resource fork when the data fork is empty, as MacLHA itself does when it
// stores files for other systems. The archive's CRC and size cover all the
// member's bytes, header and padding included, and are checked over them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "lzh_coding.h"
#include "lzh_head_dec.h"
#include "text_types.h"

namespace lzh {

constexpr std::size_t MACBINARY_HEADER_SIZE = 128;
constexpr std::int32_t OS_ID_MACOS = 'm';

// What a member's own header says that a MacBinary header repeats.
struct MacMember {
    ByteString stored_name;     // the name's bytes, without its directory
    std::int64_t size = 0;      // original size
    std::int64_t utc_time = 0;  // modification time, seconds since 1970
};

// The number of bytes after the 128-byte header to extract, or -1 when
// header is no MacBinary header of this member.
std::int64_t macbinary_fork_size(const std::uint8_t* header, const MacMember& member);

// Whether the member's data may begin with a MacBinary header: it comes
// from MacLHA, is not shorter than one and has a time to compare. Fills
// member for the check.
bool may_hold_macbinary(const LZHHeadDec& head, MacMember& member);

// Has out hold back the member's first 128 bytes and, when they are its
// MacBinary header, write only the fork that follows them. member must
// outlive out's last put.
void strip_macbinary(FileDecOutStream& out, const MacMember& member);

}  // namespace lzh
