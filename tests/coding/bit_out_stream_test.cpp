// Proves that BitOutStream packs bits in both bit orders as single bit_put
// calls would, moves them to the sink 32 bytes at a time and at flush (the
// last byte padded with zeros), and that what it writes reads back through
// BitInStream unchanged.
#include "bit_out_stream.h"

#include <gtest/gtest.h>

#include <random>

#include "bit_in_stream.h"
#include "coding_test_files.h"

using coding::BitInStream;
using coding::BitOrder;
using coding::BitOutStream;

namespace {

using Bytes = std::vector<std::uint8_t>;

template <class T>
class BitOutStreamTest : public ::testing::Test {};
TYPED_TEST_SUITE(BitOutStreamTest, BothOrders);

// Packs a list of bits (in the order sent) into bytes, zero padded.
template <BitOrder Order>
Bytes pack(const std::vector<int>& bits, std::size_t count) {
    Bytes bytes((count + 7) / 8, 0);
    for (std::size_t n = 0; n < count; ++n) {
        const int place = static_cast<int>(n % 8);
        if (bits[n]) bytes[n / 8] |= Order == BitOrder::MSB_FIRST ? 0x80 >> place : 0x01 << place;
    }
    return bytes;
}

TEST(BitOutStream, FieldOrderDiffersBetweenTheLibraries) {
    Bytes kanna, nomi;
    {
        BitOutStream<BitOrder::MSB_FIRST> out(kanna);
        out.n_bit_put(5, 3);
        out.n_bit_put(1, 5);
        out.flush();
    }
    {
        BitOutStream<BitOrder::LSB_FIRST> out(nomi);
        out.n_bit_put(5, 3);
        out.n_bit_put(1, 5);
        out.flush();
    }
    EXPECT_EQ(kanna, Bytes{0xA1});
    EXPECT_EQ(nomi, Bytes{0x0D});
}

TYPED_TEST(BitOutStreamTest, FlushPadsAndBurstsAreThirtyTwoBytes) {
    constexpr BitOrder order = TypeParam::value;
    Bytes sink;
    BitOutStream<order> out(sink);
    out.flush();  // nothing buffered: nothing appended
    EXPECT_TRUE(sink.empty());
    out.n_bit_put(0x1FF, 9);
    out.flush();
    EXPECT_EQ(sink, (Bytes{0xFF, static_cast<std::uint8_t>(order == BitOrder::MSB_FIRST ? 0x80 : 0x01)}));

    sink.clear();
    for (int i = 0; i < 255; ++i) out.bit_put(1);
    EXPECT_TRUE(sink.empty());
    out.bit_put(1);  // the 256th bit
    EXPECT_EQ(sink, Bytes(32, 0xFF));
    out.flush();  // the buffer is empty again
    EXPECT_EQ(sink.size(), 32u);

    EXPECT_EQ(thrown_text([&] { out.n_bit_put(0, 33); }), "n_bit_put: out of range.");
    EXPECT_EQ(thrown_text([&] { out.n_bit_put(0, -1); }), "n_bit_put: out of range.");
    out.n_bit_put(0xFFFFFFFF, 0);
    out.flush();
    EXPECT_EQ(sink.size(), 32u);
}

TYPED_TEST(BitOutStreamTest, DestructionFlushesTheLastPartialByte) {
    constexpr BitOrder order = TypeParam::value;
    Bytes sink;
    {
        BitOutStream<order> out(sink);
        out.bit_put(1);
    }
    EXPECT_EQ(sink, Bytes{static_cast<std::uint8_t>(order == BitOrder::MSB_FIRST ? 0x80 : 0x01)});
}

TYPED_TEST(BitOutStreamTest, MatchesSingleBitPutsForRandomFields) {
    constexpr BitOrder order = TypeParam::value;
    std::mt19937 random(99);
    Bytes sink;
    BitOutStream<order> out(sink);
    std::vector<int> sent;  // every bit in the order it must go out
    for (int step = 0; step < 1500; ++step) {
        const int n = static_cast<int>(random() % 33);
        const std::uint32_t value = static_cast<std::uint32_t>(random());
        if (step % 7 == 0) {
            out.bit_put(static_cast<int>(value & 1));
            sent.push_back(static_cast<int>(value & 1));
        } else {
            out.n_bit_put(value, n);
            for (int i = 0; i < n; ++i) {
                const int bit = order == BitOrder::MSB_FIRST ? n - 1 - i : i;
                sent.push_back(static_cast<int>((value >> bit) & 1));
            }
        }
        // Only whole 32-byte bursts have reached the sink so far.
        ASSERT_EQ(sink, pack<order>(sent, sent.size() / 256 * 256)) << step;
    }
    out.flush();
    EXPECT_EQ(sink, pack<order>(sent, sent.size()));
}

TYPED_TEST(BitOutStreamTest, WrittenFieldsReadBack) {
    constexpr BitOrder order = TypeParam::value;
    std::mt19937 random(7);
    std::vector<std::pair<std::uint32_t, int>> fields;
    Bytes sink;
    {
        BitOutStream<order> out(sink);
        for (int i = 0; i < 5000; ++i) {
            const int n = static_cast<int>(random() % 17);
            const std::uint32_t value = static_cast<std::uint32_t>(random()) & coding::low_mask(n);
            fields.emplace_back(value, n);
            out.n_bit_put(value, n);
        }
    }
    InputFile file(sink);
    BitInStream<order> in(file.get(), 5);
    for (const auto& [value, n] : fields) {
        ASSERT_EQ(in.future_bits(n), static_cast<int>(value));
        ASSERT_EQ(in.n_bit_get(n), static_cast<int>(value));
    }
    // Only padding is left, then the end.
    EXPECT_EQ(in.byte_get(), -1);
}

}  // namespace
