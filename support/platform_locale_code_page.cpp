// The code pages of a POSIX locale name. Shared by both platform layers so
// that the mapping can be tested everywhere; only the POSIX layer uses it.
//
// A POSIX locale name has the form language[_territory][.codeset][@modifier]
// ("ja_JP.UTF-8", "zh_TW", "sr_RS@latin"). Windows picks its ANSI code page
// from the language (and for Chinese the territory, for Serbian, Uzbek and
// Azeri the script): that is the language's code page, the one old archives
// of that language were written in.
//
// The system code page is a different matter. On Linux file names are
// UTF-8 bytes whatever the locale says, and the peers that read LZH names
// (lhasa, 7-Zip) put the stored bytes on disk as they are. So a locale with
// the UTF-8 codeset, and the bare C and POSIX locales (which name no
// language and under which the port still writes UTF-8 file names), have
// the system code page 65001; a locale with a legacy codeset ("ja_JP.eucJP",
// "de_DE", "ru_RU.KOI8-R") keeps its language's code page.
#include <cstring>
#include <string>

#include "platform.h"

namespace {

struct LanguageCodePage {
    const char* language;
    int code_page;
};

// Languages whose Windows locales use a code page other than 1252.
// Chinese and the languages written in two scripts are decided in code.
constexpr LanguageCodePage LANGUAGE_CODE_PAGES[] = {
    {"ja", 932},
    {"ko", 949},
    {"th", 874},
    {"vi", 1258},
    // Central European (Latin 2).
    {"cs", 1250},
    {"sk", 1250},
    {"pl", 1250},
    {"hu", 1250},
    {"sl", 1250},
    {"hr", 1250},
    {"bs", 1250},
    {"ro", 1250},
    {"sq", 1250},
    // Cyrillic.
    {"ru", 1251},
    {"uk", 1251},
    {"be", 1251},
    {"bg", 1251},
    {"mk", 1251},
    {"kk", 1251},
    {"ky", 1251},
    {"tt", 1251},
    {"mn", 1251},
    {"ba", 1251},
    {"sah", 1251},
    {"tg", 1251},
    {"cv", 1251},
    {"el", 1253},
    {"tr", 1254},
    {"he", 1255},
    {"iw", 1255},
    {"yi", 1255},
    {"ar", 1256},
    {"fa", 1256},
    {"ur", 1256},
    {"ps", 1256},
    {"ug", 1256},
    {"sd", 1256},
    // Baltic.
    {"lt", 1257},
    {"lv", 1257},
    {"et", 1257},
};

constexpr int WESTERN_CODE_PAGE = 1252;
constexpr int UTF8_CODE_PAGE = 65001;

char lower_ascii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
char upper_ascii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

struct LocaleParts {
    std::string language;   // lower case
    std::string territory;  // upper case
    std::string codeset;    // lower case, without "-" and "_": "utf8", "eucjp"
    std::string modifier;   // lower case
};

LocaleParts split_locale_name(const char* locale_name) {
    LocaleParts parts;
    if (locale_name == nullptr) return parts;
    const char* p = locale_name;
    while (*p != '\0' && *p != '_' && *p != '-' && *p != '.' && *p != '@') {
        parts.language.push_back(lower_ascii(*p++));
    }
    if (*p == '_' || *p == '-') {
        ++p;
        while (*p != '\0' && *p != '.' && *p != '@') parts.territory.push_back(upper_ascii(*p++));
    }
    if (*p == '.') {
        ++p;
        for (; *p != '\0' && *p != '@'; ++p) {
            if (*p != '-' && *p != '_') parts.codeset.push_back(lower_ascii(*p));
        }
    }
    if (*p == '@') {
        ++p;
        while (*p != '\0') parts.modifier.push_back(lower_ascii(*p++));
    }
    return parts;
}

}  // namespace

namespace platform {

int ansi_code_page_for_locale(const char* locale_name) {
    const LocaleParts parts = split_locale_name(locale_name);
    if (parts.codeset == "utf8" || parts.language.empty() ||
        ((parts.language == "c" || parts.language == "posix") && parts.codeset.empty())) {
        return UTF8_CODE_PAGE;
    }
    return language_code_page_for_locale(locale_name);
}

int language_code_page_for_locale(const char* locale_name) {
    const LocaleParts parts = split_locale_name(locale_name);
    const std::string& language = parts.language;
    const std::string& territory = parts.territory;
    const std::string& modifier = parts.modifier;

    if (language == "zh") {
        // Traditional characters in Taiwan, Hong Kong and Macau; simplified
        // elsewhere.
        return (territory == "TW" || territory == "HK" || territory == "MO") ? 950 : 936;
    }
    if (language == "sr") {
        // Serbian is Cyrillic by default; Latin with @latin, and in Montenegro.
        return (modifier == "latin" || territory == "ME") ? 1250 : 1251;
    }
    if (language == "uz" || language == "az") {
        // Windows writes both in Latin script with the Turkish code page.
        return modifier == "cyrillic" ? 1251 : 1254;
    }
    for (const LanguageCodePage& entry : LANGUAGE_CODE_PAGES) {
        if (language == entry.language) return entry.code_page;
    }
    return WESTERN_CODE_PAGE;
}

}  // namespace platform
