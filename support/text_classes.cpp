// Character-class tests on whole strings: ASCII-only texts and byte-order
// marks at the start of stored names.
#include "text_convert.h"

bool is_ascii(const WideString& text) {
    for (char16_t unit : text) {
        if (unit > 0x7F) return false;
    }
    return true;
}

bool is_ascii(const ByteString& bytes) {
    for (char byte : bytes) {
        if (static_cast<unsigned char>(byte) >= 0x80) return false;
    }
    return true;
}

int detect_bom(const ByteString& bytes) {
    if (bytes.size() < 2) return 0;
    const auto b0 = static_cast<unsigned char>(bytes[0]);
    const auto b1 = static_cast<unsigned char>(bytes[1]);
    if (b0 == 0xFF && b1 == 0xFE) return 2;  // UTF-16 little-endian
    if (b0 == 0xFE && b1 == 0xFF) return 3;  // UTF-16 big-endian
    // The UTF-8 mark needs all three bytes; a name of just EF BB is not one.
    if (bytes.size() > 2 && b0 == 0xEF && b1 == 0xBB && static_cast<unsigned char>(bytes[2]) == 0xBF) return 8;
    return 0;
}
