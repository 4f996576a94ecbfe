// Proves the length and distance code tables against RFC 1951 (3.2.5):
// every length 3 to 258 and distance 1 to 32768 maps to the code whose base
// and extra bits give it back, codes 285 and 29 sit where the RFC puts them,
// and values outside the tables are refused; the shared fixed-code decoders
// read every fixed code and are built once.
#include <gtest/gtest.h>

#include "deflate_tables.h"
#include "zip_test_support.h"

namespace {

using namespace ziptest;

TEST(DeflateTables, EveryLengthRoundTripsThroughItsCode) {
    const LengthCodeTable table;
    for (int length = 3; length <= 258; ++length) {
        const DeflateCodeRow row = table.row(length);
        const DeflateCode& code = table.code(row.code);
        EXPECT_EQ(code.extra_bits, row.extra_bits) << length;
        EXPECT_LT(row.extra_value, 1 << row.extra_bits) << length;
        EXPECT_EQ(code.base + row.extra_value, length) << length;
    }
    // Rows the RFC lists: 265 carries 11-12, 284 starts at 227 with 5 bits,
    // and 258 has a code of its own.
    EXPECT_EQ(table.row(11).code, 265);
    EXPECT_EQ(table.row(12).code, 265);
    EXPECT_EQ(table.code(284).base, 227);
    EXPECT_EQ(table.code(284).extra_bits, 5);
    EXPECT_EQ(table.row(258).code, 285);
    EXPECT_EQ(table.row(258).extra_bits, 0);
    EXPECT_EQ(table.row(257).code, 284);
}

TEST(DeflateTables, EveryDistanceRoundTripsThroughItsCode) {
    const DistanceCodeTable table;
    for (int distance = 1; distance <= 32768; ++distance) {
        const DeflateCodeRow row = table.row(distance);
        const DeflateCode& code = table.code(row.code);
        ASSERT_EQ(code.extra_bits, row.extra_bits) << distance;
        ASSERT_LT(row.extra_value, 1 << row.extra_bits) << distance;
        ASSERT_EQ(code.base + row.extra_value, distance - 1) << distance;
    }
    EXPECT_EQ(table.row(4).code, 3);
    EXPECT_EQ(table.row(5).code, 4);
    EXPECT_EQ(table.row(257).code, 16);
    EXPECT_EQ(table.code(29).base, 24576);
    EXPECT_EQ(table.code(29).extra_bits, 13);
}

TEST(DeflateTables, ValuesOutsideTheTablesAreRefused) {
    const LengthCodeTable lengths;
    const DistanceCodeTable distances;
    for (const int length : {2, 259}) {
        EXPECT_THROW(static_cast<void>(lengths.row(length)), const char*) << length;
    }
    for (const int distance : {0, 32769}) {
        EXPECT_THROW(static_cast<void>(distances.row(distance)), const char*) << distance;
    }
}

TEST(DeflateTables, TheSharedFixedDecodersReadEveryFixedCode) {
    DeflateWriter writer;
    for (int symbol = 0; symbol < FixedDeflateCode::LITERAL_CODES; ++symbol) writer.fixed_symbol(symbol);
    for (int symbol = 0; symbol < FixedDeflateCode::DISTANCE_CODES; ++symbol) writer.code(static_cast<std::uint32_t>(symbol), 5);
    const ScratchDirectory scratch;
    const fs::path path = scratch / "fixed.bin";
    write_file(path, writer.finish());
    std::FILE* file = platform::open_file(wide_of(path), "rb");
    ASSERT_NE(file, nullptr);
    {
        ZipBitInStream input(file);
        const ZipHuffDec& literal = FixedDeflateCode::literal_decoder();
        const ZipHuffDec& distance = FixedDeflateCode::distance_decoder();
        for (int symbol = 0; symbol < FixedDeflateCode::LITERAL_CODES; ++symbol) EXPECT_EQ(literal.decode(input), symbol);
        for (int symbol = 0; symbol < FixedDeflateCode::DISTANCE_CODES; ++symbol) EXPECT_EQ(distance.decode(input), symbol);
        EXPECT_EQ(&FixedDeflateCode::literal_decoder(), &literal);
        EXPECT_EQ(&FixedDeflateCode::distance_decoder(), &distance);
    }
    std::fclose(file);
}

}  // namespace
