// BitPatternTable: the canonical code of every symbol of a BLenTable.
//
// Canonical rule (shared by -lh5- and Deflate): shorter codes come first,
// and within one length the codes follow the symbol order, so the lengths
// alone determine every code. With lengths (2, 1, 3, 3) the codes are
// 10, 0, 110, 111.
//
// Patterns are right-aligned, ready for n_bit_put with the symbol's length.
// Most significant first they are the codes themselves; least significant
// first they are bit-reversed, so the first bit of the code still goes out
// first.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "bit_order.h"
#include "blen_table.h"

namespace coding {

// The canonical rule's first code of every length, left-aligned in
// table.max_length bits, and how many codes each length has. Each code of
// length i takes 2^(top - i) of the 2^top left-aligned values; more than
// 2^top in all means the lengths are over-subscribed and no prefix code has
// them. Fewer (an incomplete code) is accepted.
struct CanonicalStarts {
    std::array<std::int64_t, MAX_CODE_LENGTH + 1> start{};
    std::array<std::int32_t, MAX_CODE_LENGTH + 1> count{};  // count[0]: unused symbols
};

inline CanonicalStarts canonical_starts(const BLenTable& table) {
    if (table.lengths.empty()) throw "BitPatternTable: program error.";
    const int top = table.max_length;
    if (top < 0 || top > MAX_CODE_LENGTH) throw "BitPatternTable: out of range.";
    CanonicalStarts starts;
    for (const int length : table.lengths) {
        if (length < 0 || length > top) throw "BitPatternTable: out of range.";
        ++starts.count[static_cast<std::size_t>(length)];
    }
    std::int64_t code = 0;
    for (int i = 1; i <= top; ++i) {
        starts.start[static_cast<std::size_t>(i)] = code;
        code += (std::int64_t{1} << (top - i)) * starts.count[static_cast<std::size_t>(i)];
    }
    if (code > (std::int64_t{1} << top)) throw "BitPatternTable: bit-pattern cannot be made.";
    return starts;
}

template <BitOrder Order>
class BitPatternTable {
public:
    explicit BitPatternTable(const BLenTable& table) {
        const std::vector<std::int8_t>& lengths = table.lengths;
        const int top = table.max_length;
        std::array<std::int64_t, MAX_CODE_LENGTH + 1> start = canonical_starts(table).start;
        patterns.assign(lengths.size(), 0);
        for (std::size_t symbol = 0; symbol < lengths.size(); ++symbol) {
            const int length = lengths[symbol];
            if (length == 0) continue;
            const auto value = static_cast<std::uint32_t>(start[length] >> (top - length));
            patterns[symbol] =
                static_cast<std::int32_t>(Order == BitOrder::MSB_FIRST ? value : reverse_bits(value, length));
            start[length] += std::int64_t{1} << (top - length);
        }
    }

    std::vector<std::int32_t> patterns;  // index = symbol; 0 for length 0
};

}  // namespace coding
