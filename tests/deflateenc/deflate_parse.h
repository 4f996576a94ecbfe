// A small, slow Deflate reader for the tests: it takes a raw stream apart
// into its blocks, their code descriptions and their literals and matches,
// and rebuilds the uncompressed bytes. It knows only what our encoder
// writes (dynamic blocks) and rejects everything else, so the tests can
// state what the encoder chose (which matches, which block boundaries)
// rather than only that the bytes come back.
//
// It shares no code with the encoder: codes are rebuilt here from their
// lengths by the canonical rule of RFC 1951 and read bit by bit.
#pragma once

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

struct ParsedToken {
    int length = 0;  // 0 for a literal
    int distance = 0;
    int literal = 0;
    bool operator==(const ParsedToken&) const = default;
};

inline ParsedToken literal_token(int byte) { return {0, 0, byte}; }
inline ParsedToken match_token(int length, int distance) { return {length, distance, 0}; }

struct ParsedBlock {
    int final_flag = 0;
    int type = 0;
    int literal_count = 0;      // HLIT + 257
    int distance_count = 0;     // HDIST + 1
    int code_length_count = 0;  // HCLEN + 4
    std::vector<int> literal_lengths;
    std::vector<int> distance_lengths;
    // The code-length symbols as sent, with the values of their extra bits.
    std::vector<std::pair<int, int>> length_symbols;
    std::vector<ParsedToken> tokens;
};

struct ParsedStream {
    std::vector<ParsedBlock> blocks;
    std::vector<std::uint8_t> output;

    std::vector<ParsedToken> tokens() const {
        std::vector<ParsedToken> all;
        for (const ParsedBlock& block : blocks) all.insert(all.end(), block.tokens.begin(), block.tokens.end());
        return all;
    }
};

class DeflateParser {
public:
    explicit DeflateParser(const std::vector<std::uint8_t>& data) : data_(data) {}

    ParsedStream parse() {
        ParsedStream stream;
        for (;;) {
            ParsedBlock block;
            block.final_flag = bits(1);
            block.type = bits(2);
            if (block.type != 2) fail("block type " + std::to_string(block.type));
            read_code_descriptions(block);
            read_data(block, stream.output);
            stream.blocks.push_back(std::move(block));
            if (stream.blocks.back().final_flag == 1) break;
        }
        // The rest of the last byte is padding of zero bits, and nothing follows.
        while (position_ % 8 != 0) {
            if (bits(1) != 0) fail("padding bits are not zero");
        }
        if (position_ / 8 != data_.size()) fail("bytes after the final block");
        return stream;
    }

private:
    using Code = std::map<std::pair<int, int>, int>;  // (length, code) -> symbol

    [[noreturn]] static void fail(const std::string& what) { throw std::runtime_error("deflate parse: " + what); }

    int bits(int n) {
        int value = 0;
        for (int i = 0; i < n; ++i) {
            if (position_ / 8 >= data_.size()) fail("data ends early");
            const int bit = (data_[position_ / 8] >> (position_ % 8)) & 1;
            value |= bit << i;
            ++position_;
        }
        return value;
    }

    // Canonical codes (RFC 1951, 3.2.2).
    static Code build(const std::vector<int>& lengths) {
        int longest = 0;
        for (int length : lengths) longest = std::max(longest, length);
        std::vector<int> count(static_cast<std::size_t>(longest) + 1, 0);
        for (int length : lengths) {
            if (length > 0) ++count[static_cast<std::size_t>(length)];
        }
        std::vector<int> next(static_cast<std::size_t>(longest) + 2, 0);
        int code = 0;
        for (int length = 1; length <= longest; ++length) {
            code = (code + count[static_cast<std::size_t>(length) - 1]) << 1;
            next[static_cast<std::size_t>(length)] = code;
        }
        Code table;
        for (std::size_t symbol = 0; symbol < lengths.size(); ++symbol) {
            const int length = lengths[symbol];
            if (length == 0) continue;
            if (next[static_cast<std::size_t>(length)] >= (1 << length)) fail("over-subscribed code");
            table[{length, next[static_cast<std::size_t>(length)]++}] = static_cast<int>(symbol);
        }
        if (table.empty()) fail("code without symbols");
        return table;
    }

