// Proves that decode_stored_name turns stored bytes into the right wide name
// in every form the options and the archive hints select (ASCII, code pages
// with the 0xFF separator, UTF-8 and UTF-16 with and without marks), that
// the resulting name can never leave the extraction directory, and that the
// report lines show the bytes and the chosen form.
#include <gtest/gtest.h>

#include "job_fixture.h"
#include "library_traits.h"
#include "stored_name.h"

namespace {

using namespace jobframe_test;

#define DECODE_SUITE LIBRARY_SUITE(DecodeStoredName)

class DECODE_SUITE : public FreshJobTest<1252> {
protected:
    // Sets up an extraction job with these options and decodes.
    // archive_code_page: what an LZH code-page record (HINT_CODE_PAGE) says.
    WideString decode(const ByteString& bytes, std::uint32_t hint, std::int32_t archive_code_page = 932) {
        WideString name = u"previous content";
        decode_stored_name(bytes, name, hint, archive_code_page);
        return name;
    }
    void begin(std::uint32_t flags, std::int32_t code_page = 0) {
        options = make_options(flags, code_page);
        job_state().extract_mode = true;
        ASSERT_TRUE(setup_job(&options));
    }

    ArchiveOptions options{};
    BoxRecorder boxes;
};

struct FormCase {
    const char* what;
    std::uint32_t flags;
    std::int32_t code_page;
    std::uint32_t hint;
    ByteString bytes;
    WideString name;
};

// One stored name per form; the separator option's character is the
// launcher's default backslash unless the case says otherwise.
TEST_F(DECODE_SUITE, EveryFormGivesTheStoredName) {
    const FormCase cases[] = {
        {"plain ASCII", 0, 0, 0, "ABC", u"ABC"},
        {"ANSI code page 1252", 0, 0, 0, bytes_of({0x63, 0x61, 0x66, 0xE9}), u"caf\u00E9"},
        {"code page 932", OPT_CODEPAGE_SET, 932, 0, bytes_of({0x82, 0xA0, 0x2E, 0x74}), u"\u3042.t"},
        {"code page 932, trail byte 0x5C", OPT_CODEPAGE_SET, 932, 0, bytes_of({0x83, 0x5C}), u"\u30BD"},
        {"932 directory, 0xFF separators", OPT_CODEPAGE_SET | OPT_FF_SEPARATOR, 932, HINT_FF_SEPARATOR,
         bytes_of({0x82, 0xA0, 0xFF, 0x82, 0xA2, 0xFF}), u"\u3042\\\u3044\\"},
        {"ASCII directory, 0xFF separators", OPT_FF_SEPARATOR, 0, HINT_FF_SEPARATOR, bytes_of({0x61, 0xFF, 0x62, 0xFF}),
         u"a\\b\\"},
        {"0xFF without the option is no separator", OPT_CODEPAGE_SET, 1252, HINT_FF_SEPARATOR,
         bytes_of({0x61, 0xFF, 0x62}), u"a\u00FFb"},
        {"UTF-8 option", OPT_UTF8, 0, 0, bytes_of({0xE3, 0x81, 0x82, 0x61}), u"\u3042a"},
        {"UTF-8 option, mark skipped", OPT_UTF8, 0, 0, bytes_of({0xEF, 0xBB, 0xBF, 0xE3, 0x81, 0x82}), u"\u3042"},
        {"ZIP UTF-8 bit without options", 0, 0, HINT_UTF8, bytes_of({0xC3, 0xA9}), u"\u00E9"},
        {"UTF-8, all ASCII", OPT_UTF8, 0, 0, "plain.txt", u"plain.txt"},
        {"UTF-8, ASCII directory with 0xFF separators", OPT_UTF8 | OPT_FF_SEPARATOR, 0, HINT_FF_SEPARATOR,
         bytes_of({0x61, 0xFF, 0x62, 0xFF}), u"a\\b\\"},
        {"UTF-8 directory with 0xFF separators", OPT_UTF8 | OPT_FF_SEPARATOR, 0, HINT_FF_SEPARATOR,
         bytes_of({0xC3, 0xA9, 0xFF, 0x62, 0xFF}), u"\u00E9\\b\\"},
        {"UTF-8 directory with U+FFFF separators (older writers)", OPT_UTF8 | OPT_FF_SEPARATOR, 0, HINT_FF_SEPARATOR,
         bytes_of({0xC3, 0xA9, 0xEF, 0xBF, 0xBF, 0x62}), u"\u00E9\\b"},
        {"UTF-16LE option", OPT_UTF16, 0, 0, bytes_of({0x42, 0x30, 0x61, 0x00}), u"\u3042a"},
        {"UTF-16BE option", OPT_UTF16 | OPT_BIG_ENDIAN, 0, 0, bytes_of({0x30, 0x42, 0x00, 0x61}), u"\u3042a"},
        {"UTF-16 mark beats the byte order option", OPT_UTF16 | OPT_BIG_ENDIAN, 0, 0,
         bytes_of({0xFF, 0xFE, 0x42, 0x30}), u"\u3042"},
        {"UTF-16 with promised mark, mark present", OPT_UTF16 | OPT_BOM, 0, 0, bytes_of({0xFE, 0xFF, 0x30, 0x42}),
         u"\u3042"},
        {"UTF-16 with promised mark absent: not UTF-16", OPT_UTF16 | OPT_BOM, 0, 0, bytes_of({0x42, 0x30}), u"B0"},
        {"UTF-8 option, UTF-16 mark", OPT_UTF8, 0, 0, bytes_of({0xFF, 0xFE, 0x42, 0x30}), u"\u3042"},
        {"UTF-16 option, UTF-8 mark", OPT_UTF16, 0, 0, bytes_of({0xEF, 0xBB, 0xBF, 0xE3, 0x81, 0x82}), u"\u3042"},
        {"both Unicode options, ASCII without mark", OPT_UTF8 | OPT_UTF16, 0, 0, "ABC", u"ABC"},
        {"both Unicode options, UTF-8 bytes", OPT_UTF8 | OPT_UTF16, 0, 0, bytes_of({0xE3, 0x81, 0x82}), u"\u3042"},
        {"LZH Unicode record is little-endian", OPT_UTF16 | OPT_BIG_ENDIAN, 0, HINT_UTF16LE, bytes_of({0x42, 0x30}),
         u"\u3042"},
        {"LZH Unicode record beats the UTF-8 option", OPT_UTF8, 0, HINT_UTF16LE, bytes_of({0x61, 0x00}), u"a"},
        {"LZH Unicode directory, U+FFFF separators", OPT_FF_SEPARATOR, 0, HINT_UTF16LE | HINT_FF_SEPARATOR,
         bytes_of({0x61, 0x00, 0xFF, 0xFF, 0x42, 0x30, 0xFF, 0xFF}), u"a\\\u3042\\"},
        {"U+FFFF stays without the separator option", 0, 0, HINT_UTF16LE | HINT_FF_SEPARATOR,
         bytes_of({0x61, 0x00, 0xFF, 0xFF, 0x62, 0x00}), u"a\uFFFFb"},
        {"LZH code-page record beats the options", OPT_UTF8, 0, HINT_CODE_PAGE, bytes_of({0x82, 0xA0}), u"\u3042"},
    };
    for (const FormCase& c : cases) {
        SCOPED_TRACE(c.what);
        reset_job_state();
        begin(c.flags, c.code_page);
        EXPECT_EQ(decode(c.bytes, c.hint), c.name);
    }
}

TEST_F(DECODE_SUITE, SeparatorCharacterIsTheLowByteOfTheOption) {
    options = make_options(OPT_FF_SEPARATOR);
    options.separator_char = 0;  // the library's own default: "/"
    ASSERT_TRUE(setup_job(&options));
    EXPECT_EQ(decode(bytes_of({0x61, 0xFF, 0x62}), HINT_FF_SEPARATOR), u"a/b");

    reset_job_state();
    options.separator_char = 0x012F;  // only the low byte counts
    ASSERT_TRUE(setup_job(&options));
    EXPECT_EQ(decode(bytes_of({0x61, 0xFF, 0x62}), HINT_FF_SEPARATOR), u"a/b");
}

// Whatever the archive stores, the name stays below the current directory
// and holds no character the file systems refuse.
TEST_F(DECODE_SUITE, NamesCannotLeaveTheDestination) {
    struct Case {
        ByteString bytes;
        std::uint32_t hint;
        WideString name;
    };
    const Case cases[] = {
        {"../x", 0, u".._x"},
        {"..\\x", 0, u".._x"},
        {"a/../../b", 0, u"a/.._._/b"},
        {"/abs", 0, u"_abs"},
        {"\\\\server\\share", 0, u"_\\server\\share"},
        {"C:\\Windows\\x", 0, u"C_\\Windows\\x"},
        {"a:b", 0, u"a_b"},
        {"./x", 0, u"._x"},
        {"a//b", 0, u"a/_b"},
        // A last ".." would become "../" when the LZH reader appends the
        // directory separator.
        {"..", 0, u"._"},
        {"a/..", 0, u"a/._"},
        {".", 0, u"_"},
        // Windows drops trailing blanks and dots of a component.
        {".. /x", 0, u".. _x"},
        {"a/. ./b", 0, u"a/. ._b"},
        {"a/.. ", 0, u"a/.._"},
        // ... and never keeps them, where the directory made and the file
        // opened could differ.
        {"dir./x.", 0, u"dir_/x_"},
        {"dir /x ", 0, u"dir_/x_"},
        {"../../x", 0, u".._._/x"},
        // Separators made from 0xFF are checked like any other.
        {bytes_of({0x2E, 0x2E, 0xFF, 0x78}), HINT_FF_SEPARATOR, u".._x"},
        {bytes_of({0x2E, 0x2E}), HINT_FF_SEPARATOR, u"._"},
        {bytes_of({0xFF, 0x78}), HINT_FF_SEPARATOR, u"_x"},
        {bytes_of({0x2E, 0x00, 0x2E, 0x00, 0xFF, 0xFF, 0x78, 0x00}), HINT_UTF16LE | HINT_FF_SEPARATOR, u".._x"},
        // Characters the file systems refuse, also when they come from UTF-16.
        {"a*b?c|d<e>f\"g", 0, u"a_b_c_d_e_f_g"},
        {bytes_of({0x61, 0x01, 0x62, 0x7F}), 0, u"a_b_"},
        {bytes_of({0x61, 0x00, 0x00, 0x00, 0x62, 0x00}), HINT_UTF16LE, u"a_b"},
        {bytes_of({0x85, 0x00}), HINT_UTF16LE, u"_"},
        // Names that mean nothing special keep their dots.
        {"...hidden", 0, u"...hidden"},
        {"a.b/c..d", 0, u"a.b/c..d"},
        {"dir/", 0, u"dir/"},
    };
    options = make_options(OPT_FF_SEPARATOR);
    options.separator_char = u'/';
    ASSERT_TRUE(setup_job(&options));
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.bytes.begin(), c.bytes.end()));
        EXPECT_EQ(decode(c.bytes, c.hint), c.name);
    }
}

