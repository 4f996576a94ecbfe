// The LZH methods that carry data, one row each: the five-character
// method id of a member header and the decoder of its data.
//
// Every decoder takes the same arguments: the archive's BitInStream, which
// stands at the first byte of the member's data, and the member's
// FileDecOutStream, which knows the original size and keeps the CRC. A
// decoder produces bytes until the stream reports the original size; the
// end of the data fills the rest (see truncated_fill.h), and corrupt code
// tables are thrown as text. An empty member reads nothing. Directories
// (-lhd-) have no data and no row.
#pragma once

#include <span>
#include <string_view>

#include "lzh_coding.h"

namespace lzh {

using MemberDecoder = void (*)(BitInStream& input, FileDecOutStream& out);

struct LzhMethod {
    std::string_view id;  // "-lh5-"
    MemberDecoder decode;
};

// The row of a method id, or null when no decoder reads it.
const LzhMethod* find_lzh_method(std::string_view id);
// Every row.
std::span<const LzhMethod> lzh_methods();

// The stored methods (-lh0-, -lz4-, -pm0-): the data is the member's bytes.
void decode_stored(BitInStream& input, FileDecOutStream& out);

}  // namespace lzh
