// The code-length descriptions at the head of every -lh5- block.
//
// A block carries three Huffman codes, each described only by its code
// lengths (the codes follow by the canonical rule):
//   - the code-length code (19 symbols): 0, 1 and 2 stand for runs of zero
//     lengths, k >= 3 for the length k - 2. Its own lengths are written with
//     blen_put, behind a 5-bit count, with a 2-bit run of zeros after the
//     third length.
//   - the literal/length code (510 symbols), written with the code-length
//     code behind a 9-bit count.
//   - the position code (14 symbols for -lh5-, 16 or 17 for -lh6- and
//     -lh7-), written with blen_put behind a 4-bit (-lh5-) or 5-bit count.
// A table with a single used symbol s is written in the single-symbol form
// instead: a count of 0 and then s in a field of the count's width. Its
// symbol then has no bits in the data at all: that is how every LZH reader
// takes the form, so the encoders build such tables with
// coding::SingleCode::ZERO_BITS.
#pragma once

#include <cstdint>

#include "blen_table.h"
#include "coding_set.h"
#include "huff_enc.h"

namespace lzh {

using LzhBitOutStream = coding::LzhCoding::BitOutStream;
using LzhHuffEnc = coding::LzhCoding::HuffEnc;

// One length of a code-length or position description: 0 to 6 in 3 bits;
// 7 or more as three 1 bits, length - 7 further 1 bits and a 0 bit, which is
// the low length - 3 bits of 0xFFFE. Lengths go up to 16 (coding limit).
void blen_put(LzhBitOutStream& output, int length);

// The description of a block's literal/length code lengths, preceded by the
// code-length code it is written with. The code-length code is built on
// construction from the runs in the literal lengths.
class BLenLiteralEnc {
public:
    // literal: the lengths of the block's literal/length code (at most 510
    // symbols; longer throws "BLenLiteralEnc: program error." when written).
    explicit BLenLiteralEnc(const coding::BLenTable& literal);

    void put(LzhBitOutStream& output) const;

private:
    // The lengths up to the last non-zero one.
    int count_ = 0;
    const coding::BLenTable& literal_;
    LzhHuffEnc code_length_table_;
};

// The description of a block's position code lengths. Its count is 4 bits
// wide for the 8 KiB dictionary of -lh5- (14 position codes) and 5 bits for
// the larger ones of -lh6- and -lh7- (16 and 17).
class BLenPositionEnc {
public:
    explicit BLenPositionEnc(const coding::BLenTable& position, int count_bits = 4)
        : position_(position), count_bits_(count_bits) {}

    void put(LzhBitOutStream& output) const;

private:
    const coding::BLenTable& position_;
    int count_bits_;
};

}  // namespace lzh
