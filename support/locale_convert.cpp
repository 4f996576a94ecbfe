// Conversions through the runtime library's locale (wcstombs / mbstowcs),
// with the process locale or a private locale object.
//
// Sources end at their first NUL. A conversion that meets a character it
// cannot convert reports failure; what it converted before that character
// is still kept, so a name degrades to its convertible prefix instead of
// vanishing.
#include <cstring>
#include <limits>
#include <vector>

#include "text_convert.h"

namespace {

constexpr std::size_t CONVERSION_FAILED = static_cast<std::size_t>(-1);

// Counts are returned as int; a text beyond that is refused.
constexpr std::size_t MAX_CAPACITY = static_cast<std::size_t>(std::numeric_limits<int>::max()) / 5;

}  // namespace

int wide_to_locale_bytes(const WideString& source, ByteString& destination, bool exact, platform::LocaleHandle locale) {
    const char16_t* text = source.c_str();
    const std::size_t length = std::char_traits<char16_t>::length(text);
    std::size_t capacity = CONVERSION_FAILED;
    if (exact) capacity = platform::locale_wide_to_bytes(locale, text, nullptr, 0);
    // Unmeasured, or a character the measurement could not convert: no
    // multibyte encoding needs more than 5 bytes per unit.
    if (capacity == CONVERSION_FAILED) capacity = 5 * length;
    if (capacity == 0 || capacity > MAX_CAPACITY) return 0;

    // One byte more than the conversion may write keeps the buffer
    // terminated whatever it leaves there.
    std::vector<char> buffer(capacity + 1, '\0');
    const std::size_t result = platform::locale_wide_to_bytes(locale, text, buffer.data(), capacity);
    const std::size_t converted =
        result == CONVERSION_FAILED ? std::strlen(buffer.data()) : (result > capacity ? capacity : result);
    destination.append(buffer.data(), converted);
    return static_cast<int>(converted);
}

int locale_bytes_to_wide(const ByteString& source, WideString& destination, bool exact, platform::LocaleHandle locale) {
    const char* text = source.c_str();
    const std::size_t length = std::strlen(text);
    std::size_t capacity = length;  // one byte never makes more than one unit
    if (exact) {
        const std::size_t measured = platform::locale_bytes_to_wide(locale, text, nullptr, 0);
        if (measured == 0) return 0;
        if (measured != CONVERSION_FAILED) capacity = measured;
    }
    if (capacity == 0 || capacity > MAX_CAPACITY) return 0;

    std::vector<char16_t> buffer(capacity + 1, u'\0');
    const std::size_t result = platform::locale_bytes_to_wide(locale, text, buffer.data(), capacity);
    const std::size_t converted = result == CONVERSION_FAILED ? std::char_traits<char16_t>::length(buffer.data())
                                                              : (result > capacity ? capacity : result);
    destination.append(buffer.data(), converted);
    return static_cast<int>(converted);
}
