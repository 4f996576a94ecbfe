// Proves the renderings used in report lines and generated names: decimal
// numbers at the 32-bit limits, hex lists and escapes of every byte class,
// and the bounded narrowing of a wide locale name.
#include <cstdint>
#include <limits>

#include <gtest/gtest.h>

#include "byte_text.h"
#include "text_convert.h"

namespace {

TEST(IntToWide, Table) {
    const struct {
        std::int32_t value;
        WideString expected;
    } cases[] = {
        {0, u"0"},
        {7, u"7"},
        {-1, u"-1"},
        {10, u"10"},
        {932, u"932"},
        {-65001, u"-65001"},
        {std::numeric_limits<std::int32_t>::max(), u"2147483647"},
        {std::numeric_limits<std::int32_t>::min(), u"-2147483648"},
    };
    for (const auto& c : cases) EXPECT_EQ(int_to_wide(c.value), c.expected) << c.value;
}

TEST(HexList, Table) {
    EXPECT_EQ(hex_list(bytes_of({})), u"");
    EXPECT_EQ(hex_list(bytes_of({0x01})), u"01");
    EXPECT_EQ(hex_list(bytes_of({0x01, 0xAB})), u"01,AB");
    EXPECT_EQ(hex_list(bytes_of({0x00, 0x0F, 0xF0, 0xFF})), u"00,0F,F0,FF");
}

TEST(EscapeNonPrintable, Table) {
    EXPECT_EQ(escape_non_printable(bytes_of({})), u"");
    EXPECT_EQ(escape_non_printable(bytes_of({0x41, 0x0D})), u"A'\\x0D'");
    EXPECT_EQ(escape_non_printable(bytes_of({0x0A})), u"'\\x0A'");
    // The printable range ends at 7E on both sides.
    EXPECT_EQ(escape_non_printable(bytes_of({0x1F, 0x20, 0x7E, 0x7F})), u"'\\x1F' ~'\\x7F'");
    EXPECT_EQ(escape_non_printable(bytes_of({0x00, 0x80, 0xFF})), u"'\\x00''\\x80''\\xFF'");
    EXPECT_EQ(escape_non_printable(bytes_of({'\'', '\\'})), u"'\\");
}

TEST(NarrowLowBytes, CopiesLowBytesWithinCapacity) {
    char buffer[8];
    EXPECT_EQ(narrow_low_bytes(u"ja_JP", buffer, 8), 5);
    EXPECT_STREQ(buffer, "ja_JP");

    // The high byte is dropped, whatever it was.
    const char16_t mixed[] = {0x3041, 0x0141, 0};
    EXPECT_EQ(narrow_low_bytes(mixed, buffer, 8), 2);
    EXPECT_EQ(ByteString(buffer), bytes_of({0x41, 0x41}));

    // At most capacity - 1 bytes, and the buffer is terminated.
    std::fill(std::begin(buffer), std::end(buffer), 'X');
    EXPECT_EQ(narrow_low_bytes(u"Japanese_Japan.932", buffer, 5), 4);
    EXPECT_STREQ(buffer, "Japa");
    EXPECT_EQ(buffer[5], 'X');

    EXPECT_EQ(narrow_low_bytes(u"abc", buffer, 1), 0);
    EXPECT_STREQ(buffer, "");

    buffer[0] = 'X';
    EXPECT_EQ(narrow_low_bytes(u"abc", buffer, 0), 0);  // no room, not even for the terminator
    EXPECT_EQ(buffer[0], 'X');
    EXPECT_EQ(narrow_low_bytes(nullptr, buffer, 8), 0);
    EXPECT_STREQ(buffer, "");
}

}  // namespace
