// Renderings of numbers and bytes as wide text, for report lines and
// generated file names, and the narrowing of a wide locale name.
#include "text_convert.h"

namespace {

constexpr char16_t HEX_DIGITS[] = u"0123456789ABCDEF";

void append_hex_byte(WideString& text, unsigned char byte) {
    text.push_back(HEX_DIGITS[byte >> 4]);
    text.push_back(HEX_DIGITS[byte & 0x0F]);
}

}  // namespace

// Locale names are ASCII, and the runtime library's locale calls want them
// narrow; the low byte of each unit is all that matters.
int narrow_low_bytes(const char16_t* source, char* buffer, int capacity) {
    if (buffer == nullptr || capacity <= 0) return 0;
    int copied = 0;
    if (source != nullptr) {
        for (; copied < capacity - 1 && source[copied] != 0; ++copied)
            buffer[copied] = static_cast<char>(source[copied] & 0xFF);
    }
    buffer[copied] = '\0';
    return copied;
}

WideString int_to_wide(std::int32_t value) {
    // Widened first, so that the most negative value has a magnitude.
    std::int64_t magnitude = value;
    const bool negative = magnitude < 0;
    if (negative) magnitude = -magnitude;
    char16_t digits[12];
    int count = 0;
    do {
        digits[count++] = static_cast<char16_t>(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    WideString text;
    if (negative) text.push_back(u'-');
    while (count > 0) text.push_back(digits[--count]);
    return text;
}

WideString hex_list(const ByteString& bytes) {
    WideString text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i != 0) text.push_back(u',');
        append_hex_byte(text, static_cast<unsigned char>(bytes[i]));
    }
    return text;
}

WideString escape_non_printable(const ByteString& bytes) {
    WideString text;
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte <= 0x7E) {
            text.push_back(byte);
        } else {
            text.append(u"'\\x");
            append_hex_byte(text, byte);
            text.push_back(u'\'');
        }
    }
    return text;
}
