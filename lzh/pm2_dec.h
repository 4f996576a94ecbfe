// The -pm2- decoder (PMarc 2): LZ77 over an 8 KiB ring of spaces, with
// literals coded as places in a move-to-front list of byte values and a
// small Huffman code for the kind of each command. Bits are read most
// significant first.
//
// The stream starts with one unused bit and the two code tables. The
// command code has up to 29 symbols:
//   0-7   a literal: the place of the byte in the move-to-front list, as a
//         base and extra bits per symbol (0+3, 8+3, 16+4, 32+5, 64+5,
//         96+5, 128+6, 192+6 bits);
//   8-22  a match of symbol - 6 bytes (2 to 16);
//   23-28 a match of base + extra bits bytes (17+3, 25+3, 33+5, 65+6,
//         129+7, and 256 with none).
// A match's position value v (distance - 1) follows: for symbol 8, 6 bits;
// for 9 to 27 a symbol k of the position code, then v = the next 6 bits
// when k = 0, else 2^(k+5) + the next k + 5 bits; symbol 28 has v = 0.
// Every byte put out, literal or copied, moves to the front of the list,
// which starts as 0x20-0x7F, 0x00-0x1F, 0xA0-0xDF, 0x80-0x9F, 0xE0-0xFF.
//
// Command code table: a 5-bit count n and a 3-bit least length m; m = 0 is
// the one-symbol form (symbol n - 1, no bits per command); otherwise a
// 3-bit width w and n fields of w bits, 0 for an unused symbol and f for
// the length m + f - 1. Position code table: one 3-bit length per symbol;
// exactly one used symbol costs no bits. The position code is read only
// when the command code can use it (n >= 10, other than the one-symbol
// code of symbol 28), and it grows with the output: 5 symbols at first, 6
// after 1 KiB, 7 after 2 KiB, 8 after 4 KiB. At 4 KiB, and every 4 KiB
// from 8 KiB on, one bit says whether new tables follow (at 4 KiB the
// position table follows in any case). The tables change as the byte that
// reaches the mark is put out, in the middle of a match if need be.
//
// Tables beyond the alphabets are thrown as text; the end of the data
// fills the rest of the entry (see truncated_fill.h).
#pragma once

#include "lzh_coding.h"

namespace lzh {

void decode_pm2(BitInStream& input, FileDecOutStream& out);

}  // namespace lzh
