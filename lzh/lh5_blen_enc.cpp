#include "lh5_blen_enc.h"

#include <vector>

namespace lzh {

namespace {

// Code-length alphabet: 0 one zero length, 1 a run of 3 to 18 zeros (4-bit
// extra), 2 a run of 20 to 531 zeros (9-bit extra), k >= 3 the length k - 2.
constexpr int CODE_LENGTH_SYMBOLS = 19;
constexpr int RUN_SHORT = 1;
constexpr int RUN_LONG = 2;
constexpr int LENGTH_BASE = 2;  // symbol = length + 2
// The third code-length length is followed by a 2-bit count of zero lengths
// (for the symbols 3, 4 and 5, the three shortest lengths, which a small
// block often leaves unused).
constexpr int ZERO_FIELD_AFTER = 2;
constexpr int ZERO_FIELD_MAX = 3;
// The literal description's count is 9 bits wide; the alphabet has 510
// symbols, so 511 never occurs.
constexpr int LITERAL_COUNT_LIMIT = 512;
constexpr int CODE_LENGTH_LIMIT = 16;

// The lengths up to and including the last non-zero one.
int used_prefix(const coding::BLenTable& table) {
    int n = static_cast<int>(table.lengths.size());
    while (n > 0 && table.lengths[static_cast<std::size_t>(n - 1)] == 0) --n;
    return n;
}

// Walks the first n literal lengths as code-length symbols: visit(symbol,
// extra value, extra bits) once per symbol. A run of 19 zeros has no symbol
// of its own: it goes out as one single zero and a run of 18.
template <class Visit>
void walk_literal_lengths(const coding::BLenTable& literal, int n, Visit&& visit) {
    int i = 0;
    while (i < n) {
        const int length = literal.lengths[static_cast<std::size_t>(i)];
        if (length > 0) {
            visit(length + LENGTH_BASE, 0, 0);
            ++i;
            continue;
        }
        int run = 0;
        while (i < n && literal.lengths[static_cast<std::size_t>(i)] == 0) {
            ++run;
            ++i;
        }
        if (run <= 2) {
            for (int k = 0; k < run; ++k) visit(0, 0, 0);
        } else if (run <= 18) {
            visit(RUN_SHORT, run - 3, 4);
        } else if (run == 19) {
            visit(0, 0, 0);
            visit(RUN_SHORT, 15, 4);
        } else {
            visit(RUN_LONG, run - 20, 9);
        }
    }
}

std::vector<std::int32_t> code_length_counts(const coding::BLenTable& literal, int n) {
    std::vector<std::int32_t> counts(CODE_LENGTH_SYMBOLS, 0);
    walk_literal_lengths(literal, n, [&](int symbol, int, int) { ++counts[static_cast<std::size_t>(symbol)]; });
    // Only the symbols up to the last one used count as the table's size.
    while (!counts.empty() && counts.back() == 0) counts.pop_back();
    return counts;
}

}  // namespace

void blen_put(LzhBitOutStream& output, int length) {
    if (length < 7) {
        output.n_bit_put(static_cast<std::uint32_t>(length), 3);
    } else {
        output.n_bit_put(0xFFFEu, length - 3);
    }
}

BLenLiteralEnc::BLenLiteralEnc(const coding::BLenTable& literal)
    : count_(used_prefix(literal)), literal_(literal),
      code_length_table_(code_length_counts(literal, count_), CODE_LENGTH_LIMIT, coding::SingleCode::ZERO_BITS) {}

void BLenLiteralEnc::put(LzhBitOutStream& output) const {
    // The code-length code's own lengths.
    const coding::BLenTable& code_lengths = code_length_table_.blen;
    if (code_lengths.used > 1) {
        const int m = used_prefix(code_lengths);
        output.n_bit_put(static_cast<std::uint32_t>(m), 5);
        for (int j = 0; j < m; ++j) {
            blen_put(output, code_lengths.lengths[static_cast<std::size_t>(j)]);
            if (j == ZERO_FIELD_AFTER) {
                int zeros = 0;
                while (zeros < ZERO_FIELD_MAX && j + 1 + zeros < m &&
                       code_lengths.lengths[static_cast<std::size_t>(j + 1 + zeros)] == 0) {
                    ++zeros;
                }
                output.n_bit_put(static_cast<std::uint32_t>(zeros), 2);
                j += zeros;
            }
        }
    } else {
        // The single-symbol form; the symbol is the last one with a length.
        output.n_bit_put(0, 5);
        output.n_bit_put(static_cast<std::uint32_t>(used_prefix(code_lengths) - 1), 5);
    }

    // The literal/length lengths.
    if (literal_.used > 1) {
        if (count_ >= LITERAL_COUNT_LIMIT) throw "BLenLiteralEnc: program error.";
        output.n_bit_put(static_cast<std::uint32_t>(count_), 9);
        walk_literal_lengths(literal_, count_, [&](int symbol, int extra, int extra_bits) {
            code_length_table_.encode(output, symbol);
            output.n_bit_put(static_cast<std::uint32_t>(extra), extra_bits);
        });
    } else {
        output.n_bit_put(0, 9);
        output.n_bit_put(static_cast<std::uint32_t>(count_ - 1), 9);
    }
}

void BLenPositionEnc::put(LzhBitOutStream& output) const {
    if (position_.used > 1) {
        const int m = used_prefix(position_);
        output.n_bit_put(static_cast<std::uint32_t>(m), count_bits_);
        for (int j = 0; j < m; ++j) blen_put(output, position_.lengths[static_cast<std::size_t>(j)]);
    } else {
        output.n_bit_put(0, count_bits_);
        output.n_bit_put(static_cast<std::uint32_t>(used_prefix(position_) - 1), count_bits_);
    }
}

}  // namespace lzh
