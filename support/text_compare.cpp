// Comparisons of wide texts that fold only the ASCII capitals: switches,
// extensions and locale names are ASCII, and folding nothing else keeps the
// comparison independent of any locale.
#include "text_convert.h"

namespace {

char16_t fold_ascii(char16_t unit) {
    return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit - u'A' + u'a') : unit;
}

std::size_t length_of(const char16_t* text) { return std::char_traits<char16_t>::length(text); }

}  // namespace

const char16_t* match_prefix(const char16_t* text, const char16_t* key, bool fold) {
    if (text == nullptr || key == nullptr) return nullptr;
    const std::size_t text_length = length_of(text), key_length = length_of(key);
    if (text_length < key_length) return nullptr;
    for (std::size_t i = 0; i < key_length; ++i) {
        const char16_t a = fold ? fold_ascii(text[i]) : text[i];
        const char16_t b = fold ? fold_ascii(key[i]) : key[i];
        if (a != b) return nullptr;
    }
    // A switch such as "CP:" needs its value: a bare key is no match.
    return text_length > key_length ? text + key_length : nullptr;
}

bool equal_nocase(const char16_t* a, const char16_t* b) {
    if (a == nullptr || b == nullptr) return false;
    for (;; ++a, ++b) {
        if (fold_ascii(*a) != fold_ascii(*b)) return false;
        if (*a == 0) return true;
    }
}

// The runtime library's names for the Japanese locale: a name with a code
// page ("Japanese_Japan.932", ".932") is judged by the code page alone,
// others by the known language names.
bool is_japanese_locale_name(const char16_t* name) {
    if (name == nullptr || name[0] == 0) return false;
    const std::size_t length = length_of(name);
    if (std::char_traits<char16_t>::find(name, length, u'.') != nullptr) {
        return length > 3 && std::char_traits<char16_t>::compare(name + length - 4, u".932", 4) == 0;
    }
    if (name[0] != u'j' && name[0] != u'J') return false;
    for (const char16_t* known : {u"jpn", u"Japanese", u"Japanese_Japan", u"JPN_JPN"}) {
        if (equal_nocase(name, known)) return true;
    }
    return false;
}
