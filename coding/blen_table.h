// BLenTable: the code bit length of every symbol of an alphabet.
//
// Both formats describe a Huffman code only by these lengths; the codes
// themselves follow from them by the canonical rule (bit_pattern_table.h).
// A length of 0 means the symbol has no code.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

namespace coding {

// The longest code either format uses: -lh5- codes are at most 16 bits (its
// literal table description cannot express more, and its encoders limit all
// three tables to 16), Deflate codes at most 15. A longer length in a table
// read from an archive is corrupt data.
inline constexpr int MAX_CODE_LENGTH = 16;

// How a code with exactly one used symbol is coded.
//   ONE_BIT: the symbol has the one-bit code 0, written and read once per
//     occurrence. Deflate prescribes this (a single distance code is coded
//     with one bit).
//   ZERO_BITS: the symbol costs no bits at all. This is what an -lh5- table
//     in the single-symbol form (a count of 0 followed by the symbol) means
//     to every LZH tool.
enum class SingleCode { ONE_BIT, ZERO_BITS };

class BLenTable {
public:
    BLenTable() = default;

    // Copies the lengths; each must lie between 0 and limit (at most
    // MAX_CODE_LENGTH), otherwise "BLenTable: out of range." is thrown, so
    // that a length taken from hostile data never reaches the code
    // construction. max_length becomes the largest length, used the number
    // of lengths above 0.
    explicit BLenTable(std::span<const int> lengths, int limit = MAX_CODE_LENGTH);
    BLenTable(std::initializer_list<int> lengths) : BLenTable(std::span<const int>(lengths.begin(), lengths.size())) {}

    std::vector<std::int8_t> lengths;  // index = symbol
    // The largest length; for a table built by HuffEnc the length limit.
    std::int8_t max_length = 0;
    // Symbols with a length above 0 (1 for the degenerate HuffEnc tables).
    std::int32_t used = 0;
};

}  // namespace coding