    int decode(const Code& table) {
        int code = 0;
        for (int length = 1; length <= 15; ++length) {
            code = code << 1 | bits(1);
            const auto found = table.find({length, code});
            if (found != table.end()) return found->second;
        }
        fail("no code matches");
    }

    std::vector<int> read_lengths(const Code& code_length_code, int count, ParsedBlock& block) {
        std::vector<int> lengths;
        while (static_cast<int>(lengths.size()) < count) {
            const int symbol = decode(code_length_code);
            int extra = 0;
            if (symbol < 16) {
                lengths.push_back(symbol);
            } else if (symbol == 16) {
                if (lengths.empty()) fail("repeat without a previous length");
                extra = bits(2);
                lengths.insert(lengths.end(), static_cast<std::size_t>(3 + extra), lengths.back());
            } else if (symbol == 17) {
                extra = bits(3);
                lengths.insert(lengths.end(), static_cast<std::size_t>(3 + extra), 0);
            } else {
                extra = bits(7);
                lengths.insert(lengths.end(), static_cast<std::size_t>(11 + extra), 0);
            }
            block.length_symbols.emplace_back(symbol, extra);
        }
        if (static_cast<int>(lengths.size()) != count) fail("code lengths overrun their list");
        return lengths;
    }

    void read_code_descriptions(ParsedBlock& block) {
        block.literal_count = bits(5) + 257;
        block.distance_count = bits(5) + 1;
        block.code_length_count = bits(4) + 4;
        static const int ORDER[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
        std::vector<int> code_lengths(19, 0);
        for (int i = 0; i < block.code_length_count; ++i) code_lengths[static_cast<std::size_t>(ORDER[i])] = bits(3);
        const Code code_length_code = build(code_lengths);
        block.literal_lengths = read_lengths(code_length_code, block.literal_count, block);
        block.distance_lengths = read_lengths(code_length_code, block.distance_count, block);
        literal_code_ = build(block.literal_lengths);
        distance_code_ = build(block.distance_lengths);
    }

    void read_data(ParsedBlock& block, std::vector<std::uint8_t>& output) {
        static const int LENGTH_BASE[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                            31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
        static const int LENGTH_EXTRA[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                             2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
        static const int DISTANCE_BASE[30] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                              33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                              1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
        static const int DISTANCE_EXTRA[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                               6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
        for (;;) {
            const int symbol = decode(literal_code_);
            if (symbol < 256) {
                block.tokens.push_back(literal_token(symbol));
                output.push_back(static_cast<std::uint8_t>(symbol));
                continue;
            }
            if (symbol == 256) return;
            if (symbol > 285) fail("length symbol " + std::to_string(symbol));
            const int length = LENGTH_BASE[symbol - 257] + bits(LENGTH_EXTRA[symbol - 257]);
            const int code = decode(distance_code_);
            if (code > 29) fail("distance symbol " + std::to_string(code));
            const int distance = DISTANCE_BASE[code] + bits(DISTANCE_EXTRA[code]);
            if (distance > static_cast<int>(output.size())) fail("distance beyond the start");
            block.tokens.push_back(match_token(length, distance));
            for (int i = 0; i < length; ++i)
                output.push_back(output[output.size() - static_cast<std::size_t>(distance)]);
        }
    }

    const std::vector<std::uint8_t>& data_;
    std::size_t position_ = 0;  // in bits
    Code literal_code_;
    Code distance_code_;
};

inline ParsedStream parse_deflate(const std::vector<std::uint8_t>& data) { return DeflateParser(data).parse(); }
