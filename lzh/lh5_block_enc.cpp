#include "lh5_block_enc.h"

#include <algorithm>
#include <bit>
#include <span>

namespace lzh {

namespace {

// The position code of a value is its number of significant bits: 0 for 0,
// 1 for 1, 2 for 2-3, ... 13 for 4096-8191 (16 for 32768-65535 in -lh7-).
// The position description's count is 4 bits wide up to 14 codes, 5 above.
int position_count_bits(int dictionary_bits) { return dictionary_bits + 1 > 15 ? 5 : 4; }

int position_code(std::uint16_t value) { return std::bit_width(value); }

}  // namespace

LH5BlockEnc::LH5BlockEnc(LzhBitOutStream& output, int capacity, int dictionary_bits)
    : output_(output), limit_(std::clamp(capacity, 3, MAX_CAPACITY) - 2),
      dictionary_bits_(std::clamp(dictionary_bits, LH5_DICTIONARY_BITS, LH7_DICTIONARY_BITS)) {
    entries_.reserve(static_cast<std::size_t>(limit_) + 2);
}

LH5BlockEnc::~LH5BlockEnc() {
    try {
        finish();
    } catch (...) {
        // A destructor must not throw; the data is incomplete anyway when
        // the encoder is dropped without finish after a failure.
    }
}

void LH5BlockEnc::literal_put(int c) {
    if (c < 0 || c >= FIRST_LENGTH_SYMBOL) throw "literal_put: out fo range.";
    entries_.push_back(static_cast<std::uint16_t>(c));
    put_when_full();
}

void LH5BlockEnc::match_len_put(int symbol, int value) {
    if (symbol < FIRST_LENGTH_SYMBOL || symbol >= SYMBOL_LIMIT || value < 0 || value >= (1 << dictionary_bits_)) {
        throw "match_len_put: out of range.";
    }
    entries_.push_back(static_cast<std::uint16_t>(symbol));
    entries_.push_back(static_cast<std::uint16_t>(value));
    put_when_full();
}

void LH5BlockEnc::block_put() {
    if (entries_.empty()) return;

    // Symbol counts of this block; each list ends at its largest symbol.
    std::vector<std::int32_t> literal_counts(SYMBOL_LIMIT, 0);
    std::vector<std::int32_t> position_counts(static_cast<std::size_t>(dictionary_bits_) + 1, 0);
    int literal_end = 0;
    int position_end = 0;
    int symbols = 0;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const int symbol = entries_[i];
        ++literal_counts[static_cast<std::size_t>(symbol)];
        literal_end = std::max(literal_end, symbol + 1);
        if (symbol >= FIRST_LENGTH_SYMBOL) {
            const int code = position_code(entries_[++i]);
            ++position_counts[static_cast<std::size_t>(code)];
            position_end = std::max(position_end, code + 1);
        }
        ++symbols;
    }

    // At most 16384 symbols (the capacity), within the 16-bit count.
    output_.n_bit_put(static_cast<std::uint32_t>(symbols), 16);

    // A block of literals only has no position code; its empty count list
    // gives the single length 1 for symbol 0, written in the single-symbol
    // form.
    const LzhHuffEnc literal_table(std::span(literal_counts.data(), static_cast<std::size_t>(literal_end)),
                                   CODE_LENGTH_LIMIT, coding::SingleCode::ZERO_BITS);
    const LzhHuffEnc position_table(std::span(position_counts.data(), static_cast<std::size_t>(position_end)),
                                    CODE_LENGTH_LIMIT, coding::SingleCode::ZERO_BITS);
    BLenLiteralEnc(literal_table.blen).put(output_);
    BLenPositionEnc(position_table.blen, position_count_bits(dictionary_bits_)).put(output_);

    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const int symbol = entries_[i];
        literal_table.encode(output_, symbol);
        if (symbol >= FIRST_LENGTH_SYMBOL) {
            const std::uint16_t value = entries_[++i];
            const int code = position_code(value);
            position_table.encode(output_, code);
            // The top bit of the value is implied by its code.
            if (code > 1) output_.n_bit_put(value, code - 1);
        }
    }
    entries_.clear();
}

}  // namespace lzh
