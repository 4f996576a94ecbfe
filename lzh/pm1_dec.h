// The -pm1- decoder (PMarc 1): LZ77 over a 16 KiB ring, without adaptive
// tables; every field is a fixed prefix code, and the codes for match
// positions grow with the output. Bits are read most significant first.
//
// The stream starts with a 5-bit number that picks one of 32 small trees
// for the literal classes (see LITERAL_CLASS_TREES). Then commands:
//   0 bit: a match.
//   1 bit: a run of 1 to 216 literals, then (unless the run is 216 long) a
//     match with no bit in front of it.
// Run length: 2 bits v < 3: v + 1; else 3 bits v < 7: v + 4; else 4 bits
// v < 14: v + 11; 14: 6 more bits + 25; 15: 7 more bits + 89.
// A literal is its class (0-5) from the stream's tree, then the place of
// the byte in the move-to-front list of byte values: class base + extra
// bits (0+4, 16+4, 32+5, 64+6, 128+6, 192+6). Every byte put out, literal
// or copied, moves to the front of the list, which starts as 0x20-0x7F,
// 0x00-0x1F, 0xA0-0xDF, 0x80-0x9F, 0xE0-0xFF.
// A match is its kind k (0-5), its length (2 for kinds 0 and 1, else
// 3 to 244 in a code like the run length's: 2 bits v < 3: v + 3; else 3
// bits v < 5: v + 6, 5: 2 more + 11, 6: 3 more + 15, 7: 6 more bits w,
// w < 62: w + 23, 62: 5 more + 85, 63: 7 more + 117) and its position
// value v (distance - 1), base + extra bits by kind: 0+6, 64+8, 0+6,
// 64+9, 576+11, 2624+13. The kind is coded by a tree whose branches open
// as the output grows: a first bit; after a 0, a bit for kind 4 (only
// once 576 bytes are out) and a bit for 0 against 1 (once 64 are out);
// after a 1, a bit for kind 3 (once 64 are out) and a bit for 2 against 5
// (once 2624 are out); a bit not yet in use reads as the branch to 0 or 2.
// While few bytes are out, the position values of kinds 3, 4 and 5 take
// fewer extra bits (8 below 320 bytes for kind 3; 8, 9, 10 below 832,
// 1088, 1600 for kind 4; 8 to 12 below 2880, 3136, 3648, 4672, 6720 for
// kind 5). A match may not reach before the member's first byte.
//
// Encoders may rely on reading past the end of their data: the decoder
// reads zero bits there, for at most TRUNCATED_FILL_LIMIT more bytes of
// output (or until those bits make a match reach before the first byte),
// and then fills the rest of the entry (see truncated_fill.h). Such a
// match within the data is corrupt data, thrown as text.
#pragma once

#include "lzh_coding.h"

namespace lzh {

void decode_pm1(BitInStream& input, FileDecOutStream& out);

}  // namespace lzh
