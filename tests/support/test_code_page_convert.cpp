// Proves the code-page conversions on the platform's converters: Japanese
// text in code page 932 byte for byte both ways, "?" for a character the
// code page lacks, identical results from exact and estimated sizing,
// appending, the source ending at its first NUL, and that a failed
// conversion appends nothing.
#include <gtest/gtest.h>

#include "byte_text.h"
#include "text_convert.h"

namespace {

constexpr int CP_SHIFT_JIS = 932;
constexpr int CP_UTF8 = 65001;

// 日本語 あ ｱ in code page 932.
const WideString JAPANESE = u"\u65E5\u672C\u8A9E\u3042\uFF71";
const ByteString JAPANESE_932 = bytes_of({0x93, 0xFA, 0x96, 0x7B, 0x8C, 0xEA, 0x82, 0xA0, 0xB1});

class CodePageConvert : public testing::Test {
protected:
    void SetUp() override {
        if (!platform::code_page_available(CP_SHIFT_JIS)) GTEST_SKIP() << "code page 932 not available";
    }
};

TEST_F(CodePageConvert, JapaneseToCodePage932BothSizings) {
    for (bool exact : {true, false}) {
        ByteString out = "x";
        EXPECT_EQ(wide_to_code_page(JAPANESE, out, CP_SHIFT_JIS, exact), static_cast<int>(JAPANESE_932.size()));
        EXPECT_EQ(out, "x" + JAPANESE_932) << exact;
    }
}

TEST_F(CodePageConvert, CodePage932ToJapaneseBothSizings) {
    for (bool exact : {true, false}) {
        WideString out = u"x";
        EXPECT_EQ(code_page_to_wide(JAPANESE_932, out, CP_SHIFT_JIS, exact), static_cast<int>(JAPANESE.size()));
        EXPECT_EQ(out, u"x" + JAPANESE) << exact;
    }
    EXPECT_EQ(code_page_cstr_to_wide(JAPANESE_932.c_str(), CP_SHIFT_JIS), JAPANESE);
}

TEST_F(CodePageConvert, UnmappableCharacterBecomesQuestionMark) {
    ByteString out;
    // Thai ko kai has no place in code page 932.
    EXPECT_EQ(wide_to_code_page(u"a\u0E01b", out, CP_SHIFT_JIS, true, platform::CONVERT_NO_BEST_FIT), 3);
    EXPECT_EQ(out, "a?b");
}

TEST_F(CodePageConvert, LongTextsSizeAlike) {
    WideString text;
    ByteString expected;
    for (int i = 0; i < 3000; ++i) {
        text += JAPANESE;
        expected += JAPANESE_932;
    }
    for (bool exact : {true, false}) {
        ByteString out;
        EXPECT_EQ(wide_to_code_page(text, out, CP_SHIFT_JIS, exact), static_cast<int>(expected.size()));
        EXPECT_EQ(out, expected);
        WideString back;
        EXPECT_EQ(code_page_to_wide(out, back, CP_SHIFT_JIS, exact), static_cast<int>(text.size()));
        EXPECT_EQ(back, text);
    }
}

TEST(CodePageConvertAny, SourcesEndAtTheirFirstNul) {
    ByteString bytes;
    EXPECT_EQ(wide_to_code_page(WideString(u"ab\0cd", 5), bytes, CP_UTF8, true), 2);
    EXPECT_EQ(bytes, "ab");
    WideString text;
    EXPECT_EQ(code_page_to_wide(ByteString("ab\0cd", 5), text, CP_UTF8, false), 2);
    EXPECT_EQ(text, u"ab");
}

TEST(CodePageConvertAny, EmptySourceGivesNothing) {
    for (bool exact : {true, false}) {
        ByteString bytes = "x";
        EXPECT_EQ(wide_to_code_page(u"", bytes, CP_UTF8, exact), 0);
        EXPECT_EQ(bytes, "x");
        WideString text = u"x";
        EXPECT_EQ(code_page_to_wide("", text, CP_UTF8, exact), 0);
        EXPECT_EQ(text, u"x");
    }
    EXPECT_EQ(code_page_cstr_to_wide("", CP_UTF8), u"");
    EXPECT_EQ(code_page_cstr_to_wide(nullptr, CP_UTF8), u"");
}

TEST(CodePageConvertAny, Utf8CodePage) {
    ByteString bytes;
    EXPECT_EQ(wide_to_code_page(u"\u00E9\u3042", bytes, CP_UTF8, false), 5);
    EXPECT_EQ(bytes, bytes_of({0xC3, 0xA9, 0xE3, 0x81, 0x82}));
    WideString text;
    EXPECT_EQ(code_page_to_wide(bytes, text, CP_UTF8, true), 2);
    EXPECT_EQ(text, u"\u00E9\u3042");
}

TEST(CodePageConvertAny, FailureAppendsNothing) {
    // Rejecting invalid input, a cut-off UTF-8 sequence fails the whole
    // conversion in either sizing.
    for (bool exact : {true, false}) {
        WideString text = u"x";
        EXPECT_EQ(code_page_to_wide(bytes_of({0x41, 0xE3, 0x81}), text, CP_UTF8, exact, platform::CONVERT_ERR_INVALID),
                  0);
        EXPECT_EQ(text, u"x");
    }
}

TEST(CodePageConvertAny, AsciiThroughTheAnsiCodePage) {
    // Code page 0 is the ANSI code page, which agrees with ASCII on ASCII.
    ByteString bytes;
    EXPECT_EQ(wide_to_code_page(u"name.txt", bytes, 0, true), 8);
    EXPECT_EQ(bytes, "name.txt");
    EXPECT_EQ(code_page_cstr_to_wide("decode: file is not found.", 0), u"decode: file is not found.");
}

}  // namespace
