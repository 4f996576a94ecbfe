// A small -lh5- decoder written from the format alone, for the encoder
// tests: it shares no code with the library (its own bit reader, its own
// canonical codes), checks what a reader may rely on (complete codes, no
// distance before the start, no data after the last code but the padding
// bits of the last byte) and hands back the literals and matches it saw,
// block by block.
//
// A table in the single-symbol form (a count of 0, then the symbol) is a
// code whose symbol takes no bits, as every LZH reader takes it.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace lh5_test {

struct Token {
    int length = 0;  // 0 for a literal
    int distance = 0;
    std::uint8_t literal = 0;

    bool operator==(const Token&) const = default;
};

inline Token literal_token(std::uint8_t c) { return {0, 0, c}; }
inline Token match_token(int length, int distance) { return {length, distance, 0}; }

struct Decoded {
    std::vector<std::uint8_t> bytes;
    std::vector<Token> tokens;
    std::vector<int> block_symbols;  // the count at the head of each block
    std::vector<int> block_entries;  // a literal one, a match two
};

class DecodeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

namespace detail {

class Bits {
public:
    explicit Bits(const std::vector<std::uint8_t>& data) : data_(data) {}

    unsigned get(int n) {
        unsigned value = 0;
        for (int i = 0; i < n; ++i) {
            if (next_ >= data_.size() * 8) throw DecodeError("data ends inside a code");
            const unsigned bit = (data_[next_ / 8] >> (7 - next_ % 8)) & 1u;
            value = (value << 1) | bit;
            ++next_;
        }
        return value;
    }

    std::size_t left() const { return data_.size() * 8 - next_; }

    // The bits from here to the end are all 0.
    bool rest_is_zero() {
        while (left() > 0) {
            if (get(1) != 0) return false;
        }
        return true;
    }

private:
    const std::vector<std::uint8_t>& data_;
    std::size_t next_ = 0;
};

// A canonical code: shorter codes first, within a length by symbol.
class Code {
public:
    Code() = default;
    explicit Code(const std::vector<int>& lengths, const char* what) {
        std::vector<int> count(17, 0);
        int used = 0;
        for (std::size_t s = 0; s < lengths.size(); ++s) {
            if (lengths[s] < 0 || lengths[s] > 16) throw DecodeError(std::string(what) + ": bad length");
            if (lengths[s] > 0) {
                ++count[static_cast<std::size_t>(lengths[s])];
                ++used;
            }
        }
        if (used < 2) throw DecodeError(std::string(what) + ": fewer than two codes in the full form");
        // Kraft sum exactly 1: the encoder always makes complete codes.
        long long kraft = 0;
        for (int l = 1; l <= 16; ++l) kraft += static_cast<long long>(count[static_cast<std::size_t>(l)]) << (16 - l);
        if (kraft != (1LL << 16)) throw DecodeError(std::string(what) + ": code not complete");
        int code = 0;
        int index = 0;
        for (int l = 1; l <= 16; ++l) {
            first_[static_cast<std::size_t>(l)] = code;
            offset_[static_cast<std::size_t>(l)] = index;
            count_[static_cast<std::size_t>(l)] = count[static_cast<std::size_t>(l)];
            code = (code + count[static_cast<std::size_t>(l)]) << 1;
            index += count[static_cast<std::size_t>(l)];
        }
        for (int l = 1; l <= 16; ++l) {
            for (std::size_t s = 0; s < lengths.size(); ++s) {
                if (lengths[s] == l) sorted_.push_back(static_cast<int>(s));
            }
        }
    }
    static Code single(int symbol) {
        Code code;
        code.single_ = symbol;
        return code;
    }

