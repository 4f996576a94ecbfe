// HuffEnc: length-limited canonical Huffman codes from symbol frequencies,
// and the writing of symbols with them.
//
// The code lengths come from a Huffman tree; when the tree is deeper than
// the limit (16 for every -lh5- table, 15 and 7 for Deflate), the lengths
// are redistributed so that none exceeds it, the least frequent symbols
// keeping the longest codes. The codes then follow by the canonical rule,
// the same one the decoders use.
#pragma once

#include <cstdint>
#include <span>

#include "bit_order.h"
#include "bit_out_stream.h"
#include "bit_pattern_table.h"
#include "blen_table.h"

namespace coding {

// The code lengths for frequencies (index = symbol; symbols with a
// frequency of 0 or less get no code), none longer than limit (1 to
// MAX_CODE_LENGTH). max_length of the result is the limit.
//   - No used symbol: the single length 1 (symbol 0); used = 1.
//   - One used symbol s: length 1 for s, 0 for the others; used = 1. The
//     list ends at s with ZERO_BITS (an -lh5- table in the single-symbol form
//     names its symbol as the last index), and has one entry per frequency
//     with ONE_BIT.
//   - Otherwise one length per frequency; used = the symbols with a code.
// Throws "HuffEnc: out of range." for a limit outside 1 to MAX_CODE_LENGTH,
// and "HuffEnc: too many symbols for the length limit." when more than
// 2^limit symbols are used.
BLenTable build_code_lengths(std::span<const std::int32_t> frequencies, int limit, SingleCode single);

template <BitOrder Order>
class HuffEnc {
public:
    // single: how a code with one used symbol is written (see SingleCode).
    HuffEnc(std::span<const std::int32_t> frequencies, int limit, SingleCode single)
        : blen(build_code_lengths(frequencies, limit, single)), patterns(blen),
          zero_bits_(single == SingleCode::ZERO_BITS && blen.used == 1) {}

    // Writes the code of symbol. A symbol beyond the table throws "encode:
    // out of range."; one without a code (frequency 0) throws "encode:
    // symbol has no code.", since writing nothing for it would silently
    // corrupt the data. The one symbol of a ZERO_BITS single-symbol code
    // writes nothing.
    void encode(BitOutStream<Order>& output, int symbol) const {
        if (symbol < 0 || static_cast<std::size_t>(symbol) >= blen.lengths.size()) {
            throw "encode: out of range.";
        }
        const int length = blen.lengths[static_cast<std::size_t>(symbol)];
        if (length == 0) throw "encode: symbol has no code.";
        if (zero_bits_) return;
        output.n_bit_put(static_cast<std::uint32_t>(patterns.patterns[static_cast<std::size_t>(symbol)]), length);
    }

    BLenTable blen;
    BitPatternTable<Order> patterns;

private:
    bool zero_bits_;
};

}  // namespace coding
