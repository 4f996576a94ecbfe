// Proves that BitInStream hands out the bits of a file in both bit orders
// exactly as a one-byte-at-a-time reader would: values, end of data (-1),
// look-ahead beyond the end (zero bits), byte boundaries and the count of
// bytes consumed, also across the boundaries of its internal read blocks,
// and so do the runs of whole bytes and the unchecked reads of decode loops.
#include "bit_in_stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "coding_set.h"
#include "coding_test_files.h"

using coding::BitInStream;
using coding::BitOrder;

namespace {

// The two libraries' sets fix the order and the CRC engine.
static_assert(std::is_same_v<coding::LzhCoding::BitInStream, BitInStream<BitOrder::MSB_FIRST>>);
static_assert(std::is_same_v<coding::ZipCoding::HuffDec, coding::HuffDec<BitOrder::LSB_FIRST>>);
static_assert(std::is_same_v<coding::LzhCoding::FileDecOutStream, coding::FileDecOutStream<coding::CrcTable16>>);
static_assert(std::is_same_v<coding::ZipCoding::CrcTable, coding::CrcTable32>);
// reverse_bits keeps only the low n bits, reversed.
static_assert(coding::reverse_bits(0b1101, 4) == 0b1011);
static_assert(coding::reverse_bits(0x1F1, 4) == 0b1000);
static_assert(coding::reverse_bits(1, 32) == 0x80000000u);
static_assert(coding::reverse_bits(0xFFFFFFFFu, 0) == 0);
static_assert(coding::reverse_bits(0x12345678u, 32) == 0x1E6A2C48u);

// The reader as the format describes it: a position counted in bits from the
// start of the file, bit n being the bit at place n mod 8 of byte n div 8.
template <BitOrder Order>
class ModelReader {
public:
    explicit ModelReader(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

    int bit_get() { return position_ < total() ? bit_at(position_++) : -1; }
    int n_bit_get(int n) {
        std::uint32_t value = 0;
        for (int i = 0; i < n; ++i) {
            const int bit = bit_get();
            if (bit < 0) return -1;
            value = fold(value, bit, i, n);
        }
        return static_cast<int>(value);
    }
    int future_bits(int n) const {
        std::uint32_t value = 0;
        for (int i = 0; i < n; ++i) {
            const std::size_t at = position_ + static_cast<std::size_t>(i);
            value = fold(value, at < total() ? bit_at(at) : 0, i, n);
        }
        return static_cast<int>(value);
    }
    int byte_get() {
        if (position_ % 8 != 0) n_bit_get(static_cast<int>(8 - position_ % 8));
        return n_bit_get(8);
    }
    // Bytes touched so far: a byte counts once any of its bits is consumed.
    std::int64_t byte_position() const { return static_cast<std::int64_t>((std::min(position_, total()) + 7) / 8); }

private:
    std::size_t total() const { return bytes_.size() * 8; }
    int bit_at(std::size_t n) const {
        const int place = static_cast<int>(n % 8);
        const int mask = Order == BitOrder::MSB_FIRST ? 0x80 >> place : 0x01 << place;
        return (bytes_[n / 8] & mask) != 0 ? 1 : 0;
    }
    // Most significant first the first bit becomes the top bit of the field,
    // least significant first bit 0.
    static std::uint32_t fold(std::uint32_t value, int bit, int i, int) {
        if (Order == BitOrder::MSB_FIRST) return (value << 1) | static_cast<std::uint32_t>(bit);
        return value | (static_cast<std::uint32_t>(bit) << i);
    }

    std::vector<std::uint8_t> bytes_;
    std::size_t position_ = 0;
};

template <class T>
class BitInStreamTest : public ::testing::Test {};
TYPED_TEST_SUITE(BitInStreamTest, BothOrders);

TYPED_TEST(BitInStreamTest, MatchesTheByteAtATimeReaderForRandomOperations) {
    constexpr BitOrder order = TypeParam::value;
    std::mt19937 random(1234);
    // The file's size: not given, given, or given smaller than the file
    // (the stream then acts as if the file ended there, unless that is 0).
    enum class Size { UNKNOWN, EXACT, HALF };
    for (const Size given : {Size::UNKNOWN, Size::EXACT, Size::HALF}) {
        for (const std::size_t block : {1u, 2u, 3u, 7u, 12u, 32u, 65536u}) {
            for (const std::size_t size : {0u, 1u, 4u, 33u, 500u}) {
                SCOPED_TRACE(testing::Message()
                             << "size given " << static_cast<int>(given) << ", block " << block << ", file " << size);
                std::vector<std::uint8_t> bytes(size);
                for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
                InputFile file(bytes);
                const std::int64_t known = given == Size::UNKNOWN ? -1
                                           : given == Size::EXACT ? static_cast<std::int64_t>(size)
                                                                  : static_cast<std::int64_t>(size / 2);
                BitInStream<order> stream(file.get(), block, known);
                // A size of 0 is no size (a pipe reports it): the whole file is read.
                if (given == Size::HALF && known > 0) bytes.resize(size / 2);
                ModelReader<order> model(bytes);
                // Enough operations to run well past the end of the data.
                for (int step = 0; step < 600; ++step) {
                    const int n = static_cast<int>(random() % 33);
                    switch (random() % 8) {
                    case 0: ASSERT_EQ(stream.bit_get(), model.bit_get()); break;
                    case 1: ASSERT_EQ(stream.n_bit_get(n), model.n_bit_get(n)) << n; break;
                    case 2: ASSERT_EQ(stream.n_bit_get(n % 17), model.n_bit_get(n % 17)); break;
                    case 3: ASSERT_EQ(stream.future_bits(n), model.future_bits(n)) << n; break;
                    case 4: ASSERT_EQ(stream.n_bit_skip(n % 32), model.n_bit_get(n % 32) >= 0) << n; break;
                    case 5: {
                        // A run of whole bytes is what byte_get gives one by one.
                        std::vector<std::uint8_t> run(static_cast<std::size_t>(n) * 3);
                        const std::size_t got = stream.bytes_get(run.data(), run.size());
                        for (std::size_t k = 0; k < got; ++k) ASSERT_EQ(run[k], model.byte_get()) << k;
                        if (got < run.size()) {
                            ASSERT_EQ(model.byte_get(), -1);
                        }
                        break;
                    }
                    case 6: {
                        // The unchecked reads of a decode loop, where it may run.
                        auto cursor = stream.cursor();
                        if (cursor.refill()) {
                            ASSERT_GE(cursor.held(), 56);
                            ASSERT_EQ(static_cast<int>(cursor.peek_held(n % 32 + 1)), model.future_bits(n % 32 + 1));
                            ASSERT_EQ(static_cast<int>(cursor.take_held(n % 32)), model.n_bit_get(n % 32)) << n;
                        }
                        stream.resume(cursor);
                        break;
                    }
                    default: ASSERT_EQ(stream.byte_get(), model.byte_get()); break;
                    }
                    ASSERT_EQ(stream.byte_position(), model.byte_position()) << step;
                }
            }
        }
    }
}

TYPED_TEST(BitInStreamTest, BlockAheadShowsTheStartWithoutConsumingIt) {
    constexpr BitOrder order = TypeParam::value;
    std::vector<std::uint8_t> bytes(40);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(3 * i + 1);
    for (const std::size_t block : {16u, 64u}) {
        InputFile file(bytes);
        BitInStream<order> stream(file.get(), block);
        const auto ahead = stream.block_ahead();
        ASSERT_EQ(ahead.size(), std::min<std::size_t>(block, bytes.size()));
        EXPECT_TRUE(std::equal(ahead.begin(), ahead.end(), bytes.begin()));
        EXPECT_EQ(stream.byte_position(), 0);
        EXPECT_EQ(stream.byte_get(), bytes[0]);
        // A reader that found what it looked for further in moves there.
        ASSERT_TRUE(stream.move_within_block(9));
        for (std::size_t i = 9; i < bytes.size(); ++i) ASSERT_EQ(stream.byte_get(), bytes[i]) << i;
        EXPECT_EQ(stream.byte_get(), -1);
        EXPECT_TRUE(stream.block_ahead().empty());
    }
}

TYPED_TEST(BitInStreamTest, ZeroBitsReadNothingAndRangeErrorsThrow) {
    constexpr BitOrder order = TypeParam::value;
    InputFile file({0xFF, 0xFF, 0xFF, 0xFF, 0x00});
    BitInStream<order> stream(file.get());
    EXPECT_EQ(stream.n_bit_get(0), 0);
    EXPECT_EQ(stream.future_bits(0), 0);
    EXPECT_EQ(thrown_text([&] { stream.n_bit_get(33); }), "n_bit_get: out of range.");
    EXPECT_EQ(thrown_text([&] { stream.n_bit_get(-1); }), "n_bit_get: out of range.");
    EXPECT_EQ(thrown_text([&] { stream.future_bits(33); }), "future_bits: out of range.");
    EXPECT_EQ(thrown_text([&] { stream.future_bits(-1); }), "future_bits: out of range.");
    EXPECT_EQ(stream.future_bits(8), 0xFF);  // 40 bits held now
    EXPECT_EQ(thrown_text([&] { stream.n_bit_skip(33); }), "n_bit_skip: out of range.");
    EXPECT_EQ(thrown_text([&] { stream.n_bit_skip(-1); }), "n_bit_skip: out of range.");
    EXPECT_TRUE(stream.n_bit_skip(0));
    // 32 bits are accepted; 32 one-bits read as -1, like the end marker.
    EXPECT_EQ(stream.future_bits(32), -1);
    EXPECT_EQ(stream.n_bit_get(32), -1);
    EXPECT_EQ(stream.byte_get(), 0x00);
}

TYPED_TEST(BitInStreamTest, EndOfDataIsMinusOneAndConsumesTheRest) {
    constexpr BitOrder order = TypeParam::value;
    InputFile empty({});
    BitInStream<order> nothing(empty.get());
    EXPECT_EQ(nothing.bit_get(), -1);
    EXPECT_EQ(nothing.byte_get(), -1);
    BitInStream<order> no_file(nullptr);
    EXPECT_EQ(no_file.n_bit_get(1), -1);

    InputFile one({0xA5});
    BitInStream<order> stream(one.get());
    EXPECT_EQ(stream.n_bit_get(3), 5);  // 101 in both orders for 0xA5
    // The field runs past the end: -1, and the five bits left are gone.
    EXPECT_EQ(stream.n_bit_get(6), -1);
    EXPECT_EQ(stream.bit_get(), -1);
    EXPECT_EQ(stream.future_bits(16), 0);
}

TEST(BitInStream, FieldOrderDiffersBetweenTheLibraries) {
    // 0xA1 = 1010 0001 most significant first: fields 101 and 00001.
    InputFile msb({0xA1});
    BitInStream<BitOrder::MSB_FIRST> kanna(msb.get());
    EXPECT_EQ(kanna.future_bits(3), 5);
    EXPECT_EQ(kanna.n_bit_get(3), 5);
    EXPECT_EQ(kanna.n_bit_get(5), 1);
    // 0x0D = 0000 1101 least significant first: bits 1,0,1 then 1,0,0,0,0.
    InputFile lsb({0x0D});
    BitInStream<BitOrder::LSB_FIRST> nomi(lsb.get());
    EXPECT_EQ(nomi.future_bits(3), 5);
    EXPECT_EQ(nomi.n_bit_get(3), 5);
    EXPECT_EQ(nomi.n_bit_get(5), 1);
    // A 16-bit field across two bytes: big-endian in one order, little-endian
    // in the other.
    InputFile pair({0x12, 0x34});
    BitInStream<BitOrder::MSB_FIRST> big(pair.get());
    EXPECT_EQ(big.n_bit_get(16), 0x1234);
    InputFile pair2({0x12, 0x34}, "second");
    BitInStream<BitOrder::LSB_FIRST> little(pair2.get());
    EXPECT_EQ(little.n_bit_get(16), 0x3412);
}

TYPED_TEST(BitInStreamTest, ByteGetSkipsToTheNextByteOfTheFile) {
    constexpr BitOrder order = TypeParam::value;
    std::vector<std::uint8_t> bytes(100);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    InputFile file(bytes);
    // Block size 3: skips and reads cross the stream's read blocks.
    BitInStream<order> stream(file.get(), 3);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        stream.n_bit_get(static_cast<int>(1 + i % 7));  // part of byte i
        ASSERT_EQ(stream.byte_get(), bytes[i + 1]) << i;
    }
    EXPECT_EQ(stream.byte_get(), -1);
}

}  // namespace
