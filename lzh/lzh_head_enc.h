// LZHHeadEnc: builds the level-2 header of one entry to be written.
//
// The layout is the level-2 one of lzh_header_layout.h. The writer stores
// attribute 0x20 and operating system 0x4D, and its extended records in
// this order: 0x01 name, 0x02 directory, 0x46 code page (2 or 4 bytes),
// 0x44 name and 0x45 directory in UTF-16LE (with Unicode names, which are
// asked for as Unicode headers or as UTF-16 names, these for ASCII names
// too: the narrow records then hold an ASCII or code-page form every
// reader can use), and last
// 0x00 with the CRC-16 of the whole header, computed with its own two
// bytes as 0.
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
#include "lzh_header_layout.h"
#include "text_types.h"

namespace lzh {

namespace head_enc {
constexpr std::uint8_t ATTRIBUTE_ARCHIVE = 0x20;
// Lengths are 16-bit fields.
constexpr std::size_t MAX_LENGTH = 0xFFFF;
}  // namespace head_enc

// How the creation job wants its headers written.
struct HeadEncOptions {
    // With a UTF-16LE name record: the name record 0x01 holds the name in
    // the code page, named by a 0x46 record (else an ASCII fallback form).
    bool code_page_beside_unicode = false;
    // Width of the 0x46 record's value: 4 bytes, or 2 as some readers want.
    bool code_page_4byte = true;
    // The report the writer's lines go to, in order with those of the name
    // conversions; null when the job writes no report.
    WideString* report = nullptr;
};

class LZHHeadEnc {
public:
    // Builds the header. As a side effect the entry's DirectoryNode gets its
    // stored forms (first entry of a directory) and the job's code-page
    // state follows the name conversions. A header that would not fit its
    // 16-bit length throws "LZHHeadEnc: header is too long.".
    LZHHeadEnc(LZHEntry& entry, const HeadEncOptions& options);

    // Rewrites the fields that describe the data (method, both sizes and
    // the data CRC) from entry, and the header CRC with them; the length
    // stays. A header written before its data is completed this way.
    void update(const LZHEntry& entry);

    std::vector<std::uint8_t> bytes;

private:
    void data_fields_put(const LZHEntry& entry);
    void header_crc_put();

    void put(std::size_t offset, std::uint32_t value, int n);
    // Appends a record at the current end: its size goes into the size
    // field that ends the header so far, then type, data and a new size
    // field 0. Returns the offset of the record's data.
    std::size_t add_record(int type, const ByteString& data);

    std::size_t crc_offset_ = 0;  // the two CRC bytes of the 0x00 record
};

}  // namespace lzh
