// LZHHeadEnc: builds the level-2 header of one entry to be written.
//
//   offset  size  field
//   0       2     H: the whole header, extended headers included
//   2       5     method
//   7       4     compressed size
//   11      4     original size
//   15      4     modification time, seconds since 1970-01-01 00:00 UTC
//   19      1     attribute, 0x20
//   20      1     header level, 2
//   21      2     CRC-16 of the original data
//   23      1     operating-system identifier, 0x4D
//   24      2     size of the first extended record
//   26      ...   extended records, each: type, data, size of the next one
//                 0x01 name, 0x44 name in UTF-16LE (with Unicode names),
//                 0x02 directory, 0x45 directory in UTF-16LE, 0x46 code
//                 page (2 or 4 bytes), and last 0x00 with the CRC-16 of
//                 the whole header, computed with its own two bytes as 0
//   H-2     2     0: the end of the chain
//
// A header whose length is a multiple of 256 would begin with a zero byte,
// which every reader takes for the end of the archive. Such a header gets
// one more byte, a 0 after the two CRC bytes of its 0x00 record: readers
// take the CRC from the record's first two bytes. (A byte after the end of
// the chain would do for readers that skip a level-2 header by its length,
// but some take the data to start where the chain ends.)
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "lzh_entry.h"
#include "text_types.h"

namespace lzh {

namespace head_enc {
constexpr std::size_t LENGTH = 0;
constexpr std::size_t METHOD = 2;
constexpr std::size_t COMPRESSED_SIZE = 7;
constexpr std::size_t ORIGINAL_SIZE = 11;
constexpr std::size_t TIME = 15;
constexpr std::size_t ATTRIBUTE = 19;
constexpr std::size_t LEVEL = 20;
constexpr std::size_t DATA_CRC = 21;
constexpr std::size_t OS_ID = 23;
constexpr std::size_t FIRST_SIZE = 24;
constexpr std::size_t BASE_SIZE = 26;  // through the first size field
constexpr std::uint8_t ATTRIBUTE_ARCHIVE = 0x20;
// Lengths are 16-bit fields.
constexpr std::size_t MAX_LENGTH = 0xFFFF;
}  // namespace head_enc

class LZHHeadEnc {
public:
    // Builds the header. As a side effect the entry's DirectoryNode gets its
    // stored forms (first entry of a directory) and the job's code-page
    // state follows the name conversions. A header that would not fit its
    // 16-bit length throws "LZHHeadEnc: header is too long.".
    explicit LZHHeadEnc(LZHEntry& entry);

    std::vector<std::uint8_t> bytes;

private:
    void put(std::size_t offset, std::uint32_t value, int n);
    // Appends a record at the current end: its size goes into the size
    // field that ends the header so far, then type, data and a new size
    // field 0. Returns the offset of the record's data.
    std::size_t add_record(int type, const ByteString& data);
};

}  // namespace lzh
