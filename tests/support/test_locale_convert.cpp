// Proves the runtime-library locale conversions: ASCII both ways with the
// process locale and with a private locale object, that a character the
// locale cannot convert keeps the text converted before it, and, where a
// UTF-8 or Japanese locale exists, multibyte text in both sizings. Every
// test names its locale: none depends on the machine's settings.
#include <gtest/gtest.h>

#include "byte_text.h"
#include "text_convert.h"

namespace {

// The "C" locale converts ASCII and nothing beyond Latin-1.
class CLocale : public testing::Test {
protected:
    void SetUp() override {
        bool ok = false;
        previous_ = platform::set_ctype_locale(u"C", ok);
        ASSERT_TRUE(ok);
        locale_ = platform::create_ctype_locale(u"C");
        ASSERT_NE(locale_, nullptr);
    }
    void TearDown() override {
        if (locale_ != nullptr) platform::free_ctype_locale(locale_);
        platform::restore_ctype_locale(previous_);
    }
    WideString previous_;
    platform::LocaleHandle locale_ = nullptr;
};

TEST_F(CLocale, AsciiBothWaysBothSizings) {
    for (platform::LocaleHandle locale : {platform::LocaleHandle(nullptr), locale_}) {
        for (bool exact : {true, false}) {
            ByteString bytes = "x";
            EXPECT_EQ(wide_to_locale_bytes(u"name.txt", bytes, exact, locale), 8);
            EXPECT_EQ(bytes, "xname.txt");
            WideString text = u"x";
            EXPECT_EQ(locale_bytes_to_wide("name.txt", text, exact, locale), 8);
            EXPECT_EQ(text, u"xname.txt");
        }
    }
}

TEST_F(CLocale, UnconvertibleCharacterKeepsThePrefix) {
    for (platform::LocaleHandle locale : {platform::LocaleHandle(nullptr), locale_}) {
        for (bool exact : {true, false}) {
            ByteString bytes = "x";
            EXPECT_EQ(wide_to_locale_bytes(u"ab\u3042cd", bytes, exact, locale), 2) << exact;
            EXPECT_EQ(bytes, "xab") << exact;
        }
    }
}

TEST_F(CLocale, EmptyAndNulEndedSources) {
    for (bool exact : {true, false}) {
        ByteString bytes;
        EXPECT_EQ(wide_to_locale_bytes(u"", bytes, exact, locale_), 0);
        EXPECT_EQ(bytes, "");
        EXPECT_EQ(wide_to_locale_bytes(WideString(u"ab\0cd", 5), bytes, exact, locale_), 2);
        EXPECT_EQ(bytes, "ab");
        WideString text;
        EXPECT_EQ(locale_bytes_to_wide("", text, exact, locale_), 0);
        EXPECT_EQ(locale_bytes_to_wide(ByteString("ab\0cd", 5), text, exact, locale_), 2);
        EXPECT_EQ(text, u"ab");
    }
}

// A locale with a multibyte encoding, when the machine has one: UTF-8 on
// Linux, code page 932 on Windows.
struct MultibyteLocale {
    const char16_t* name;
    WideString text;
    ByteString bytes;
};

const MultibyteLocale MULTIBYTE_LOCALES[] = {
    {u"C.UTF-8", u"\u65E5\u672C\u3042", bytes_of({0xE6, 0x97, 0xA5, 0xE6, 0x9C, 0xAC, 0xE3, 0x81, 0x82})},
    {u"Japanese_Japan.932", u"\u65E5\u672C\u3042", bytes_of({0x93, 0xFA, 0x96, 0x7B, 0x82, 0xA0})},
};

TEST(MultibyteLocaleConvert, BothWaysBothSizings) {
    int tried = 0;
    for (const auto& m : MULTIBYTE_LOCALES) {
        platform::LocaleHandle locale = platform::create_ctype_locale(m.name);
        if (locale == nullptr) continue;
        ++tried;
        for (bool exact : {true, false}) {
            ByteString bytes;
            EXPECT_EQ(wide_to_locale_bytes(m.text, bytes, exact, locale), static_cast<int>(m.bytes.size()));
            EXPECT_EQ(bytes, m.bytes);
            WideString text;
            EXPECT_EQ(locale_bytes_to_wide(m.bytes, text, exact, locale), static_cast<int>(m.text.size()));
            EXPECT_EQ(text, m.text);
        }
        platform::free_ctype_locale(locale);
    }
    if (tried == 0) GTEST_SKIP() << "no multibyte locale available";
}

}  // namespace
