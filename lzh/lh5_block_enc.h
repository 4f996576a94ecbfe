// LH5BlockEnc: collects the literals and matches of -lh5- data and writes
// them in blocks.
//
// A block is
//   symbol count n (16 bits)
//   code-length code and literal/length code lengths (BLenLiteralEnc)
//   position code lengths (BLenPositionEnc)
//   n symbols: a literal/length code; after a length code (symbol 256 to
//     509, match length symbol - 253) a position code j and, for j > 1,
//     the low j - 1 bits of the position value (distance - 1), whose top
//     bit, 2^(j - 1), the position code already says.
// Each block has its own three codes, built from the symbol counts of that
// block alone. The data has no end marker: it ends after the last code of
// the last block, padded to a byte with 0 bits when the stream is flushed.
//
// Entries gather in a buffer of 16384: a literal takes one, a match two (its
// length symbol, then its position value). Once more than 16382 are held a
// block is written, so every block but the last carries 16383 or 16384
// entries and its count fits 16 bits.
#pragma once

#include <cstdint>
#include <vector>

#include "lh5_blen_enc.h"

namespace lzh {

class LH5BlockEnc {
public:
    static constexpr int CAPACITY = 16384;
    static constexpr int MAX_CAPACITY = 65535;
    static constexpr int FIRST_LENGTH_SYMBOL = 256;  // match length 3
    static constexpr int SYMBOL_LIMIT = 510;         // one past length 256
    static constexpr int LENGTH_OFFSET = 253;        // symbol = length + 253
    // Position values (distance - 1) go up to 8191: the -lh5- dictionary is
    // 8 KiB, and the 4-bit count of the position description can name at
    // most 15 position codes. -lh6- and -lh7- have 32 KiB and 64 KiB.
    static constexpr int LH5_DICTIONARY_BITS = 13;
    static constexpr int LH6_DICTIONARY_BITS = 15;
    static constexpr int LH7_DICTIONARY_BITS = 16;
    static constexpr int POSITION_VALUE_LIMIT = 1 << LH5_DICTIONARY_BITS;
    static constexpr int CODE_LENGTH_LIMIT = 16;

    // output: the stream the blocks go to; referenced, it must outlive this
    // encoder. capacity: entries buffered per block (16384 for -lh5-); it is
    // taken as at least 3, so that a match always fits, and at most 65535,
    // so that a block's symbol count fits its 16 bits. dictionary_bits: 13
    // (-lh5-), 15 (-lh6-) or 16 (-lh7-); position values go up to
    // 2^dictionary_bits - 1.
    explicit LH5BlockEnc(LzhBitOutStream& output, int capacity = CAPACITY, int dictionary_bits = LH5_DICTIONARY_BITS);

    LH5BlockEnc(const LH5BlockEnc&) = delete;
    LH5BlockEnc& operator=(const LH5BlockEnc&) = delete;

    // Writes a pending block (see finish), swallowing any failure: callers
    // that use the output call finish themselves, before they flush.
    ~LH5BlockEnc();

    // A literal byte c (0 to 255); others throw "literal_put: out fo range.".
    void literal_put(int c);
    // A match: symbol = length + 253 (256 to 509), value = distance - 1 (0 to
    // 8191 for -lh5-); others throw "match_len_put: out of range.".
    void match_len_put(int symbol, int value);
    // Writes the buffered entries as one block and empties the buffer. With
    // nothing buffered it writes nothing: a block of 0 symbols would be read
    // as one holding a symbol.
    void block_put();
    // Writes the last block if entries are buffered. It must come before the
    // output stream is flushed, or that block is lost.
    void finish() { block_put(); }

private:
    void put_when_full() {
        if (static_cast<int>(entries_.size()) > limit_) block_put();
    }

    LzhBitOutStream& output_;
    int limit_;  // capacity - 2, so that the two entries of a match fit
    int dictionary_bits_;
    // A literal is one entry (0 to 255); a match is its length symbol (256
    // to 509) followed by its position value.
    std::vector<std::uint16_t> entries_;
};

}  // namespace lzh
