// The platform's code-page conversions behave like WideCharToMultiByte and
// MultiByteToWideChar: the same bytes for Japanese, Chinese, Korean,
// Cyrillic and Western text on both platform layers, "?" for characters a
// code page cannot hold, the Win32 counting conventions (-1 includes the
// terminator, capacity 0 measures, a short buffer fails), and the runtime
// library's locale conversions keep the prefix before a failure.
#include <gtest/gtest.h>

#include <string>

#include "platform.h"

namespace {

using platform::CONVERT_ERR_INVALID;
using platform::CONVERT_NO_BEST_FIT;

std::string encode(int code_page, const WideString& text, unsigned flags = 0) {
    const int n = platform::wide_to_multibyte(code_page, flags, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) {
        EXPECT_EQ(
            platform::wide_to_multibyte(code_page, flags, text.data(), static_cast<int>(text.size()), out.data(), n),
            n);
    }
    return out;
}

WideString decode(int code_page, const std::string& bytes, unsigned flags = 0) {
    const int n =
        platform::multibyte_to_wide(code_page, flags, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    WideString out(static_cast<std::size_t>(n > 0 ? n : 0), u'\0');
    if (n > 0) {
        EXPECT_EQ(
            platform::multibyte_to_wide(code_page, flags, bytes.data(), static_cast<int>(bytes.size()), out.data(), n),
            n);
    }
    return out;
}

struct RoundTrip {
    int code_page;
    const char16_t* text;
    const char* bytes;
};

TEST(PlatformCodePages, RoundTripsTextInEachCodePage) {
    const RoundTrip cases[] = {
        // "表" ends in 0x5C, the byte of "\": a name must not be split there.
        {932, u"日本語テスト表", "\x93\xFA\x96\x7B\x8C\xEA\x83\x65\x83\x58\x83\x67\x95\x5C"},
        {932, u"ｱｲ", "\xB1\xB2"},  // half-width katakana: one byte each
        {932, u"abc", "abc"},
        {936, u"中文", "\xD6\xD0\xCE\xC4"},
        {949, u"한국", "\xC7\xD1\xB1\xB9"},
        {950, u"中文", "\xA4\xA4\xA4\xE5"},
        {1251, u"Привет", "\xCF\xF0\xE8\xE2\xE5\xF2"},
        {1252, u"café €", "caf\xE9 \x80"},
        {65001, u"é日\U0001F600", "\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80"},
    };
    for (const RoundTrip& c : cases) {
        SCOPED_TRACE(c.code_page);
        EXPECT_EQ(encode(c.code_page, c.text), c.bytes);
        EXPECT_EQ(decode(c.code_page, c.bytes), c.text);
    }
}

TEST(PlatformCodePages, ReplacesUnmappableCharactersWithAQuestionMark) {
    EXPECT_EQ(encode(932, u"a\u0E01b", CONVERT_NO_BEST_FIT), "a?b");  // Thai letter
    EXPECT_EQ(encode(1252, u"x日本y", CONVERT_NO_BEST_FIT), "x??y");
    EXPECT_EQ(encode(1251, u"\u3042", CONVERT_NO_BEST_FIT), "?");
    // UTF-8 holds everything but a lone surrogate, which becomes U+FFFD.
    EXPECT_EQ(encode(65001, WideString(u"a") + char16_t(0xD800) + u"b"), "a\xEF\xBF\xBD"
                                                                         "b");
}

TEST(PlatformCodePages, DecodesInvalidBytesAsTheWin32ConversionsDo) {
    const struct {
        int code_page;
        std::string bytes;
        WideString replaced;  // without CONVERT_ERR_INVALID
        bool strict_fails;    // with it
    } cases[] = {
        // UTF-8: the start of a sequence that cannot complete is one U+FFFD.
        {65001,
         "a\x80"
         "b",
         u"a\uFFFDb", true},
        {65001,
         "\xE3\x81"
         "A",
         u"\uFFFDA", true},
        {65001, "\xC0\xAF", u"\uFFFD\uFFFD", true},  // over-long "/"
        {65001, "x\xE3\x81", u"x\uFFFD", true},      // cut off at the end
        // 932: a bad pair is the default character U+30FB and takes the byte
        // after the lead byte along; undefined single bytes are private use.
        {932, "a\x81 b", u"a\u30FBb", true},
        {932, "\x85\x40", u"\u30FB", true},
        {932, "\xA0\xFD", u"\uF8F0\uF8F1", true},
        {932, "ab\x81", u"ab\u30FB", true},
        // 1252 gives every byte a character, its holes included.
        {1252, "\x81\x8D\x8F\x90\x9D", u"\u0081\u008D\u008F\u0090\u009D", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.bytes));
        EXPECT_EQ(decode(c.code_page, c.bytes), c.replaced);
        const int strict = platform::multibyte_to_wide(c.code_page, CONVERT_ERR_INVALID, c.bytes.data(),
                                                       static_cast<int>(c.bytes.size()), nullptr, 0);
        EXPECT_EQ(strict == 0, c.strict_fails);
    }
    // ... and the holes go back to their bytes.
    EXPECT_EQ(encode(1252, u"\u0081\u009D"), "\x81\x9D");
}

TEST(PlatformCodePages, FollowsTheWin32CountingConventions) {
    const char16_t* text = u"日本";
    // -1: the terminator is converted and counted.
    EXPECT_EQ(platform::wide_to_multibyte(932, 0, text, -1, nullptr, 0), 5);
    char buffer[8] = {'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'};
    EXPECT_EQ(platform::wide_to_multibyte(932, 0, text, -1, buffer, 8), 5);
    EXPECT_EQ(std::string(buffer), "\x93\xFA\x96\x7B");
    // A buffer too small fails instead of cutting the text.
    EXPECT_EQ(platform::wide_to_multibyte(932, 0, text, -1, buffer, 4), 0);
    // A length of 0 is invalid.
    EXPECT_EQ(platform::wide_to_multibyte(932, 0, text, 0, nullptr, 0), 0);

    char16_t units[4] = {u'x', u'x', u'x', u'x'};
    EXPECT_EQ(platform::multibyte_to_wide(932, 0, "\x93\xFA\x96\x7B", -1, nullptr, 0), 3);
    EXPECT_EQ(platform::multibyte_to_wide(932, 0, "\x93\xFA\x96\x7B", -1, units, 4), 3);
    EXPECT_EQ(WideString(units), u"日本");
    EXPECT_EQ(platform::multibyte_to_wide(932, 0, "\x93\xFA\x96\x7B", -1, units, 2), 0);
    EXPECT_EQ(platform::multibyte_to_wide(932, 0, "ab", 0, nullptr, 0), 0);
}

TEST(PlatformCodePages, ReportsWhichCodePagesAreAvailable) {
    for (int code_page : {932, 936, 949, 950, 1250, 1251, 1252, 65001}) {
        EXPECT_TRUE(platform::code_page_available(code_page)) << code_page;
    }
    for (int code_page : {12345, 99999, -5}) EXPECT_FALSE(platform::code_page_available(code_page)) << code_page;
}

TEST(PlatformCodePages, AnsiCodePageFollowsTheOverride) {
    platform::set_ansi_code_page_override(932);
    EXPECT_EQ(platform::ansi_code_page(), 932);
    // Code page 0 is the ANSI code page.
    EXPECT_EQ(encode(0, u"日本"), "\x93\xFA\x96\x7B");
    platform::set_ansi_code_page_override(1252);
    EXPECT_EQ(platform::ansi_code_page(), 1252);
    platform::set_ansi_code_page_override(0);
    EXPECT_NE(platform::ansi_code_page(), 0);
}

// ---- the runtime library's locale ------------------------------------------

TEST(PlatformLocale, CConversionsKeepThePrefixBeforeAFailure) {
    platform::LocaleHandle c_locale = platform::create_ctype_locale(u"C");
    ASSERT_NE(c_locale, nullptr);
    EXPECT_EQ(platform::locale_wide_to_bytes(c_locale, u"abc", nullptr, 0), 3u);
    char bytes[16] = {};
    EXPECT_EQ(platform::locale_wide_to_bytes(c_locale, u"abc", bytes, sizeof bytes), 3u);
    EXPECT_EQ(std::string(bytes), "abc");

    // The C locale has no multibyte form for a Japanese character.
    char prefix[16] = {};
    EXPECT_EQ(platform::locale_wide_to_bytes(c_locale, u"ab日c", prefix, sizeof prefix), static_cast<std::size_t>(-1));
    EXPECT_EQ(std::string(prefix), "ab");

    char16_t units[8] = {};
    EXPECT_EQ(platform::locale_bytes_to_wide(c_locale, "xyz", units, 8), 3u);
    EXPECT_EQ(WideString(units), u"xyz");
    platform::free_ctype_locale(c_locale);
}

TEST(PlatformLocale, AMultibyteLocaleConvertsJapanese) {
#ifdef _WIN32
    const WideString name = u"Japanese_Japan.932";
    const std::string expected = "\x93\xFA\x96\x7B";
#else
    const WideString name = u"C.UTF-8";
    const std::string expected = "\xE6\x97\xA5\xE6\x9C\xAC";
#endif
    platform::LocaleHandle locale = platform::create_ctype_locale(name);
    ASSERT_NE(locale, nullptr);
    char bytes[16] = {};
    EXPECT_EQ(platform::locale_wide_to_bytes(locale, u"日本", nullptr, 0), expected.size());
    EXPECT_EQ(platform::locale_wide_to_bytes(locale, u"日本", bytes, sizeof bytes), expected.size());
    EXPECT_EQ(std::string(bytes), expected);
    char16_t units[8] = {};
    EXPECT_EQ(platform::locale_bytes_to_wide(locale, expected.c_str(), nullptr, 0), 2u);
    EXPECT_EQ(platform::locale_bytes_to_wide(locale, expected.c_str(), units, 8), 2u);
    EXPECT_EQ(WideString(units), u"日本");
    // A buffer that ends inside a character takes only whole characters.
    char short_buffer[4] = {};
    EXPECT_EQ(platform::locale_wide_to_bytes(locale, u"日本", short_buffer, expected.size() / 2 + 1),
              expected.size() / 2);
    platform::free_ctype_locale(locale);

    // The process locale: set, used, restored.
    bool ok = false;
    const WideString previous = platform::set_ctype_locale(name, ok);
    ASSERT_TRUE(ok);
    EXPECT_FALSE(previous.empty());
    EXPECT_EQ(platform::locale_wide_to_bytes(nullptr, u"日本", nullptr, 0), expected.size());
    platform::restore_ctype_locale(previous);

    const WideString unchanged = platform::set_ctype_locale(u"no-such-locale-name", ok);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(unchanged.empty());
    EXPECT_EQ(platform::create_ctype_locale(u"no-such-locale-name"), nullptr);
}

}  // namespace
