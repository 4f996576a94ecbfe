// Proves the bits of -lh5- blocks: whole encodings of small sources compared
// bit for bit (one byte, abcabc, 300 equal bytes, a run of 19 zero lengths,
// the 2-bit zero field of the code-length description, a code-length code
// of one symbol), that single-symbol tables cost no bits in the data, the
// length field of the descriptions, the block cuts at 16383 and 16384
// entries, and the range checks of the block writer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lh5_block_enc.h"
#include "lh5_enc.h"
#include "lh5_reference_decoder.h"
#include "lh5_test_support.h"

using lh5_test::Bytes;
using lh5_test::field;
using lzh::LH5MatchFinder;

namespace {

const LH5MatchFinder BOTH[] = {LH5MatchFinder::REFERENCE, LH5MatchFinder::FAST};

Bytes text_bytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

struct ExactCase {
    const char* name;
    Bytes input;
    std::string bits;  // the whole data, before padding
};

std::vector<ExactCase> exact_cases() {
    std::vector<ExactCase> cases;

    // One byte 0x00: count 1; code-length code in the single-symbol form
    // (symbol 3, the length 1); literal code single-symbol (symbol 0);
    // position code single-symbol (symbol 0). The literal itself: no bits.
    cases.push_back({"one_zero_byte", Bytes{0x00},
                     field(1, 16) + field(0, 5) + field(3, 5) + field(0, 9) + field(0, 9) + field(0, 4) + field(0, 4)});

    // abcabc: a b c and a match of 3 at distance 3 (value 2). Four symbols
    // of one count each get 2-bit codes a=00 b=01 c=10 256=11. The literal
    // lengths (257 of them) are a run of 97 zeros, 2 2 2, a run of 156
    // zeros, 2: code-length symbols 2 (twice) and 4 (four times), codes
    // 2=0, 4=1. The one position code (2) costs nothing; its extra bit is
    // the low bit of the value.
    cases.push_back({"abcabc", text_bytes("abcabc"),
                     field(4, 16) +
                         // code-length lengths 0 0 1, zero field 1 (index 3), 1
                         field(5, 5) + "000 000 001 " + field(1, 2) + "001 " +
                         // 257 literal lengths
                         field(257, 9) + "0" + field(77, 9) + "1 1 1 " + "0" + field(136, 9) + "1 " +
                         // position code: single symbol 2
                         field(0, 4) + field(2, 4) +
                         // a b c, match 256 with value 2: extra bit 0
                         "00 01 10 11 0"});

    // 300 x: x, a match of 256 at distance 1 (value 0), a match of 43 at
    // distance 256 (value 255): the nearest entered position is 1, position
    // 0 gives the same length and loses. Codes 509=0, x=10, 296=11. Literal
    // lengths: 120 zeros, 2, 175 zeros, 2, 212 zeros, 1; code-length symbols
    // 2 (three times, code 0), 3 (once, 10), 4 (twice, 11). Position codes 0
    // and 8, one bit each.
    cases.push_back({"300_equal_bytes", Bytes(300, 'x'),
                     field(3, 16) +
                         // code-length lengths 0 0 1, zero field 0, 2 2
                         field(5, 5) + "000 000 001 " + field(0, 2) + "010 010 " +
                         // 510 literal lengths
                         field(510, 9) + "0" + field(100, 9) + "11 " + "0" + field(155, 9) + "11 " + "0" +
                         field(192, 9) + "10 " +
                         // position lengths: 9 of them, 1 0 0 0 0 0 0 0 1
                         field(9, 4) + "001 000 000 000 000 000 000 000 001 " +
                         // x; 509 with position 0; 296 with position 8 and 7 extra bits
                         "10 " + "0 0 " + "11 1 1111111"});

    // Literals 0 and 20: the 19 zero lengths between them have no run
    // symbol of their own and go out as symbol 0 and a run of 18 (symbol 1,
    // extra 15). Code-length codes 3=0, 0=10, 1=11.
    cases.push_back({"run_of_19_zero_lengths", Bytes{0, 20},
                     field(2, 16) + field(4, 5) + "010 010 000 " + field(0, 2) + "001 " + field(21, 9) + "0 " + "10 " +
                         "11" + field(15, 4) + "0 " + field(0, 4) + field(0, 4) + "0 1"});

    // Literals 0 to 14 and 40, once each: sixteen 4-bit codes. Code-length
    // symbols 6 (sixteen times) and 2 (once): its lengths are 0 0 1 0 0 0 1,
    // and the zero field after the third length covers the three zeros.
    {
        Bytes input;
        for (int c = 0; c < 15; ++c) input.push_back(static_cast<std::uint8_t>(c));
        input.push_back(40);
        std::string data;
        for (unsigned code = 0; code < 16; ++code) data += field(code, 4);
        cases.push_back({"zero_field_of_three", input,
                         field(16, 16) + field(7, 5) + "000 000 001 " + field(3, 2) + "001 " + field(41, 9) +
                             "111111111111111 " + "0" + field(5, 9) + "1 " + field(0, 4) + field(0, 4) + data});
    }

    // Literals 0 to 15, once each: every literal length is 4, so the
    // code-length code has one symbol (6) and the 16 lengths take no bits.
    {
        Bytes input;
        std::string data;
        for (unsigned c = 0; c < 16; ++c) {
            input.push_back(static_cast<std::uint8_t>(c));
            data += field(c, 4);
        }
        cases.push_back({"single_code_length_symbol", input,
                         field(16, 16) + field(0, 5) + field(6, 5) + field(16, 9) + field(0, 4) + field(0, 4) + data});
    }
    return cases;
}

TEST(Lh5EncBits, SmallSourcesGiveExactlyTheseBits) {
    for (const ExactCase& c : exact_cases()) {
        for (const LH5MatchFinder finder : BOTH) {
            SCOPED_TRACE(std::string(c.name) + (finder == LH5MatchFinder::FAST ? " fast" : " reference"));
            const auto out = lh5_test::compress(c.input, finder);
            EXPECT_EQ(out.data, lh5_test::bits_to_bytes(c.bits)) << lh5_test::bit_count(c.bits) << " bits expected";
            EXPECT_EQ(out.result.bytes_read, static_cast<std::int64_t>(c.input.size()));
            EXPECT_EQ(out.result.crc, lh5_test::crc16(c.input));
            EXPECT_EQ(lh5_test::decode(out.data, c.input.size()).bytes, c.input);
        }
    }
}

TEST(Lh5EncBits, OneZeroByteIsOneBlockOf52Bits) {
    const auto out = lh5_test::compress(Bytes{0x00});
    EXPECT_EQ(out.data, (Bytes{0x00, 0x01, 0x00, 0xC0, 0x00, 0x00, 0x00}));
}

TEST(Lh5EncBits, EmptySourceGivesNoData) {
    for (const LH5MatchFinder finder : BOTH) {
        const auto out = lh5_test::compress(Bytes{}, finder);
        EXPECT_TRUE(out.data.empty());
        EXPECT_EQ(out.result.bytes_read, 0);
        EXPECT_EQ(out.result.crc, 0);
        EXPECT_FALSE(out.result.read_error);
    }
}

// A block of one repeated literal: the literal costs nothing however often
// it occurs, so 300 copies of it cost what one does.
TEST(Lh5EncBits, SingleSymbolTablesCostNoBitsPerOccurrence) {
    std::vector<std::uint8_t> one;
    std::vector<std::uint8_t> many;
    {
        lzh::LzhBitOutStream bits(one);
        lzh::LH5BlockEnc blocks(bits);
        blocks.literal_put('q');
        blocks.finish();
        bits.flush();
    }
    {
        lzh::LzhBitOutStream bits(many);
        lzh::LH5BlockEnc blocks(bits);
        for (int i = 0; i < 300; ++i) blocks.literal_put('q');
        blocks.finish();
        bits.flush();
    }
    EXPECT_EQ(one.size(), many.size());
    EXPECT_EQ(lh5_test::decode(many, 300).bytes, Bytes(300, 'q'));

    // Matches of one length and one position code: only the extra bits of
    // the values remain (position code 5: 4 extra bits per match).
    std::vector<std::uint8_t> matches;
    {
        lzh::LzhBitOutStream bits(matches);
        lzh::LH5BlockEnc blocks(bits);
        for (int c = 0; c < 32; ++c) blocks.literal_put(c);
        for (int i = 0; i < 16; ++i) blocks.match_len_put(256, 16 + i);  // length 3, values 16-31
        blocks.finish();
        bits.flush();
    }
    const auto decoded = lh5_test::decode(matches, 32 + 16 * 3);
    EXPECT_EQ(decoded.tokens.size(), 48u);
    EXPECT_EQ(decoded.tokens.back(), lh5_test::match_token(3, 32));
}

TEST(Lh5EncBits, LengthFieldIsThreeBitsOrAUnaryExtension) {
    const std::vector<std::pair<int, std::string>> cases = {
        {0, "000"}, {1, "001"}, {6, "110"}, {7, "1110"}, {8, "11110"}, {9, "111110"}, {16, "1111111111110"},
    };
    for (const auto& [length, bits] : cases) {
        std::vector<std::uint8_t> out;
        {
            lzh::LzhBitOutStream stream(out);
            lzh::blen_put(stream, length);
        }
        EXPECT_EQ(out, lh5_test::bits_to_bytes(bits)) << "length " << length;
    }
}

// Literal-only data is cut into blocks of 16383 symbols; a match that
// arrives with 16382 entries held fills the block to 16384 entries.
TEST(Lh5EncBits, BlocksCarry16383Or16384Entries) {
    const Bytes pairs = corpus::pair_sequence();
    {
        const Bytes input(pairs.begin(), pairs.begin() + 40000);
        for (const LH5MatchFinder finder : BOTH) {
            const auto decoded = lh5_test::decode(lh5_test::compress(input, finder).data, input.size());
            EXPECT_EQ(decoded.bytes, input);
            EXPECT_EQ(decoded.block_symbols, (std::vector<int>{16383, 16383, 7234}));
            EXPECT_EQ(decoded.block_entries, (std::vector<int>{16383, 16383, 7234}));
        }
    }
    {
        // 16382 literals, then three bytes that repeat 5000 bytes back.
        Bytes input(pairs.begin(), pairs.begin() + 16382);
        input.insert(input.end(), pairs.begin() + 11382, pairs.begin() + 11385);
        for (const LH5MatchFinder finder : BOTH) {
            const auto decoded = lh5_test::decode(lh5_test::compress(input, finder).data, input.size());
            EXPECT_EQ(decoded.bytes, input);
            EXPECT_EQ(decoded.tokens.back(), lh5_test::match_token(3, 5000));
            EXPECT_EQ(decoded.block_symbols, (std::vector<int>{16383}));
            EXPECT_EQ(decoded.block_entries, (std::vector<int>{16384}));
        }
    }
}

// With any data, every block but the last has 16383 or 16384 entries.
TEST(Lh5EncBits, EveryBlockButTheLastIsFull) {
    const Bytes input = lh5_test::text_like(300000, 7);
    const auto decoded = lh5_test::decode(lh5_test::compress(input).data, input.size());
    ASSERT_GT(decoded.block_entries.size(), 2u);
    for (std::size_t i = 0; i + 1 < decoded.block_entries.size(); ++i) {
        EXPECT_TRUE(decoded.block_entries[i] == 16383 || decoded.block_entries[i] == 16384) << "block " << i;
    }
    EXPECT_LE(decoded.block_entries.back(), 16384);
}

TEST(Lh5EncBits, OutOfRangeEntriesAreRefused) {
    std::vector<std::uint8_t> out;
    lzh::LzhBitOutStream bits(out);
    lzh::LH5BlockEnc blocks(bits);
    const auto thrown = [](auto&& call) -> std::string {
        try {
            call();
        } catch (const char* text) {
            return text;
        }
        return "";
    };
    for (const int c : {-1, 256, 1000}) {
        EXPECT_EQ(thrown([&] { blocks.literal_put(c); }), "literal_put: out fo range.") << c;
    }
    const std::vector<std::pair<int, int>> bad = {{255, 0}, {510, 0}, {256, -1}, {256, 8192}, {509, 32767}};
    for (const auto& [symbol, value] : bad) {
        EXPECT_EQ(thrown([&] { blocks.match_len_put(symbol, value); }), "match_len_put: out of range.")
            << symbol << " " << value;
    }
    // The extremes are taken.
    EXPECT_EQ(thrown([&] {
                  blocks.literal_put(0);
                  blocks.literal_put(255);
                  blocks.match_len_put(256, 0);
                  blocks.match_len_put(509, 8191);
              }),
              "");
}

}  // namespace
