// Proves the ASCII-folding comparisons: prefix matching of switches (a bare
// key is no match), case-insensitive equality that folds nothing but A-Z,
// and the recognition of Japanese locale names.
#include <gtest/gtest.h>

#include "byte_text.h"
#include "text_convert.h"

namespace {

TEST(MatchPrefix, Table) {
    const struct {
        const char16_t* text;
        const char16_t* key;
        bool fold;
        const char16_t* remainder;  // null: no match
    } cases[] = {
        {u"CP:932", u"CP:", false, u"932"},
        {u"cp:932", u"CP:", false, nullptr},
        {u"cp:932", u"CP:", true, u"932"},
        {u"d:x", u"D:", true, u"x"},
        {u"D:", u"D:", false, nullptr},  // nothing follows the key
        {u"D:", u"D:", true, nullptr},
        {u"D", u"D:", true, nullptr},  // shorter than the key
        {u"LCT", u"LC:", true, nullptr},
        {u"", u"", true, nullptr},
        {u"x", u"", true, u"x"},
        // Only A-Z fold: the fullwidth letter and [ (after Z) stay different.
        {u"\uFF21:", u"\uFF41:", true, nullptr},
        {u"[x", u"{", true, nullptr},
    };
    for (const auto& c : cases) {
        const char16_t* got = match_prefix(c.text, c.key, c.fold);
        if (c.remainder == nullptr) {
            EXPECT_EQ(got, nullptr) << testing::PrintToString(c.text);
        } else {
            ASSERT_NE(got, nullptr) << testing::PrintToString(c.text);
            EXPECT_EQ(WideString(got), WideString(c.remainder));
            // The remainder lies inside the text, right after the key.
            EXPECT_EQ(got, c.text + std::char_traits<char16_t>::length(c.key));
        }
    }
    EXPECT_EQ(match_prefix(nullptr, u"a", true), nullptr);
    EXPECT_EQ(match_prefix(u"ab", nullptr, true), nullptr);
}

TEST(EqualNocase, Table) {
    EXPECT_TRUE(equal_nocase(u"lzh", u"LZH"));
    EXPECT_TRUE(equal_nocase(u"ZiP", u"zIp"));
    EXPECT_TRUE(equal_nocase(u"", u""));
    EXPECT_FALSE(equal_nocase(u"lzh", u"lz"));
    EXPECT_FALSE(equal_nocase(u"lz", u"lzh"));
    EXPECT_FALSE(equal_nocase(u"a", u""));
    EXPECT_FALSE(equal_nocase(u"@", u"`"));  // the neighbours of A-Z and a-z
    EXPECT_FALSE(equal_nocase(u"[", u"{"));
    EXPECT_FALSE(equal_nocase(u"\u00C9", u"\u00E9"));  // no folding beyond ASCII
    EXPECT_FALSE(equal_nocase(nullptr, u""));
    EXPECT_FALSE(equal_nocase(u"", nullptr));
    EXPECT_FALSE(equal_nocase(nullptr, nullptr));
}

TEST(IsJapaneseLocaleName, Table) {
    const struct {
        const char16_t* name;
        bool expected;
    } cases[] = {
        {u"Japanese_Japan.932", true},
        {u"Japanese_Japan.936", false},
        {u"Japanese_Japan.9320", false},
        {u"Chinese.932", true},  // a code-page name is judged by the code page
        {u".932", true},
        {u"932", false},
        {u"ja_JP.UTF-8", false},
        {u"JAPANESE", true},
        {u"japanese", true},
        {u"jpn", true},
        {u"JPN", true},
        {u"Japanese_Japan", true},
        {u"jpn_jpn", true},
        {u"JPN_JPN", true},
        {u"ja-JP", false},
        {u"ja", false},
        {u"Japan", false},
        {u"jpnx", false},
        {u"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(is_japanese_locale_name(c.name), c.expected) << testing::PrintToString(c.name);
    EXPECT_FALSE(is_japanese_locale_name(nullptr));
}

}  // namespace