TEST_F(DECODE_SUITE, LongNamesKeepTheirLastCharacters) {
    options = make_options();
    options.max_name_length = 8;
    ASSERT_TRUE(setup_job(&options));
    EXPECT_EQ(decode("12345678", 0), u"12345678");
    EXPECT_EQ(decode("123456789", 0), u"23456789");
    // Cutting the front off must not expose an absolute path.
    EXPECT_EQ(decode("../../../abcdefg", 0), u"_abcdefg");

    reset_job_state();
    options.max_name_length = 0;  // the library's own limit, 1024
    ASSERT_TRUE(setup_job(&options));
    EXPECT_EQ(decode(ByteString(1024, 'a'), 0).size(), 1024u);
    EXPECT_EQ(decode(ByteString(1025, 'a'), 0), WideString(1024, u'a'));
}

TEST_F(DECODE_SUITE, EmptyNameGetsASubstitute) {
    begin(0);
    const WideString name = decode("", 0);
    ASSERT_EQ(name.size(), 20u);
    EXPECT_EQ(name.substr(0, 2), u"0_");
    for (char16_t c : name.substr(2)) {
        const bool allowed =
            (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'-' || c == u'_';
        EXPECT_TRUE(allowed) << static_cast<int>(c);
    }
    // A UTF-16 mark and nothing else is an empty name too.
    reset_job_state();
    begin(OPT_UTF16);
    EXPECT_EQ(decode(bytes_of({0xFF, 0xFE}), 0).substr(0, 2), u"0_");
}

TEST_F(DECODE_SUITE, ReportShowsBytesFormAndFixes) {
    struct Case {
        std::uint32_t flags;
        std::int32_t code_page;
        std::uint32_t hint;
        ByteString bytes;
        WideString report;
    };
    const Case cases[] = {
        {0, 0, 0, "ABC", u"41,42,43\n \u2514Ascii: ABC\n"},
        {OPT_UTF8, 0, 0, bytes_of({0xE3, 0x81, 0x82}), u"E3,81,82\n \u2514UTF-8: \u3042\n"},
        {OPT_UTF16, 0, 0, bytes_of({0x42, 0x30}), u"42,30\n \u2514UTF-16: \u3042\n"},
        {OPT_CODEPAGE_SET, 932, 0, bytes_of({0x82, 0xA0}), u"82,A0\n \u2514cp 932: \u3042\n"},
        {0, 0, 0, bytes_of({0xE9}), u"E9\n \u2514cp 0: \u00E9\n"},
        {0, 0, HINT_CODE_PAGE, bytes_of({0x82, 0xA0}), u"82,A0\n \u2514cp 932: \u3042\n"},
        {OPT_FF_SEPARATOR, 0, HINT_FF_SEPARATOR, bytes_of({0x61, 0xFF}), u"61,FF\n \u2514Ascii: a\\\n"},
        {0, 0, 0, "a:b", u"61,3A,62\n \u2514Ascii: a:b\n \u2514\u4FEE\u6B63> a_b\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.report));
        reset_job_state();
        begin(c.flags | OPT_REPORT, c.code_page);
        decode(c.bytes, c.hint);
        EXPECT_EQ(job_state().report_text, c.report);
    }

    reset_job_state();
    begin(OPT_REPORT);
    decode("", 0);
    const WideString& report = job_state().report_text;
    EXPECT_EQ(report.substr(0, 11), u"\n \u2514Ascii: \n");
    EXPECT_EQ(report.substr(11, 8), u" \u2514\u4FEE\u6B63> 0_");
}

TEST_F(DECODE_SUITE, NothingIsReportedWhenReportingIsOff) {
    begin(0);
    decode("a:b", 0);
    EXPECT_TRUE(job_state().report_text.empty());
}

// The standard converters exist in the LZH library only; the ZIP library
// must give exactly its own coders' result when the bit is set.
TEST_F(DECODE_SUITE, StandardConvertersBit) {
    const ByteString over_long = bytes_of({0x61, 0xC0, 0x80});
    begin(OPT_UTF8);
    const WideString own = decode(over_long, 0);
    EXPECT_EQ(own, u"a__");  // the own decoder's two "?" for C0 80, made safe

    reset_job_state();
    begin(OPT_UTF8 | OPT_STD_CONVERTERS);
    const WideString with_bit = decode(over_long, 0);
    if (!LIBRARY_HAS_STD_CONVERTERS) {
        EXPECT_EQ(with_bit, own);
    }
    // Valid text decodes the same through either converter.
    EXPECT_EQ(decode(bytes_of({0xE3, 0x81, 0x82, 0xF0, 0x9F, 0x98, 0x80}), 0), u"\u3042\U0001F600");
    reset_job_state();
    begin(OPT_UTF16 | OPT_STD_CONVERTERS | OPT_BIG_ENDIAN);
    EXPECT_EQ(decode(bytes_of({0x30, 0x42}), 0), u"\u3042");
}

}  // namespace
