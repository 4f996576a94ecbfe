// Proves the -lh5- decoder over hand-built blocks: one-symbol codes cost no
// bits (in all three tables) while a one-code table in the normal form
// costs one bit per symbol; matches overlap their own output, reach across
// the ring window and stop at the original size; a truncated entry is
// filled with 0xFF (at most TRUNCATED_FILL_LIMIT bytes); block
// descriptions that address entries beyond the tables are thrown as text;
// and the copy loop gives what a byte-by-byte loop gives, on damaged data
// too.
#include <gtest/gtest.h>

#include <random>

#include "damaged_copies.h"
#include "lh5_dec.h"
#include "lzh_member_decode.h"
#include "truncated_fill.h"

namespace {

using namespace lzh_test;

Decoded decode(const std::string& data, std::int64_t expected_size) {
    return decode_member(lzh::decode_lh5, data, expected_size);
}

std::string thrown_by(const std::string& data) {
    try {
        decode(data, 1000);
    } catch (const char* text) {
        return text;
    }
    return "";
}

TEST(Lh5Dec, OneSymbolCodesCostNoBits) {
    // Block 1: the literal 'x' alone. Block 2: only the match 509 (256
    // bytes) at value 0, three times. Both tables in the one-symbol form:
    // each block is its count and descriptions, 52 bits, and nothing more.
    Lh5Writer writer;
    writer.block({{{'x'}}});
    writer.block({{{509, 0}, {509, 0}, {509, 0}}});
    const std::string data = writer.data();
    ASSERT_EQ(data.size(), 13u);  // 104 bits
    const Decoded d = decode(data, 1 + 3 * 256);
    EXPECT_EQ(d.output, std::string(769, 'x'));
    EXPECT_EQ(d.consumed, 13);
    EXPECT_EQ(d.crc, crc16(d.output));
}

TEST(Lh5Dec, OneSymbolPositionCodeStillReadsItsExtraBits) {
    // Every match at distance 7 (value 6: position symbol 3, two extra
    // bits), the shape of a file of one repeated 7-byte pattern.
    std::vector<Token> tokens = literals("0123456");
    for (int i = 0; i < 4; ++i) tokens.push_back({256 + 7 - 3, 6});
    const std::string data = lh5_data({{tokens}});
    std::string expected;
    for (int i = 0; i < 5; ++i) expected += "0123456";
    const Decoded d = decode(data, 35);
    EXPECT_EQ(d.output, expected);
    EXPECT_EQ(d.consumed, static_cast<std::int64_t>(data.size()));
}

TEST(Lh5Dec, OneCodeInTheNormalFormCostsOneBit) {
    // Lengths given explicitly with a single code of length 1: a real code,
    // read once per symbol, so the 16 symbols take two bytes after the
    // descriptions, and the decoder stops right after them.
    Block block{literals(std::string(16, 'A'))};
    block.literal.lengths.assign(510, 0);
    block.literal.lengths['A'] = 1;
    const std::string data = lh5_data({block});
    const Decoded d = decode(data + "NEXT", 16);
    EXPECT_EQ(d.output, std::string(16, 'A'));
    EXPECT_EQ(d.consumed, static_cast<std::int64_t>(data.size()));
}

TEST(Lh5Dec, MatchesCopyByteByByte) {
    struct Case {
        const char* what;
        std::vector<Token> tokens;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"overlapping its own output", {{'a'}, {'b'}, {256 + 10 - 3, 1}}, "ab" + std::string("ababababab")},
        {"value 0 repeats the last byte", {{'q'}, {256, 0}}, "qqqq"},
        {"symbol 509 copies 256 bytes", {{'z'}, {509, 0}}, std::string(257, 'z')},
        {"position symbol 1 means distance 2", {{'1'}, {'2'}, {256, 1}}, "12121"},
    };
    for (const Case& c : cases) {
        const Decoded d = decode(lh5_data({{c.tokens}}), static_cast<std::int64_t>(c.expected.size()));
        EXPECT_EQ(d.output, c.expected) << c.what;
    }
}

