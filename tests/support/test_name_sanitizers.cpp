// Proves that the two name sanitizers leave no way out of the extraction
// directory (absolute paths, UNC prefixes, "." and ".." segments) and no
// character that Windows refuses in a file name, while ordinary paths with
// their separators come through unchanged.
#include <gtest/gtest.h>

#include "byte_text.h"
#include "text_convert.h"

namespace {

struct SanitizeCase {
    WideString name;
    WideString expected;
    int replaced;
};

TEST(NeutralizeLeadingSeparators, Table) {
    const SanitizeCase cases[] = {
        {u"", u"", 0},
        {u"a/b\\c.txt", u"a/b\\c.txt", 0},
        {u"/a", u"_a", 1},
        {u"\\a", u"_a", 1},
        {u"//a", u"_/a", 1},
        {u"\\\\server\\x", u"_\\server\\x", 1},
        {u"a//b", u"a/_b", 1},
        {u"a\\/b", u"a\\_b", 1},
        {u"a///b", u"a/_/b", 1},
        {u"../x", u".._x", 1},
        // The replaced separator joins the dots that follow into one
        // harmless segment (".._.."), so only the first needs replacing.
        {u"..\\..\\x", u".._..\\x", 1},
        {u"./x", u"._x", 1},
        {u"a/./b", u"a/._b", 1},
        {u"a/../../b", u"a/.._../b", 1},
        {u".../x", u"..._x", 1},
        {u"/../x", u"_../x", 1},
        // Dots that are part of a longer segment are ordinary names.
        {u"..a/x", u"..a/x", 0},
        {u"a../x", u"a../x", 0},
        {u".profile/x", u".profile/x", 0},
        {u"..", u"..", 0},
        {u"a/", u"a/", 0},
        {u"a/.", u"a/.", 0},
    };
    for (const auto& c : cases) {
        WideString name = c.name;
        EXPECT_EQ(neutralize_leading_separators(name), c.replaced) << testing::PrintToString(c.name);
        EXPECT_EQ(name, c.expected) << testing::PrintToString(c.name);
    }
}

TEST(ReplaceInvalidNameChars, Table) {
    const SanitizeCase cases[] = {
        {u"", u"", 0},
        {u"a:b?c", u"a_b_c", 2},
        {u"dir\\name/x", u"dir\\name/x", 0},
        {u"\"*:<>?|", u"_______", 7},
        {units_of({0x00, 0x01, 0x1F, 0x20}), u"___ ", 3},
        {units_of({0x7E, 0x7F, 0x80, 0x9F, 0xA0}), units_of({0x7E, '_', '_', '_', 0xA0}), 3},
        // Other characters are left to the file system, also odd ones.
        {units_of({0x3042, 0xFF1A, 0xFFFF, 0xD800}), units_of({0x3042, 0xFF1A, 0xFFFF, 0xD800}), 0},
        {u"a.b-c_d e'f", u"a.b-c_d e'f", 0},
    };
    for (const auto& c : cases) {
        WideString name = c.name;
        EXPECT_EQ(replace_invalid_name_chars(name), c.replaced) << testing::PrintToString(c.name);
        EXPECT_EQ(name, c.expected) << testing::PrintToString(c.name);
    }
}

TEST(NameSanitizers, ReplaceWithUnderscore) { EXPECT_EQ(replacement_char, u'_'); }

// The decoded name goes through both sanitizers. Whatever it was, the result
// has no segment that is empty at the start, "." or ".." followed by a
// separator, and no drive colon.
TEST(NameSanitizers, TogetherLeaveNoEscapingSegment) {
    const char16_t alphabet[] = {u'.', u'/', u'\\', u':', u'a'};
    // Every name of up to 5 characters over the alphabet.
    for (int length = 1; length <= 5; ++length) {
        int total = 1;
        for (int i = 0; i < length; ++i) total *= 5;
        for (int code = 0; code < total; ++code) {
            WideString name;
            for (int i = 0, rest = code; i < length; ++i, rest /= 5) name.push_back(alphabet[rest % 5]);
            replace_invalid_name_chars(name);
            neutralize_leading_separators(name);
            ASSERT_EQ(name.find(u':'), WideString::npos);
            std::size_t start = 0;
            while (true) {
                const std::size_t end = name.find_first_of(u"/\\", start);
                if (end == WideString::npos) break;
                const WideString segment = name.substr(start, end - start);
                ASSERT_FALSE(segment.empty() || segment == u"." || segment == u"..") << testing::PrintToString(name);
                start = end + 1;
            }
        }
    }
}

}  // namespace
