// The -lh5- decoder (see lh5_dec.h for the block layout).
#include "lh5_dec.h"

#include <vector>

#include "truncated_fill.h"

namespace lzh {

namespace {

// A field of n bits; the end of the data ends the entry.
int bits(BitInStream& input, int n) {
    const int value = input.n_bit_get(n);
    if (value < 0) throw LH5EndOfData{};
    return value;
}

// Lengths 0 to 6 take 3 bits; 7 and more are 7 plus a run of 1 bits.
constexpr int BLEN_ESCAPE = 7;

// Code-length symbols 0 to 2 are runs of zero lengths in the literal table.
constexpr int ZERO_ONE = 0;
constexpr int ZERO_RUN_SHORT = 1;  // 4 more bits: 3 to 18 zeros
constexpr int ZERO_RUN_LONG = 2;   // 9 more bits: 20 to 531 zeros
constexpr int LENGTH_SYMBOL_OFFSET = 2;

// The code-length description may skip up to three zero lengths right
// after its third length.
constexpr int SKIP_AFTER = 2;

}  // namespace

int blen_get(BitInStream& input) {
    int length = bits(input, 3);
    if (length < BLEN_ESCAPE) return length;
    for (;;) {
        const int bit = input.bit_get();
        // A bit that cannot be read ends the run as a 0 would; the next
        // field then meets the end of the data.
        if (bit != 1) return length;
        if (++length > coding::MAX_CODE_LENGTH) throw "blen_get: code length is out of range.";
    }
}

LH5Lengths BLenLiteralDec(BitInStream& input) {
    // ---- the code-length code ----
    std::vector<int> code_lengths(CODE_LENGTH_SYMBOLS, 0);
    SingleCode code_single = SingleCode::ONE_BIT;
    const int count = bits(input, 5);
    if (count > CODE_LENGTH_SYMBOLS) throw "BLenLiteralDec: code-length count is out of range.";
    if (count > 0) {
        for (int j = 0; j < count; ++j) {
            code_lengths[static_cast<std::size_t>(j)] = blen_get(input);
            if (j == SKIP_AFTER) j += bits(input, 2);  // those lengths stay 0
        }
    } else {
        const int symbol = bits(input, 5);
        if (symbol >= CODE_LENGTH_SYMBOLS) throw "BLenLiteralDec: illegal data.";
        code_lengths[static_cast<std::size_t>(symbol)] = 1;
        code_single = SingleCode::ZERO_BITS;
    }
    const HuffDec code_table(BLenTable(code_lengths), code_single);

    // ---- the literal/length code ----
    std::vector<int> lengths(LITERAL_SYMBOLS, 0);
    LH5Lengths result;
    const int literal_count = bits(input, 9);
    if (literal_count > LITERAL_SYMBOLS) throw "BLenLiteralDec: literal count is out of range.";
    if (literal_count > 0) {
        int i = 0;
        while (i < literal_count) {
            const int c = code_table.decode(input);
            if (c < 0) throw LH5EndOfData{};
            int zeros = 0;
            if (c == ZERO_ONE) {
                zeros = 1;
            } else if (c == ZERO_RUN_SHORT) {
                zeros = bits(input, 4) + 3;
            } else if (c == ZERO_RUN_LONG) {
                zeros = bits(input, 9) + 20;
            } else {
                lengths[static_cast<std::size_t>(i++)] = c - LENGTH_SYMBOL_OFFSET;
                continue;
            }
            if (i + zeros > LITERAL_SYMBOLS) throw "BLenLiteralDec: zero run is out of range.";
            i += zeros;  // the lengths are 0 already
        }
    } else {
        const int symbol = bits(input, 9);
        if (symbol >= LITERAL_SYMBOLS) throw "BLenLiteralDec: single literal symbol is out of range.";
        lengths[static_cast<std::size_t>(symbol)] = 1;
        result.single = SingleCode::ZERO_BITS;
    }
    result.lengths = BLenTable(lengths);
    return result;
}

LH5Lengths BLenPositionDec(BitInStream& input, const LH5Params& params) {
    std::vector<int> lengths(static_cast<std::size_t>(params.position_symbols), 0);
    LH5Lengths result;
    const int count = bits(input, params.position_count_bits);
    if (count > params.position_symbols) throw "BLenPositionDec: position count is out of range.";
    if (count > 0) {
        for (int i = 0; i < count; ++i) lengths[static_cast<std::size_t>(i)] = blen_get(input);
    } else {
        const int symbol = bits(input, params.position_count_bits);
        if (symbol >= params.position_symbols) throw "BLenPositionDec: single position symbol is out of range.";
        lengths[static_cast<std::size_t>(symbol)] = 1;
        result.single = SingleCode::ZERO_BITS;
    }
    result.lengths = BLenTable(lengths);
    return result;
}

// ---- LH5Dec ------------------------------------------------------------------

LH5Dec::LH5Dec(BitInStream& input, const LH5Params& params) : input_(input), params_(params) { read_block(); }

void LH5Dec::read_block() {
    literal_.reset();
    position_.reset();
    try {
        remaining_ = bits(input_, 16);
        const LH5Lengths literal = BLenLiteralDec(input_);
        literal_.emplace(literal.lengths, literal.single);
        const LH5Lengths position = BLenPositionDec(input_, params_);
        position_.emplace(position.lengths, position.single);
    } catch (const LH5EndOfData&) {
        ended_ = true;
    }
}

int LH5Dec::symbol_get() {
    if (ended_) return -1;
    if (remaining_ < 1) {
        read_block();
        if (ended_) return -1;
    }
    // A block count of 0 still yields this one symbol before the next
    // block header is read.
    --remaining_;
    return literal_->decode(input_);
}

int LH5Dec::distance_get() {
    if (ended_) return -1;
    const int j = position_->decode(input_);
    if (j <= 0) return j;  // 0: the byte just before; -1: end of data
    const int extra = input_.n_bit_get(j - 1);
    if (extra < 0) return -1;
    return extra + (1 << (j - 1));
}

// A literal code of up to 16 bits, then a position code of up to 16 and
// up to 15 extra bits (-lh7-): the 56 bits of a refill hold them all, and
// every symbol of the tables is a sound literal or match.
void LH5Dec::fast_run(Window& window) {
    if (ended_ || !window.fast()) return;
    constexpr int LONGEST_POSITION_FIELD = 16 + 15;
    const HuffDec::Held literal = literal_->held();
    const HuffDec::Held position = position_->held();
    auto bits = input_.cursor();
    std::int32_t remaining = remaining_;
    std::uint8_t* out = window.cursor();
    const std::uint8_t* limit = window.cursor_limit();
    std::uintptr_t unfilled = window.unfilled_below();
    while (remaining >= 1) {
        if (out > limit) {
            if (!window.renew(out, limit)) break;
            unfilled = window.unfilled_below();
        }
        if (!bits.refill()) break;
        --remaining;
        auto symbol_start = bits;
        int c = literal.decode(bits);
        if (c < FIRST_MATCH_SYMBOL) {
            *out++ = static_cast<std::uint8_t>(c);
            if (remaining < 1) break;
            // A second symbol from the same refill (40 bits are left): a
            // literal still fits the window's slack, a match only from
            // where the loop may start one and with its position held.
            --remaining;
            symbol_start = bits;
            c = literal.decode(bits);
            if (c < FIRST_MATCH_SYMBOL) {
                *out++ = static_cast<std::uint8_t>(c);
                continue;
            }
            if (out > limit || (bits.held() < LONGEST_POSITION_FIELD && !bits.refill())) {
                bits = symbol_start;
                ++remaining;
                continue;
            }
        }
        const int j = position.decode(bits);
        const std::size_t value = j == 0 ? 0 : bits.take_held(j - 1) + (std::size_t{1} << (j - 1));
        const auto length = static_cast<std::size_t>(c - MATCH_LENGTH_OFFSET);
        // A match into the ring's starting contents: they go in first.
        if (reinterpret_cast<std::uintptr_t>(out) - (value + 1) < unfilled) [[unlikely]] {
            window.fill_history();
            unfilled = window.unfilled_below();
        }
        Window::copy_match(out, value + 1, length);
        out += length;
    }
    window.advance(out);
    input_.resume(bits);
    remaining_ = remaining;
}

// ---- LH5DecWindow ----------------------------------------------------------------

void LH5DecWindow::decode_entry(LH5Dec& decoder, FileDecOutStream& out) {
    if (out.count >= out.expected_size) return;  // an empty entry has no data to read
    // Symbol 509: 256 bytes.
    constexpr std::size_t LONGEST_MATCH = LITERAL_SYMBOLS - 1 - MATCH_LENGTH_OFFSET;
    coding::OutputWindow<FileDecOutStream> window(out, history_, RING_FILL, LONGEST_MATCH);
    for (;;) {
        decoder.fast_run(window);
        // The fast path may have ended right at the entry's size: nothing
        // more is read then. A write that failed (a full disk) ends the
        // entry too: the rest could not be kept anyway.
        if (window.left() <= 0 || out.write_failed()) return;
        const int c = decoder.symbol_get();
        if (c < 0) {
            window.flush();
            fill_truncated_entry(out);
            return;
        }
        if (c < FIRST_MATCH_SYMBOL) {
            if (window.put(static_cast<std::uint8_t>(c))) return;
            continue;
        }
        const int distance = decoder.distance_get();
        if (distance < 0) {
            window.flush();
            fill_truncated_entry(out);
            return;
        }
        if (window.copy_cut(static_cast<std::size_t>(distance) + 1,
                            static_cast<std::size_t>(c - MATCH_LENGTH_OFFSET))) {
            return;
        }
    }
}

// ---- the four methods ------------------------------------------------------------

namespace {

void decode_member(BitInStream& input, FileDecOutStream& out, const LH5Params& params) {
    if (out.count >= out.expected_size) return;  // no data to read
    LH5Dec decoder(input, params);
    LH5DecWindow(params).decode_entry(decoder, out);
}

}  // namespace

void decode_lh4(BitInStream& input, FileDecOutStream& out) { decode_member(input, out, LH4_PARAMS); }
void decode_lh5(BitInStream& input, FileDecOutStream& out) { decode_member(input, out, LH5_PARAMS); }
void decode_lh6(BitInStream& input, FileDecOutStream& out) { decode_member(input, out, LH6_PARAMS); }
void decode_lh7(BitInStream& input, FileDecOutStream& out) { decode_member(input, out, LH7_PARAMS); }

}  // namespace lzh