TEST(Lh5Dec, LongestDistancesReachAcrossTheRing) {
    // 16384 random literals fill the ring once; a match at value 8191
    // (position symbol 13, 12 extra bits: the farthest -lh5- reaches) and
    // one at value 4096 copy the bytes that far back.
    std::mt19937 random(7);
    std::string text(16384, '\0');
    for (char& c : text) c = static_cast<char>(random());
    std::vector<Token> tokens = literals(text);
    tokens.push_back({256 + 5 - 3, 8191});
    tokens.push_back({256 + 4 - 3, 4096});
    std::string expected = text + text.substr(16384 - 8192, 5);
    expected += expected.substr(expected.size() - 4097, 4);
    const Decoded d = decode(lh5_data({{tokens}}), static_cast<std::int64_t>(expected.size()));
    EXPECT_EQ(d.output, expected);
}

TEST(Lh5Dec, OriginalSizeCutsAMatch) {
    // The entry ends 2 bytes into a 256-byte match: the rest is not
    // produced, and the next entry's data is not touched.
    const std::string data = lh5_data({{{{'m'}, {509, 0}}}});
    const Decoded d = decode(data + "NEXT", 3);
    EXPECT_EQ(d.output, "mmm");
    EXPECT_EQ(d.consumed, static_cast<std::int64_t>(data.size()));
}

TEST(Lh5Dec, TruncatedEntryIsFilledWith0xFF) {
    std::vector<Token> tokens = literals("The quick brown fox jumps over the lazy dog");
    const std::string data = lh5_data({{tokens}});
    const std::string cut = data.substr(0, data.size() / 2);
    const Decoded d = decode(cut, 43);
    ASSERT_EQ(d.output.size(), 43u);
    // What was decoded before the end is kept, the rest is 0xFF.
    const std::size_t good = d.output.find('\xFF');
    ASSERT_NE(good, std::string::npos);
    EXPECT_EQ(d.output.substr(0, good), std::string("The quick brown fox jumps over the lazy dog").substr(0, good));
    EXPECT_EQ(d.output.substr(good), std::string(43 - good, '\xFF'));
    EXPECT_NE(d.crc, crc16("The quick brown fox jumps over the lazy dog"));

    // Nothing at all: the block header itself is missing.
    EXPECT_EQ(decode("", 5).output, std::string(5, '\xFF'));
    // An original size far beyond the data does not fill the disk.
    const Decoded huge = decode(cut, std::int64_t{1} << 31);
    EXPECT_EQ(static_cast<std::int64_t>(huge.output.size()),
              static_cast<std::int64_t>(good) + lzh::TRUNCATED_FILL_LIMIT);
}

TEST(Lh5Dec, OutOfTableDescriptionsAreThrown) {
    struct Case {
        const char* what;
        std::string data;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"code-length count 20", bit_fields({{1, 16}, {20, 5}}), "BLenLiteralDec: code-length count is out of range."},
        {"single code-length symbol 19", bit_fields({{1, 16}, {0, 5}, {19, 5}}), "BLenLiteralDec: illegal data."},
        {"literal count 511", bit_fields({{1, 16}, {0, 5}, {3, 5}, {511, 9}}),
         "BLenLiteralDec: literal count is out of range."},
        // Code-length code: symbols 0 and 2 with one bit each (codes 0 and
        // 1); then 510 literal lengths whose first entry is a run of 531.
        {"zero run past entry 509",
         bit_fields({{1, 16}, {3, 5}, {1, 3}, {0, 3}, {1, 3}, {0, 2}, {510, 9}, {1, 1}, {511, 9}}),
         "BLenLiteralDec: zero run is out of range."},
        {"single literal symbol 510", bit_fields({{1, 16}, {0, 5}, {3, 5}, {0, 9}, {510, 9}}),
         "BLenLiteralDec: single literal symbol is out of range."},
        {"single literal symbol 511", bit_fields({{1, 16}, {0, 5}, {3, 5}, {0, 9}, {511, 9}}),
         "BLenLiteralDec: single literal symbol is out of range."},
        // -lh5- has 14 position symbols; its 4-bit fields can say 15.
        {"single position symbol 14", bit_fields({{1, 16}, {0, 5}, {3, 5}, {0, 9}, {65, 9}, {0, 4}, {14, 4}}),
         "BLenPositionDec: single position symbol is out of range."},
        {"position count 15", bit_fields({{1, 16}, {0, 5}, {3, 5}, {0, 9}, {65, 9}, {15, 4}}),
         "BLenPositionDec: position count is out of range."},
        {"code-length lengths all 0", bit_fields({{1, 16}, {2, 5}, {0, 3}, {0, 3}, {5, 9}}), "HuffDec: program error."},
        // 7 and then 10 one bits: length 17.
        {"code length above 16", bit_fields({{1, 16}, {1, 5}, {7, 3}, {0x3FF, 10}}),
         "blen_get: code length is out of range."},
        {"over-subscribed code-length code", bit_fields({{1, 16}, {3, 5}, {1, 3}, {1, 3}, {1, 3}, {0, 2}}),
         "BitPatternTable: bit-pattern cannot be made."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(thrown_by(c.data + std::string(8, '\0')), c.error) << c.what;
    }
}

