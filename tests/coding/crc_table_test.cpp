// Proves the two CRC engines: the published check values of CRC-16/ARC and
// CRC-32, the initial register of an empty input, agreement with a
// bit-at-a-time computation on random data, byte by byte and in runs split
// anywhere (the eight-byte steps and their tails), and that another initial
// register can be given. Then the carry-less multiplication path against
// the tables: every length up to a few folding widths from every alignment,
// and a large buffer updated in random pieces.
#include "crc_table.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using coding::CrcTable;
using coding::CrcTable16;
using coding::CrcTable32;

namespace {

template <class Crc>
auto crc_of(Crc crc, const std::string& text) {
    for (const char c : text) crc.update(static_cast<std::uint8_t>(c));
    return crc.value;
}

std::vector<std::uint8_t> random_bytes(std::mt19937& random, std::size_t size) {
    std::vector<std::uint8_t> data(size);
    for (auto& b : data) b = static_cast<std::uint8_t>(random());
    return data;
}

// The reflected CRC one bit at a time, straight from its definition.
std::uint32_t bitwise_crc(std::uint32_t polynomial, std::uint32_t initial, const std::vector<std::uint8_t>& data) {
    std::uint32_t reg = initial;
    for (const std::uint8_t byte : data) {
        reg ^= byte;
        for (int i = 0; i < 8; ++i) reg = (reg & 1) ? (reg >> 1) ^ polynomial : reg >> 1;
    }
    return reg;
}

TEST(CrcTable, CheckValues) {
    struct Case {
        const char* text;
        std::uint16_t crc16;
        std::uint32_t crc32;  // after the final complement
    };
    const Case cases[] = {
        {"", 0x0000, 0x00000000},
        {"abc", 0x9738, 0x352441C2},
        {"123456789", 0xBB3D, 0xCBF43926},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(crc_of(CrcTable16(), c.text), c.crc16) << c.text;
        EXPECT_EQ(crc_of(CrcTable32(), c.text) ^ 0xFFFFFFFFu, c.crc32) << c.text;
    }
    // The initial registers given explicitly are the defaults.
    EXPECT_EQ(crc_of(CrcTable16(0), "abc"), 0x9738);
    EXPECT_EQ(crc_of(CrcTable32(0xFFFFFFFF), "abc") ^ 0xFFFFFFFFu, 0x352441C2u);
    // Another initial register: CRC-16/MODBUS starts from 0xFFFF.
    EXPECT_EQ(crc_of(CrcTable16(0xFFFF), "123456789"), 0x4B37);
}

TEST(CrcTable, AgreesWithTheBitwiseDefinition) {
    std::mt19937 random(3);
    for (int round = 0; round < 200; ++round) {
        const std::vector<std::uint8_t> data = random_bytes(random, random() % 2000);
        const std::size_t split = data.empty() ? 0 : random() % (data.size() + 1);
        CrcTable16 bytes16;
        CrcTable32 bytes32;
        std::uint16_t returned16 = 0;
        for (const std::uint8_t b : data) {
            returned16 = bytes16.update(b);
            bytes32.update(b);
        }
        CrcTable16 runs16;
        CrcTable32 runs32;
        runs16.update(data.data(), split);
        runs32.update(data.data(), split);
        const std::uint16_t run_returned16 = runs16.update(data.data() + split, data.size() - split);
        runs32.update(data.data() + split, data.size() - split);

        const std::uint32_t expected16 = bitwise_crc(0xA001, 0, data);
        const std::uint32_t expected32 = bitwise_crc(0xEDB88320, 0xFFFFFFFF, data);
        EXPECT_EQ(bytes16.value, expected16);
        EXPECT_EQ(runs16.value, expected16);
        EXPECT_EQ(run_returned16, expected16);
        if (!data.empty()) {
            EXPECT_EQ(returned16, expected16);
        }
        EXPECT_EQ(bytes32.value, expected32);
        EXPECT_EQ(runs32.value, expected32);
    }
}

// Runs the check for both register widths.
template <class Check>
void for_both(Check check) {
    check(CrcTable16());
    check(CrcTable32());
}

TEST(CrcFold, AgreesWithTheTables) {
    if (!coding::crc_fold_available()) GTEST_SKIP() << "no carry-less multiplication on this processor";
    std::mt19937 random(5);
    const std::vector<std::uint8_t> data = random_bytes(random, 16 + 300);
    for_both([&](auto crc) {
        using Crc = decltype(crc);
        for (std::size_t start = 0; start < 16; ++start) {
            for (std::size_t size = 0; size <= 300; ++size) {
                const auto initial = static_cast<decltype(crc.value)>(random());
                const std::uint8_t* p = data.data() + start;
                const auto expected = Crc::sliced(initial, p, size);
                // The folding step alone takes whole blocks, from 64 bytes on.
                std::uint32_t reg = initial;
                const std::size_t taken = coding::crc_fold(Crc::POLYNOMIAL, reg, p, size);
                ASSERT_EQ(taken, size < coding::CRC_FOLD_MIN ? 0 : size / 16 * 16);
                ASSERT_EQ(Crc::sliced(static_cast<decltype(crc.value)>(reg), p + taken, size - taken), expected)
                    << "CRC-" << 8 * sizeof(crc.value) << " start " << start << " size " << size;
                // A CRC-16 register comes back zero-extended.
                ASSERT_EQ(reg, static_cast<decltype(crc.value)>(reg));
                ASSERT_EQ(Crc(initial).update(p, size), expected);
            }
        }
    });
}

TEST(CrcFold, PiecesAgreeWithTheWhole) {
    std::mt19937 random(7);
    const std::vector<std::uint8_t> data = random_bytes(random, 1 << 20);
    for_both([&](auto whole) {
        whole.update(data.data(), data.size());
        EXPECT_EQ(whole.value, decltype(whole)::sliced(whole.INITIAL, data.data(), data.size()));
        decltype(whole) pieces;
        for (std::size_t at = 0; at < data.size();) {
            const std::size_t size = std::min<std::size_t>(data.size() - at, random() % 5000);
            pieces.update(data.data() + at, size);
            at += size;
        }
        EXPECT_EQ(pieces.value, whole.value);
    });
}

}  // namespace