    int decode(Bits& bits) const {
        if (single_ >= 0) return single_;
        int code = 0;
        for (int l = 1; l <= 16; ++l) {
            code = (code << 1) | static_cast<int>(bits.get(1));
            const int k = code - first_[static_cast<std::size_t>(l)];
            if (k >= 0 && k < count_[static_cast<std::size_t>(l)]) {
                return sorted_[static_cast<std::size_t>(offset_[static_cast<std::size_t>(l)] + k)];
            }
        }
        throw DecodeError("no code matches");
    }

private:
    int single_ = -1;
    int first_[17] = {};
    int offset_[17] = {};
    int count_[17] = {};
    std::vector<int> sorted_;
};

// 3 bits, and for 7 a run of 1 bits ended by a 0 bit.
inline int length_field(Bits& bits) {
    int length = static_cast<int>(bits.get(3));
    if (length == 7) {
        while (bits.get(1) == 1) ++length;
    }
    return length;
}

inline Code read_code_length_code(Bits& bits) {
    const int n = static_cast<int>(bits.get(5));
    if (n == 0) {
        const int symbol = static_cast<int>(bits.get(5));
        if (symbol >= 19) throw DecodeError("code-length symbol out of range");
        return Code::single(symbol);
    }
    if (n > 19) throw DecodeError("too many code-length lengths");
    std::vector<int> lengths(19, 0);
    for (int j = 0; j < n; ++j) {
        lengths[static_cast<std::size_t>(j)] = length_field(bits);
        if (j == 2) j += static_cast<int>(bits.get(2));
    }
    return Code(lengths, "code-length code");
}

inline Code read_literal_code(Bits& bits) {
    const Code code_lengths = read_code_length_code(bits);
    const int n = static_cast<int>(bits.get(9));
    if (n == 0) {
        const int symbol = static_cast<int>(bits.get(9));
        if (symbol >= 510) throw DecodeError("literal symbol out of range");
        return Code::single(symbol);
    }
    std::vector<int> lengths;
    while (static_cast<int>(lengths.size()) < n) {
        const int c = code_lengths.decode(bits);
        if (c >= 3) {
            lengths.push_back(c - 2);
        } else if (c == 0) {
            lengths.push_back(0);
        } else {
            const int run = c == 1 ? static_cast<int>(bits.get(4)) + 3 : static_cast<int>(bits.get(9)) + 20;
            lengths.insert(lengths.end(), static_cast<std::size_t>(run), 0);
        }
    }
    if (static_cast<int>(lengths.size()) != n || n > 510) throw DecodeError("literal lengths overrun");
    return Code(lengths, "literal code");
}

inline Code read_position_code(Bits& bits) {
    const int n = static_cast<int>(bits.get(4));
    if (n == 0) return Code::single(static_cast<int>(bits.get(4)));
    std::vector<int> lengths;
    for (int i = 0; i < n; ++i) lengths.push_back(length_field(bits));
    return Code(lengths, "position code");
}

}  // namespace detail

// Decodes size bytes; throws DecodeError for anything a careful reader
// would refuse, and for data that goes on after the last code.
inline Decoded decode(const std::vector<std::uint8_t>& data, std::size_t size) {
    Decoded out;
    detail::Bits bits(data);
    detail::Code literal;
    detail::Code position;
    int remaining = 0;
    while (out.bytes.size() < size) {
        if (remaining == 0) {
            remaining = static_cast<int>(bits.get(16));
            if (remaining == 0) throw DecodeError("block of 0 symbols");
            out.block_symbols.push_back(remaining);
            out.block_entries.push_back(0);
            literal = detail::read_literal_code(bits);
            position = detail::read_position_code(bits);
        }
        --remaining;
        const int symbol = literal.decode(bits);
        if (symbol < 256) {
            out.bytes.push_back(static_cast<std::uint8_t>(symbol));
            out.tokens.push_back(literal_token(static_cast<std::uint8_t>(symbol)));
            out.block_entries.back() += 1;
            continue;
        }
        const int length = symbol - 253;
        const int j = position.decode(bits);
        const int value = j == 0 ? 0 : (1 << (j - 1)) + static_cast<int>(bits.get(j - 1));
        const int distance = value + 1;
        if (static_cast<std::size_t>(distance) > out.bytes.size()) throw DecodeError("distance before the start");
        if (out.bytes.size() + static_cast<std::size_t>(length) > size) throw DecodeError("match past the end");
        for (int k = 0; k < length; ++k)
            out.bytes.push_back(out.bytes[out.bytes.size() - static_cast<std::size_t>(distance)]);
        out.tokens.push_back(match_token(length, distance));
        out.block_entries.back() += 2;
    }
    if (remaining != 0) throw DecodeError("last block announces more symbols");
    if (bits.left() >= 8 || !bits.rest_is_zero()) throw DecodeError("data after the last code");
    return out;
}

}  // namespace lh5_test