TEST(Lh5Dec, TheLargestTablesThatFitAreAccepted) {
    // 510 literal lengths, the last a code; 14 position lengths; a zero
    // run that ends exactly at entry 509. The match reaches before the
    // first byte, into the ring's starting spaces.
    Block block{{{'a'}, {509, 8191}, {'b'}}};
    block.literal.lengths.assign(510, 0);
    block.literal.lengths['a'] = 2;
    block.literal.lengths['b'] = 2;
    block.literal.lengths[509] = 1;
    block.position.lengths.assign(14, 0);
    block.position.lengths[0] = 1;
    block.position.lengths[13] = 1;
    const Decoded d = decode(lh5_data({block}), 258);
    EXPECT_EQ(d.output, std::string(1, 'a') + std::string(256, ' ') + "b");
}

// ---- the copy loop against a byte loop ---------------------------------------

// The copy loop as it was before its fast path: one symbol at a time, each
// byte put out on its own from a history that starts as spaces.
template <const lzh::LH5Params& PARAMS>
void decode_by_symbols(lzh::BitInStream& input, lzh::FileDecOutStream& out) {
    if (out.count >= out.expected_size) return;
    lzh::LH5Dec decoder(input, PARAMS);
    std::string history;
    const auto put = [&](char byte) {
        history += byte;
        return out.put(static_cast<std::uint8_t>(byte));
    };
    for (;;) {
        const int c = decoder.symbol_get();
        const int value = c >= lzh::FIRST_MATCH_SYMBOL ? decoder.distance_get() : 0;
        if (c < 0 || value < 0) return lzh::fill_truncated_entry(out);
        if (c < lzh::FIRST_MATCH_SYMBOL) {
            if (put(static_cast<char>(c))) return;
            continue;
        }
        const auto distance = static_cast<std::size_t>(value) + 1;
        for (int k = 0; k < c - lzh::MATCH_LENGTH_OFFSET; ++k) {
            if (put(distance > history.size() ? ' ' : history[history.size() - distance])) return;
        }
    }
}

// Two blocks of random literals and matches of every length, at distances
// up to the farthest the position code reaches (twice the dictionary for
// -lh4-) and often short ones that overlap their own output; some reach
// before the first byte. About 400 KB: more than the copy loop decodes
// between two flushes.
std::string random_blocks(const lzh::LH5Params& params, std::int64_t& size, unsigned seed) {
    std::mt19937 random(seed);
    const auto farthest = std::uint32_t{1} << (params.position_symbols - 1);
    Lh5Writer writer(params);
    size = 0;
    for (int b = 0; b < 2; ++b) {
        std::vector<Token> tokens;
        for (int t = 0; t < 2500; ++t) {
            if (random() % 3 == 0) {
                tokens.push_back({static_cast<int>(random() % 256)});
                ++size;
                continue;
            }
            const int length = 3 + static_cast<int>(random() % 254);
            const std::uint32_t value = random() % 2 ? random() % 8 : random() % farthest;
            tokens.push_back({length + lzh::MATCH_LENGTH_OFFSET, static_cast<int>(value)});
            size += length;
        }
        writer.block({tokens});
    }
    return writer.data();
}

