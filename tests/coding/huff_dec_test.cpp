// Proves the canonical codes (BitPatternTable) and the decoder (HuffDec) in
// both bit orders: the codes of known tables (RFC 1951's example and the
// Deflate fixed code) against an independent construction; every symbol of
// random length sets decodes as written; the table-driven decode agrees
// with the ordered search on any bits, incomplete codes and truncated input
// included; the single-symbol rule both ways; hostile tables are refused
// with their texts.
#include "huff_dec.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "bit_in_stream.h"
#include "bit_out_stream.h"
#include "bit_pattern_table.h"
#include "coding_test_files.h"

using coding::BitInStream;
using coding::BitOrder;
using coding::BitOutStream;
using coding::BitPatternTable;
using coding::BLenTable;
using coding::HuffDec;
using coding::SingleCode;

namespace {

using Bytes = std::vector<std::uint8_t>;

template <class T>
class HuffDecTest : public ::testing::Test {};
TYPED_TEST_SUITE(HuffDecTest, BothOrders);

// Canonical codes as RFC 1951 section 3.2.2 computes them (bl_count and
// next_code), first bit = top bit; independent of BitPatternTable.
std::vector<std::uint32_t> reference_codes(const std::vector<int>& lengths) {
    int top = 0;
    for (const int length : lengths) top = std::max(top, length);
    std::vector<std::uint32_t> bl_count(static_cast<std::size_t>(top) + 1, 0);
    for (const int length : lengths) {
        if (length > 0) ++bl_count[static_cast<std::size_t>(length)];
    }
    std::vector<std::uint32_t> next_code(static_cast<std::size_t>(top) + 2, 0);
    std::uint32_t code = 0;
    for (int bits = 1; bits <= top; ++bits) {
        code = (code + bl_count[static_cast<std::size_t>(bits) - 1]) << 1;
        next_code[static_cast<std::size_t>(bits)] = code;
    }
    std::vector<std::uint32_t> codes(lengths.size(), 0);
    for (std::size_t n = 0; n < lengths.size(); ++n) {
        if (lengths[n] != 0) codes[n] = next_code[static_cast<std::size_t>(lengths[n])]++;
    }
    return codes;
}

// The pattern that BitPatternTable must hold for a code: the code itself
// most significant first, bit-reversed least significant first.
template <BitOrder Order>
std::int32_t stored(std::uint32_t code, int length) {
    return static_cast<std::int32_t>(Order == BitOrder::MSB_FIRST ? code : coding::reverse_bits(code, length));
}

// Writes a code first bit first, whatever the order of the stream.
template <BitOrder Order>
void put_code(BitOutStream<Order>& out, std::uint32_t code, int length) {
    for (int i = length - 1; i >= 0; --i) out.bit_put(static_cast<int>((code >> i) & 1));
}

std::vector<int> fixed_literal_lengths() {
    std::vector<int> lengths(288);
    for (int i = 0; i < 288; ++i) lengths[static_cast<std::size_t>(i)] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
    return lengths;
}

TYPED_TEST(HuffDecTest, KnownTablesHaveTheirCanonicalCodes) {
    constexpr BitOrder order = TypeParam::value;
    struct Case {
        std::vector<int> lengths;
        std::map<int, std::uint32_t> codes;  // symbol -> code, first bit on top
    };
    const Case cases[] = {
        {{2, 1, 3, 3}, {{0, 0b10}, {1, 0b0}, {2, 0b110}, {3, 0b111}}},
        // RFC 1951's example, A to H.
        {{3, 3, 3, 3, 3, 2, 4, 4},
         {{0, 0b010}, {1, 0b011}, {2, 0b100}, {3, 0b101}, {4, 0b110}, {5, 0b00}, {6, 0b1110}, {7, 0b1111}}},
        // The Deflate fixed literal/length code (RFC 1951 section 3.2.6).
        {fixed_literal_lengths(),
         {{0, 0x30}, {143, 0xBF}, {144, 0x190}, {255, 0x1FF}, {256, 0x00}, {279, 0x17}, {280, 0xC0}, {287, 0xC7}}},
        // Incomplete: accepted, the code 11 is unused.
        {{1, 0, 2}, {{0, 0b0}, {1, 0}, {2, 0b10}}},
    };
    for (const Case& c : cases) {
        const BitPatternTable<order> table{BLenTable(c.lengths)};
        const auto reference = reference_codes(c.lengths);
        for (std::size_t s = 0; s < c.lengths.size(); ++s) {
            ASSERT_EQ(table.patterns[s], stored<order>(reference[s], c.lengths[s])) << s;
        }
        for (const auto& [symbol, code] : c.codes) {
            EXPECT_EQ(table.patterns[static_cast<std::size_t>(symbol)],
                      stored<order>(code, c.lengths[static_cast<std::size_t>(symbol)]))
                << symbol;
        }
    }
}

TYPED_TEST(HuffDecTest, DecodesASmallCodeBitByBit) {
    constexpr BitOrder order = TypeParam::value;
    // The bits 0 10 110 111: symbols 1, 0, 2, 3.
    Bytes bytes;
    {
        BitOutStream<order> out(bytes);
        for (const int bit : {0, 1, 0, 1, 1, 0, 1, 1, 1}) out.bit_put(bit);
    }
    InputFile file(bytes);
    BitInStream<order> in(file.get());
    const HuffDec<order> dec(BLenTable{2, 1, 3, 3}, SingleCode::ONE_BIT);
    EXPECT_EQ(dec.width(), 3);
    for (const int symbol : {1, 0, 2, 3}) EXPECT_EQ(dec.decode(in), symbol);
}

TEST(HuffDec, HostileTablesAreRefusedWithTheirTexts) {
    struct Case {
        std::vector<int> lengths;
        const char* text;
    };
    const Case cases[] = {
        {{}, "BitPatternTable: program error."},
        {{1, 1, 1}, "BitPatternTable: bit-pattern cannot be made."},
        {{1, 2, 2, 2}, "BitPatternTable: bit-pattern cannot be made."},
        {std::vector<int>(65537, 16), "BitPatternTable: bit-pattern cannot be made."},
        {{0, 0, 0}, "HuffDec: program error."},
        {{1, 17}, "BLenTable: out of range."},
        {{1, -1}, "BLenTable: out of range."},
        {{1, 200}, "BLenTable: out of range."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(thrown_text([&] { HuffDec<BitOrder::MSB_FIRST>(BLenTable(c.lengths), SingleCode::ONE_BIT); }), c.text)
            << c.lengths.size();
        EXPECT_EQ(thrown_text([&] { HuffDec<BitOrder::LSB_FIRST>(BLenTable(c.lengths), SingleCode::ZERO_BITS); }),
                  c.text)
            << c.lengths.size();
    }
    // A caller's own limit: Deflate lengths stop at 15.
    EXPECT_EQ(thrown_text([] { BLenTable(std::vector<int>{15, 16}, 15); }), "BLenTable: out of range.");
    // A table whose fields were set by hand still cannot reach outside.
    BLenTable forged{1, 1};
    forged.lengths[1] = 5;
    EXPECT_EQ(thrown_text([&] { BitPatternTable<BitOrder::MSB_FIRST>{forged}; }), "BitPatternTable: out of range.");
}

TYPED_TEST(HuffDecTest, SingleSymbolCodeCostsOneBitOrNone) {
    constexpr BitOrder order = TypeParam::value;
    InputFile file({0xB6, 0x5A});  // arbitrary data after the symbols
    const BLenTable table{0, 0, 1};
    {
        // Deflate: one bit per occurrence, whatever its value.
        BitInStream<order> in(file.get());
        const HuffDec<order> dec(table, SingleCode::ONE_BIT);
        for (int i = 0; i < 8; ++i) EXPECT_EQ(dec.decode(in), 2);
        EXPECT_EQ(in.byte_get(), 0x5A);
    }
    std::rewind(file.get());
    {
        // LZH single-symbol form: no bits at all, also at the end of data.
        BitInStream<order> in(file.get());
        const HuffDec<order> dec(table, SingleCode::ZERO_BITS);
        for (int i = 0; i < 8; ++i) {
            EXPECT_EQ(dec.decode(in), 2);
            EXPECT_EQ(dec.decode_by_search(in), 2);
        }
        EXPECT_EQ(in.byte_get(), 0xB6);
        EXPECT_EQ(in.byte_get(), 0x5A);
        EXPECT_EQ(dec.decode(in), 2);
    }
    {
        // The same in a decode loop's unchecked reads.
        InputFile long_file(Bytes(16, 0xB6));
        BitInStream<order> in(long_file.get());
        const HuffDec<order> dec(table, SingleCode::ZERO_BITS);
        in.future_bits(1);  // reads the first block
        auto cursor = in.cursor();
        ASSERT_TRUE(cursor.refill());
        const int held = cursor.held();
        for (int i = 0; i < 8; ++i) EXPECT_EQ(dec.decode_held(cursor), 2);
        EXPECT_EQ(cursor.held(), held);
    }
    std::rewind(file.get());
    {
        // ZERO_BITS only changes tables with a single used symbol.
        BitInStream<order> in(file.get());
        const HuffDec<order> dec(BLenTable{1, 1}, SingleCode::ZERO_BITS);
        const int first_bit = order == BitOrder::MSB_FIRST ? 1 : 0;  // of 0xB6
        EXPECT_EQ(dec.decode(in), first_bit);
    }
}

// A random length set: a complete code grown by splitting random leaves, then
// for incomplete sets some codes dropped; spread over a random alphabet.
std::vector<int> random_lengths(std::mt19937& random, bool complete) {
    const int width = 1 + static_cast<int>(random() % 16);
    const std::size_t alphabet = 1 + random() % 600;
    std::size_t leaves_wanted = 1 + random() % std::min<std::size_t>(alphabet, 300);
    std::vector<int> leaves{0};
    while (leaves.size() < leaves_wanted) {
        std::vector<std::size_t> open;
        for (std::size_t i = 0; i < leaves.size(); ++i) {
            if (leaves[i] < width) open.push_back(i);
        }
        if (open.empty()) break;
        const std::size_t pick = open[random() % open.size()];
        const int depth = ++leaves[pick];
        leaves.push_back(depth);
    }
    if (leaves.size() == 1) leaves[0] = 1 + static_cast<int>(random() % width);  // one code alone
    if (!complete && leaves.size() > 1) {
        std::shuffle(leaves.begin(), leaves.end(), random);
        leaves.resize(1 + random() % leaves.size());
    }
    std::vector<int> lengths(std::max(alphabet, leaves.size()), 0);
    std::vector<std::size_t> symbols(lengths.size());
    for (std::size_t i = 0; i < symbols.size(); ++i) symbols[i] = i;
    std::shuffle(symbols.begin(), symbols.end(), random);
    for (std::size_t i = 0; i < leaves.size(); ++i) lengths[symbols[i]] = leaves[i];
    return lengths;
}

TYPED_TEST(HuffDecTest, EverySymbolOfRandomCodesDecodesAsWritten) {
    constexpr BitOrder order = TypeParam::value;
    std::mt19937 random(2024);
    for (int round = 0; round < 150; ++round) {
        const std::vector<int> lengths = random_lengths(random, round % 3 != 0);
        const auto codes = reference_codes(lengths);
        std::vector<int> message;
        for (std::size_t s = 0; s < lengths.size(); ++s) {
            if (lengths[s] != 0) message.push_back(static_cast<int>(s));  // every symbol once
        }
        for (int i = 0; i < 500; ++i) message.push_back(message[random() % message.size()]);
        std::shuffle(message.begin(), message.end(), random);

        Bytes bytes;
        {
            BitOutStream<order> out(bytes);
            for (const int s : message) {
                put_code(out, codes[static_cast<std::size_t>(s)], lengths[static_cast<std::size_t>(s)]);
            }
        }
        InputFile file(bytes);
        BitInStream<order> fast_in(file.get(), 1 + random() % 9);
        const HuffDec<order> dec(BLenTable(lengths), SingleCode::ONE_BIT);
        for (const int s : message) ASSERT_EQ(dec.decode(fast_in), s) << round;
        std::rewind(file.get());
        BitInStream<order> search_in(file.get());
        for (const int s : message) ASSERT_EQ(dec.decode_by_search(search_in), s) << round;
    }
}

TYPED_TEST(HuffDecTest, TableLookupAgreesWithTheSearchOnAnyBits) {
    constexpr BitOrder order = TypeParam::value;
    std::mt19937 random(77);
    for (int round = 0; round < 200; ++round) {
        const std::vector<int> lengths = random_lengths(random, round % 2 == 0);
        // Random bytes: for incomplete codes these hit the gaps, and the
        // data ends inside a code sooner or later.
        Bytes bytes(random() % 1500);
        for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
        InputFile file(bytes);
        BitInStream<order> a(file.get(), 4096);
        InputFile copy(bytes, "copy");
        BitInStream<order> b(copy.get(), 3);
        const HuffDec<order> dec(BLenTable(lengths), SingleCode::ONE_BIT);
        // Each decode consumes at least one bit, so the end is reached.
        // Where the input holds enough bits, the unchecked decode of the
        // fast loops takes the place of the checked one.
        const auto decode_either = [&](int step) {
            auto cursor = a.cursor();
            if (step % 2 != 0 || !cursor.refill()) return dec.decode(a);
            const int s = dec.decode_held(cursor);
            a.resume(cursor);
            return s;
        };
        for (int step = 0;; ++step) {
            const int s = decode_either(step);
            ASSERT_EQ(s, dec.decode_by_search(b)) << round << " " << step;
            ASSERT_EQ(a.future_bits(16), b.future_bits(16)) << round << " " << step;
            if (s < 0) break;
            ASSERT_GE(s, 0);
            ASSERT_LT(static_cast<std::size_t>(s), lengths.size());
            ASSERT_NE(lengths[static_cast<std::size_t>(s)], 0);
        }
        EXPECT_EQ(a.bit_get(), -1);
    }
}

TYPED_TEST(HuffDecTest, InputEndingInsideACodeIsMinusOne) {
    constexpr BitOrder order = TypeParam::value;
    // Nine-bit codes over one byte of data.
    std::vector<int> lengths(512, 9);
    InputFile file({0x00});
    BitInStream<order> in(file.get());
    const HuffDec<order> dec(BLenTable(lengths), SingleCode::ONE_BIT);
    EXPECT_EQ(dec.decode(in), -1);
    EXPECT_EQ(dec.decode(in), -1);
    EXPECT_EQ(dec.decode_by_search(in), -1);

    // A gap of an incomplete code decodes as the next code up; past the
    // last code, as the last code. (1, 0, 2): codes 0 and 10; 11 is unused.
    Bytes bytes;
    {
        BitOutStream<order> out(bytes);
        for (const int bit : {1, 1, 0, 1, 0}) out.bit_put(bit);
    }
    InputFile gap(bytes, "gap");
    BitInStream<order> gap_in(gap.get());
    const HuffDec<order> incomplete(BLenTable{1, 0, 2}, SingleCode::ONE_BIT);
    EXPECT_EQ(incomplete.decode(gap_in), 2);  // 11
    EXPECT_EQ(incomplete.decode(gap_in), 0);  // 0
    EXPECT_EQ(incomplete.decode(gap_in), 2);  // 10
}

}  // namespace
