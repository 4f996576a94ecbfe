// Proves the length and distance code tables against RFC 1951 (3.2.5):
// every length 3 to 258 and distance 1 to 32768 maps to the code whose base
// and extra bits give it back, codes 285 and 29 sit where the RFC puts them,
// and values outside the tables are refused; the Deflate64 tables reach
// lengths up to 65538 through code 285 and distances up to 65536 through
// codes 30 and 31, and agree with Deflate everywhere else; the shared
// fixed-code decoders read every fixed code and are built once.
#include <gtest/gtest.h>

#include "deflate_tables.h"
#include "zip_test_support.h"

namespace {

// Every value from first to last maps to a code whose base and extra bits
// give it back (a distance's base is the distance minus 1).
template <class Table>
void expect_round_trips(const Table& table, int first, int last, int base_offset) {
    for (int value = first; value <= last; ++value) {
        const DeflateCodeRow row = table.row(value);
        const DeflateCode& code = table.code(row.code);
        ASSERT_EQ(code.extra_bits, row.extra_bits) << value;
        ASSERT_LT(row.extra_value, 1 << row.extra_bits) << value;
        ASSERT_EQ(code.base + row.extra_value, value - base_offset) << value;
    }
}

using namespace ziptest;

TEST(DeflateTables, EveryLengthRoundTripsThroughItsCode) {
    const LengthCodeTable table;
    expect_round_trips(table, 3, 258, 0);
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
    expect_round_trips(table, 1, 32768, 1);
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

TEST(DeflateTables, Deflate64ExtendsCode285AndTheDistances) {
    const LengthCodeTable deflate_lengths;
    const LengthCodeTable lengths(DeflateVariant::DEFLATE64);
    EXPECT_EQ(lengths.max_length(), 65538);
    expect_round_trips(lengths, 3, 65538, 0);
    EXPECT_EQ(lengths.row(258).code, 284);
    EXPECT_EQ(lengths.code(285).base, 3);
    EXPECT_EQ(lengths.code(285).extra_bits, 16);
    for (int symbol = 257; symbol < 285; ++symbol) {
        EXPECT_EQ(lengths.code(symbol).base, deflate_lengths.code(symbol).base) << symbol;
    }
    EXPECT_THROW(static_cast<void>(lengths.row(65539)), const char*);

    const DistanceCodeTable deflate_distances;
    const DistanceCodeTable distances(DeflateVariant::DEFLATE64);
    EXPECT_EQ(distances.code_count(), 32);
    expect_round_trips(distances, 1, 65536, 1);
    for (int distance = 1; distance <= 32768; ++distance) {
        ASSERT_EQ(distances.row(distance).code, deflate_distances.row(distance).code) << distance;
    }
    EXPECT_EQ(distances.code(30).base, 32768);
    EXPECT_EQ(distances.code(31).base, 49152);
    EXPECT_EQ(distances.code(31).extra_bits, 14);
    EXPECT_THROW(static_cast<void>(distances.row(65537)), const char*);
}

TEST(DeflateTables, TheSharedFixedDecodersReadEveryFixedCode) {
    DeflateWriter writer;
    for (int symbol = 0; symbol < FixedDeflateCode::LITERAL_CODES; ++symbol) writer.fixed_symbol(symbol);
    for (int symbol = 0; symbol < FixedDeflateCode::DISTANCE_CODES; ++symbol)
        writer.code(static_cast<std::uint32_t>(symbol), 5);
    const ScratchDirectory scratch;
    const fs::path path = scratch / "fixed.bin";
    write_file(path, writer.finish());
    std::FILE* file = platform::open_file(wide_of(path), "rb");
    ASSERT_NE(file, nullptr);
    {
        ZipBitInStream input(file);
        const ZipHuffDec& literal = FixedDeflateCode::literal_decoder();
        const ZipHuffDec& distance = FixedDeflateCode::distance_decoder();
        for (int symbol = 0; symbol < FixedDeflateCode::LITERAL_CODES; ++symbol)
            EXPECT_EQ(literal.decode(input), symbol);
        for (int symbol = 0; symbol < FixedDeflateCode::DISTANCE_CODES; ++symbol)
            EXPECT_EQ(distance.decode(input), symbol);
        EXPECT_EQ(&FixedDeflateCode::literal_decoder(), &literal);
        EXPECT_EQ(&FixedDeflateCode::distance_decoder(), &distance);
    }
    std::fclose(file);
}

}  // namespace