// Intact data at its size and one byte off it, and damaged copies: the
// copy loop writes the same bytes, reads as far and throws the same texts
// as the byte loop, for all four dictionary sizes.
TEST(Lh5Dec, CopyLoopAgreesWithAByteLoop) {
    struct Method {
        const char* name;
        lzh::MemberDecoder decoder;
        lzh::MemberDecoder reference;
        const lzh::LH5Params& params;
    };
    const Method methods[] = {
        {"-lh4-", lzh::decode_lh4, decode_by_symbols<lzh::LH4_PARAMS>, lzh::LH4_PARAMS},
        {"-lh5-", lzh::decode_lh5, decode_by_symbols<lzh::LH5_PARAMS>, lzh::LH5_PARAMS},
        {"-lh6-", lzh::decode_lh6, decode_by_symbols<lzh::LH6_PARAMS>, lzh::LH6_PARAMS},
        {"-lh7-", lzh::decode_lh7, decode_by_symbols<lzh::LH7_PARAMS>, lzh::LH7_PARAMS},
    };
    unsigned seed = 1;
    for (const Method& m : methods) {
        std::int64_t size = 0;
        const std::string data = random_blocks(m.params, size, seed++);
        // Long matches, followed by bytes that are no block: the fast path
        // ends exactly at the entry's size; and, 20 bytes past the window's
        // area, right after the window moves its bytes.
        std::vector<Token> longest = {{'x'}};
        longest.resize(1001, {509, 0});
        std::vector<Token> past_area = {{'x'}};
        past_area.resize(1029, {508, 0});
        past_area.resize(1049, {'x'});
        const std::string after(16, 'N');
        // A small entry whose matches reach the ring's starting spaces, the
        // farthest one first and then on the careful path near the end: the
        // spaces go in only when first read.
        const int farthest = (1 << (m.params.position_symbols - 1)) - 1;
        const std::vector<Token> into_spaces = {{'s'}, {256 + 9 - 3, farthest}, {'t'}, {256 + 4 - 3, 600},
                                                {256 + 3 - 3, farthest - 1}};
        std::vector<std::pair<std::string, std::int64_t>> cases = {
            {lh5_data({{into_spaces}}, m.params), 1 + 9 + 1 + 4 + 3},
            {lh5_data({{std::vector<Token>(into_spaces.begin() + 1, into_spaces.end())}}, m.params), 9 + 1 + 4 + 3},
            {data, size},
            {data, size - 1},
            {data + "NEXT", size + 1},
            {lh5_data({{longest}}, m.params) + after, 1 + 256 * 1000},
            {lh5_data({{past_area}}, m.params) + after, 1 + 255 * 1028 + 20}};
        for (std::string& copy : test_common::damaged_copies(data, 6, seed++))
            cases.emplace_back(std::move(copy), size);
        for (std::size_t i = 0; i < cases.size(); ++i) {
            const auto& [bytes, entry_size] = cases[i];
            const Decoded fast =
                decode_member(m.decoder, bytes, entry_size, lzh::BitInStream::DEFAULT_BLOCK_SIZE, true);
            const Decoded reference = decode_member(m.reference, bytes, entry_size, 7, true);
            EXPECT_TRUE(fast.output == reference.output) << m.name << " case " << i;
            EXPECT_EQ(fast.error, reference.error) << m.name << " case " << i;
            EXPECT_EQ(fast.consumed, reference.consumed) << m.name << " case " << i;
            EXPECT_EQ(fast.crc, reference.crc) << m.name << " case " << i;
        }
        EXPECT_EQ(static_cast<std::int64_t>(decode_member(m.decoder, data, size).output.size()), size);
    }
}

}  // namespace
