// Proves the system's own Unicode coders byte for byte: the UTF-8 encoder's
// surrogate handling, every branch of the UTF-8 decoder's state machine
// (over-long forms, broken and cut-off sequences, recovery after a fault,
// the three mark modes), UTF-16 in both byte orders with marks and odd
// lengths, and byte-order-mark detection.
#include <gtest/gtest.h>

#include "byte_text.h"
#include "text_convert.h"

namespace {

// ---- wide_to_utf8 ---------------------------------------------------------------

struct EncodeCase {
    const char* what;
    WideString units;
    ByteString expected;
};

TEST(WideToUtf8, EncodesEachUnitClass) {
    const EncodeCase cases[] = {
        {"ASCII", units_of({0x41, 0x7F}), bytes_of({0x41, 0x7F})},
        {"NUL is an ordinary unit", units_of({0x41, 0x00, 0x42}), bytes_of({0x41, 0x00, 0x42})},
        {"first two-byte", units_of({0x80}), bytes_of({0xC2, 0x80})},
        {"e acute", units_of({0xE9}), bytes_of({0xC3, 0xA9})},
        {"last two-byte", units_of({0x7FF}), bytes_of({0xDF, 0xBF})},
        {"first three-byte", units_of({0x800}), bytes_of({0xE0, 0xA0, 0x80})},
        {"hiragana a", units_of({0x3042}), bytes_of({0xE3, 0x81, 0x82})},
        {"unit after the surrogates", units_of({0xE000}), bytes_of({0xEE, 0x80, 0x80})},
        {"last unit", units_of({0xFFFF}), bytes_of({0xEF, 0xBF, 0xBF})},
        {"surrogate pair", units_of({0xD83D, 0xDE00}), bytes_of({0xF0, 0x9F, 0x98, 0x80})},
        {"first pair", units_of({0xD800, 0xDC00}), bytes_of({0xF0, 0x90, 0x80, 0x80})},
        {"last pair", units_of({0xDBFF, 0xDFFF}), bytes_of({0xF4, 0x8F, 0xBF, 0xBF})},
        {"lone low surrogate", units_of({0xDC00}), bytes_of({'?'})},
        {"high surrogate at the end", units_of({0x41, 0xD800}), bytes_of({0x41, '?'})},
        {"high surrogate before a letter", units_of({0xD800, 0x41}), bytes_of({'?', 0x41})},
        {"two highs, then low: only the second pairs", units_of({0xD800, 0xD800, 0xDC00}),
         bytes_of({'?', 0xF0, 0x90, 0x80, 0x80})},
        {"low before high is not a pair", units_of({0xDC00, 0xD800}), bytes_of({'?', '?'})},
    };
    for (const auto& c : cases) {
        ByteString out;
        const int length = wide_to_utf8(c.units, out, false);
        EXPECT_EQ(out, c.expected) << c.what;
        EXPECT_EQ(length, static_cast<int>(c.expected.size())) << c.what;
    }
}

TEST(WideToUtf8, MarkAndCountFollowTheWholeDestination) {
    ByteString out = "ab";
    EXPECT_EQ(wide_to_utf8(u"\u00E9", out, true), 7);
    EXPECT_EQ(out, bytes_of({'a', 'b', 0xEF, 0xBB, 0xBF, 0xC3, 0xA9}));

    ByteString only_mark;
    EXPECT_EQ(wide_to_utf8(u"", only_mark, true), 3);
    EXPECT_EQ(only_mark, bytes_of({0xEF, 0xBB, 0xBF}));
}

// ---- utf8_to_wide ---------------------------------------------------------------

struct DecodeCase {
    const char* what;
    ByteString bytes;
    WideString expected;
    int bom_mode = 0;
};

TEST(Utf8ToWide, DecodesWellFormedSequences) {
    const DecodeCase cases[] = {
        {"ASCII with NUL", bytes_of({0x41, 0x00, 0x42}), units_of({0x41, 0x00, 0x42})},
        {"two-byte", bytes_of({0xC3, 0xA9}), units_of({0xE9})},
        {"smallest two-byte", bytes_of({0xC2, 0x80}), units_of({0x80})},
        {"largest two-byte", bytes_of({0xDF, 0xBF}), units_of({0x7FF})},
        {"smallest three-byte", bytes_of({0xE0, 0xA0, 0x80}), units_of({0x800})},
        {"three-byte", bytes_of({0xE3, 0x81, 0x82}), units_of({0x3042})},
        {"largest three-byte", bytes_of({0xEF, 0xBF, 0xBF}), units_of({0xFFFF})},
        {"surrogate code point is decoded as it is", bytes_of({0xED, 0xA0, 0x80}), units_of({0xD800})},
        {"four-byte", bytes_of({0xF0, 0x9F, 0x98, 0x80}), units_of({0xD83D, 0xDE00})},
        {"smallest four-byte", bytes_of({0xF0, 0x90, 0x80, 0x80}), units_of({0xD800, 0xDC00})},
        {"U+10FFFF", bytes_of({0xF4, 0x8F, 0xBF, 0xBF}), units_of({0xDBFF, 0xDFFF})},
        {"mixed", bytes_of({0x61, 0xC3, 0xA9, 0xE3, 0x81, 0x82, 0xF0, 0x9F, 0x98, 0x80, 0x7A}),
         units_of({0x61, 0xE9, 0x3042, 0xD83D, 0xDE00, 0x7A})},
    };
    for (const auto& c : cases) {
        WideString out;
        EXPECT_EQ(utf8_to_wide(c.bytes, out, c.bom_mode), static_cast<int>(c.expected.size())) << c.what;
        EXPECT_EQ(out, c.expected) << c.what;
    }
}

TEST(Utf8ToWide, MarksFaultsAndRecovers) {
    const DecodeCase cases[] = {
        {"over-long two-byte C0", bytes_of({0xC0, 0x80}), u"??"},
        {"over-long two-byte C1", bytes_of({0xC1, 0xBF}), u"??"},
        {"over-long lead then ASCII", bytes_of({0xC0, 0x41}), u"?A"},
        {"over-long three-byte: two marks at the second byte, one for the stray third", bytes_of({0xE0, 0x80, 0x80}),
         u"???"},
        {"over-long three-byte just below U+0800", bytes_of({0xE0, 0x9F, 0xBF}), u"???"},
        {"over-long four-byte", bytes_of({0xF0, 0x8F, 0xBF, 0xBF}), u"????"},
        {"ASCII breaks a sequence", bytes_of({0xE3, 0x81, 0x41}), u"?A"},
        {"ASCII breaks a four-byte sequence", bytes_of({0xF0, 0x9F, 0x41, 0x42}), u"?AB"},
        {"fault clears state: the next sequence decodes", bytes_of({0xE3, 0x41, 0xC3, 0xA9}),
         units_of({'?', 'A', 0xE9})},
        {"lead breaks a sequence", bytes_of({0xC3, 0xC3, 0xA9}), units_of({'?', 0xE9})},
        {"lead breaks a four-byte sequence", bytes_of({0xF0, 0x9F, 0xE3, 0x81, 0x82}), units_of({'?', 0x3042})},
        {"stray continuation", bytes_of({0x80, 0x41}), u"?A"},
        {"each stray continuation marks", bytes_of({0x41, 0x80, 0xBF, 0x42}), u"A??B"},
        {"continuation after a complete pair", bytes_of({0xF0, 0x9F, 0x98, 0x80, 0x80}),
         units_of({0xD83D, 0xDE00, '?'})},
        {"continuation after a complete two-byte", bytes_of({0xC3, 0xA9, 0xA9}), units_of({0xE9, '?'})},
        {"F8 starts nothing", bytes_of({0xF8, 0x41}), u"?A"},
        {"FF starts nothing", bytes_of({0xFF}), u"?"},
        {"FE then continuation", bytes_of({0xFE, 0x80}), u"??"},
        {"cut-off three-byte at the end is dropped", bytes_of({0x41, 0xE3, 0x81}), u"A"},
        {"cut-off four-byte at the end is dropped", bytes_of({0x41, 0xF0, 0x9F, 0x98}), u"A"},
        {"cut-off lead alone", bytes_of({0xC3}), u""},
        // No upper bound: the plane bits above U+10FFFF fold into the pair.
        {"F4 90 80 80 beyond U+10FFFF", bytes_of({0xF4, 0x90, 0x80, 0x80}), units_of({0xDC00, 0xDC00})},
        {"F7 BF BF BF", bytes_of({0xF7, 0xBF, 0xBF, 0xBF}), units_of({0xDFBF, 0xDFFF})},
    };
    for (const auto& c : cases) {
        WideString out;
        utf8_to_wide(c.bytes, out, c.bom_mode);
        EXPECT_EQ(out, c.expected) << c.what;
    }
}

TEST(Utf8ToWide, BomModes) {
    const ByteString marked = bytes_of({0xEF, 0xBB, 0xBF, 0x41});
    const DecodeCase cases[] = {
        {"-1 skips a mark", marked, u"A", -1},
        {"0 decodes the mark", marked, units_of({0xFEFF, 0x41}), 0},
        {"1 skips a mark", marked, u"A", 1},
        {"1 skips any three bytes", bytes_of({0x41, 0x42, 0x43, 0x44}), u"D", 1},
        {"1 on a shorter source skips it all", bytes_of({0x41, 0x42}), u"", 1},
        {"-1 keeps unmarked text", bytes_of({0x41, 0x42, 0x43, 0x44}), u"ABCD", -1},
        {"-1 on a lone mark", bytes_of({0xEF, 0xBB, 0xBF}), u"", -1},
        // Two bytes of a mark are a cut-off sequence, not a mark.
        {"-1 on EF BB", bytes_of({0xEF, 0xBB}), u"", -1},
        {"-1 on EF BB 41", bytes_of({0xEF, 0xBB, 0x41}), u"?A", -1},
        {"-1 skips only the first mark", bytes_of({0xEF, 0xBB, 0xBF, 0xEF, 0xBB, 0xBF}), units_of({0xFEFF}), -1},
    };
    for (const auto& c : cases) {
        WideString out;
        utf8_to_wide(c.bytes, out, c.bom_mode);
        EXPECT_EQ(out, c.expected) << c.what;
    }
}

TEST(Utf8ToWide, AppendsAndCountsTheWholeDestination) {
    WideString out = u"xy";
    EXPECT_EQ(utf8_to_wide(bytes_of({0xC3, 0xA9}), out, 0), 3);
    EXPECT_EQ(out, units_of({'x', 'y', 0xE9}));
}

TEST(Utf8Coders, EveryUnitAndPairRoundTrips) {
    WideString all;
    for (unsigned u = 1; u <= 0xFFFF; ++u) {
        if (u < 0xD800 || u > 0xDFFF) all.push_back(static_cast<char16_t>(u));
    }
    for (unsigned high = 0xD800; high <= 0xDBFF; high += 0x3F) {
        for (unsigned low = 0xDC00; low <= 0xDFFF; low += 0x7F) {
            all.push_back(static_cast<char16_t>(high));
            all.push_back(static_cast<char16_t>(low));
        }
    }
    ByteString bytes;
    wide_to_utf8(all, bytes, true);
    WideString back;
    utf8_to_wide(bytes, back, -1);
    EXPECT_EQ(back, all);
    EXPECT_EQ(wide_from_utf8(utf8_from_wide(all)), all);
}

TEST(Utf8Helpers, UseNoMark) {
    EXPECT_EQ(utf8_from_wide(u"\u3042"), bytes_of({0xE3, 0x81, 0x82}));
    // The platform's helper must not eat a mark that belongs to a file name.
    EXPECT_EQ(wide_from_utf8(bytes_of({0xEF, 0xBB, 0xBF, 0x41})), units_of({0xFEFF, 0x41}));
}

// ---- UTF-16 ---------------------------------------------------------------------

TEST(WideToUtf16Bytes, ByteOrderAndMark) {
    struct Case {
        const char* what;
        bool with_bom, big_endian;
        ByteString expected;
    } cases[] = {
        {"little-endian", false, false, bytes_of({0x41, 0x00, 0x42, 0x30})},
        {"big-endian", false, true, bytes_of({0x00, 0x41, 0x30, 0x42})},
        {"little-endian with mark", true, false, bytes_of({0xFF, 0xFE, 0x41, 0x00, 0x42, 0x30})},
        {"big-endian with mark", true, true, bytes_of({0xFE, 0xFF, 0x00, 0x41, 0x30, 0x42})},
    };
    for (const auto& c : cases) {
        ByteString out;
        EXPECT_EQ(wide_to_utf16_bytes(u"A\u3042", out, c.with_bom, c.big_endian), static_cast<int>(c.expected.size()))
            << c.what;
        EXPECT_EQ(out, c.expected) << c.what;
    }
}

TEST(WideToUtf16Bytes, MarkReplacesTheDestinationPlainTextAppends) {
    ByteString out = "old";
    EXPECT_EQ(wide_to_utf16_bytes(u"A", out, false, true), 2);
    EXPECT_EQ(out, bytes_of({'o', 'l', 'd', 0x00, 0x41}));

    EXPECT_EQ(wide_to_utf16_bytes(u"A", out, true, true), 4);
    EXPECT_EQ(out, bytes_of({0xFE, 0xFF, 0x00, 0x41}));
}

TEST(Utf16BytesToWide, MarksOddBytesAndShortSources) {
    struct Case {
        const char* what;
        ByteString bytes;
        bool big_endian;
        WideString expected;
    } cases[] = {
        {"empty", bytes_of({}), false, u""},
        {"one byte gives nothing", bytes_of({0x41}), false, u""},
        {"little-endian", bytes_of({0x41, 0x00, 0x42, 0x30}), false, units_of({0x41, 0x3042})},
        {"big-endian", bytes_of({0x00, 0x41, 0x30, 0x42}), true, units_of({0x41, 0x3042})},
        {"big-endian mark wins", bytes_of({0xFE, 0xFF, 0x00, 0x41}), false, u"A"},
        {"little-endian mark wins", bytes_of({0xFF, 0xFE, 0x41, 0x00}), true, u"A"},
        {"only a mark", bytes_of({0xFF, 0xFE}), false, u""},
        {"odd byte is the low half in little-endian", bytes_of({0x41, 0x00, 0x42}), false, units_of({0x41, 0x42})},
        {"odd byte is the high half in big-endian", bytes_of({0x00, 0x41, 0x42}), true, units_of({0x41, 0x4200})},
        {"odd byte after a mark", bytes_of({0xFE, 0xFF, 0x30}), false, units_of({0x3000})},
        {"NUL units are kept", bytes_of({0x00, 0x00, 0x41, 0x00}), false, units_of({0x00, 0x41})},
        {"a later mark is text", bytes_of({0x41, 0x00, 0xFF, 0xFE}), false, units_of({0x41, 0xFEFF})},
    };
    for (const auto& c : cases) {
        WideString out = u"#";
        EXPECT_EQ(utf16_bytes_to_wide(c.bytes, out, c.big_endian), static_cast<int>(c.expected.size())) << c.what;
        EXPECT_EQ(out, u"#" + c.expected) << c.what;
    }
}

TEST(Utf16Coders, RoundTripInBothOrders) {
    const WideString text = units_of({0x41, 0xFEFF, 0xFFFF, 0x0000, 0xD83D, 0xDE00, 0xDC00});
    for (bool big_endian : {false, true}) {
        for (bool with_bom : {false, true}) {
            ByteString bytes;
            wide_to_utf16_bytes(text, bytes, with_bom, big_endian);
            WideString back;
            utf16_bytes_to_wide(bytes, back, big_endian);
            EXPECT_EQ(back, text) << big_endian << with_bom;
        }
    }
}

// ---- detect_bom, is_ascii ---------------------------------------------------------

TEST(DetectBom, Table) {
    struct Case {
        ByteString bytes;
        int expected;
    } cases[] = {
        {bytes_of({}), 0},
        {bytes_of({0xFF}), 0},
        {bytes_of({0xFF, 0xFE}), 2},
        {bytes_of({0xFF, 0xFE, 0x41, 0x00}), 2},
        {bytes_of({0xFE, 0xFF}), 3},
        {bytes_of({0xFE, 0xFF, 0x00, 0x41}), 3},
        {bytes_of({0xEF, 0xBB}), 0},
        {bytes_of({0xEF, 0xBB, 0xBF}), 8},
        {bytes_of({0xEF, 0xBB, 0xBF, 0x41}), 8},
        {bytes_of({0xEF, 0xBB, 0xBE}), 0},
        {bytes_of({0xFE, 0xFE}), 0},
        {bytes_of({0x41, 0xFF, 0xFE}), 0},
    };
    for (const auto& c : cases) EXPECT_EQ(detect_bom(c.bytes), c.expected) << testing::PrintToString(c.bytes);
}

TEST(IsAscii, BoundaryAtSevenBits) {
    EXPECT_TRUE(is_ascii(WideString()));
    EXPECT_TRUE(is_ascii(ByteString()));
    EXPECT_TRUE(is_ascii(units_of({0x00, 0x41, 0x7F})));
    EXPECT_FALSE(is_ascii(units_of({0x41, 0x80})));
    EXPECT_FALSE(is_ascii(units_of({0x100})));  // high byte counts, not only the low
    EXPECT_TRUE(is_ascii(bytes_of({0x00, 0x41, 0x7F})));
    EXPECT_FALSE(is_ascii(bytes_of({0x41, 0x80})));
    EXPECT_FALSE(is_ascii(bytes_of({0xFF})));
}

}  // namespace
