// Proves the two name helpers for names of unmarked form: which byte
// strings count as UTF-8 beyond ASCII (every malformed kind refused, Shift-JIS
// names among them), and that decomposed kana compose exactly as
// normalization form C composes them (the decomposed side of the table below
// was made with Python's unicodedata.normalize("NFD")).
#include <gtest/gtest.h>

#include "unicode_names.h"

namespace {

TEST(UnicodeNames, Utf8BeyondAscii) {
    struct Case {
        const char* what;
        ByteString bytes;
        bool expected;
    };
    const Case cases[] = {
        {"empty", "", false},
        {"plain ASCII", "docs/readme.txt", false},
        {"two-byte form", "caf\xC3\xA9", true},
        {"Japanese", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt", true},
        {"four-byte form", "\xF0\x9F\x98\x80", true},
        {"highest code point", "\xF4\x8F\xBF\xBF", true},
        {"Shift-JIS 日本語", "\x93\xFA\x96\x7B\x8C\xEA.txt", false},
        {"Shift-JIS ソース", "\x83\x5C\x81\x5B\x83\x58", false},
        {"lone continuation byte", "a\x80", false},
        {"cut before the end", "\xE6\x97", false},
        {"lead byte at the end", "abc\xC3", false},
        {"overlong slash", "\xC0\xAF", false},
        {"overlong three-byte", "\xE0\x80\xAF", false},
        {"surrogate", "\xED\xA0\x80", false},
        {"above U+10FFFF", "\xF4\x90\x80\x80", false},
        {"five-byte lead", "\xF8\x88\x80\x80\x80", false},
        {"continuation missing", "\xC3(", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(is_utf8_beyond_ascii(c.bytes), c.expected) << c.what;
    }
}

TEST(UnicodeNames, DecomposedKanaCompose) {
    const WideString composed = u"がぎぐげござじずぜぞだぢづでどばびぶべぼゔゞガギグゲゴザジズゼゾダヂヅデドバビブベボ"
                                u"ヴヷヸヹヺヾぱぴぷぺぽパピプペポ";
    const WideString decomposed =
        u"\u304B\u3099\u304D\u3099\u304F\u3099\u3051\u3099\u3053\u3099\u3055\u3099\u3057\u3099\u3059\u3099\u305B\u3099"
        u"\u305D\u3099\u305F\u3099\u3061\u3099\u3064\u3099\u3066\u3099\u3068\u3099\u306F\u3099\u3072\u3099\u3075\u3099"
        u"\u3078\u3099\u307B\u3099\u3046\u3099\u309D\u3099\u30AB\u3099\u30AD\u3099\u30AF\u3099\u30B1\u3099\u30B3\u3099"
        u"\u30B5\u3099\u30B7\u3099\u30B9\u3099\u30BB\u3099\u30BD\u3099\u30BF\u3099\u30C1\u3099\u30C4\u3099\u30C6\u3099"
        u"\u30C8\u3099\u30CF\u3099\u30D2\u3099\u30D5\u3099\u30D8\u3099\u30DB\u3099\u30A6\u3099\u30EF\u3099\u30F0\u3099"
        u"\u30F1\u3099\u30F2\u3099\u30FD\u3099\u306F\u309A\u3072\u309A\u3075\u309A\u3078\u309A\u307B\u309A\u30CF\u309A"
        u"\u30D2\u309A\u30D5\u309A\u30D8\u309A\u30DB\u309A";
    EXPECT_EQ(compose_kana_marks(decomposed), composed);
    EXPECT_EQ(compose_kana_marks(composed), composed);
}

TEST(UnicodeNames, MarksWithoutComposedFormStay) {
    const struct {
        const char* what;
        WideString text;
        WideString expected;
    } cases[] = {
        {"name with directories", u"\u30C6\u3099\u30FC\u30BF/\u30D5\u309A\u30ED.txt", u"データ/プロ.txt"},
        {"mark first", u"\u3099a", u"\u3099a"},
        {"mark after a letter", u"a\u3099", u"a\u3099"},
        {"semi-voiced on か", u"\u304B\u309A", u"\u304B\u309A"},
        {"two marks", u"\u304B\u3099\u3099", u"\u304C\u3099"},
        {"spacing marks", u"\u304B\u309B\u306F\u309C", u"\u304B\u309B\u306F\u309C"},
        {"half-width", u"\uFF76\uFF9E\uFF8A\uFF9F", u"\uFF76\uFF9E\uFF8A\uFF9F"},
        {"half-width base, combining mark", u"\uFF76\u3099", u"\uFF76\u3099"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(compose_kana_marks(c.text), c.expected) << c.what;
    }
}

}  // namespace
