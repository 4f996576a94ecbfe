// The -lh5- decoder: Huffman-coded blocks of literals and matches (LH5Dec)
// and the ring window that turns matches back into bytes (LH5DecWindow).
//
// -lh4-, -lh6- and -lh7- are the same coding with another dictionary (4,
// 32 or 64 KiB instead of 8 KiB), so the position code has other sizes
// (LH5Params); -lh4- keeps the position code of -lh5-. Everything else
// below holds for all four.
//
// A block starts with its symbol count (16 bits) and three code
// descriptions, read most significant bit first:
//   code-length code: 5-bit count n (at most 19) and n lengths (blen_get),
//     with a 2-bit run of zero lengths right after the third; or n = 0 and
//     the one symbol in 5 bits.
//   literal/length code: 9-bit count n (at most 510) and n lengths coded
//     with the code-length code (symbols 0-2 are runs of zero lengths, k >= 3
//     the length k - 2); or n = 0 and the one symbol in 9 bits.
//   position code: a count n of 4 bits (5 for -lh6- and -lh7-) and n
//     lengths (blen_get); or n = 0 and the one symbol in as many bits. The
//     method has dictionary bits + 1 position symbols (14 for -lh4-, whose
//     tables are those of -lh5-).
// Then count symbols: 0-255 are literal bytes, 256-509 matches of length
// symbol - 253 (3 to 256), each followed by a position code j and j - 1
// extra bits; the match source lies 2^(j-1) + extra + 1 bytes back (1 byte
// back for j = 0).
//
// A code given in the one-symbol form (count 0 and the symbol) is a code of
// length zero: its symbol costs no bits. Every LZH tool reads it so, and
// archives of long runs depend on it.
//
// The ring starts as spaces, as LHA's own decoders have it, so that a match
// reaching before the first byte copies what they would copy.
//
// Counts and symbols that address entries beyond the three tables (beyond
// the method's position symbols, too) are corrupt data and are thrown as
// text, like the errors of the Huffman tables themselves. The end of the data is not an error: it makes
// symbol_get return -1 from then on, and the window fills the rest of the
// entry (see truncated_fill.h) so that its CRC check fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "lzh_coding.h"
#include "lzh_dec_window.h"
#include "output_window.h"

namespace lzh {

// Table sizes of the three alphabets.
constexpr int CODE_LENGTH_SYMBOLS = 19;
constexpr int LITERAL_SYMBOLS = 510;  // 256 literals, 254 match lengths
constexpr int FIRST_MATCH_SYMBOL = 256;
constexpr int MATCH_LENGTH_OFFSET = 253;  // match length = symbol - 253

// What tells the four methods apart.
struct LH5Params {
    int dictionary_bits;      // the farthest match reaches 2^bits back
    int position_symbols;     // symbols of the position code
    int position_count_bits;  // width of its count (and one-symbol) field
};

constexpr LH5Params LH4_PARAMS{12, 14, 4};
constexpr LH5Params LH5_PARAMS{13, 14, 4};
constexpr LH5Params LH6_PARAMS{15, 16, 5};
constexpr LH5Params LH7_PARAMS{16, 17, 5};

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
// The position code of a block (the method's position symbols).
LH5Lengths BLenPositionDec(BitInStream& input, const LH5Params& params);

class LH5Dec {
public:
    // Reads the first block's count and tables at once.
    explicit LH5Dec(BitInStream& input, const LH5Params& params = LH5_PARAMS);

    // The next literal/length symbol (0 to 509), or -1 at the end of data.
    int symbol_get();
    // The value of the next position code (distance - 1), or -1 at the end
    // of data.
    int distance_get();

    // The output window of one entry, as LH5DecWindow keeps it.
    using Window = coding::OutputWindow<FileDecOutStream>;
    // Decodes symbols of the current block straight into the window for as
    // long as its fast path may run, the block has symbols left and the
    // input holds a whole symbol with its position: the bytes symbol_get
    // and distance_get would give, without checks.
    void fast_run(Window& window);

private:
    void read_block();

    BitInStream& input_;
    LH5Params params_;
    std::int32_t remaining_ = 0;
    std::optional<HuffDec> literal_;
    std::optional<HuffDec> position_;
    bool ended_ = false;
};

// The copy loop. Its history is the method's dictionary, laid out flat
// (coding::OutputWindow) and starting as spaces; the bytes go to the entry's
// stream in large blocks. While the input holds a whole symbol and the
// longest match fits before the entry's size, symbols take a fast path
// without per-byte checks; near the ends one symbol at a time goes the
// careful way. Both give the bytes of a byte-by-byte ring copy.
class LH5DecWindow {
public:
    // The history covers the farthest a position code reaches: the last
    // symbol j gives 2^j bytes back. That is the dictionary, except for
    // -lh4-, whose -lh5- position code reaches twice its 4 KiB; the ring
    // of twice the dictionary that LHA's decoders keep serves it the same
    // bytes.
    explicit LH5DecWindow(const LH5Params& params = LH5_PARAMS)
        : history_(std::size_t{1} << (params.position_symbols - 1)) {}

    // Produces the entry's bytes into out until it has its original size,
    // the data ends (then the rest is filled) or a write fails.
    void decode_entry(LH5Dec& decoder, FileDecOutStream& out);

private:
    std::size_t history_;
};

// One member of any of the four methods, for the method table.
void decode_lh4(BitInStream& input, FileDecOutStream& out);
void decode_lh5(BitInStream& input, FileDecOutStream& out);
void decode_lh6(BitInStream& input, FileDecOutStream& out);
void decode_lh7(BitInStream& input, FileDecOutStream& out);

}  // namespace lzh
