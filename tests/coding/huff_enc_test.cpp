// Proves the encoder side of the Huffman codes: code lengths from
// frequencies (known results, optimality when the limit is not reached,
// the limits 16, 15 and 7 on skewed frequencies, and the exact lengths of
// the redistribution), the degenerate tables and the single-symbol rule
// both ways, the refusal of symbols outside the code, and that every
// encoded message decodes back in both bit orders.
#include "huff_enc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "bit_in_stream.h"
#include "bit_out_stream.h"
#include "coding_test_files.h"
#include "huff_dec.h"

using coding::BitInStream;
using coding::BitOrder;
using coding::BitOutStream;
using coding::BLenTable;
using coding::build_code_lengths;
using coding::HuffDec;
using coding::HuffEnc;
using coding::SingleCode;

namespace {

using Frequencies = std::vector<std::int32_t>;
using Bytes = std::vector<std::uint8_t>;

std::vector<int> lengths_of(const Frequencies& frequencies, int limit, SingleCode single = SingleCode::ONE_BIT) {
    const BLenTable table = build_code_lengths(frequencies, limit, single);
    return std::vector<int>(table.lengths.begin(), table.lengths.end());
}

// Cost of an optimal (unlimited) Huffman code: the sum of all merged weights.
std::int64_t optimal_cost(const Frequencies& frequencies) {
    std::multiset<std::int64_t> weights;
    for (const auto f : frequencies) {
        if (f > 0) weights.insert(f);
    }
    std::int64_t cost = 0;
    while (weights.size() > 1) {
        const std::int64_t a = *weights.begin();
        weights.erase(weights.begin());
        const std::int64_t b = *weights.begin();
        weights.erase(weights.begin());
        cost += a + b;
        weights.insert(a + b);
    }
    return cost;
}

// Checks what every built table must satisfy: lengths within the limit,
// a code exactly for the used symbols, a complete code (Kraft sum 1), and
// a more frequent symbol never with a longer code.
void expect_sound(const Frequencies& frequencies, int limit) {
    const BLenTable table = build_code_lengths(frequencies, limit, SingleCode::ONE_BIT);
    ASSERT_EQ(table.lengths.size(), frequencies.size());
    ASSERT_EQ(table.max_length, limit);
    std::int64_t kraft = 0;
    int used = 0;
    for (std::size_t s = 0; s < frequencies.size(); ++s) {
        const int length = table.lengths[s];
        ASSERT_EQ(frequencies[s] > 0, length > 0) << s;
        ASSERT_LE(length, limit);
        if (length > 0) {
            kraft += std::int64_t{1} << (limit - length);
            ++used;
        }
        for (std::size_t t = 0; t < frequencies.size(); ++t) {
            if (frequencies[t] > frequencies[s] && frequencies[s] > 0) {
                ASSERT_LE(table.lengths[t], length) << s << " " << t;
            }
        }
    }
    EXPECT_EQ(table.used, used);
    EXPECT_EQ(kraft, std::int64_t{1} << limit);
}

TEST(HuffEnc, KnownLengths) {
    EXPECT_EQ(lengths_of({1, 1, 1, 1}, 16), (std::vector<int>{2, 2, 2, 2}));
    EXPECT_EQ(lengths_of({1, 1, 2, 4}, 16), (std::vector<int>{3, 3, 2, 1}));
    EXPECT_EQ(lengths_of({3, 0, 3}, 16), (std::vector<int>{1, 0, 1}));
    // Frequencies of 0 or below get no code.
    EXPECT_EQ(lengths_of({-5, 2, 0, 2}, 16), (std::vector<int>{0, 1, 0, 1}));
}

TEST(HuffEnc, DegenerateTablesPerSingleCodeRule) {
    struct Case {
        Frequencies frequencies;
        SingleCode single;
        std::vector<int> lengths;
    };
    const Case cases[] = {
        {{0, 0, 5}, SingleCode::ONE_BIT, {0, 0, 1}},
        {{0, 0, 5}, SingleCode::ZERO_BITS, {0, 0, 1}},
        // The LZH list ends at the symbol; Deflate keeps one per frequency.
        {{0, 5, 0, 0}, SingleCode::ZERO_BITS, {0, 1}},
        {{0, 5, 0, 0}, SingleCode::ONE_BIT, {0, 1, 0, 0}},
        // No used symbol: the single length 1 for symbol 0.
        {{0, 0, 0}, SingleCode::ONE_BIT, {1}},
        {{}, SingleCode::ONE_BIT, {1}},
        {{}, SingleCode::ZERO_BITS, {1}},
    };
    for (const Case& c : cases) {
        const BLenTable table = build_code_lengths(c.frequencies, 16, c.single);
        EXPECT_EQ(std::vector<int>(table.lengths.begin(), table.lengths.end()), c.lengths);
        EXPECT_EQ(table.used, 1);
        EXPECT_EQ(table.max_length, 16);
    }
}

TEST(HuffEnc, MatchesTheOptimalCostWhenTheLimitIsNotReached) {
    std::mt19937 random(5);
    int checked = 0;
    for (int round = 0; round < 200; ++round) {
        Frequencies frequencies(2 + random() % 300);
        for (auto& f : frequencies) f = random() % 4 == 0 ? 0 : static_cast<std::int32_t>(1 + random() % 1000);
        frequencies[0] = 1 + round;
        frequencies[1] = 1;
        const std::vector<int> lengths = lengths_of(frequencies, 16);
        expect_sound(frequencies, 16);
        // A code that was cut to the limit keeps codes of the full 16 bits;
        // shorter ones are the plain Huffman tree.
        if (*std::max_element(lengths.begin(), lengths.end()) == 16) continue;
        std::int64_t cost = 0;
        for (std::size_t s = 0; s < frequencies.size(); ++s) cost += std::int64_t{frequencies[s]} * lengths[s];
        ASSERT_EQ(cost, optimal_cost(frequencies)) << round;
        ++checked;
    }
    EXPECT_GT(checked, 150);
}

TEST(HuffEnc, RedistributesLengthsOverTheLimit) {
    // Fibonacci frequencies make a tree of depths 9, 9, 8, ... 1. With limit
    // 7 the excess is 2 units: the leaves at depths 4 and then 3 are split
    // and two leaves at depth 7 dropped, and the lengths are handed out
    // again, longest first, in merge order.
    EXPECT_EQ(lengths_of({1, 1, 2, 3, 5, 8, 13, 21, 34, 55}, 7), (std::vector<int>{7, 7, 6, 5, 5, 5, 4, 4, 2, 1}));
    EXPECT_EQ(lengths_of({1, 1, 2, 3, 5, 8, 13, 21, 34, 55}, 9), (std::vector<int>{9, 9, 8, 7, 6, 5, 4, 3, 2, 1}));
}

TEST(HuffEnc, SkewedFrequenciesStayWithinTheFormatLimits) {
    Frequencies fibonacci{1, 1};
    while (fibonacci.size() < 40)
        fibonacci.push_back(fibonacci[fibonacci.size() - 1] + fibonacci[fibonacci.size() - 2]);
    const Frequencies first20(fibonacci.begin(), fibonacci.begin() + 20);
    const Frequencies first19(fibonacci.begin(), fibonacci.begin() + 19);
    expect_sound(first20, 16);  // LZH tables
    expect_sound(fibonacci, 16);
    expect_sound(fibonacci, 15);  // Deflate literal/length and distance codes
    expect_sound(first19, 7);     // Deflate code-length code: 19 symbols
    Frequencies powers(30);
    for (std::size_t i = 0; i < powers.size(); ++i) powers[i] = std::int32_t{1} << i;
    expect_sound(powers, 15);
    // Large counts: their sums must not overflow.
    expect_sound(Frequencies{0x7FFFFFFF, 0x7FFFFFFF, 1, 1, 0x40000000}, 16);

    std::mt19937 random(11);
    for (int round = 0; round < 100; ++round) {
        const int limit = std::vector<int>{7, 15, 16}[static_cast<std::size_t>(round % 3)];
        Frequencies frequencies(limit == 7 ? 19 : 2 + random() % 510);
        // Exponentially skewed counts force deep trees.
        for (auto& f : frequencies) f = static_cast<std::int32_t>(1u << (random() % 30)) * (random() % 8 != 0);
        frequencies[0] = 1;
        frequencies[1] = 1;
        expect_sound(frequencies, limit);
    }
    // Small limits still give valid codes as long as the symbols fit.
    expect_sound(Frequencies{1, 2, 4, 8}, 2);
    expect_sound(Frequencies{1, 1, 2, 4, 8, 16, 32, 64}, 3);
}

TEST(HuffEnc, RefusesLimitsAndSymbolsOutsideTheCode) {
    EXPECT_EQ(thrown_text([] {
                  build_code_lengths(Frequencies{1, 1}, 0, SingleCode::ONE_BIT);
              }),
              "HuffEnc: out of range.");
    EXPECT_EQ(thrown_text([] {
                  build_code_lengths(Frequencies{1, 1}, 17, SingleCode::ONE_BIT);
              }),
              "HuffEnc: out of range.");
    EXPECT_EQ(thrown_text([] {
                  build_code_lengths(Frequencies{1, 1, 1, 1, 1}, 2, SingleCode::ONE_BIT);
              }),
              "HuffEnc: too many symbols for the length limit.");

    Bytes sink;
    BitOutStream<BitOrder::MSB_FIRST> out(sink);
    const HuffEnc<BitOrder::MSB_FIRST> enc(Frequencies{4, 0, 2, 1}, 16, SingleCode::ONE_BIT);
    EXPECT_EQ(thrown_text([&] { enc.encode(out, 4); }), "encode: out of range.");
    EXPECT_EQ(thrown_text([&] { enc.encode(out, -1); }), "encode: out of range.");
    EXPECT_EQ(thrown_text([&] { enc.encode(out, 1); }), "encode: symbol has no code.");
    out.flush();
    EXPECT_TRUE(sink.empty());
}

template <class T>
class HuffEncTest : public ::testing::Test {};
TYPED_TEST_SUITE(HuffEncTest, BothOrders);

TYPED_TEST(HuffEncTest, SingleSymbolIsWrittenWithOneBitOrNone) {
    constexpr BitOrder order = TypeParam::value;
    const Frequencies frequencies{0, 0, 0, 9};
    Bytes deflate, lzh;
    {
        BitOutStream<order> out(deflate);
        const HuffEnc<order> enc(frequencies, 15, SingleCode::ONE_BIT);
        for (int i = 0; i < 9; ++i) enc.encode(out, 3);
        out.n_bit_put(0x7F, 7);  // marker after the symbols
    }
    {
        BitOutStream<order> out(lzh);
        const HuffEnc<order> enc(frequencies, 16, SingleCode::ZERO_BITS);
        for (int i = 0; i < 9; ++i) enc.encode(out, 3);
        out.n_bit_put(0x7F, 7);
    }
    // Nine 0 bits then seven 1 bits; or just the seven 1 bits.
    const std::uint8_t high = order == BitOrder::MSB_FIRST ? 0x7F : 0xFE;
    EXPECT_EQ(deflate, (Bytes{0x00, high}));
    EXPECT_EQ(lzh, (Bytes{static_cast<std::uint8_t>(order == BitOrder::MSB_FIRST ? 0xFE : 0x7F)}));
}

TYPED_TEST(HuffEncTest, EncodedMessagesDecodeBack) {
    constexpr BitOrder order = TypeParam::value;
    std::mt19937 random(order == BitOrder::MSB_FIRST ? 1 : 2);
    for (int round = 0; round < 60; ++round) {
        const int limit = std::vector<int>{7, 15, 16}[static_cast<std::size_t>(round % 3)];
        Frequencies frequencies(limit == 7 ? 19 : 1 + random() % 510);
        for (auto& f : frequencies) f = static_cast<std::int32_t>(1u << (random() % 20)) * (random() % 3 != 0);
        std::vector<int> message;
        for (std::size_t s = 0; s < frequencies.size(); ++s) {
            for (int k = 0; k < std::min(frequencies[s], 3); ++k) message.push_back(static_cast<int>(s));
        }
        std::shuffle(message.begin(), message.end(), random);
        const SingleCode single = round % 2 == 0 ? SingleCode::ONE_BIT : SingleCode::ZERO_BITS;
        const HuffEnc<order> enc(frequencies, limit, single);
        Bytes bytes;
        {
            BitOutStream<order> out(bytes);
            for (const int s : message) enc.encode(out, s);
            out.n_bit_put(0x2A5, 10);  // the decoder must stop exactly before this
        }
        InputFile file(bytes);
        BitInStream<order> in(file.get(), 7);
        const HuffDec<order> dec(enc.blen, single);
        for (const int s : message) ASSERT_EQ(dec.decode(in), s) << round;
        ASSERT_EQ(in.n_bit_get(10), 0x2A5) << round;
    }
}

}  // namespace
