// Proves the standard-library converter variants: they replace their
// destination, write a mark only when asked, consume a leading mark (which
// decides the UTF-16 byte order), and turn the converters' exceptions on
// unconvertible text into the converted prefix instead of letting them out.
#include <gtest/gtest.h>

#include "byte_text.h"
#include "text_convert.h"

namespace {

TEST(StdUtf8, EncodesAndDecodesLikeTheOwnCoder) {
    const WideString text = units_of({0x41, 0xE9, 0x3042, 0xD83D, 0xDE00});
    ByteString own;
    wide_to_utf8(text, own, false);

    ByteString out = "old";
    EXPECT_EQ(std_wide_to_utf8(text, out, false), static_cast<int>(own.size()));
    EXPECT_EQ(out, own);

    WideString back = u"old";
    std_utf8_to_wide(out, back);
    EXPECT_EQ(back, text);
}

TEST(StdUtf8, MarkWrittenOnlyWhenAskedAndConsumed) {
    ByteString out;
    std_wide_to_utf8(u"A", out, true);
    EXPECT_EQ(out, bytes_of({0xEF, 0xBB, 0xBF, 0x41}));
    std_wide_to_utf8(u"A", out, false);  // the two encoders are separate objects
    EXPECT_EQ(out, bytes_of({0x41}));

    WideString text;
    std_utf8_to_wide(bytes_of({0xEF, 0xBB, 0xBF, 0x41}), text);
    EXPECT_EQ(text, u"A");
    std_utf8_to_wide(bytes_of({0x41, 0x42}), text);
    EXPECT_EQ(text, u"AB");
}

TEST(StdUtf8, UnconvertibleTextGivesItsPrefix) {
    WideString text = u"old";
    std_utf8_to_wide(bytes_of({0x41, 0x42, 0xC0, 0x80, 0x43}), text);
    EXPECT_EQ(text, u"AB");
    std_utf8_to_wide(bytes_of({0xFF}), text);
    EXPECT_EQ(text, u"");

    ByteString bytes = "old";
    std_wide_to_utf8(units_of({0x41, 0x42, 0xDC00, 0x43}), bytes, false);
    EXPECT_EQ(bytes, "AB");
    std_wide_to_utf8(units_of({0xDC00}), bytes, true);
    EXPECT_TRUE(bytes.empty() || bytes == bytes_of({0xEF, 0xBB, 0xBF}));
}

TEST(StdUtf16, ByteOrderAndMarks) {
    const struct {
        bool with_bom, big_endian;
        ByteString expected;
    } cases[] = {
        {false, false, bytes_of({0x41, 0x00, 0x42, 0x30})},
        {false, true, bytes_of({0x00, 0x41, 0x30, 0x42})},
        {true, false, bytes_of({0xFF, 0xFE, 0x41, 0x00, 0x42, 0x30})},
        {true, true, bytes_of({0xFE, 0xFF, 0x00, 0x41, 0x30, 0x42})},
    };
    for (const auto& c : cases) {
        ByteString out = "old";
        std_wide_to_utf16_bytes(u"A\u3042", out, c.with_bom, c.big_endian);
        EXPECT_EQ(out, c.expected) << c.with_bom << c.big_endian;
        // Decoding in the same order, or after a mark in either order,
        // gives the text back.
        for (bool decode_big_endian : {false, true}) {
            if (!c.with_bom && decode_big_endian != c.big_endian) continue;
            WideString text = u"old";
            std_utf16_bytes_to_wide(out, text, decode_big_endian);
            EXPECT_EQ(text, u"A\u3042") << c.with_bom << c.big_endian << decode_big_endian;
        }
    }
}

TEST(StdUtf16, UnconvertibleTextGivesItsPrefix) {
    // To the standard UTF-16 converter a 16-bit element is UCS-2: a
    // character beyond U+FFFF does not convert.
    ByteString bytes;
    std_wide_to_utf16_bytes(units_of({0x41, 0xD83D, 0xDE00}), bytes, false, false);
    EXPECT_EQ(bytes, bytes_of({0x41, 0x00}));

    WideString text;
    std_utf16_bytes_to_wide(bytes_of({0x41, 0x00, 0x42}), text, false);  // odd length
    EXPECT_EQ(text, u"A");
    std_utf16_bytes_to_wide(bytes_of({0x00, 0x41, 0xD8, 0x3D, 0xDE, 0x00}), text, true);
    EXPECT_EQ(text, u"A");
}

}  // namespace
