// The system's own Unicode coders: UTF-16 in either byte order and UTF-8.
//
// Wide strings are taken as plain sequences of 16-bit units: nothing is
// validated beyond what each coder states, and an embedded NUL is an
// ordinary unit.
#include <cstdint>

#include "text_convert.h"

namespace {

constexpr char16_t QUESTION_MARK = u'?';

void append_byte(ByteString& destination, unsigned value) {
    destination.push_back(static_cast<char>(static_cast<unsigned char>(value)));
}

}  // namespace

// ---- UTF-16 bytes -------------------------------------------------------------

int wide_to_utf16_bytes(const WideString& source, ByteString& destination, bool with_bom, bool big_endian) {
    int produced = 0;
    // A marked text is a complete stored name on its own: the mark replaces
    // whatever the destination held, so it always stands first.
    if (with_bom) {
        destination.assign(big_endian ? "\xFE\xFF" : "\xFF\xFE", 2);
        produced = 2;
    }
    destination.reserve(destination.size() + 2 * source.size());
    for (char16_t unit : source) {
        const unsigned high = unit >> 8, low = unit & 0xFFu;
        if (big_endian) {
            append_byte(destination, high);
            append_byte(destination, low);
        } else {
            append_byte(destination, low);
            append_byte(destination, high);
        }
        produced += 2;
    }
    return produced;
}

int utf16_bytes_to_wide(const ByteString& source, WideString& destination, bool big_endian) {
    const std::size_t size = source.size();
    if (size < 2) return 0;
    std::size_t position = 0;
    const auto b0 = static_cast<unsigned char>(source[0]);
    const auto b1 = static_cast<unsigned char>(source[1]);
    // A mark decides the byte order whatever the caller expected.
    if (b0 == 0xFF && b1 == 0xFE) {
        big_endian = false;
        position = 2;
    } else if (b0 == 0xFE && b1 == 0xFF) {
        big_endian = true;
        position = 2;
    }
    int appended = 0;
    for (; position + 1 < size; position += 2) {
        const auto first = static_cast<unsigned char>(source[position]);
        const auto second = static_cast<unsigned char>(source[position + 1]);
        destination.push_back(static_cast<char16_t>(big_endian ? (first << 8) | second : (second << 8) | first));
        ++appended;
    }
    // A final odd byte is the first half of a unit whose other half is 0.
    if (position < size) {
        const auto last = static_cast<unsigned char>(source[position]);
        destination.push_back(static_cast<char16_t>(big_endian ? last << 8 : last));
        ++appended;
    }
    return appended;
}

// ---- UTF-8 --------------------------------------------------------------------

int wide_to_utf8(const WideString& source, ByteString& destination, bool with_bom) {
    if (with_bom) destination.append("\xEF\xBB\xBF");
    const std::size_t size = source.size();
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned unit = source[i];
        if (unit < 0x80) {
            append_byte(destination, unit);
        } else if (unit < 0x800) {
            append_byte(destination, 0xC0 | (unit >> 6));
            append_byte(destination, 0x80 | (unit & 0x3F));
        } else if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < size && source[i + 1] >= 0xDC00 &&
                   source[i + 1] <= 0xDFFF) {
            const std::uint32_t code_point = 0x10000 + ((unit - 0xD800) << 10) + (source[i + 1] - 0xDC00u);
            append_byte(destination, 0xF0 | (code_point >> 18));
            append_byte(destination, 0x80 | ((code_point >> 12) & 0x3F));
            append_byte(destination, 0x80 | ((code_point >> 6) & 0x3F));
            append_byte(destination, 0x80 | (code_point & 0x3F));
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            // A surrogate without its partner has no UTF-8 form.
            append_byte(destination, '?');
        } else {
            append_byte(destination, 0xE0 | (unit >> 12));
            append_byte(destination, 0x80 | ((unit >> 6) & 0x3F));
            append_byte(destination, 0x80 | (unit & 0x3F));
        }
    }
    return static_cast<int>(destination.size());
}

