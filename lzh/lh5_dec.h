// The -lh5- decoder: Huffman-coded blocks of literals and matches (LH5Dec)
// and the 16 KiB ring window that turns matches back into bytes
// (LH5DecWindow).
//
// A block starts with its symbol count (16 bits) and three code
// descriptions, read most significant bit first:
//   code-length code: 5-bit count n (at most 19) and n lengths (blen_get),
//     with a 2-bit run of zero lengths right after the third; or n = 0 and
//     the one symbol in 5 bits.
//   literal/length code: 9-bit count n (at most 510) and n lengths coded
//     with the code-length code (symbols 0-2 are runs of zero lengths, k >= 3
//     the length k - 2); or n = 0 and the one symbol in 9 bits.
//   position code: 4-bit count n and n lengths (blen_get); or n = 0 and the
//     one symbol in 4 bits.
// Then count symbols: 0-255 are literal bytes, 256-509 matches of length
// symbol - 253 (3 to 256), each followed by a position code j and j - 1
// extra bits; the match source lies 2^(j-1) + extra + 1 bytes back (1 byte
// back for j = 0).
//
// A code given in the one-symbol form (count 0 and the symbol) is a code of
// length zero: its symbol costs no bits. Every LZH tool reads it so, and
// archives of long runs depend on it.
//
// Counts and symbols that address entries beyond the three tables are
// corrupt data and are thrown as text, like the errors of the Huffman
// tables themselves. The end of the data is not an error: it makes
// symbol_get return -1 from then on, and the window fills the rest of the
// entry (see truncated_fill.h) so that its CRC check fails.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "lzh_coding.h"

namespace lzh {

// Table sizes of the three alphabets.
constexpr int CODE_LENGTH_SYMBOLS = 19;
constexpr int LITERAL_SYMBOLS = 510;    // 256 literals, 254 match lengths
constexpr int POSITION_SYMBOLS = 15;
constexpr int FIRST_MATCH_SYMBOL = 256;
constexpr int MATCH_LENGTH_OFFSET = 253;  // match length = symbol - 253
constexpr int WINDOW_SIZE = 1 << 14;

// Thrown inside the table readers when the data ends; LH5Dec catches it and
// reports the end through symbol_get.
struct LH5EndOfData {};

// One code length of the code-length and position codes: 3 bits, and for 7
// a run of 1 bits, each adding one, ended by a 0 bit. Lengths above 16 are
// thrown as "blen_get: code length is out of range.".
int blen_get(BitInStream& input);

// A code description as read: the lengths and how a single used symbol is
// decoded (ZERO_BITS for the one-symbol form).
struct LH5Lengths {
    BLenTable lengths;
    SingleCode single = SingleCode::ONE_BIT;
};

// The literal/length code of a block (510 lengths), read through the
// code-length code that precedes it.
LH5Lengths BLenLiteralDec(BitInStream& input);
// The position code of a block (15 lengths).
LH5Lengths BLenPositionDec(BitInStream& input);

class LH5Dec {
public:
    // Reads the first block's count and tables at once.
    explicit LH5Dec(BitInStream& input);

    // The next literal/length symbol (0 to 509), or -1 at the end of data.
    int symbol_get();
    // The value of the next position code (distance - 1), or -1 at the end
    // of data.
    int distance_get();

private:
    void read_block();

    BitInStream& input_;
    std::int32_t remaining_ = 0;
    std::optional<HuffDec> literal_;
    std::optional<HuffDec> position_;
    bool ended_ = false;
};

class LH5DecWindow {
public:
    // Produces the entry's bytes into out until it has its original size,
    // the data ends (then the rest is filled) or a write fails.
    void decode_entry(LH5Dec& decoder, FileDecOutStream& out);

private:
    // Puts one byte out and into the window; true when the entry is done.
    bool emit(FileDecOutStream& out, std::uint8_t byte);

    // Zero at the start, so that a match reaching before the first byte
    // (corrupt data) copies zeros rather than stale memory.
    std::array<std::uint8_t, WINDOW_SIZE> window_{};
    std::int32_t index_ = 0;
};

}  // namespace lzh
