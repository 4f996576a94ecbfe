// Proves that encode_stored_name stores a wide name as the bytes its options
// call for (ASCII, code pages with 0xFF directory separators split per
// component, UTF-8 and UTF-16 with and without marks, the LZH Unicode
// header form), that it returns the chosen form and code page, that
// ascii_fallback_name makes the narrow name beside a Unicode header, and that names survive a round trip through the decoder.
#include <gtest/gtest.h>

#include "job_fixture.h"
#include "library_traits.h"
#include "stored_name.h"

namespace {

using namespace jobframe_test;

#define ENCODE_SUITE LIBRARY_SUITE(EncodeStoredName)

class ENCODE_SUITE : public FreshJobTest<932> {
protected:
    // A creation job with these options (cp_header and friends derived).
    void begin(std::uint32_t flags, std::int32_t code_page = 0) {
        options = make_options(flags, code_page);
        job_state().create_mode = true;
        ASSERT_TRUE(setup_job(&options));
    }
    // The bytes; the form chosen is left in last.
    ByteString encode(const WideString& name, std::uint32_t mode) {
        ByteString bytes;
        last = encode_stored_name(name, bytes, mode);
        return bytes;
    }

    EncodedName last;

    ArchiveOptions options{};
    BoxRecorder boxes;
};

struct EncodeCase {
    const char* what;
    std::uint32_t flags;
    std::int32_t code_page;
    std::uint32_t mode;
    WideString name;
    ByteString bytes;
    std::uint32_t result_flags;
};

TEST_F(ENCODE_SUITE, EveryFormGivesItsBytes) {
    const EncodeCase cases[] = {
        {"ASCII", 0, 0, 0, u"a.txt", "a.txt", NAME_ASCII},
        {"ASCII with UTF-8", OPT_UTF8, 0, 0, u"a.txt", "a.txt", NAME_ASCII},
        {"ASCII with UTF-16 and mark stays plain", OPT_UTF16 | OPT_BOM, 0, 0, u"ab", "ab", NAME_ASCII},
        {"ASCII with UTF-16 without mark", OPT_UTF16, 0, 0, u"ab", bytes_of({0x61, 0, 0x62, 0}), NAME_UTF16},
        {"ASCII directory, 0xFF separators", OPT_FF_SEPARATOR, 0, ENCODE_DIRECTORY, u"docs/sub\\",
         bytes_of({0x64, 0x6F, 0x63, 0x73, 0xFF, 0x73, 0x75, 0x62, 0xFF}), NAME_ASCII},
        {"ASCII directory without the option", 0, 0, ENCODE_DIRECTORY, u"a/b/", "a/b/", NAME_ASCII},
        {"ASCII directory with Unicode header", OPT_UNICODE_HEADER, 0, ENCODE_DIRECTORY, u"a/", bytes_of({0x61, 0xFF}),
         NAME_ASCII},
        {"UTF-8", OPT_UTF8, 0, 0, u"\u3042", bytes_of({0xE3, 0x81, 0x82}), NAME_UTF8},
        {"UTF-8 with mark", OPT_UTF8 | OPT_BOM, 0, 0, u"\u3042", bytes_of({0xEF, 0xBB, 0xBF, 0xE3, 0x81, 0x82}),
         NAME_UTF8 | NAME_BOM},
        {"UTF-8 wins over UTF-16", OPT_UTF8 | OPT_UTF16, 0, 0, u"\u00E9", bytes_of({0xC3, 0xA9}), NAME_UTF8},
        // UTF-8 keeps the byte 0xFF as separator: U+FFFF (EF BF BF) is no
        // separator to any reader.
        {"UTF-8 directory, 0xFF separators", OPT_UTF8 | OPT_FF_SEPARATOR, 0, ENCODE_DIRECTORY, u"\u00E9/a\\",
         bytes_of({0xC3, 0xA9, 0xFF, 0x61, 0xFF}), NAME_UTF8},
        {"UTF-16LE", OPT_UTF16, 0, 0, u"\u3042a", bytes_of({0x42, 0x30, 0x61, 0x00}), NAME_UTF16},
        {"UTF-16BE", OPT_UTF16 | OPT_BIG_ENDIAN, 0, 0, u"\u3042", bytes_of({0x30, 0x42}), NAME_UTF16},
        {"UTF-16LE with mark", OPT_UTF16 | OPT_BOM, 0, 0, u"\u3042", bytes_of({0xFF, 0xFE, 0x42, 0x30}),
         NAME_UTF16 | NAME_BOM},
        {"UTF-16BE with mark", OPT_UTF16 | OPT_BOM | OPT_BIG_ENDIAN, 0, 0, u"\u3042",
         bytes_of({0xFE, 0xFF, 0x30, 0x42}), NAME_UTF16 | NAME_BOM},
        {"Unicode header: little-endian, no mark", OPT_UNICODE_HEADER | OPT_BIG_ENDIAN | OPT_BOM, 0, 0, u"\u3042",
         bytes_of({0x42, 0x30}), NAME_UTF16 | NAME_UNICODE_HEADER},
        {"Unicode header directory", OPT_UNICODE_HEADER, 0, ENCODE_DIRECTORY, u"\u3042/\u3044/",
         bytes_of({0x42, 0x30, 0xFF, 0xFF, 0x44, 0x30, 0xFF, 0xFF}), NAME_UTF16 | NAME_UNICODE_HEADER},
        {"no Unicode form: ANSI code page", OPT_UNICODE_HEADER, 0, ENCODE_NO_UNICODE, u"\u3042", bytes_of({0x82, 0xA0}),
         0},
        // UTF-16 names where the format has Unicode records: the record's
        // form whatever the byte order and mark asked for, ASCII names too;
        // the narrow record beside it keeps ASCII plain.
        {"UTF-16 for a Unicode record", OPT_UTF16 | OPT_BIG_ENDIAN | OPT_BOM, 0, ENCODE_UNICODE_RECORD, u"\u3042",
         bytes_of({0x42, 0x30}), NAME_UTF16 | NAME_UNICODE_HEADER},
        {"UTF-16 for a Unicode record: ASCII too", OPT_UTF16, 0, ENCODE_UNICODE_RECORD, u"ab",
         bytes_of({0x61, 0, 0x62, 0}), NAME_UTF16 | NAME_UNICODE_HEADER},
        {"UTF-16, the ASCII narrow record beside it", OPT_UTF16, 0, ENCODE_UNICODE_RECORD | ENCODE_NO_UNICODE, u"a/b",
         "a/b", NAME_ASCII},
        {"UTF-16 directory for a Unicode record", OPT_UTF16, 0, ENCODE_UNICODE_RECORD | ENCODE_DIRECTORY, u"\u3042/",
         bytes_of({0x42, 0x30, 0xFF, 0xFF}), NAME_UTF16 | NAME_UNICODE_HEADER},
        {"UTF-16, the narrow record beside it", OPT_UTF16 | OPT_FF_SEPARATOR, 0,
         ENCODE_UNICODE_RECORD | ENCODE_NO_UNICODE | ENCODE_DIRECTORY, u"\u3042/b/",
         bytes_of({0x82, 0xA0, 0xFF, 0x62, 0xFF}), 0},
        {"code page 932", OPT_CODEPAGE_SET, 932, 0, u"\u3042.t", bytes_of({0x82, 0xA0, 0x2E, 0x74}), 0},
        {"code page 1252", OPT_CODEPAGE_SET, 1252, 0, u"caf\u00E9", bytes_of({0x63, 0x61, 0x66, 0xE9}), 0},
        {"932 directory split at separators", OPT_CODEPAGE_SET | OPT_FF_SEPARATOR, 932, ENCODE_DIRECTORY,
         u"\u3042/b\\\u3044/", bytes_of({0x82, 0xA0, 0xFF, 0x62, 0xFF, 0x82, 0xA2, 0xFF}), 0},
        {"split: empty components give nothing", OPT_CODEPAGE_SET | OPT_FF_SEPARATOR, 932, ENCODE_DIRECTORY,
         u"\u3042//x", bytes_of({0x82, 0xA0, 0xFF, 0xFF, 0x78}), 0},
        {"code page 65001", OPT_CODEPAGE_SET, 65001, 0, u"\u3042", bytes_of({0xE3, 0x81, 0x82}), NAME_UTF8},
        {"code page 65001 with mark", OPT_CODEPAGE_SET | OPT_BOM, 65001, 0, u"\u3042",
         bytes_of({0xEF, 0xBB, 0xBF, 0xE3, 0x81, 0x82}), NAME_UTF8},
        {"code page 65001 directory", OPT_CODEPAGE_SET | OPT_FF_SEPARATOR, 65001, ENCODE_DIRECTORY, u"\u00E9/",
         bytes_of({0xC3, 0xA9, 0xFF}), NAME_UTF8},
    };
    for (const EncodeCase& c : cases) {
        SCOPED_TRACE(c.what);
        reset_job_state();
        begin(c.flags, c.code_page);
        EXPECT_EQ(encode(c.name, c.mode), c.bytes);
        EXPECT_EQ(last.flags, c.result_flags);
    }
}

TEST_F(ENCODE_SUITE, AppendsToWhatTheDestinationHolds) {
    begin(OPT_UTF16 | OPT_BOM);
    ByteString bytes = "head";
    encode_stored_name(u"\u3042", bytes, 0);
    EXPECT_EQ(bytes, "head" + bytes_of({0xFF, 0xFE, 0x42, 0x30}));

    reset_job_state();
    begin(OPT_CODEPAGE_SET | OPT_BOM, 65001);
    bytes = "head";
    encode_stored_name(u"\u3042", bytes, 0);
    EXPECT_EQ(bytes, "head" + bytes_of({0xEF, 0xBB, 0xBF, 0xE3, 0x81, 0x82}));
}

TEST_F(ENCODE_SUITE, EmptyNameLeavesEverythingAlone) {
    begin(OPT_REPORT);
    job_state().report_text.clear();
    ByteString bytes = "x";
    EXPECT_EQ(encode_stored_name(u"", bytes, 0).flags, 0u);
    EXPECT_EQ(bytes, "x");
    EXPECT_EQ(job_state().report_text, u"empty! \n");
}

// The LZH code-page record: the code page given, or the ANSI code page when
// none was; set once per name, also when the name is split.
TEST_F(ENCODE_SUITE, CodePageHeaderDecision) {
    begin(OPT_CODEPAGE_HEADER | OPT_CODEPAGE_SET, 1252);
    EXPECT_EQ(encode(u"caf\u00E9", 0), bytes_of({0x63, 0x61, 0x66, 0xE9}));
    EXPECT_EQ(last.flags, NAME_CODEPAGE_HEADER);
    EXPECT_EQ(last.code_page, 1252);

    reset_job_state();
    begin(OPT_CODEPAGE_HEADER | OPT_FF_SEPARATOR);  // no code page: the ANSI one (932 here)
    EXPECT_EQ(job_state().ansi_code_page, 932);
    const ByteString split = encode(u"\u3042/\u3044", ENCODE_DIRECTORY);
    EXPECT_NE(split.find('\xFF'), ByteString::npos);
    EXPECT_EQ(last.flags, NAME_CODEPAGE_HEADER);
    EXPECT_EQ(last.code_page, 932);

    // An ASCII name needs no code page.
    EXPECT_EQ(encode(u"a", 0), "a");
    EXPECT_EQ(last.flags, NAME_ASCII);
}

TEST_F(ENCODE_SUITE, ReportShowsNameFormAndBytes) {
    struct Case {
        std::uint32_t flags;
        std::int32_t code_page;
        std::uint32_t mode;
        WideString name;
        WideString report;
    };
    const Case cases[] = {
        {0, 0, 0, u"ab", u"ab\n\u2514Ascii: 61,62\n"},
        {OPT_UTF8, 0, 0, u"\u00E9", u"\u00E9\n\u2514UTF-8: C3,A9\n"},
        {OPT_UTF16, 0, 0, u"\u00E9", u"\u00E9\n\u2514UTF-16: E9,00\n"},
        {OPT_CODEPAGE_SET, 932, 0, u"\u3042", u"\u3042\n\u2514cp 932: 82,A0\n"},
        {OPT_UNICODE_HEADER, 0, ENCODE_NO_UNICODE, u"\u3042", u"\u2514cp 0: 82,A0\n"},
        {OPT_CODEPAGE_HEADER | OPT_CODEPAGE_SET, 932, 0, u"\u3042", u"\u3042\n\u2514cp932: 82,A0\n"},
        {OPT_CODEPAGE_SET | OPT_FF_SEPARATOR, 932, ENCODE_DIRECTORY, u"\u3042/",
         u"\u3042/\n\u2514(\u5206\u5272\u51E6\u7406)82,A0,FF\n"},
        {OPT_CODEPAGE_HEADER | OPT_CODEPAGE_SET | OPT_FF_SEPARATOR, 932, ENCODE_DIRECTORY, u"\u3042/",
         u"\u3042/\n\u2514(\u5206\u5272\u51E6\u7406)cp932: 82,A0,FF\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.report));
        reset_job_state();
        begin(c.flags | OPT_REPORT, c.code_page);
        job_state().report_text.clear();  // drop the settings line
        encode(c.name, c.mode);
        EXPECT_EQ(job_state().report_text, c.report);
    }
}

TEST_F(ENCODE_SUITE, AsciiFallbackName) {
    begin(0);
    struct Case {
        ByteString utf16le;
        ByteString narrow;
    };
    const Case cases[] = {
        {bytes_of({0x42, 0x30, 0x61, 0x00}), bytes_of({0x42, 0x30, 0x61})},  // U+3042 then a
        {bytes_of({0x61, 0x00, 0xFF, 0xFF, 0x62, 0x00, 0xFF, 0xFF}), bytes_of({0x61, 0xFF, 0x62, 0xFF})},
        {bytes_of({0x61, 0x00, 0x3A, 0x00, 0x2F, 0x00, 0x5C, 0x00}), "a___"},
        {bytes_of({0x22, 0, 0x2A, 0, 0x3C, 0, 0x3E, 0, 0x3F, 0, 0x7C, 0}), "______"},
        {bytes_of({0x01, 0x00, 0x7F, 0x00, 0xE9, 0x00}), "___"},
        {bytes_of({0x00, 0x01}), "__"},        // U+0100: zero low byte, high byte 1
        {bytes_of({0x41, 0xFF}), "A_"},        // U+FF41: 0xFF at an odd position
        {bytes_of({0xFF, 0x30}), "_0"},        // U+30FF: 0xFF not followed by 0xFF
        {bytes_of({0x61, 0x00, 0x62}), "ab"},  // cut short
        {ByteString(), ByteString()},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ascii_fallback_name(c.utf16le), c.narrow);
    }

    reset_job_state();
    begin(OPT_REPORT);
    job_state().report_text.clear();
    ascii_fallback_name(bytes_of({0x61, 0x00, 0xFF, 0xFF, 0x0A, 0x00}));
    EXPECT_EQ(job_state().report_text, u" a'\\xFF'_\n");
}

// What the writers store, the readers give back: the ZIP reader passes the
// UTF-8 hint when the writer marked the name as UTF-8, and an LZH directory
// comes back with its 0xFF separators.
TEST_F(ENCODE_SUITE, RoundTripThroughTheDecoder) {
    struct Options {
        std::uint32_t flags;
        std::int32_t code_page;
        bool all_of_unicode;  // every name below can be stored
    };
    const Options option_sets[] = {
        {OPT_UTF8, 0, true},
        {OPT_UTF8 | OPT_BOM, 0, true},
        {OPT_UTF16, 0, true},
        {OPT_UTF16 | OPT_BOM, 0, true},
        {OPT_UTF16 | OPT_BIG_ENDIAN, 0, true},
        {OPT_UTF16 | OPT_BIG_ENDIAN | OPT_BOM, 0, true},
        {OPT_UTF8 | OPT_UTF16, 0, true},
        {OPT_CODEPAGE_SET, 932, false},
        {OPT_CODEPAGE_SET, 65001, true},
        {OPT_CODEPAGE_SET | OPT_BOM, 65001, true},
        {OPT_UTF8 | OPT_STD_CONVERTERS, 0, true},
        // The standard UTF-16 converter knows 16-bit units as UCS-2 only:
        // characters beyond U+FFFF are lost in kanna, which has it.
        {OPT_UTF16 | OPT_BOM | OPT_STD_CONVERTERS, 0, !LIBRARY_HAS_STD_CONVERTERS},
    };
    const WideString names[] = {u"a.txt", u"\u3042\u3044\u3046.txt", u"dir/\u30D5\u30A1\u30A4\u30EB",
                                u"\u00E9t\u00E9 \U0001F600"};
    for (const Options& o : option_sets) {
        for (const WideString& name : names) {
            if (!o.all_of_unicode && name == names[3]) {
                continue;
            }
            SCOPED_TRACE(testing::PrintToString(name) + " flags " + std::to_string(o.flags) + " cp " +
                         std::to_string(o.code_page));
            reset_job_state();
            begin(o.flags, o.code_page);
            const ByteString stored = encode(name, 0);
            const std::uint32_t hint = (last.flags & NAME_UTF8) ? std::uint32_t{HINT_UTF8} : 0u;
            WideString decoded;
            decode_stored_name(stored, decoded, hint);
            EXPECT_EQ(decoded, name);
        }
    }

    // An LZH directory under code page 932 with 0xFF separators.
    reset_job_state();
    begin(OPT_CODEPAGE_SET | OPT_FF_SEPARATOR, 932);
    job_state().separator_byte = '/';
    const ByteString stored = encode(u"\u30D5\u30A9/\u30EB\u30C0/", ENCODE_DIRECTORY);
    WideString decoded;
    decode_stored_name(stored, decoded, HINT_FF_SEPARATOR);
    EXPECT_EQ(decoded, u"\u30D5\u30A9/\u30EB\u30C0/");

    // The same through the Unicode header and its directory record.
    reset_job_state();
    begin(OPT_UNICODE_HEADER | OPT_FF_SEPARATOR);
    job_state().separator_byte = '/';
    const ByteString unicode = encode(u"\u30D5\u30A9/\u30EB\u30C0/", ENCODE_DIRECTORY);
    decoded.clear();
    decode_stored_name(unicode, decoded, HINT_UTF16LE | HINT_FF_SEPARATOR);
    EXPECT_EQ(decoded, u"\u30D5\u30A9/\u30EB\u30C0/");
}

// The ZIP library has no standard converters: with the bit set it stores
// exactly what its own coder stores, even for text the standard converter
// would treat differently (a lone surrogate).
TEST_F(ENCODE_SUITE, StandardConvertersBit) {
    const WideString lone_surrogate = u"a\xDC00";
    begin(OPT_UTF8);
    const ByteString own = encode(lone_surrogate, 0);
    EXPECT_EQ(own, bytes_of({0x61, 0x3F}));

    reset_job_state();
    begin(OPT_UTF8 | OPT_STD_CONVERTERS);
    const ByteString with_bit = encode(lone_surrogate, 0);
    if (!LIBRARY_HAS_STD_CONVERTERS) {
        EXPECT_EQ(with_bit, own);
    }
    EXPECT_EQ(encode(u"\u3042\U0001F600", 0), bytes_of({0xE3, 0x81, 0x82, 0xF0, 0x9F, 0x98, 0x80}));
    reset_job_state();
    begin(OPT_UTF16 | OPT_STD_CONVERTERS | OPT_BIG_ENDIAN | OPT_BOM);
    EXPECT_EQ(encode(u"\u3042", 0), bytes_of({0xFE, 0xFF, 0x30, 0x42}));
}

}  // namespace
