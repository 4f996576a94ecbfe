// Unicode conversions through the standard library's converters, the
// alternative to the system's own coders that the LZH library offers.
//
// The converters are deprecated since C++17 but still provided; they are
// the point of this option, so the deprecation warning is silenced here
// only. Six converter objects live for the whole run: UTF-8, and UTF-16 in
// each byte order, each with and without writing a byte-order mark. All of
// them consume a leading mark when decoding; for UTF-16 the mark then
// decides the byte order.
//
// The standard converters throw on text they cannot convert (a lone
// surrogate; for UTF-16, every character beyond U+FFFF, since the 16-bit
// element type is UCS-2 to them). The exception would otherwise travel out
// of a library export, so it is caught here and the result is what
// converts before the fault.
#include <codecvt>
#include <locale>
#include <stdexcept>

#include "text_convert.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace {

constexpr unsigned long MAX_CODE_POINT = 0x10FFFF;

constexpr std::codecvt_mode mode_of(bool generate_header, bool little_endian) {
    unsigned mode = std::consume_header;
    if (generate_header) mode |= std::generate_header;
    if (little_endian) mode |= std::little_endian;
    return static_cast<std::codecvt_mode>(mode);
}

template <std::codecvt_mode Mode>
using Utf8Converter = std::wstring_convert<std::codecvt_utf8_utf16<char16_t, MAX_CODE_POINT, Mode>, char16_t>;
template <std::codecvt_mode Mode>
using Utf16Converter = std::wstring_convert<std::codecvt_utf16<char16_t, MAX_CODE_POINT, Mode>, char16_t>;

// Each converter is made on first use and kept until the process ends.
template <class Converter>
Converter& converter() {
    static Converter instance;
    return instance;
}

// The bytes of source; after a fault, the bytes of the part before it.
template <class Converter>
ByteString encode_with(Converter& conv, const WideString& source) {
    try {
        return conv.to_bytes(source);
    } catch (const std::range_error&) {
        const std::size_t good = conv.converted();
        try {
            return conv.to_bytes(source.data(), source.data() + (good < source.size() ? good : 0));
        } catch (const std::range_error&) {
            return ByteString();
        }
    }
}

template <class Converter>
WideString decode_with(Converter& conv, const ByteString& source) {
    try {
        return conv.from_bytes(source);
    } catch (const std::range_error&) {
        const std::size_t good = conv.converted();
        try {
            return conv.from_bytes(source.data(), source.data() + (good < source.size() ? good : 0));
        } catch (const std::range_error&) {
            return WideString();
        }
    }
}

}  // namespace

int std_wide_to_utf8(const WideString& source, ByteString& destination, bool with_bom) {
    if (with_bom)
        destination = encode_with(converter<Utf8Converter<mode_of(true, false)>>(), source);
    else
        destination = encode_with(converter<Utf8Converter<mode_of(false, false)>>(), source);
    return static_cast<int>(destination.size());
}

int std_utf8_to_wide(const ByteString& source, WideString& destination) {
    destination = decode_with(converter<Utf8Converter<mode_of(false, false)>>(), source);
    return static_cast<int>(destination.size());
}

int std_wide_to_utf16_bytes(const WideString& source, ByteString& destination, bool with_bom, bool big_endian) {
    if (big_endian) {
        if (with_bom)
            destination = encode_with(converter<Utf16Converter<mode_of(true, false)>>(), source);
        else
            destination = encode_with(converter<Utf16Converter<mode_of(false, false)>>(), source);
    } else {
        if (with_bom)
            destination = encode_with(converter<Utf16Converter<mode_of(true, true)>>(), source);
        else
            destination = encode_with(converter<Utf16Converter<mode_of(false, true)>>(), source);
    }
    return static_cast<int>(destination.size());
}

int std_utf16_bytes_to_wide(const ByteString& source, WideString& destination, bool big_endian) {
    if (big_endian)
        destination = decode_with(converter<Utf16Converter<mode_of(false, false)>>(), source);
    else
        destination = decode_with(converter<Utf16Converter<mode_of(false, true)>>(), source);
    return static_cast<int>(destination.size());
}

#pragma GCC diagnostic pop
