// The ANSI code page of the POSIX layer: the language of a locale name
// gives the code page Windows uses for it, and a process takes it from
// LC_ALL, then LC_CTYPE, then LANG. The environment is set only for child
// processes, so the machine's own locale never matters.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform.h"
#include "test_files.h"

namespace {

TEST(AnsiCodePageForLocale, MapsLanguagesToTheirWindowsCodePages) {
    const struct {
        const char* locale;
        int code_page;
    } cases[] = {
        {"ja_JP.UTF-8", 932},  {"ja_JP.eucJP", 932},    {"ja", 932},           {"JA_jp", 932},
        {"zh_CN.UTF-8", 936},  {"zh_SG", 936},          {"zh", 936},           {"zh_TW.UTF-8", 950},
        {"zh_HK.big5hkscs", 950}, {"zh-TW", 950},       {"ko_KR.UTF-8", 949},  {"th_TH", 874},
        {"vi_VN", 1258},       {"ru_RU.UTF-8", 1251},   {"uk_UA", 1251},       {"bg_BG", 1251},
        {"sr_RS", 1251},       {"sr_RS@latin", 1250},   {"sr_ME", 1250},       {"uz_UZ", 1254},
        {"uz_UZ@cyrillic", 1251}, {"pl_PL", 1250},      {"cs_CZ.UTF-8", 1250}, {"el_GR", 1253},
        {"tr_TR", 1254},       {"he_IL", 1255},         {"ar_EG", 1256},       {"fa_IR", 1256},
        {"lt_LT", 1257},       {"et_EE", 1257},         {"en_US.UTF-8", 1252}, {"de_DE@euro", 1252},
        {"fr_FR", 1252},       {"C", 1252},             {"C.UTF-8", 1252},     {"POSIX", 1252},
        {"", 1252},            {"jax_XX", 1252},        {"j", 1252},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::ansi_code_page_for_locale(c.locale), c.code_page) << c.locale;
    }
    EXPECT_EQ(platform::ansi_code_page_for_locale(nullptr), 1252);
}

#ifndef _WIN32

TEST(AnsiCodePage, ComesFromLcAllThenLcCtypeThenLang) {
    const struct {
        const char* lc_all;
        const char* lc_ctype;
        const char* lang;
        int code_page;
    } cases[] = {
        {"", "", "ja_JP.UTF-8", 932},
        {"", "", "zh_TW.UTF-8", 950},
        {"", "ru_RU.UTF-8", "ja_JP.UTF-8", 1251},
        {"ko_KR.UTF-8", "ru_RU.UTF-8", "en_US.UTF-8", 949},
        {"C", "", "ja_JP.UTF-8", 1252},
        {"", "", "", 1252},
    };
    test_files::ScratchDirectory scratch;
    int index = 0;
    for (const auto& c : cases) {
        const auto result = scratch / ("acp" + std::to_string(index++));
        const std::string command = std::string("LC_ALL='") + c.lc_all + "' LC_CTYPE='" + c.lc_ctype +
                                    "' LANG='" + c.lang + "' '" + PLATFORM_TEST_CHILD + "' acp '" +
                                    result.string() + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
        EXPECT_EQ(test_files::read_bytes(result), std::to_string(c.code_page))
            << c.lc_all << " / " << c.lc_ctype << " / " << c.lang;
    }
}

#endif

}  // namespace
