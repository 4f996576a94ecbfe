// Random characters for substitute file names, drawn from the runtime
// library's generator. Unless asked to reseed, the generator runs from its
// start value, so every load of a library makes the same sequence.
#include "text_convert.h"

// 64 characters that are safe in any file name: letters, digits, "-", "_".
char16_t random_name_char() {
    static constexpr char16_t ALPHABET[] = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    static_assert(sizeof(ALPHABET) / sizeof(ALPHABET[0]) == 64 + 1);
    return ALPHABET[platform::random_number() % 64];
}

WideString random_wide_string(int count, bool seed) {
    if (seed) platform::seed_random(static_cast<unsigned>(platform::current_time_seconds()));
    WideString text;
    for (int i = 0; i < count; ++i) text.push_back(random_name_char());
    return text;
}
