// The two compressed methods of LArc archives, plain LZSS without Huffman
// coding. Both name the source of a match by its place in the ring, not by
// its distance, and both start from a ring of known contents.
//
// -lzs- (2 KiB ring of spaces, the first byte goes to place 2048 - 17):
// a bit stream, most significant bit first, of commands: a 1 bit and a
// literal byte in 8 bits, or a 0 bit, an 11-bit ring place and a 4-bit
// length (2 to 17 bytes).
//
// -lz5- (4 KiB ring, the first byte goes to place 4096 - 18): a byte
// stream of groups, each a flag byte and eight commands; the flag bits are
// taken from the least significant end, a 1 for a literal byte, a 0 for a
// match in two bytes p, q: ring place p + 256 x (q >> 4), length
// (q & 15) + 3 (3 to 18 bytes). The ring starts as 13 copies of every
// byte value 0 to 255 in turn, the values 0 to 255 ascending, then
// descending, 128 zeros, 110 spaces and 18 zeros, so that runs and
// sequences can be matched from the first byte of a file on.
//
// The end of the data fills the rest of the entry (see truncated_fill.h).
#pragma once

#include "lzh_coding.h"

namespace lzh {

void decode_lzs(BitInStream& input, FileDecOutStream& out);
void decode_lz5(BitInStream& input, FileDecOutStream& out);

}  // namespace lzh