// A byte-driven state machine. `pending` counts the continuation bytes still
// expected; 2- and 3-byte sequences collect in a 16-bit accumulator, 4-byte
// ones in a 32-bit one. A fault appends "?" and sets `error`, which makes the
// next byte start afresh, so one bad byte never swallows the good text after
// it. A sequence cut off by the end of the input is dropped silently.
int utf8_to_wide(const ByteString& source, WideString& destination, int bom_mode) {
    std::size_t position = 0;
    if (bom_mode > 0) {
        position = source.size() < 3 ? source.size() : 3;
    } else if (bom_mode < 0 && detect_bom(source) == 8) {
        position = 3;
    }

    int pending = 0;
    std::uint16_t accumulator = 0;
    std::uint32_t accumulator32 = 0;
    bool four_byte = false;
    bool error = false;

    for (; position < source.size(); ++position) {
        const auto byte = static_cast<unsigned char>(source[position]);
        if (error) {
            error = false;
            pending = 0;
            four_byte = false;
        }

        if (byte < 0x80) {
            if (pending != 0) {  // the sequence broke off before this character
                destination.push_back(QUESTION_MARK);
                error = true;
            }
            destination.push_back(byte);
            continue;
        }

        if (byte >= 0xC0) {  // lead byte
            if (pending != 0) {
                destination.push_back(QUESTION_MARK);
                pending = 0;
            }
            accumulator = 0;
            accumulator32 = 0;
            four_byte = false;
            if ((byte & 0xE0) == 0xC0) {
                pending = 1;
                accumulator = static_cast<std::uint16_t>((byte & 0x1F) << 6);
                if (accumulator < 0x80) {  // C0 and C1 only make over-long forms
                    destination.push_back(QUESTION_MARK);
                    error = true;
                }
            } else if ((byte & 0xF0) == 0xE0) {
                pending = 2;
                accumulator = static_cast<std::uint16_t>((byte & 0x0F) << 12);
            } else if ((byte & 0xF8) == 0xF0) {
                pending = 3;
                accumulator32 = static_cast<std::uint32_t>(byte & 0x07) << 18;
                four_byte = true;
            } else {  // F8..FF start no sequence
                destination.push_back(QUESTION_MARK);
            }
            continue;
        }

        // Continuation byte 10xxxxxx.
        const unsigned bits = byte & 0x3F;
        if (four_byte) {
            if (pending == 3) {
                accumulator32 += bits << 12;
                if (accumulator32 < 0x10000) {  // over-long: fits in three bytes
                    destination.push_back(QUESTION_MARK);
                    error = true;
                }
            } else if (pending == 2) {
                accumulator32 += bits << 6;
            } else if (pending == 1) {
                accumulator32 += bits;
            } else {
                error = true;
            }
        } else if (pending == 1) {
            accumulator = static_cast<std::uint16_t>(accumulator + bits);
            destination.push_back(accumulator);
        } else if (pending == 2) {
            accumulator = static_cast<std::uint16_t>(accumulator + (bits << 6));
            if (accumulator < 0x800) {  // over-long: fits in two bytes
                destination.push_back(QUESTION_MARK);
                error = true;
            }
        } else {
            error = true;  // a continuation byte with no sequence open
        }

        if (error) {
            destination.push_back(QUESTION_MARK);
            continue;
        }
        --pending;
        if (four_byte && pending == 0) {
            four_byte = false;
            // The surrogate pair of the code point. The plane comes from the
            // bits above 16, so values past U+10FFFF fold into the pair as
            // they are; nothing checks that bound.
            const std::uint32_t cp = accumulator32;
            destination.push_back(static_cast<char16_t>(0xD800 | ((cp >> 10) & 0x3F) | (((cp >> 16) - 1) << 6)));
            destination.push_back(static_cast<char16_t>(0xDC00 | (cp & 0x3FF)));
        }
    }
    return static_cast<int>(destination.size());
}

// ---- UTF-8 helpers for the platform layer --------------------------------------

WideString wide_from_utf8(const ByteString& utf8) {
    WideString text;
    utf8_to_wide(utf8, text, 0);
    return text;
}

ByteString utf8_from_wide(const WideString& text) {
    ByteString bytes;
    wide_to_utf8(text, bytes, false);
    return bytes;
}
