// Conversions between wide text and a Windows code page, through the
// platform's WideCharToMultiByte / MultiByteToWideChar.
//
// Sources end at their first NUL: the conversions are handed the text with
// its terminator (length -1), so the measured and converted counts include
// it and the results here leave it out.
#include <climits>
#include <cstring>
#include <vector>

#include "text_convert.h"

namespace {

// Longest text whose estimated buffer (5 bytes per unit, plus the
// terminator) still fits the platform's int sizes.
constexpr std::size_t MAX_ESTIMATED_UNITS = (INT_MAX - 1) / 5;

}  // namespace

int wide_to_code_page(const WideString& source, ByteString& destination, int code_page, bool exact, unsigned flags) {
    const char16_t* text = source.c_str();
    const std::size_t length = std::char_traits<char16_t>::length(text);
    int capacity;
    if (exact) {
        capacity = platform::wide_to_multibyte(code_page, flags, text, -1, nullptr, 0);
    } else {
        if (length > MAX_ESTIMATED_UNITS) return 0;
        // No code page needs more than 5 bytes for one unit.
        capacity = static_cast<int>(5 * length + 1);
    }
    if (capacity <= 0) return 0;

    std::vector<char> buffer(static_cast<std::size_t>(capacity), '\0');
    const int written = platform::wide_to_multibyte(code_page, flags, text, -1, buffer.data(), capacity);
    if (written <= 0 || written > capacity) return 0;
    const int bytes = written - 1;  // without the terminator
    destination.append(buffer.data(), static_cast<std::size_t>(bytes));
    return bytes;
}

int code_page_to_wide(const ByteString& source, WideString& destination, int code_page, bool exact, unsigned flags) {
    const char* text = source.c_str();
    const std::size_t length = std::strlen(text);
    int capacity;
    if (exact) {
        capacity = platform::multibyte_to_wide(code_page, flags, text, -1, nullptr, 0);
    } else {
        if (length >= static_cast<std::size_t>(INT_MAX)) return 0;
        // One byte never makes more than one unit.
        capacity = static_cast<int>(length + 1);
    }
    if (capacity <= 0) return 0;

    std::vector<char16_t> buffer(static_cast<std::size_t>(capacity), u'\0');
    const int written = platform::multibyte_to_wide(code_page, flags, text, -1, buffer.data(), capacity);
    if (written <= 0 || written > capacity) return 0;
    const int units = written - 1;
    destination.append(buffer.data(), static_cast<std::size_t>(units));
    return units;
}

WideString code_page_cstr_to_wide(const char* source, int code_page) {
    if (source == nullptr) return WideString();
    const std::size_t length = std::strlen(source);
    if (length >= static_cast<std::size_t>(INT_MAX - 1)) return WideString();
    const int capacity = static_cast<int>(length + 1);
    std::vector<char16_t> buffer(static_cast<std::size_t>(capacity) + 1, u'\0');
    // The text goes over with its terminator, so a success always leaves a
    // terminated result in the buffer.
    const int written = platform::multibyte_to_wide(code_page, platform::CONVERT_PRECOMPOSED, source, capacity,
                                                    buffer.data(), capacity + 1);
    if (written <= 0) return WideString();
    return WideString(buffer.data());
}
