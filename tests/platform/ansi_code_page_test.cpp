// The code pages of the POSIX layer: the language of a locale name gives
// the code page Windows uses for it; the system code page is UTF-8 for a
// UTF-8 locale (and C), else the language's; a process takes its locale
// from LC_ALL, then LC_CTYPE, then LANG; and bytes decoded in the system
// code page of a UTF-8 locale are UTF-8, Shift-JIS or the language's code
// page. The environment is set only for child processes, so the machine's
// own locale never matters.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform.h"
#include "test_files.h"

namespace {

TEST(LanguageCodePageForLocale, MapsLanguagesToTheirWindowsCodePages) {
    const struct {
        const char* locale;
        int code_page;
    } cases[] = {
        {"ja_JP.UTF-8", 932},
        {"ja_JP.eucJP", 932},
        {"ja", 932},
        {"JA_jp", 932},
        {"zh_CN.UTF-8", 936},
        {"zh_SG", 936},
        {"zh", 936},
        {"zh_TW.UTF-8", 950},
        {"zh_HK.big5hkscs", 950},
        {"zh-TW", 950},
        {"ko_KR.UTF-8", 949},
        {"th_TH", 874},
        {"vi_VN", 1258},
        {"ru_RU.UTF-8", 1251},
        {"uk_UA", 1251},
        {"bg_BG", 1251},
        {"sr_RS", 1251},
        {"sr_RS@latin", 1250},
        {"sr_ME", 1250},
        {"uz_UZ", 1254},
        {"uz_UZ@cyrillic", 1251},
        {"pl_PL", 1250},
        {"cs_CZ.UTF-8", 1250},
        {"el_GR", 1253},
        {"tr_TR", 1254},
        {"he_IL", 1255},
        {"ar_EG", 1256},
        {"fa_IR", 1256},
        {"lt_LT", 1257},
        {"et_EE", 1257},
        {"en_US.UTF-8", 1252},
        {"de_DE@euro", 1252},
        {"fr_FR", 1252},
        {"C", 1252},
        {"C.UTF-8", 1252},
        {"POSIX", 1252},
        {"", 1252},
        {"jax_XX", 1252},
        {"j", 1252},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::language_code_page_for_locale(c.locale), c.code_page) << c.locale;
    }
    EXPECT_EQ(platform::language_code_page_for_locale(nullptr), 1252);
}

TEST(AnsiCodePageForLocale, IsUtf8ForUtf8LocalesAndCElseTheLanguages) {
    const struct {
        const char* locale;
        int code_page;
    } cases[] = {
        {"ja_JP.UTF-8", 65001},
        {"ja_JP.utf8", 65001},
        {"C.UTF-8", 65001},
        {"en_US.UTF-8", 65001},
        {"ru_RU.UTF-8@x", 65001},
        {"C", 65001},
        {"POSIX", 65001},
        {"", 65001},
        {"ja_JP.eucJP", 932},
        {"ja_JP.SJIS", 932},
        {"ja", 932},
        {"de_DE", 1252},
        {"de_DE@euro", 1252},
        {"ru_RU.KOI8-R", 1251},
        {"C.ISO-8859-1", 1252},
        {"zh_TW.Big5", 950},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::ansi_code_page_for_locale(c.locale), c.code_page) << c.locale;
    }
    EXPECT_EQ(platform::ansi_code_page_for_locale(nullptr), 65001);
}

#ifndef _WIN32

TEST(AnsiCodePage, ComesFromLcAllThenLcCtypeThenLang) {
    const struct {
        const char* lc_all;
        const char* lc_ctype;
        const char* lang;
        int code_page;
    } cases[] = {
        {"", "", "ja_JP.eucJP", 932},
        {"", "", "zh_TW.UTF-8", 65001},
        {"", "ru_RU.KOI8-R", "ja_JP.UTF-8", 1251},
        {"ko_KR.eucKR", "ru_RU.KOI8-R", "en_US.UTF-8", 949},
        {"de_DE", "", "ja_JP.UTF-8", 1252},
        {"", "", "", 65001},
    };
    test_files::ScratchDirectory scratch;
    int index = 0;
    for (const auto& c : cases) {
        const auto result = scratch / ("acp" + std::to_string(index++));
        const std::string command = std::string("LC_ALL='") + c.lc_all + "' LC_CTYPE='" + c.lc_ctype + "' LANG='" +
                                    c.lang + "' '" + PLATFORM_TEST_CHILD + "' acp '" + result.string() + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
        EXPECT_EQ(test_files::read_bytes(result), std::to_string(c.code_page))
            << c.lc_all << " / " << c.lc_ctype << " / " << c.lang;
    }
}

// Names without a mark of their code page, decoded in the system code page
// of a UTF-8 locale.
TEST(AnsiCodePage, Utf8LocalesReadUtf8ShiftJisAndTheLanguagesCodePage) {
    const struct {
        const char* locale;
        const char* hex;
        const char* text;
    } cases[] = {
        // UTF-8 is UTF-8 everywhere.
        {"ja_JP.UTF-8", "E697A5E69CAC2E747874", "日本.txt"},
        {"C.UTF-8", "636166C3A9", "café"},
        // Shift-JIS with a double-byte character, its 0x5C trail bytes
        // included ("ソ", "表"), under every locale of a Japanese or
        // Western language.
        {"ja_JP.UTF-8", "835C815B8358955C", "ソース表"},
        {"C.UTF-8", "835C815B8358955C", "ソース表"},
        {"en_US.UTF-8", "93FA967B8CEA2E747874", "日本語.txt"},
        // Latin-1 that breaks Shift-JIS ("é" before "." is no pair), under
        // a Japanese locale too.
        {"ja_JP.UTF-8", "636166E92E747874", "café.txt"},
        {"en_US.UTF-8", "636166E92E747874", "café.txt"},
        // Single bytes only: half-width katakana for a Japanese locale,
        // Latin-1 letters for a Western one.
        {"ja_JP.UTF-8", "C3DEB0C0", "ﾃﾞｰﾀ"},
        {"C.UTF-8", "DC6265727369636874", "Übersicht"},
        // Other languages: their own code page, never Shift-JIS.
        {"ru_RU.UTF-8", "CFF0E8E2E5F2", "Привет"},
        // Outside UTF-8 locales nothing is guessed.
        {"ja_JP.eucJP", "636166E92E747874", "caf\xE3\x83\xBBtxt"},
    };
    test_files::ScratchDirectory scratch;
    int index = 0;
    for (const auto& c : cases) {
        const auto result = scratch / ("decode" + std::to_string(index++));
        const std::string command = std::string("LC_ALL='") + c.locale + "' '" + PLATFORM_TEST_CHILD + "' decode " +
                                    c.hex + " '" + result.string() + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
        EXPECT_EQ(test_files::read_bytes(result), c.text) << c.locale << " " << c.hex;
    }
}

#endif

}  // namespace
